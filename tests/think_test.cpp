// Move choice: root ordering, iterative deepening under the clock, and what a
// think leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "book/book_table.h"
#include "engine/clock.h"
#include "engine/think.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

// A quiet move by its text; the board is not consulted.
Move mv(const char* text, int piece = kPawn) { return boardMove(text, text + 2, piece); }

// One centisecond per clock reading; the largest budget seen shows the doubling.
uint32_t fakeMilliseconds = 0;
int64_t largestBudgetSeen = 0;
uint32_t steppingTicks() {
  largestBudgetSeen = std::max(largestBudgetSeen, searchClock.budget);
  return fakeMilliseconds += 10;
}

// Thinks with no book: the move's text ("" for none, "illegal" for one not
// legal here) and its root record's score.
std::pair<std::string, int> thinkWithBudget(int64_t budget) {
  setTickSource(steppingTicks);
  clearBookTable();
  searchClock.budget = budget, largestBudgetSeen = 0;
  RootMove result{};
  const int found = think(result, gameMoveRequest());
  setTickSource(nullptr);
  char text[8] = "";
  Move parsed = 0;
  if (found && (parseMove(moveToText(result.move, text), &parsed) != 1 || parsed != result.move)) return {"illegal", 0};
  int score = 0;
  for (const RootMove& r : rootMoves) score = found && r.move == result.move ? r.score : score;
  return {text, score};
}

// Pondering guesses the reply from the record of the move played, never
// from another root move's line (the best one's, say, after a weaker move).
TEST(Think, TheExpectedReplyComesFromThePlayedMovesOwnLine) {
  const Move e4 = mv("e2e4"), d4 = mv("d2d4"), c4 = mv("c2c4");
  memset(rootMoves, 0, sizeof rootMoves);
  rootMoves[0] = RootMove{0, 3, 5, {e4, mv("e7e5")}, e4};
  rootMoves[1] = RootMove{0, 3, 5, {d4, mv("d7d5")}, d4};
  rootMoves[2] = RootMove{0, 3, 5, {}, c4};
  const struct { Move played; const char* text; const char* reply; } rows[] = {
      {d4, "d2d4", "d7d5"}, {c4, "c2c4", nullptr}, {mv("g1f3", kKnight), "g1f3", nullptr}};
  for (const auto& row : rows) {
    Move reply = 0;
    ASSERT_TRUE(setFen(kStartFen) && playMoves(row.text) && (!row.reply || parseMove(row.reply, &reply)));
    EXPECT_EQ(expectedReply(row.played), reply) << row.text;
  }
  memset(rootMoves, 0, sizeof rootMoves);
}

// Thinks after the game moves: the move ("" none, nullptr any), a mate's score with no iteration past it,
// the budget doubled only before game ply 60 (-1: not checked) and put back, the game as found. Budget 0
// stops at the 4096th poll, mid-line; the deepening adds only a few polls.
TEST(Think, DeepeningEndsAtMatesAndTheBudgetAndLeavesTheGameAsFound) {
  std::string knights;
  for (int i = 0; i < 60; ++i) knights += std::string("g1f3e8d8f3g1d8e8" + 4 * (i % 4), 4) + " ";
  const char* const shuffle = "4k3/p7/8/8/8/8/P7/4K1N1 w - - 0 1";
  const struct { const char* fen; std::string moves; int64_t budget; const char* move; int plies; int64_t largest; } rows[] = {
      {kMateInOne, "", 100000, "a1a8", 1, -1}, {"r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", "", 100000, "a8a1", 1, -1},
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", "", 100000, nullptr, 3, -1}, {"7k/8/8/4K3/8/8/8/R7 w - - 0 1", "", 100000, nullptr, 5, -1},
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "", 100000, "", 0, -1}, {"R6k/8/6K1/8/8/8/8/8 b - - 0 1", "", 100000, "", 0, -1},
      {shuffle, knights.substr(0, 59 * 5), 7, nullptr, 0, 14}, {shuffle, knights, 7, nullptr, 0, 7},
      {"r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12", "a7a6 a2a3 a6a5", 0, nullptr, 0, -1}};
  for (const auto& c : rows) {
    ASSERT_TRUE(setFen(c.fen) && playMoves(c.moves.c_str(), true));
    const PositionImage before(sizeof(Position));
    const auto [move, score] = thinkWithBudget(c.budget);
    EXPECT_TRUE(c.move ? move == c.move : move.size() == 4) << c.fen << " " << move;
    EXPECT_TRUE(before.unchanged() && searchClock.budget == c.budget && (c.largest < 0 || largestBudgetSeen == c.largest))
        << c.fen << " " << largestBudgetSeen;
    if (c.plies) {
      EXPECT_EQ(score, kMatedAtZero - c.plies) << c.fen;
      EXPECT_TRUE(iterationDepth <= c.plies + 2 && !searchClock.stopFlag) << c.fen;  // no iteration past the mate
    }
    if (c.budget == 0) { EXPECT_TRUE(searchClock.stopFlag && searchClock.pollCount >= 4096u && searchClock.pollCount < 4096u + 8); }
  }
}

TEST(Think, RootOrderByDepthThenScoreAndNoTreeStillPlaysTheBestRecord) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  buildRootList();
  ASSERT_EQ(listStart[1] - listStart[0], 5);
  const int depths[5] = {0, 1, 1, 1, 0}, scores[5] = {9, -5, 7, 7, 50};
  for (int i = 0; i < 5; ++i) rootMoves[i].depth = depths[i], rootMoves[i].score = scores[i];
  const Move third = moveStack[2], fourth = moveStack[3];
  moveScore[2] = 1234;
  for (int i = 0; i < 5; ++i) selectBestRoot(i, 4);
  EXPECT_TRUE(moveStack[0] == third && moveScore[0] == 1234 && moveStack[1] == fourth);  // first of equals leads
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rootMoves[i].move, moveStack[i]);
  EXPECT_TRUE(rootMoves[2].score == -5 && rootMoves[3].score == 50 && rootMoves[4].score == 9);
  // No search-tree block, no root nodes: the move must come from the root records.
  ASSERT_TRUE(setFen(kMateInOne));
  startClock();
  searchClock.budget = 100000;
  ASSERT_GT(prepareRoot(), 0);
  clearSearchTree();
  const Move chosen = deepen(3);
  EXPECT_TRUE(chosen == boardMove("a1", "a8", kRook) && chosen == rootMoves[0].move && searchPly == 0);
}

}  // namespace
