// Properties of the evaluation over many positions reached by random legal
// play, and agreement with the "score" command of the real program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/make_move.h"
#include "board/movegen.h"
#include "eval/evaluate.h"
#include "test_support.h"

namespace {

constexpr int kFull = 1000000;

// The test's own generator, so the engine's stays untouched.
uint32_t nextTestRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

// Plays random legal games from fen and calls check at every position.
template <typename Check>
void forRandomPositions(const char* fen, uint32_t seed, int games, int plies, Check check) {
  uint32_t state = seed;
  for (int g = 0; g < games; g++) {
    ASSERT_TRUE(setFen(fen));
    prepareEvaluation();
    for (int ply = 0; ply < plies; ply++) {
      check();
      const int count = generateLegalMoves();
      if (count == 0) break;
      const Move move = moveStack[listStart[0] + nextTestRandom(state) % count];
      ASSERT_EQ(commitGameMove(move), 1);
    }
  }
}

void flipSideToMove() {
  pos.sideToMove ^= 1;
  pos.opponent ^= 1;
}

TEST(EvalProperty, OtherSideToMoveNegatesUnlessLazy) {
  int positions = 0;
  uint32_t windowState = 99;
  auto check = [&] {
    const int full = evaluate(-kFull, kFull);
    flipSideToMove();
    ASSERT_EQ(evaluate(-kFull, kFull), -full);
    flipSideToMove();
    // A narrow window either exits with the material balance or gives the full value.
    const int D = pos.material[pos.sideToMove] - pos.material[pos.opponent];
    const int alpha = D - 2000 + int(nextTestRandom(windowState) % 4000);
    const int lazy = evaluate(alpha, alpha + 1);
    if (full == 0 && lazy == 0) return;  // dead draw ignores the window
    const bool exits = D + 500 <= alpha || D - 500 >= alpha + 1;
    ASSERT_EQ(lazy, exits ? D : full) << "alpha " << alpha << " D " << D;
    positions++;
  };
  forRandomPositions(kStartFen, 1, 20, 200, check);
  forRandomPositions("r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12", 2, 10, 150, check);
  forRandomPositions("4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63", 3, 10, 150, check);
  EXPECT_GT(positions, 3000);
}

// Runs the program on the given input and returns its standard output.
std::string runProgram(const std::string& input) {
  const std::string inputPath = ::testing::TempDir() + "eval_score_input.txt";
  FILE* f = std::fopen(inputPath.c_str(), "w");
  if (!f) return "";
  std::fputs(input.c_str(), f);
  std::fclose(f);
  const std::string command = std::string("\"") + MORVEK_BINARY + "\" < \"" + inputPath + "\" 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return "";
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
  pclose(p);
  std::remove(inputPath.c_str());
  return out;
}

TEST(EvalProperty, ScoreCommandAgreesWithTheUnit) {
  const char* fens[] = {
      "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -",
      "8/8/8/4k3/8/8/4P3/4K3 w - -",
      "r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0",
      "r3kb1r/ppp1pppp/2n2n2/q4b2/2BP4/2N2P2/PPP1N1PP/R1BQK2R w KQkq - 1 8",
      "4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63",
  };
  std::string input;
  std::vector<int> expected;
  for (const char* fen : fens) {
    ASSERT_TRUE(setFen(fen));
    prepareEvaluation();
    expected.push_back(evaluate(-kFull, kFull));
    input += std::string("setboard ") + fen + "\nscore\n";
  }
  input += "quit\n";
  const std::string out = runProgram(input);
  std::vector<int> printed;
  size_t at = 0;
  while ((at = out.find("# ", at)) != std::string::npos) {
    int value;
    if (std::sscanf(out.c_str() + at, "# %d", &value) == 1) printed.push_back(value);
    at += 2;
  }
  EXPECT_EQ(printed, expected) << out;
}

}  // namespace
