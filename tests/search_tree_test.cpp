#include <gtest/gtest.h>

#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

Move moveOf(const char* text) {
  Move m = 0;
  EXPECT_EQ(parseMove(text, &m), 1) << text;
  return m;
}

// Parses a line of move texts by playing it through and back.
std::vector<Move> lineOf(std::vector<const char*> texts) {
  std::vector<Move> moves;
  for (const char* t : texts) {
    Move m = moveOf(t);
    moves.push_back(m);
    commitGameMove(m);
  }
  for (size_t i = 0; i < moves.size(); ++i) takeBackGameMove();
  moves.push_back(0);
  return moves;
}

std::vector<Move> listMoves(TreeNode* node) {
  std::vector<Move> moves;
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
  // As the driver seeds it: every root move pushed at the front in turn.
  void seedRoot(std::vector<const char*> texts) {
    for (const char* t : texts) {
      Move m = moveOf(t);
      uint32_t keyLow = pos.keyLow, keyHigh = pos.keyHigh;
      int side = pos.sideToMove;
      makeMove(m);
      TreeNode* node = newTreeNode(0, side, 0, inCheck(), m, keyLow, keyHigh);
      unmakeMove(m);
      pushFront(&searchTree->rootList, node);
    }
  }
  TreeNode* root() { return searchTree->rootList; }
};

TEST_F(SearchTreeTest, RootListRunsInReverseOfSeeding) {
  seedRoot({"e2e4", "d2d4", "g1f3", "c2c4"});
  EXPECT_EQ(listMoves(root()), (std::vector<Move>{moveOf("c2c4"), moveOf("g1f3"), moveOf("d2d4"), moveOf("e2e4")}));
  EXPECT_EQ(root()->stamp, 4);
  EXPECT_EQ(root()->next->next->next->stamp, 1);
  EXPECT_EQ(frontRootMove(), moveOf("c2c4"));
}

TEST_F(SearchTreeTest, StoringBringsTheLineToTheFront) {
  seedRoot({"e2e4", "d2d4", "g1f3", "c2c4"});
  const uint64_t key = currentKey();
  std::vector<Move> line = lineOf({"d2d4", "d7d5", "c2c4"});
  storeRootLine(line.data(), 5, 120);

  EXPECT_EQ(currentKey(), key);
  EXPECT_EQ(searchPly, 0);
  // d2d4 sat third: it goes to the front, the others keep their order.
  EXPECT_EQ(listMoves(root()), (std::vector<Move>{moveOf("d2d4"), moveOf("c2c4"), moveOf("g1f3"), moveOf("e2e4")}));
  EXPECT_EQ(root()->stamp, 5);
  EXPECT_EQ(root()->depth, 5);
  TreeNode* reply = root()->firstChild;
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->move, line[1]);
  EXPECT_EQ(reply->depth, 4);
  EXPECT_EQ(reply->score, 120);
  EXPECT_EQ(reply->sideToMove, kWhite);
  EXPECT_EQ(reply->stamp, 1);
  ASSERT_NE(reply->firstChild, nullptr);
  EXPECT_EQ(reply->firstChild->depth, 3);
  EXPECT_EQ(reply->firstChild->sideToMove, kBlack);
  EXPECT_EQ(searchTree->nodeCount, 6);

  // The node records the key after its move.
  makeMove(line[0]);
  makeMove(line[1]);
  EXPECT_EQ(reply->keyLow, pos.keyLow);
  EXPECT_EQ(reply->keyHigh, pos.keyHigh);
  unmakeMove(line[1]);
  unmakeMove(line[0]);

  // The same line again: only depths change, no node is taken.
  storeRootLine(line.data(), 6, -50);
  EXPECT_EQ(searchTree->nodeCount, 6);
  EXPECT_EQ(root()->stamp, 5);
  EXPECT_EQ(root()->depth, 6);
  EXPECT_EQ(reply->depth, 5);
  EXPECT_EQ(reply->score, 120);
  EXPECT_EQ(reply->firstChild->depth, 4);

  // Another reply goes in front of the old one.
  std::vector<Move> other = lineOf({"d2d4", "g8f6"});
  storeRootLine(other.data(), 7, 0);
  EXPECT_EQ(listMoves(root()->firstChild), (std::vector<Move>{other[1], line[1]}));
  EXPECT_EQ(root()->firstChild->stamp, 2);
}

