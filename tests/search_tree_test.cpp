#include <gtest/gtest.h>

#include <vector>

#include "board/make_move.h"
#include "board/move_text.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

using Moves = std::vector<Move>;

// Parses move texts by playing them through and back; ends with 0.
Moves lineOf(std::vector<const char*> texts) {
  Moves moves;
  for (const char* t : texts) {
    Move m = 0;
    EXPECT_EQ(parseMove(t, &m), 1) << t;
    moves.push_back(m);
    commitGameMove(m);
  }
  for (size_t i = 0; i < moves.size(); ++i) takeBackGameMove();
  moves.push_back(0);
  return moves;
}

Moves listMoves(const TreeNode* node) {
  Moves moves;
  for (; node; node = node->next) moves.push_back(node->move);
  return moves;
}

class SearchTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setFen(kStartFen));
    ASSERT_EQ(allocateSearchTree(), 1);
    clearSearchTree();
  }
  // As the driver seeds it: each root move pushed at the front in turn.
  void seedRoot(const Moves& moves) {
    for (Move m : moves) {
      if (m) pushFront(&searchTree->rootList, newTreeNode(0, 0, 0, 0, m, pos.keyLow, pos.keyHigh));
    }
  }
  TreeNode* root() { return searchTree->rootList; }
};

TEST_F(SearchTreeTest, StoredLinesComeToTheFrontNewestFirst) {
  Moves r;
  for (const char* t : {"e2e4", "d2d4", "g1f3", "c2c4"}) r.push_back(lineOf({t})[0]);
  seedRoot(r);
  EXPECT_EQ(listMoves(root()), (Moves{r[3], r[2], r[1], r[0]}));
  const uint64_t key = currentKey();
  Moves line = lineOf({"d2d4", "d7d5", "c2c4"});
  storeRootLine(line.data(), 5, 120);
  EXPECT_EQ(currentKey(), key);
  EXPECT_EQ(searchPly, 0);
  // d2d4 sat third: front now, stamp one above the old front, rest in order.
  EXPECT_EQ(listMoves(root()), (Moves{r[1], r[3], r[2], r[0]}));
  EXPECT_EQ(root()->stamp, 5);
  TreeNode* reply = root()->firstChild;
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->depth, 4);
  EXPECT_EQ(reply->score, 120);
  EXPECT_EQ(reply->sideToMove, kWhite);
  EXPECT_EQ(reply->firstChild->depth, 3);
  EXPECT_EQ(searchTree->nodeCount, 6);

  storeRootLine(line.data(), 6, -50);  // again: only depths change
  EXPECT_EQ(searchTree->nodeCount, 6);
  EXPECT_EQ(root()->stamp, 5);
  EXPECT_EQ(reply->depth, 5);
  EXPECT_EQ(reply->score, 120);

  Moves other = lineOf({"d2d4", "g8f6"});
  storeRootLine(other.data(), 7, 0);
  EXPECT_EQ(listMoves(root()->firstChild), (Moves{other[1], line[1]}));
  // Key bucket of the newest node: its low ten key bits, at the chain's head.
  TreeNode* g8f6 = root()->firstChild;
  EXPECT_EQ(searchTree->keyBuckets[g8f6->keyLow & 0x3FF], g8f6);
}

TEST_F(SearchTreeTest, OnlyTheFirstEightyMovesAreStored) {
  std::vector<const char*> texts;
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 85; ++i) texts.push_back(cycle[i % 4]);
  Moves line = lineOf(texts);
  storeRootLine(line.data(), 85, 0);
  int length = 0;
  for (TreeNode* n = root(); n; n = n->firstChild) ++length;
  EXPECT_EQ(length, kMaxStoredLine);
  EXPECT_EQ(searchTree->nodeCount, kMaxStoredLine);
}

TEST_F(SearchTreeTest, FindTreeListFollowsTheCurrentLine) {
  EXPECT_EQ(findTreeList(), &searchTree->rootList);  // ply 0, even when empty
  Moves line = lineOf({"e2e4", "e7e5"});
  Moves off = lineOf({"g1f3", "c7c5"});
  storeRootLine(line.data(), 3, 0);
  makeMove(line[0]);
  ASSERT_NE(findTreeList(), nullptr);
  EXPECT_EQ(listMoves(*findTreeList()), (Moves{line[1]}));
  makeMove(off[1]);
  EXPECT_EQ(findTreeList(), nullptr);  // second move has no node under the first
  unmakeMove(off[1]);
  unmakeMove(line[0]);
  makeMove(off[0]);
  EXPECT_EQ(findTreeList(), nullptr);
  unmakeMove(off[0]);
}

TEST_F(SearchTreeTest, FullPoolStopsTheLineWithoutMisfilingIt) {
  Moves early = lineOf({"d2d4", "g8f6", "c2c4"});
  storeRootLine(early.data(), 4, 0);
  TreeNode* c2c4 = root()->firstChild->firstChild;
  searchTree->nodeCount = kTreeNodes;
  const uint64_t key = currentKey();
  // No node for d7d5: the rest of the line must not land under g8f6.
  Moves later = lineOf({"d2d4", "d7d5", "c2c4"});
  storeRootLine(later.data(), 9, 0);
  EXPECT_EQ(root()->depth, 9);  // existing nodes still take the new depth
  EXPECT_EQ(listMoves(root()->firstChild), (Moves{early[1]}));
  EXPECT_EQ(c2c4->depth, 2);
  EXPECT_EQ(currentKey(), key);
  EXPECT_EQ(searchPly, 0);
}

}  // namespace
