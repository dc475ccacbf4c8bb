// Syzygy tables: results at the root and in the search, the moves kept, what the protocols say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "board/movegen.h"
#include "engine/think.h"
#include "search/tablebase.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"
#include "tests/uci_output.h"

namespace {

bool haveTables() { return tablebasesBuiltIn() && access(MORVEK_SYZYGY_TEST_DIR "/KQvK.rtbw", R_OK) == 0; }
const std::string kFound = "SyzygyPath " MORVEK_SYZYGY_TEST_DIR ": Syzygy tables for up to 4 pieces\n";

// The 3-4 piece tables, loaded once, on for this fixture only.
struct Tables : ::testing::Test {
  void SetUp() override {
    if (!haveTables()) GTEST_SKIP() << "no Fathom or no tables at " MORVEK_SYZYGY_TEST_DIR;
    initEngineOnce();
    static char message[4300];
    static const int pieces = (loadTablebases(MORVEK_SYZYGY_TEST_DIR, message, sizeof message), tablebasePieces);
    EXPECT_NE(std::string(message).find("Syzygy tables for up to 4 pieces"), std::string::npos) << message;
    ASSERT_EQ(tablebasePieces = pieces, 4);
  }
  void TearDown() override { tablebasePieces = 0, rootInTables = false; }
};

// The root moves the tables keep, as text, for fen.
std::vector<std::string> rootMoveTexts(const char* fen = nullptr) {
  if (fen) {
    EXPECT_TRUE(setFen(fen)) << fen;
    buildRootList();
  }
  std::vector<std::string> texts;
  char text[16];
  for (int i = listStart[0]; i < listStart[1]; ++i) texts.push_back(moveToText(moveStack[i], text));
  return texts;
}

constexpr int kWin = kTableWin, kDraw = 0, kLoss = -kTableWin;

TEST_F(Tables, RootResultsOfKnownEndingsAndEveryKeptMoveKeepsThem) {
  // Won, drawn and lost positions of each ending, the side to move's view.
  const struct { const char* fen; int result; } endings[] = {
      {"8/8/8/4k3/8/8/8/KQ6 w - - 0 1", kWin},          {"8/8/8/4k3/8/8/8/KQ6 b - - 0 1", kLoss},
      {"8/8/8/8/8/8/k7/1Q5K b - - 0 1", kDraw},         {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", kWin},
      {"8/8/8/4k3/8/8/8/R3K3 b - - 0 1", kLoss},        {"8/8/8/8/8/8/k7/1R5K b - - 0 1", kDraw},
      {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", kWin},        {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", kLoss},
      {"k7/8/8/8/8/8/P7/K7 w - - 0 1", kDraw},          {"8/8/8/4k3/8/8/8/KBN5 w - - 0 1", kWin},
      {"8/8/8/4k3/8/8/8/KBN5 b - - 0 1", kLoss},        {"8/8/8/8/8/8/3kN3/K1B5 b - - 0 1", kDraw},
      {"8/p7/8/8/3k4/8/8/K6R w - - 0 1", kWin},         {"8/p7/8/8/3k4/8/8/K6R b - - 0 1", kLoss},
      {"8/8/8/8/8/8/p7/K1kR4 b - - 0 1", kDraw},        {"8/8/4k3/8/8/8/2r5/K2Q4 w - - 0 1", kWin},
      {"8/8/4k3/8/8/8/2r5/K2Q4 b - - 0 1", kLoss},      {"8/8/8/8/8/k7/8/KQ5r b - - 0 1", kDraw}};
  for (const auto& row : endings) {
    const std::vector<std::string> texts = rootMoveTexts(row.fen);
    ASSERT_TRUE(rootInTables && !texts.empty()) << row.fen;
    EXPECT_EQ(rootTableScore, row.result) << row.fen;
    for (const std::string& text : texts) {
      Move m = 0;
      ASSERT_TRUE(parseMove(text.c_str(), &m) && commitGameMove(m)) << text;
      buildRootList();
      if (listStart[1] == listStart[0])  // no reply: only a mate keeps a win
        EXPECT_TRUE(row.result == kWin && inCheck()) << row.fen << " " << text;
      else
        EXPECT_EQ(rootTableScore, -row.result) << row.fen << " " << text;
      ASSERT_TRUE(takeBackGameMove());
    }
  }
  // Drawn by taking the one piece that wins: only the capture is kept.
  EXPECT_EQ(rootMoveTexts("8/8/8/8/8/k7/8/KQ5r b - - 0 1"), std::vector<std::string>{"h1b1"});
  // Only the rook promotion wins where the queen stalemates (and one king move).
  EXPECT_EQ(rootMoveTexts("8/k1P5/8/1K6/8/8/8/8 w - - 0 1"), (std::vector<std::string>{"b5c6", "c7c8r"}));
  EXPECT_EQ(rootTableScore, kWin);
  // KBN v K near the fiftieth move: only the moves that still win in time.
  const size_t fresh = rootMoveTexts("8/8/8/4k3/8/8/8/KBN5 w - - 0 1").size();
  noteSetupFen("8/8/8/4k3/8/8/8/KBN5 w - - 70 80");
  const size_t late = rootMoveTexts("8/8/8/4k3/8/8/8/KBN5 w - - 70 80").size();
  noteSetupFen("8/8/8/4k3/8/8/8/KBN5 w - - 0 1");
  EXPECT_TRUE(fresh > late && late >= 1u) << fresh << " " << late;
}

TEST_F(Tables, TheSearchProbesAfterCapturesAndPawnMovesOnly) {
  const struct { const char* fen; const char* moves; int probed, value; } rows[] = {  // value: the side to move's
      {"r3k3/8/8/8/8/8/7P/R3K3 w - - 0 1", "a1a8", 1, 1 - kTableWin},  // five pieces, then four
      {"8/8/8/8/8/k7/8/KQ5r b - - 0 1", "h1b1", 1, 0},                // KRvK, the rook hangs
      {"k7/8/8/8/8/8/P7/K7 w - - 0 1", "a2a3", 1, 0},                  // pawn move, drawn
      {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", "e6d6 e8d8 e5e6", 3, 3 - kTableWin},
      {"8/8/8/4k3/8/8/8/KQ6 w - - 0 1", "b1b2", 0, 0},                 // no capture, no pawn move
      {"r3k3/8/8/8/8/8/7P/R3K3 w - - 0 1", "h2h3", 0, 0}};             // five pieces
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen) && playMoves(row.moves)) << row.moves;
    int value = 12345;
    const int probed = tablesMayKnow() && probeTablesAfterZeroing(searchPly, &value);
    EXPECT_EQ(std::make_pair(probed, probed ? value : row.value), std::make_pair(int(row.probed != 0), row.value))
        << row.fen << " " << row.moves;
    searchPly = 0;
  }
  TearDown();  // without tables nothing is kept or shown
  rootMoveTexts("8/8/8/4k3/8/8/8/KQ6 w - - 0 1");
  EXPECT_TRUE(!rootInTables && shownRootScore(1234) == 1234);
}