TEST_F(SearchTreeTest, OnlyTheFirstEightyMovesAreStored) {
  seedRoot({"g1f3"});
  std::vector<const char*> texts;
  const char* cycle[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 85; ++i) texts.push_back(cycle[i % 4]);
  std::vector<Move> line = lineOf(texts);
  const uint64_t key = currentKey();
  storeRootLine(line.data(), 85, 0);
  EXPECT_EQ(currentKey(), key);
  int length = 0;
  TreeNode* last = nullptr;
  for (TreeNode* n = root(); n; n = n->firstChild, ++length) last = n;
  EXPECT_EQ(length, kMaxStoredLine);
  EXPECT_EQ(last->depth, 85 - 79);
  EXPECT_EQ(searchTree->nodeCount, kMaxStoredLine);  // the root node was seeded
}

TEST_F(SearchTreeTest, FindTreeListFollowsTheCurrentLine) {
  EXPECT_EQ(findTreeList(), &searchTree->rootList);  // ply 0, empty list
  seedRoot({"e2e4", "d2d4"});
  std::vector<Move> line = lineOf({"e2e4", "e7e5"});
  storeRootLine(line.data(), 3, 0);

  makeMove(line[0]);
  TreeNode** slot = findTreeList();
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(listMoves(*slot), (std::vector<Move>{line[1]}));
  makeMove(line[1]);
  slot = findTreeList();
  ASSERT_NE(slot, nullptr);  // on the tree, with nothing stored below yet
  EXPECT_EQ(*slot, nullptr);
  unmakeMove(line[1]);

  Move c7c5 = moveOf("c7c5");
  makeMove(c7c5);
  EXPECT_EQ(findTreeList(), nullptr);  // second move has no node under the first
  unmakeMove(c7c5);
  unmakeMove(line[0]);

  Move g1f3 = moveOf("g1f3");
  makeMove(g1f3);
  EXPECT_EQ(findTreeList(), nullptr);
  unmakeMove(g1f3);
  EXPECT_EQ(findLink(nullptr, g1f3), nullptr);
}

TEST_F(SearchTreeTest, NewNodesGoToTheHeadOfTheirKeyBucket) {
  TreeNode* first = newTreeNode(1, 0, 0, 0, 11, 0xABC0000 | 0x2F5, 1);
  TreeNode* second = newTreeNode(1, 0, 0, 0, 12, 0x1230000 | 0x2F5, 2);
  TreeNode* other = newTreeNode(1, 0, 0, 0, 13, 0x2F4, 3);
  pushFront(&searchTree->rootList, first);
  pushFront(&first->firstChild, second);
  pushFront(&searchTree->rootList, other);
  EXPECT_EQ(searchTree->keyBuckets[0x2F5], second);
  EXPECT_EQ(second->keyBucketNext, first);
  EXPECT_EQ(first->keyBucketNext, nullptr);
  EXPECT_EQ(searchTree->keyBuckets[0x2F4], other);
  // Pushing the front again changes nothing (and does not chain it twice).
  pushFront(&searchTree->rootList, other);
  EXPECT_EQ(other->keyBucketNext, nullptr);
  EXPECT_EQ(other->stamp, 2);
}

TEST_F(SearchTreeTest, FullPoolStopsTheLineWithoutMisfilingIt) {
  seedRoot({"e2e4", "d2d4"});
  std::vector<Move> early = lineOf({"d2d4", "g8f6", "c2c4"});
  storeRootLine(early.data(), 4, 0);
  TreeNode* g8f6 = root()->firstChild;
  TreeNode* c2c4 = g8f6->firstChild;

  searchTree->nodeCount = kTreeNodes;
  const uint64_t key = currentKey();
  std::vector<Move> line = lineOf({"e2e4", "e7e5"});
  storeRootLine(line.data(), 6, 0);
  EXPECT_EQ(frontRootMove(), line[0]);  // existing nodes still come to the front
  EXPECT_EQ(root()->depth, 6);
  EXPECT_EQ(root()->firstChild, nullptr);
  EXPECT_EQ(currentKey(), key);
  EXPECT_EQ(searchPly, 0);

  // No node for d7d5: its descent must not walk into g8f6's replies.
  std::vector<Move> later = lineOf({"d2d4", "d7d5", "c2c4"});
  storeRootLine(later.data(), 9, 0);
  EXPECT_EQ(frontRootMove(), later[0]);
  EXPECT_EQ(listMoves(root()->firstChild), (std::vector<Move>{early[1]}));
  EXPECT_EQ(c2c4->depth, 2);
  EXPECT_EQ(currentKey(), key);
  EXPECT_EQ(newTreeNode(0, 0, 0, 0, 1, 0, 0), nullptr);
}

}  // namespace
