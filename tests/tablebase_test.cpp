// Syzygy tables: results of known endings at the root and in the search,
// root moves that keep the result, and what the protocols show and say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

// The shared 3-4 piece tables, loaded once and switched on for each test of
// this fixture; the other tests of this program run without them.
struct Tables : ::testing::Test {
  void SetUp() override {
    if (!haveTables()) GTEST_SKIP() << "no Fathom or no tables at " MORVEK_SYZYGY_TEST_DIR;
    initEngineOnce();
    static int pieces = -1;
    if (pieces < 0) {
      char message[4300];
      loadTablebases(MORVEK_SYZYGY_TEST_DIR, message, sizeof message);
      EXPECT_NE(std::string(message).find("Syzygy tables for up to 4 pieces"), std::string::npos) << message;
      pieces = tablebasePieces;
    }
    tablebasePieces = pieces;
    ASSERT_EQ(tablebasePieces, 4);
  }
  void TearDown() override {
    tablebasePieces = 0;
    rootInTables = false;
  }
};

std::string moveText(Move m) {
  char text[16];
  return moveToText(m, text);
}

std::vector<std::string> rootMoveTexts() {
  std::vector<std::string> texts;
  for (int i = listStart[0]; i < listStart[1]; ++i) texts.push_back(moveText(moveStack[i]));
  return texts;
}

constexpr int kWin = kTableWin, kDraw = 0, kLoss = -kTableWin;

