#include <gtest/gtest.h>

#include <vector>

#include "board/make_move.h"
#include "board/movegen.h"
#include "search/move_picker.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

Square sq(const char* name) { return squareFromName(name); }
Move quiet(const char* from, const char* to, int piece) { return makeMoveWord(sq(from), sq(to), piece); }
Move capture(const char* from, const char* to, int piece) { return quiet(from, to, piece) | kCapture; }

// Black queen d5, knight f5, pawn h5; white pawn e4, knight g3, rook a1.
constexpr const char* kCaptureFen = "4k3/8/8/3q1n1p/4P3/6N1/8/R3K3 w - -";

class Picker : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setFen(kCaptureFen));
    clearSearchTables();
    inNullMove = 0;
    pos.moveHistory[pos.gamePly + 1] = 0;
  }
  void TearDown() override { searchPly = 0; }
  // Puts moves into the list of ply 1 by hand; the picker does not care how
  // they got there.
  void setList(const std::vector<Move>& moves, Move prev = 0) {
    searchPly = 1;
    pos.moveHistory[pos.gamePly + 1] = prev;
    listStart[1] = 20;
    for (size_t i = 0; i < moves.size(); ++i) moveStack[20 + i] = moves[i];
    listStart[2] = 20 + int(moves.size());
  }
  std::vector<Move> drain(MovePicker& picker) {
    std::vector<Move> out;
    Move m;
    while (nextMove(picker, &m)) out.push_back(m);
    return out;
  }
  const Move exd5 = capture("e4", "d5", kPawn);
  const Move exf5 = capture("e4", "f5", kPawn);
  const Move nxf5 = capture("g3", "f5", kKnight);
  const Move nxh5 = capture("g3", "h5", kKnight);
  const Move ra2 = quiet("a1", "a2", kRook);
  const Move rb1 = quiet("a1", "b1", kRook);
  const Move kd1 = quiet("e1", "d1", kKing);
  const Move kf1 = quiet("e1", "f1", kKing);
};

TEST_F(Picker, CaptureScores) {
  EXPECT_EQ(captureScore(exd5, 0), 9999);
  EXPECT_EQ(captureScore(exf5, 0), 2999);
  EXPECT_EQ(captureScore(nxf5, 0), 2998);  // the cheaper capturer first
  EXPECT_EQ(captureScore(nxh5, quiet("h7", "h5", kPawn)), 998 + 5000);
  EXPECT_EQ(captureScore(ra2, 0), 0);
  EXPECT_EQ(captureScore(capture("e4", "d5", kPawn) | kEnPassant, quiet("d7", "d5", kPawn)), 2000);
  EXPECT_EQ(captureScore(quiet("a7", "a8", kKnight) | kPromotion, 0), 3000);
  // Capture-promotion: the piece field is the new piece, for both terms.
  EXPECT_EQ(captureScore(capture("e4", "d5", kQueen) | kPromotion, 0), 10000 - 5 + 10000);
}

TEST_F(Picker, GoodMovesByScoreThenTheRestInPlace) {
  bestAtPly[1] = kd1;
  pvAtPly[1] = kf1;
  setList({ra2, nxh5, kd1, exf5, kf1, exd5, nxf5, rb1});
  MovePicker picker;
  resetPicker(picker, 0);
  // Best slot (1990) after knight captures, before a plain pawn capture (998);
  // the pv slot (990) after every capture.
  EXPECT_EQ(drain(picker), (std::vector<Move>{exd5, exf5, nxf5, kd1, nxh5, kf1, ra2, rb1}));
  EXPECT_EQ(picker.fromTree, 0);
}

TEST_F(Picker, HashAndBestSlotAddUp) {
  bestAtPly[1] = kd1;
  setList({exd5, kd1, ra2});
  MovePicker picker;
  resetPicker(picker, 0);
  picker.hashMove = kd1;
  Move m = 0;
  ASSERT_EQ(nextMove(picker, &m), 1);
  EXPECT_EQ(m, kd1);
  EXPECT_EQ(moveScore[picker.cursor - 1], 21990);
  ASSERT_EQ(nextMove(picker, &m), 1);
  EXPECT_EQ(m, exd5);
}

TEST_F(Picker, RecaptureBonusFollowsThePreviousMove) {
  setList({exf5, nxh5}, quiet("h7", "h5", kPawn));
  MovePicker picker;
  resetPicker(picker, 0);
  EXPECT_EQ(drain(picker), (std::vector<Move>{nxh5, exf5}));
}

TEST_F(Picker, HistoryMovesThenTheRestInExchangeOrder) {
  historyScore[kWhite][kRook][sq("b1")] = 5;
  historyScore[kWhite][kKing][sq("f1")] = 9;
  historyScore[kWhite][kKing][sq("d1")] = -3;
  historyScore[kBlack][kRook][sq("a2")] = 50;  // the other side's table is not read
  const Move ra3 = quiet("a1", "a3", kRook);
  setList({ra2, kd1, rb1, ra3, kf1, exf5});
  MovePicker picker;
  resetPicker(picker, 0);
  // Partition of the quiet range [ra2 kd1 rb1 ra3 kf1]: rb1 and kf1 move to
  // the front by exchange, leaving ra3 kd1 ra2 behind.
  EXPECT_EQ(drain(picker), (std::vector<Move>{exf5, kf1, rb1, ra3, kd1, ra2}));
}

// Quiet moves with history 1..n (highest last) so selection has work to do.
std::vector<Move> historyMoves(int count) {
  std::vector<Move> moves;
  for (int i = 0; i < count; ++i) {
    int piece = kKnight + i / 64;
    Move m = makeMoveWord(0, i % 64, piece);
    historyScore[kWhite][piece][i % 64] = i + 1;
    moves.push_back(m);
  }
  return moves;
}

