// The staged move picker: capture scores, stage order, moves from the search tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/make_move.h"
#include "board/movegen.h"
#include "search/move_picker.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

using Moves = std::vector<Move>;
Move quiet(const char* from, const char* to, int piece) { return boardMove(from, to, piece); }
Move capture(const char* from, const char* to, int piece) { return boardMove(from, to, piece, kCapture); }

Moves drain(MovePicker& picker) {
  Moves out;
  for (Move m; nextMove(picker, &m);) out.push_back(m);
  return out;
}

// Black queen d5, knight f5, pawn h5; white pawn e4, knight g3, rook a1.
constexpr const char* kCaptureFen = "4k3/8/8/3q1n1p/4P3/6N1/8/R3K3 w - -";

// The list of ply 1 is laid by hand: the picker does not check where moves came from.
MovePicker pickerFor(const Moves& moves, Move prev = 0, Move hash = 0) {
  EXPECT_TRUE(setFen(kCaptureFen));
  inNullMove = 0;
  searchPly = 1;
  pos.moveHistory[pos.gamePly + 1] = prev;
  listStart[1] = 20;
  for (size_t i = 0; i < moves.size(); ++i) moveStack[20 + i] = moves[i];
  listStart[2] = 20 + int(moves.size());
  MovePicker picker;
  resetPicker(picker, 0);
  picker.hashMove = hash;
  return picker;
}

const Move exd5 = capture("e4", "d5", kPawn), exf5 = capture("e4", "f5", kPawn);
const Move nxf5 = capture("g3", "f5", kKnight), nxh5 = capture("g3", "h5", kKnight);
const Move ra2 = quiet("a1", "a2", kRook), rb1 = quiet("a1", "b1", kRook), ra3 = quiet("a1", "a3", kRook);
const Move kd1 = quiet("e1", "d1", kKing), kf1 = quiet("e1", "f1", kKing);

TEST(MovePicker, CaptureScores) {
  ASSERT_TRUE(setFen(kCaptureFen));
  const Move h7h5 = quiet("h7", "h5", kPawn);
  EXPECT_EQ(captureScore(exd5, 0), 9999);
  EXPECT_EQ(captureScore(nxf5, 0), 2998);  // the cheaper capturer first
  EXPECT_EQ(captureScore(nxh5, h7h5), 998 + kRecaptureBonus);
  EXPECT_EQ(captureScore(exd5 | kEnPassant, quiet("d7", "d5", kPawn)), kEnPassantScore);
  EXPECT_EQ(captureScore(quiet("a7", "a8", kKnight) | kPromotion, 0), 3000);
  EXPECT_EQ(captureScore(capture("e4", "d5", kQueen) | kPromotion, 0), 10000 - 5 + 10000);
  EXPECT_EQ(captureScore(ra2, 0), 0);
}

TEST(MovePicker, GoodMovesThenHistoryThenTheRestInExchangeOrder) {
  clearSearchTables();
  bestAtPly[1] = kd1;  // 1990: after knight captures, before a plain pawn capture
  pvAtPly[1] = kf1;    // 990: after every capture
  MovePicker picker = pickerFor({ra2, nxh5, kd1, exf5, kf1, exd5, nxf5, rb1});
  EXPECT_EQ(drain(picker), (Moves{exd5, exf5, nxf5, kd1, nxh5, kf1, ra2, rb1}));

  // The hash and best-move bonuses add up.
  picker = pickerFor({exd5, kd1, ra2}, 0, kd1);
  EXPECT_EQ(drain(picker)[0], kd1);
  EXPECT_EQ(moveScore[20], kHashMoveBonus + kBestAtPlyBonus);

  clearSearchTables();
  historyScore[kWhite][kRook][squareFromName("b1")] = 5;
  historyScore[kWhite][kKing][squareFromName("f1")] = 9;
  historyScore[kWhite][kKing][squareFromName("d1")] = -3;
  historyScore[kBlack][kRook][squareFromName("a2")] = 50;  // the other side's entry
  // The partitions exchange exf5, then rb1 and kf1 forward: ra3 kd1 ra2 remain.
  picker = pickerFor({ra2, kd1, rb1, ra3, kf1, exf5}, quiet("h7", "h5", kPawn));
  EXPECT_EQ(drain(picker), (Moves{exf5, kf1, rb1, ra3, kd1, ra2}));
  EXPECT_EQ(picker.fromTree, 0);
  searchPly = 0;
}

TEST(MovePicker, RootListOnlyThenTreeRepliesUntilABogusNode) {
  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  ASSERT_EQ(allocateSearchTree(), 1);
  clearSearchTree();
  inNullMove = 0;
  generateMoves();
  const Move e2e4 = quiet("e2", "e4", kPawn), d2d4 = quiet("d2", "d4", kPawn);
  const Move d7d5 = quiet("d7", "d5", kPawn), h7h6 = quiet("h7", "h6", kPawn);
  auto push = [](TreeNode** head, Move m) { pushFront(head, newTreeNode(0, 0, 0, 0, m, 0, 0)); };
  push(&searchTree->rootList, d2d4);
  push(&searchTree->rootList, e2e4);
  MovePicker picker;
  resetPicker(picker, 1);
  EXPECT_EQ(drain(picker), (Moves{e2e4, d2d4}));  // the root searches the root list only

  // Below: d7d5 comes from the tree; the bogus node ends the tree stage, so
  // h7h6 comes once, in its ordinary place.
  TreeNode** replies = &searchTree->rootList->firstChild;
  for (Move m : {h7h6, makeMoveWord(0, 0, kPawn), d7d5}) push(replies, m);
  makeMove(e2e4);
  generateMoves();
  resetPicker(picker, 1);
  Move m = 0;
  EXPECT_TRUE(nextMove(picker, &m) && m == d7d5 && picker.fromTree == 1);
  const Moves rest = drain(picker);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), h7h6), 1);
  EXPECT_EQ(int(rest.size()) + 1, listStart[2] - listStart[1]);
  inNullMove = 1;  // null-move subtrees ignore the tree
  generateMoves();
  resetPicker(picker, 1);
  EXPECT_TRUE(nextMove(picker, &m) && m != d7d5);
  inNullMove = 0;
  unmakeMove(e2e4);
}

}  // namespace