// Only the engine built here: another program under test (Windows, wine) has no tables.
struct TablesTranscript : ::testing::Test {
  EngineDir dir;
  void SetUp() override {
    if (getenv("MORVEK_ENGINE_BINARY") != nullptr) GTEST_SKIP() << "tables: the engine built here only";
    if (!haveTables()) GTEST_SKIP() << "no Fathom or no tables at " MORVEK_SYZYGY_TEST_DIR;
  }
};

TEST_F(TablesTranscript, UciShowsTableScoresMatesAndWhatTheOptionFound) {
  const struct { const char* fen; int depth; const char *score, *best; } rows[] = {  // best "" for any
      {"8/8/8/4k3/8/8/8/KQ6 w - - 0 1", 4, "cp 80000", ""}, {"8/8/8/4k3/8/8/8/KQ6 b - - 0 1", 4, "cp -80000", ""},
      {"8/8/8/8/8/k7/8/KQ5r b - - 0 1", 4, "cp 0", "h1b1"}, {"2k5/8/1K6/8/8/8/8/7R w - -", 4, "mate 2", "h1d1"},
      {"r3k3/8/8/8/8/8/7P/R3K3 w - - 0 1", 3, "cp 79999", "a1a8"}};
  std::string input = "uci\nsetoption name SyzygyPath value " MORVEK_SYZYGY_TEST_DIR "\n";
  for (const auto& row : rows) input += std::string("position fen ") + row.fen + "\ngo depth " + std::to_string(row.depth) + "\n";
  const EngineRun run = runEngine(dir, input + "setoption name SyzygyPath value /nonexistent\nsetoption name SyzygyPath value\n");
  const std::vector<UciGo> goes = uciGoes(run.out);
  ASSERT_EQ(goes.size(), 5u) << run.out;
  for (size_t i = 0; i < goes.size(); ++i)
    EXPECT_TRUE(goes[i].last().scoreText() == rows[i].score && (!*rows[i].best || goes[i].best == rows[i].best))
        << rows[i].fen << "\n" << run.out;
  EXPECT_NE(run.out.find("info string " + kFound), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\ninfo string SyzygyPath /nonexistent: no Syzygy tables found\n"
                         "info string SyzygyPath empty: no endgame tables\n"), std::string::npos) << run.out;
}

}  // namespace