// Won, drawn and lost positions of each ending (results checked with
// Stockfish and the same tables), the side to move's view.
const struct {
  const char* fen;
  int result;
} kKnownEndings[] = {
    {"8/8/8/4k3/8/8/8/KQ6 w - - 0 1", kWin},          {"8/8/8/4k3/8/8/8/KQ6 b - - 0 1", kLoss},
    {"8/8/8/8/8/8/k7/1Q5K b - - 0 1", kDraw},         {"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", kWin},
    {"8/8/8/4k3/8/8/8/R3K3 b - - 0 1", kLoss},        {"8/8/8/8/8/8/k7/1R5K b - - 0 1", kDraw},
    {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", kWin},        {"4k3/8/4K3/4P3/8/8/8/8 b - - 0 1", kLoss},
    {"k7/8/8/8/8/8/P7/K7 w - - 0 1", kDraw},          {"8/8/8/4k3/8/8/8/KBN5 w - - 0 1", kWin},
    {"8/8/8/4k3/8/8/8/KBN5 b - - 0 1", kLoss},        {"8/8/8/8/8/8/3kN3/K1B5 b - - 0 1", kDraw},
    {"8/p7/8/8/3k4/8/8/K6R w - - 0 1", kWin},         {"8/p7/8/8/3k4/8/8/K6R b - - 0 1", kLoss},
    {"8/8/8/8/8/8/p7/K1kR4 b - - 0 1", kDraw},        {"8/8/4k3/8/8/8/2r5/K2Q4 w - - 0 1", kWin},
    {"8/8/4k3/8/8/8/2r5/K2Q4 b - - 0 1", kLoss},      {"8/8/8/8/8/k7/8/KQ5r b - - 0 1", kDraw},
};

TEST_F(Tables, RootResultsOfKnownEndingsAndEveryKeptMoveKeepsThem) {
  for (const auto& row : kKnownEndings) {
    ASSERT_TRUE(setFen(row.fen)) << row.fen;
    buildRootList();
    ASSERT_TRUE(rootInTables) << row.fen;
    EXPECT_EQ(rootTableScore, row.result) << row.fen;
    const std::vector<std::string> kept = rootMoveTexts();
    ASSERT_FALSE(kept.empty()) << row.fen;
    for (const std::string& text : kept) {
      Move m = 0;
      ASSERT_TRUE(parseMove(text.c_str(), &m) && commitGameMove(m)) << text;
      buildRootList();
      if (listStart[1] == listStart[0]) {  // no reply: only a mate keeps a win
        EXPECT_TRUE(row.result == kWin && inCheck()) << row.fen << " " << text;
      } else {
        EXPECT_EQ(rootTableScore, -row.result) << row.fen << " " << text;
      }
      ASSERT_TRUE(takeBackGameMove());
    }
  }
  // Drawn by taking the one piece that wins: only the capture is kept.
  ASSERT_TRUE(setFen("8/8/8/8/8/k7/8/KQ5r b - - 0 1"));
  buildRootList();
  EXPECT_EQ(rootMoveTexts(), std::vector<std::string>{"h1b1"});
}

TEST_F(Tables, OnlyTheRookPromotionWinsWhereTheQueenStalemates) {
  ASSERT_TRUE(setFen("8/k1P5/8/1K6/8/8/8/8 w - - 0 1"));
  buildRootList();
  const std::vector<std::string> kept = rootMoveTexts();
  EXPECT_EQ(rootTableScore, kWin);
  EXPECT_NE(std::find(kept.begin(), kept.end(), "c7c8r"), kept.end());
  EXPECT_EQ(std::find(kept.begin(), kept.end(), "c7c8q"), kept.end());
  EXPECT_EQ(std::find(kept.begin(), kept.end(), "c7c8n"), kept.end());
}

TEST_F(Tables, TheFiftyMoveCountLeavesOnlyMovesThatStillWinInTime) {
  // KBN v K: with a fresh count every winning move is kept; near the
  // fiftieth move only those that mate or capture soon enough.
  ASSERT_TRUE(setFen("8/8/8/4k3/8/8/8/KBN5 w - - 0 1"));
  buildRootList();
  const size_t fresh = rootMoveTexts().size();
  ASSERT_TRUE(setFen("8/8/8/4k3/8/8/8/KBN5 w - - 70 80"));
  noteSetupFen("8/8/8/4k3/8/8/8/KBN5 w - - 70 80");
  buildRootList();
  const size_t late = rootMoveTexts().size();
  noteSetupFen("8/8/8/4k3/8/8/8/KBN5 w - - 0 1");
  EXPECT_GT(fresh, late);
  EXPECT_GE(late, 1u);
}

TEST_F(Tables, TheSearchProbesAfterCapturesAndPawnMovesOnly) {
  const struct {
    const char* fen;
    const char* moves;
    int probed;
    int value;  // for the side to move after the moves
  } rows[] = {
      {"r3k3/8/8/8/8/8/7P/R3K3 w - - 0 1", "a1a8", 1, 1 - kTableWin},  // five pieces, then four
      {"8/8/8/8/8/k7/8/KQ5r b - - 0 1", "h1b1", 1, 0},                // KRvK, the rook hangs
      {"k7/8/8/8/8/8/P7/K7 w - - 0 1", "a2a3", 1, 0},                  // pawn move, drawn
      {"4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", "e6d6 e8d8 e5e6", 3, 3 - kTableWin},
      {"8/8/8/4k3/8/8/8/KQ6 w - - 0 1", "b1b2", 0, 0},                 // no capture, no pawn move
      {"r3k3/8/8/8/8/8/7P/R3K3 w - - 0 1", "h2h3", 0, 0},              // five pieces
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen));
    ASSERT_TRUE(playMoves(row.moves)) << row.moves;
    int value = 12345;
    const int probed = tablesMayKnow() && probeTablesAfterZeroing(searchPly, &value);
    EXPECT_EQ(probed, row.probed != 0) << row.fen << " " << row.moves;
    if (probed) {
      EXPECT_EQ(value, row.value) << row.fen << " " << row.moves;
    }
    searchPly = 0;
  }
}

TEST(TablesOff, NothingIsKeptOrShownWithoutTables) {
  ASSERT_TRUE(setFen("8/8/8/4k3/8/8/8/KQ6 w - - 0 1"));
  buildRootList();
  EXPECT_FALSE(rootInTables);
  EXPECT_EQ(tablebasePieces, 0);
  EXPECT_EQ(shownRootScore(1234), 1234);
}

// Runs only the engine built here: another program under test (the Windows
// build under wine) has no tables, and these runs need no launcher.
struct TablesTranscript : ::testing::Test {
  EngineDir dir;
  void SetUp() override {
    if (getenv("MORVEK_ENGINE_BINARY") != nullptr) GTEST_SKIP() << "tables: the engine built here only";
  }
};

