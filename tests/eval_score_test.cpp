// Whole evaluations: worked positions, dead draws, the lazy window, "score".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/evaluate.h"
#include "eval/pieces.h"
#include "engine_process.h"
#include "test_support.h"

namespace {

constexpr int kFull = 1000000;

int scoreOf(const char* fen) {
  EXPECT_TRUE(setFen(fen)) << fen;
  prepareEvaluation();
  return evaluate(-kFull, kFull);
}

// A side's first n parts: positional, piece-square, common, hanging count, then each kind's, pawn to king.
std::vector<int> partsOf(int s, size_t n) {
  const EvalBreakdown& b = lastEvalBreakdown;
  std::vector<int> parts{b.positional[s], b.pieceSquare[s], b.common[s], b.hanging[s]};
  parts.insert(parts.end(), b.kind[s] + kPawn, b.kind[s] + kKing + 1);
  return parts.resize(n), parts;
}

TEST(EvalScore, WorkedPositionsAndTheirBreakdowns) {
  // Start: knights 2 x 50, bishops 2 x 55, rooks 2 x 42; rooks undefended, the king defended by the queen.
  // A lone pawn: white +1 for its pawn count, black -16 for having none.
  const std::vector<int> start{541, 134, -1, 0, 0, 100, 110, 84, 116, -2};
  const struct { const char* fen; int score; std::vector<int> white, black; } rows[] = {
      {kStartFen, 0, start, start}, {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -", -30, {571}, {541}},
      {"8/8/8/4k3/8/8/4P3/4K3 w - -", 1011, {17, 4, -1, 0, 13, 0, 0, 0, 0, 0}, {6, 23, -1, 0, 0, 0, 0, 0, 0, 0}}};
  for (const auto& r : rows) {
    EXPECT_EQ(scoreOf(r.fen), r.score) << r.fen;
    EXPECT_EQ(partsOf(kWhite, r.white.size()), r.white) << r.fen;
    EXPECT_EQ(partsOf(kBlack, r.black.size()), r.black) << r.fen;
  }
}

TEST(EvalScore, DeadDrawAndLazyExitBoundaries) {
  // Neither side can mate (bare kings, one or two knights or one bishop each): 0 whatever the window;
  // then a pawn, a rook, a queen, two bishops, bishop and knight, three knights can.
  for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/3NKN2 b - -", "4kn2/8/8/8/8/8/8/4KB2 w - -",
                          "4k3/8/8/8/8/8/8/2B1K3 b - -", "3nkn2/8/8/8/8/8/8/4KB2 w - -", "2b1k3/8/8/8/8/8/8/4KB2 w - -"})
    EXPECT_TRUE(scoreOf(fen) == 0 && evaluate(50000, 50001) == 0) << fen;
  for (const char* fen : {"4k3/8/8/8/8/8/8/3NKB2 w - -", "4k3/p7/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/2BBK3 w - -",
                          "4k3/8/8/8/8/8/8/4K2R w - -", "4k3/8/8/8/8/8/8/3QK3 b - -", "4k3/8/8/8/8/8/8/1NNNK3 w - -",
                          "4kbn1/8/8/8/8/8/8/4K3 w - -", "2b1kb2/8/8/8/8/8/8/4K3 w - -"})
    EXPECT_NE(scoreOf(fen), 0) << fen;
  const int D = 5000;  // white is a rook up: the lazy exit answers D outside a 500 margin, for either side
  const int full = scoreOf("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 w - -");
  ASSERT_NE(full, D);
  const int windows[][3] = {{D + 500, kFull, D}, {D + 499, kFull, full}, {-kFull, D - 500, D}, {-kFull, D - 499, full}};
  for (const auto& w : windows) EXPECT_EQ(evaluate(w[0], w[1]), w[2]) << w[0] << " " << w[1];
  ASSERT_TRUE(setFen("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 b - -"));
  EXPECT_TRUE(evaluate(-D + 500, kFull) == -D && evaluate(-D + 499, kFull) == -full);
}

TEST(EvalScore, ScoreCommandAgreesWithTheUnit) {
  std::string input, expected;
  for (const char* fen : {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -",
                          "r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0",
                          "4k3/8/8/8/8/8/8/3QK3 b - -"}) {  // far from level: no lazy exit either
    input += std::string("setboard ") + fen + "\nscore\n";
    expected += "# " + std::to_string(scoreOf(fen)) + "\n";
  }
  EngineDir dir;
  const EngineRun run = runEngine(dir, input + "quit\n");
  EXPECT_NE(run.out.find("\n" + expected), std::string::npos) << run.out;
}

}  // namespace