TEST_F(Picker, LongHistoryRangesAreSortedOnceAtTheMidpoint) {
  for (int count : {50, 51}) {
    clearSearchTables();
    setList(historyMoves(count));
    MovePicker picker;
    resetPicker(picker, 0);
    Move m = 0;
    int sortedAt = -1;
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(nextMove(picker, &m), 1);
      EXPECT_EQ(moveTarget(m) + 64 * (movePiece(m) - kKnight), count - 1 - i);
      if (picker.sorted && sortedAt < 0) sortedAt = i;
    }
    EXPECT_EQ(nextMove(picker, &m), 0);
    // 51: 25 by selection, the remaining 26 sorted; 50: all by selection.
    EXPECT_EQ(sortedAt, count == 51 ? 25 : -1) << count;
  }
}

TEST_F(Picker, MoreThanThirtyGoodMovesAreSortedInFull) {
  for (int count : {30, 31}) {
    std::vector<Move> moves;
    for (int i = 0; i < count; ++i) {
      // Promotions only: scores by the piece promoted to, knights last.
      int piece = i % 2 ? kKnight : kQueen;
      moves.push_back(makeMoveWord(8 + i, i % 8, piece) | kPromotion);
    }
    setList(moves);
    MovePicker picker;
    resetPicker(picker, 0);
    Move first = 0;
    ASSERT_EQ(nextMove(picker, &first), 1);
    EXPECT_EQ(picker.sorted, count == 31 ? 1 : 0) << count;
    std::vector<Move> out = drain(picker);
    out.insert(out.begin(), first);
    ASSERT_EQ(out.size(), size_t(count));
    for (int i = 0; i < count; ++i) EXPECT_EQ(movePiece(out[i]), i < (count + 1) / 2 ? kQueen : kKnight);
  }
}

TEST(PickerRanges, SelectBestTakesTheEarliestOfEqualScores) {
  const int scores[5] = {3, 8, 1, 8, 2};
  for (int i = 0; i < 5; ++i) {
    moveStack[100 + i] = Move(i + 1);
    moveScore[100 + i] = scores[i];
  }
  selectBest(100, 104);
  EXPECT_EQ(moveStack[100], 2u);
  EXPECT_EQ(moveScore[100], 8);
  EXPECT_EQ(moveStack[101], 1u);  // exchanged, scores travel along
  EXPECT_EQ(moveScore[101], 3);
  sortRange(100, 104);
  const int sortedScores[5] = {8, 8, 3, 2, 1};
  const Move sortedMoves[5] = {2, 4, 1, 5, 3};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(moveScore[100 + i], sortedScores[i]);
    EXPECT_EQ(moveStack[100 + i], sortedMoves[i]);
  }
}

class TreePicker : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setFen(kStartFen));
    clearSearchTables();
    ASSERT_EQ(allocateSearchTree(), 1);
    clearSearchTree();
    inNullMove = 0;
    generateMoves();  // the root list of ply 0
  }
  void TearDown() override { inNullMove = 0; }
  void push(TreeNode** head, Move m) { pushFront(head, newTreeNode(0, 0, 0, 0, m, 0, 0)); }
  const Move e2e4 = quiet("e2", "e4", kPawn);
  const Move d2d4 = quiet("d2", "d4", kPawn);
  const Move g1f3 = quiet("g1", "f3", kKnight);
  const Move d7d5 = quiet("d7", "d5", kPawn);
  const Move h7h6 = quiet("h7", "h6", kPawn);
};

TEST_F(TreePicker, RootHandsOutExactlyTheRootList) {
  // The list of ply 0 holds all twenty moves; the root list only three.
  push(&searchTree->rootList, g1f3);
  push(&searchTree->rootList, d2d4);
  push(&searchTree->rootList, e2e4);
  MovePicker picker;
  resetPicker(picker, 1);
  Move m = 0;
  std::vector<Move> out;
  while (nextMove(picker, &m)) {
    EXPECT_EQ(picker.fromTree, 1);
    out.push_back(m);
  }
  EXPECT_EQ(out, (std::vector<Move>{e2e4, d2d4, g1f3}));
  EXPECT_EQ(picker.fromTree, 0);
  EXPECT_EQ(nextMove(picker, &m), 0);  // stays finished
}

TEST_F(TreePicker, AMissingTreeMoveEndsTheTreeStage) {
  push(&searchTree->rootList, e2e4);
  TreeNode** replies = &searchTree->rootList->firstChild;
  push(replies, h7h6);
  push(replies, makeMoveWord(0, 0, kPawn));  // no such move in the list
  push(replies, d7d5);
  makeMove(e2e4);
  generateMoves();
  const int listSize = listStart[2] - listStart[1];

  MovePicker picker;
  resetPicker(picker, 1);
  Move m = 0;
  ASSERT_EQ(nextMove(picker, &m), 1);
  EXPECT_EQ(m, d7d5);
  EXPECT_EQ(picker.fromTree, 1);
  int count = 1, h7h6Seen = 0;
  while (nextMove(picker, &m)) {
    EXPECT_EQ(picker.fromTree, 0);
    h7h6Seen += m == h7h6;
    ++count;
  }
  EXPECT_EQ(h7h6Seen, 1);  // offered once, in its ordinary place
  EXPECT_EQ(count, listSize);

  // Inside a null-move subtree the tree is not followed.
  generateMoves();
  inNullMove = 1;
  resetPicker(picker, 1);
  ASSERT_EQ(nextMove(picker, &m), 1);
  EXPECT_EQ(picker.fromTree, 0);
  EXPECT_NE(m, d7d5);
  inNullMove = 0;
  unmakeMove(e2e4);
}

}  // namespace