// Lines of out that begin with prefix.
TEST_F(TablesTranscript, UciShowsTableScoresMatesAndWhatTheOptionFound) {
  if (!haveTables()) GTEST_SKIP() << "no Fathom or no tables at " MORVEK_SYZYGY_TEST_DIR;
  const std::string set = "uci\nsetoption name SyzygyPath value " MORVEK_SYZYGY_TEST_DIR "\n";
  const struct {
    std::string input;
    std::string lastInfo;  // the score of the last info line
    std::string bestmove;  // "" for any
  } rows[] = {
      {set + "position fen 8/8/8/4k3/8/8/8/KQ6 w - - 0 1\ngo depth 4\n", "score cp 80000 ", ""},
      {set + "position fen 8/8/8/4k3/8/8/8/KQ6 b - - 0 1\ngo depth 4\n", "score cp -80000 ", ""},
      {set + "position fen 8/8/8/8/8/k7/8/KQ5r b - - 0 1\ngo depth 4\n", "score cp 0 ", "bestmove h1b1"},
      {set + "position fen 2k5/8/1K6/8/8/8/8/7R w - -\ngo depth 4\n", "score mate 2 ", "bestmove h1d1"},
      {set + "position fen r3k3/8/8/8/8/8/7P/R3K3 w - - 0 1\ngo depth 3\n", "score cp 79999 ", "bestmove a1a8"},
  };
  for (const auto& row : rows) {
    const EngineRun run = runEngine(dir, row.input);
    EXPECT_NE(run.out.find("info string SyzygyPath " MORVEK_SYZYGY_TEST_DIR ": Syzygy tables for up to 4 pieces\n"),
              std::string::npos)
        << run.out;
    const std::vector<std::string> infos = linesStarting(run.out, "info depth ");
    ASSERT_FALSE(infos.empty()) << run.out;
    EXPECT_NE(infos.back().find(row.lastInfo), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(row.bestmove), std::string::npos) << run.out;
  }
  const EngineRun off = runEngine(dir, "uci\nsetoption name SyzygyPath value /nonexistent\nsetoption name SyzygyPath value\n");
  EXPECT_NE(off.out.find("info string SyzygyPath /nonexistent: no Syzygy tables found\n"
                         "info string SyzygyPath empty: no endgame tables\n"),
            std::string::npos)
      << off.out;
}

// Runs the engine with arguments through the shell: standard output, and
// standard error after it.
std::string runWithArguments(const EngineDir& dir, const std::string& arguments, const std::string& input) {
  const std::string inputPath = dir.path + "/input.txt", errorPath = dir.path + "/error.txt";
  std::ofstream(inputPath) << input;
  const std::string command = "MORVEK_INSTANCE_LOCK=" + dir.lockPath + " " + dir.binary + " " + arguments + " <" +
                              inputPath + " 2>" + errorPath;
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  std::stringstream error;
  error << std::ifstream(errorPath).rdbuf();
  return out + "--- stderr\n" + error.str();
}

TEST_F(TablesTranscript, CommandLineFilesForXboard) {
  if (!haveTables() || access(MORVEK_GNUCHESS_BOOK, R_OK) != 0) GTEST_SKIP() << "needs the tables and gnuchess-book";
  // The book answers the first move at once, without a search.
  const std::string book = runWithArguments(dir, "--book " MORVEK_GNUCHESS_BOOK, "new\ngo\nquit\n");
  EXPECT_NE(book.find("--- stderr\nBookFile " MORVEK_GNUCHESS_BOOK ": 180358 entries\n"), std::string::npos) << book;
  const std::vector<std::string> moves = linesStarting(book, "move ");
  ASSERT_EQ(moves.size(), 1u) << book;
  EXPECT_TRUE(moves[0] == "move e2e4" || moves[0] == "move d2d4" || moves[0] == "move c2c4" ||
              moves[0] == "move g1f3" || moves[0] == "move b2b3" || moves[0] == "move f2f4" ||
              moves[0] == "move g2g3" || moves[0] == "move b1c3" || moves[0] == "move e2e3")
      << book;
  EXPECT_EQ(book.find(" 0 "), std::string::npos) << "no thinking line: " << book;
  // The only move that keeps the draw, by the tables.
  const std::string tables = runWithArguments(dir, "--syzygy " MORVEK_SYZYGY_TEST_DIR,
                                              "new\nforce\nsetboard 8/8/8/8/8/k7/8/KQ5r b - - 0 1\nst 1\ngo\nquit\n");
  EXPECT_NE(tables.find("move h1b1\n"), std::string::npos) << tables;
  EXPECT_NE(tables.find("--- stderr\nSyzygyPath " MORVEK_SYZYGY_TEST_DIR ": Syzygy tables for up to 4 pieces\n"),
            std::string::npos)
      << tables;
  const std::string bad = runWithArguments(dir, "--book /nonexistent.bin", "new\nquit\n");
  EXPECT_NE(bad.find("--- stderr\nBookFile /nonexistent.bin cannot be opened (No such file or directory), not used\n"),
            std::string::npos)
      << bad;
}

}  // namespace
