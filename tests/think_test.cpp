#include <gtest/gtest.h>

#include <cstring>

#include "board/make_move.h"
#include "board/move_text.h"
#include "book/book_table.h"
#include "engine/clock.h"
#include "engine/think.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

Move moveOf(const char* text) {
  Move m = 0;
  EXPECT_EQ(parseMove(text, &m), 1) << text;
  return m;
}

// A tick source that advances one centisecond per reading: the search then
// stops after a known number of clock readings, whatever the machine.
uint32_t fakeMilliseconds = 0;
uint32_t steppingTicks() { return fakeMilliseconds += 10; }

struct ThinkResult {
  int found;
  Move move;
  int score;  // of the chosen move's root record
};

ThinkResult thinkWithBudget(int64_t budget) {
  clearBookTable();  // no book move, no stored values from other tests
  searchClock.budget = budget;
  RootMove result{};
  const int found = think(result);
  int score = 0;
  for (int i = 0; i < kMaxRootMoves; ++i)
    if (found && rootMoves[i].move == result.move) score = rootMoves[i].score;
  return ThinkResult{found, result.move, score};
}

bool isLegalRootMove(Move m) {
  Move parsed = 0;
  char text[8];
  return m != 0 && parseMove(moveToText(m, text), &parsed) == 1 && parsed == m;
}

class ThinkTest : public ::testing::Test {
 protected:
  void TearDown() override { setTickSource(nullptr); }
};

}  // namespace

TEST_F(ThinkTest, MatesEndTheDeepeningWithTheirScores) {
  struct Case {
    const char* fen;
    int plies;
    const char* move;  // the only mating move, or null when several mate
  };
  const Case cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 1, "a1a8"},
      {"r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", 1, "a8a1"},
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", 3, nullptr},
      {"7k/8/8/4K3/8/8/8/R7 w - - 0 1", 5, nullptr},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(setFen(c.fen)) << c.fen;
    const ThinkResult r = thinkWithBudget(100000);  // far more than a mate needs
    ASSERT_EQ(r.found, 1) << c.fen;
    EXPECT_EQ(r.score, 1000000 - 1 - c.plies) << c.fen;
    if (c.move) {
      EXPECT_EQ(r.move, moveOf(c.move)) << c.fen;
    }
    EXPECT_LE(iterationDepth, c.plies + 2) << c.fen;  // no iteration past the mate
    EXPECT_FALSE(searchClock.stopFlag) << c.fen;
    EXPECT_EQ(searchClock.budget, 100000);  // the doubling is undone
  }
}

TEST_F(ThinkTest, NoLegalMoveMeansNoChoice) {
  const char* fens[] = {
      "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",    // stalemate
      "R6k/8/6K1/8/8/8/8/8 b - - 0 1",     // checkmate
      "4k3/8/8/8/8/8/4R3/4K3 w - - 0 1",   // the side not to move is in check
  };
  for (const char* fen : fens) {
    if (!setFen(fen)) continue;  // a set-up that refuses it is fine too
    EXPECT_EQ(thinkWithBudget(100).found, 0) << fen;
  }
}

TEST_F(ThinkTest, LeavesTheGameAsItFoundIt) {
  ASSERT_TRUE(setFen("r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12"));
  for (const char* t : {"a7a6", "a2a3", "a6a5"}) ASSERT_EQ(commitGameMove(moveOf(t)), 1);
  static Position before;
  before = pos;
  fakeMilliseconds = 0;
  setTickSource(steppingTicks);
  const ThinkResult r = thinkWithBudget(3);  // doubled to 6 clock readings
  EXPECT_EQ(r.found, 1);
  EXPECT_TRUE(isLegalRootMove(r.move));
  EXPECT_EQ(searchPly, 0);
  EXPECT_EQ(pos.gamePly, 3);
  EXPECT_EQ(std::memcmp(&before, &pos, sizeof pos), 0);
  EXPECT_EQ(searchClock.budget, 3);
  EXPECT_LE(searchClock.pollCount / 4096, 6u);  // the doubled budget bounds the readings
}

TEST_F(ThinkTest, ZeroBudgetStopsAtTheFirstClockReading) {
  ASSERT_TRUE(setFen("r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0"));
  fakeMilliseconds = 0;
  setTickSource(steppingTicks);
  const ThinkResult r = thinkWithBudget(0);
  EXPECT_EQ(r.found, 1);
  EXPECT_TRUE(isLegalRootMove(r.move));
  EXPECT_TRUE(searchClock.stopFlag);
  // The 4096th poll read the clock and stopped; the deepening loop adds its
  // own few polls before it gives up.
  EXPECT_GE(searchClock.pollCount, 4096u);
  EXPECT_LT(searchClock.pollCount, 4096u + 8);
  EXPECT_EQ(searchClock.budget, 0);
}

TEST_F(ThinkTest, SingleLegalMoveIsStillSearchedAndPlayed) {
  // Taking the rook is the only legal move.
  ASSERT_TRUE(setFen("7k/8/8/8/8/8/6r1/7K w - - 0 1"));
  fakeMilliseconds = 0;
  setTickSource(steppingTicks);
  const ThinkResult r = thinkWithBudget(2);
  EXPECT_EQ(r.found, 1);
  EXPECT_EQ(r.move, moveOf("h1g2"));
  EXPECT_GT(searchClock.pollCount, 4096u);  // it searched until the clock stopped it
}

TEST_F(ThinkTest, RootOrderIsByDepthThenScoreFirstOfEqualsStays) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  buildRootList();
  const int count = listStart[1] - listStart[0];
  ASSERT_EQ(count, 5);
  rootMoves[0].depth = 0, rootMoves[0].score = 9;
  rootMoves[1].depth = 1, rootMoves[1].score = -5;
  rootMoves[2].depth = 1, rootMoves[2].score = 7;
  rootMoves[3].depth = 1, rootMoves[3].score = 7;
  rootMoves[4].depth = 0, rootMoves[4].score = 50;
  const Move third = moveStack[2], fourth = moveStack[3];
  moveScore[2] = 1234;
  for (int i = 0; i < count; ++i) selectBestRoot(i, count - 1);
  EXPECT_EQ(rootMoves[0].score, 7);
  EXPECT_EQ(moveStack[0], third);  // the first of two equal records leads
  EXPECT_EQ(moveScore[0], 1234);   // scores travel with their moves
  EXPECT_EQ(moveStack[1], fourth);
  EXPECT_EQ(rootMoves[2].score, -5);
  EXPECT_EQ(rootMoves[3].score, 50);
  EXPECT_EQ(rootMoves[4].score, 9);
  for (int i = 0; i < count; ++i) EXPECT_EQ(rootMoves[i].move, moveStack[i]);
}

TEST_F(ThinkTest, WithoutTreeNodesTheBestRootRecordIsPlayed) {
  // Stands in for a search-tree block that could not be allocated: with no
  // root nodes the root search has nothing to offer, and the move must still
  // come from the root records, not from a missing front node.
  ASSERT_TRUE(setFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
  startClock();
  searchClock.budget = 100000;
  ASSERT_GT(prepareRoot(), 0);
  clearSearchTree();
  const Move chosen = deepen(3);
  EXPECT_TRUE(isLegalRootMove(chosen));
  EXPECT_EQ(chosen, rootMoves[0].move);  // the best static record
  EXPECT_EQ(searchPly, 0);
}
