// Move choice: the search tree of principal lines, root ordering, iterative
// deepening under the clock, and what a think leaves behind.
#include <gtest/gtest.h>

#include <vector>

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

using Moves = std::vector<Move>;

// Parses move texts by playing them through and back; ends with 0.
Moves lineOf(std::vector<const char*> texts) {
  Moves moves;
  for (const char* t : texts) {
    Move m = 0;
    EXPECT_TRUE(parseMove(t, &m) == 1 && commitGameMove(m) == 1) << t;
    moves.push_back(m);
  }
  for (size_t i = 0; i < texts.size(); ++i) takeBackGameMove();
  moves.push_back(0);
  return moves;
}

Moves listMoves(const TreeNode* node) {
  Moves moves;
  for (; node; node = node->next) moves.push_back(node->move);
  return moves;
}

void freshTree() {
  ASSERT_TRUE(setFen(kStartFen));
  ASSERT_EQ(allocateSearchTree(), 1);
  clearSearchTree();
}

TEST(SearchTree, StoredLinesComeToTheFrontAndShareNodes) {
  freshTree();
  Moves r;  // seeded as the driver does: each root move pushed at the front
  for (const char* t : {"e2e4", "d2d4", "g1f3", "c2c4"}) r.push_back(lineOf({t})[0]);
  for (Move m : r) pushFront(&searchTree->rootList, newTreeNode(0, 0, 0, 0, m, pos.keyLow, pos.keyHigh));
  const Moves line = lineOf({"d2d4", "d7d5", "c2c4"});
  storeRootLine(line.data(), 5, 120);
  TreeNode* root = searchTree->rootList;
  // d2d4 sat third: front now, stamp one above the old front, the rest in order.
  EXPECT_EQ(listMoves(root), (Moves{r[1], r[3], r[2], r[0]}));
  TreeNode* reply = root->firstChild;
  ASSERT_NE(reply, nullptr);
  EXPECT_TRUE(root->stamp == 5 && reply->depth == 4 && reply->score == 120 && reply->sideToMove == kWhite);
  EXPECT_TRUE(reply->firstChild->depth == 3 && searchTree->nodeCount == 6);
  storeRootLine(line.data(), 6, -50);  // again: only the depths change
  EXPECT_TRUE(searchTree->nodeCount == 6 && root->stamp == 5 && reply->depth == 5 && reply->score == 120);
  const Moves other = lineOf({"d2d4", "g8f6"});
  storeRootLine(other.data(), 7, 0);
  EXPECT_EQ(listMoves(root->firstChild), (Moves{other[1], line[1]}));
  EXPECT_EQ(searchTree->keyBuckets[root->firstChild->keyLow & 0x3FF], root->firstChild);
  EXPECT_EQ(searchPly, 0);
}

TEST(SearchTree, LongLinesAndAFullPool) {
  freshTree();
  std::vector<const char*> texts;
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 85; ++i) texts.push_back(cycle[i % 4]);
  storeRootLine(lineOf(texts).data(), 85, 0);
  EXPECT_EQ(searchTree->nodeCount, kMaxStoredLine);  // only the first 80 moves

  freshTree();
  const Moves early = lineOf({"d2d4", "g8f6", "c2c4"});
  storeRootLine(early.data(), 4, 0);
  TreeNode* c2c4 = searchTree->rootList->firstChild->firstChild;
  searchTree->nodeCount = kTreeNodes;
  // No node for d7d5: the rest of the line must not land under g8f6.
  storeRootLine(lineOf({"d2d4", "d7d5", "c2c4"}).data(), 9, 0);
  EXPECT_EQ(searchTree->rootList->depth, 9);  // existing nodes still take the new depth
  EXPECT_EQ(listMoves(searchTree->rootList->firstChild), (Moves{early[1]}));
  EXPECT_EQ(c2c4->depth, 2);
  EXPECT_EQ(searchPly, 0);
}

// One centisecond per clock reading: the search stops after a known number of readings.
uint32_t fakeMilliseconds = 0;
uint32_t steppingTicks() { return fakeMilliseconds += 10; }

struct ThinkResult { int found; Move move; int score; };

ThinkResult thinkWithBudget(int64_t budget, bool steppingClock) {
  fakeMilliseconds = 0;
  setTickSource(steppingClock ? steppingTicks : nullptr);
  clearBookTable();  // no book move, no stored values from other tests
  searchClock.budget = budget;
  RootMove result{};
  const int found = think(result);
  setTickSource(nullptr);
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

TEST(Think, MatesEndTheDeepeningWithTheirScores) {
  const struct { const char* fen; int plies; const char* move; } cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 1, "a1a8"}, {"r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", 1, "a8a1"},
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", 3, nullptr},   {"7k/8/8/4K3/8/8/8/R7 w - - 0 1", 5, nullptr}};
  for (const auto& c : cases) {
    ASSERT_TRUE(setFen(c.fen));
    const ThinkResult r = thinkWithBudget(100000, false);  // far more than a mate needs
    EXPECT_TRUE(r.found && r.score == kMatedAtZero - c.plies) << c.fen << " " << r.score;
    if (c.move) {
      EXPECT_TRUE(isLegalRootMove(r.move) && r.move == lineOf({c.move})[0]) << c.fen;
    }
    EXPECT_LE(iterationDepth, c.plies + 2) << c.fen;  // no iteration past the mate
    EXPECT_TRUE(!searchClock.stopFlag && searchClock.budget == 100000);  // the doubling is undone
  }
  // Stalemate, checkmate: no choice.
  for (const char* fen : {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "R6k/8/6K1/8/8/8/8/8 b - - 0 1"}) {
    ASSERT_TRUE(setFen(fen));
    EXPECT_EQ(thinkWithBudget(100, false).found, 0) << fen;
  }
}

TEST(Think, ClockReadingsLimitTheSearchAndTheGameIsLeftAsFound) {
  ASSERT_TRUE(setFen("r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12"));
  for (Move m : lineOf({"a7a6", "a2a3", "a6a5"}))
    if (m) {
      ASSERT_EQ(commitGameMove(m), 1);
    }
  const PositionImage before(sizeof(Position));
  ThinkResult r = thinkWithBudget(3, true);  // doubled to 6 clock readings
  EXPECT_TRUE(r.found && isLegalRootMove(r.move));
  EXPECT_TRUE(before.unchanged() && pos.gamePly == 3);
  EXPECT_TRUE(searchClock.budget == 3 && searchClock.pollCount / 4096 <= 6u);
  // Budget 0: the 4096th poll reads the clock and stops; the deepening loop
  // adds its own few polls before it gives up.
  ASSERT_TRUE(setFen("r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0"));
  r = thinkWithBudget(0, true);
  EXPECT_TRUE(r.found && isLegalRootMove(r.move) && searchClock.stopFlag);
  EXPECT_TRUE(searchClock.pollCount >= 4096u && searchClock.pollCount < 4096u + 8) << searchClock.pollCount;
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

  // A search-tree block that could not be allocated leaves no root nodes:
  // the move must come from the root records, not from a missing front node.
  ASSERT_TRUE(setFen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"));
  startClock();
  searchClock.budget = 100000;
  ASSERT_GT(prepareRoot(), 0);
  clearSearchTree();
  const Move chosen = deepen(3);
  EXPECT_TRUE(isLegalRootMove(chosen) && chosen == rootMoves[0].move && searchPly == 0);
}

}  // namespace
