#include <gtest/gtest.h>

#include <vector>

#include "board/make_move.h"
#include "board/movegen.h"
#include "search/move_picker.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "tests/test_support.h"

namespace {

using Moves = std::vector<Move>;
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
  }
  void TearDown() override { searchPly = 0; }
  // The list of ply 1, by hand: the picker does not check where moves came from.
  void setList(const Moves& moves, Move prev = 0) {
    searchPly = 1;
    pos.moveHistory[pos.gamePly + 1] = prev;
    listStart[1] = 20;
    for (size_t i = 0; i < moves.size(); ++i) moveStack[20 + i] = moves[i];
    listStart[2] = 20 + int(moves.size());
    resetPicker(picker, 0);
  }
  Move next() {
    Move m = 0;
    return nextMove(picker, &m) ? m : 0;
  }
  Moves drain() {
    Moves out;
    for (Move m; (m = next()) != 0;) out.push_back(m);
    return out;
  }
  MovePicker picker;
  const Move exd5 = capture("e4", "d5", kPawn), exf5 = capture("e4", "f5", kPawn);
  const Move nxf5 = capture("g3", "f5", kKnight), nxh5 = capture("g3", "h5", kKnight);
  const Move ra2 = quiet("a1", "a2", kRook), rb1 = quiet("a1", "b1", kRook);
  const Move kd1 = quiet("e1", "d1", kKing), kf1 = quiet("e1", "f1", kKing);
};

TEST_F(Picker, CaptureScores) {
  EXPECT_EQ(captureScore(exd5, 0), 9999);
  EXPECT_EQ(captureScore(nxf5, 0), 2998);  // the cheaper capturer first
  EXPECT_EQ(captureScore(nxh5, quiet("h7", "h5", kPawn)), 998 + 5000);
  EXPECT_EQ(captureScore(exd5 | kEnPassant, quiet("d7", "d5", kPawn)), 2000);
  EXPECT_EQ(captureScore(quiet("a7", "a8", kKnight) | kPromotion, 0), 3000);
  EXPECT_EQ(captureScore(capture("e4", "d5", kQueen) | kPromotion, 0), 10000 - 5 + 10000);
  EXPECT_EQ(captureScore(ra2, 0), 0);
}

TEST_F(Picker, GoodMovesThenHistoryThenTheRestInExchangeOrder) {
  bestAtPly[1] = kd1;  // 1990: after knight captures, before a plain pawn capture
  pvAtPly[1] = kf1;    // 990: after every capture
  setList({ra2, nxh5, kd1, exf5, kf1, exd5, nxf5, rb1});
  EXPECT_EQ(drain(), (Moves{exd5, exf5, nxf5, kd1, nxh5, kf1, ra2, rb1}));

  clearSearchTables();
  historyScore[kWhite][kRook][sq("b1")] = 5;
  historyScore[kWhite][kKing][sq("f1")] = 9;
  historyScore[kWhite][kKing][sq("d1")] = -3;
  historyScore[kBlack][kRook][sq("a2")] = 50;  // the other side's entry
  const Move ra3 = quiet("a1", "a3", kRook);
  setList({ra2, kd1, rb1, ra3, kf1, exf5}, quiet("h7", "h5", kPawn));
  // The partitions exchange exf5, then rb1 and kf1 forward: ra3 kd1 ra2 remain.
  EXPECT_EQ(drain(), (Moves{exf5, kf1, rb1, ra3, kd1, ra2}));
  EXPECT_EQ(picker.fromTree, 0);
}

TEST_F(Picker, HashAndBestSlotAddUp) {
  bestAtPly[1] = kd1;
  setList({exd5, kd1, ra2});
  picker.hashMove = kd1;
  EXPECT_EQ(next(), kd1);
  EXPECT_EQ(moveScore[picker.cursor - 1], 21990);
  EXPECT_EQ(next(), exd5);
}

TEST_F(Picker, SortingThresholds) {
  // Over 30 good moves are sorted in full at once.
  for (int count : {30, 31}) {
    Moves moves;
    for (int i = 0; i < count; ++i) moves.push_back(makeMoveWord(8 + i, i % 8, i % 2 ? kKnight : kQueen) | kPromotion);
    setList(moves);
    EXPECT_EQ(movePiece(next()), kQueen);
    EXPECT_EQ(picker.sorted, count > 30 ? 1 : 0);
  }
  // History: 51 moves are picked 25 by selection, then 26 sorted once; 50 never sorted.
  for (int count : {50, 51}) {
    clearSearchTables();
    Moves moves;
    for (int i = 0; i < count; ++i) {
      moves.push_back(makeMoveWord(0, i % 64, kKnight + i / 64));
      historyScore[kWhite][kKnight + i / 64][i % 64] = i + 1;
    }
    setList(moves);
    int sortedAt = -1;
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(next(), moves[count - 1 - i]);
      if (picker.sorted && sortedAt < 0) sortedAt = i;
    }
    EXPECT_EQ(next(), 0u);
    EXPECT_EQ(sortedAt, count == 51 ? 25 : -1);
  }
}

TEST(PickerRanges, SelectBestTakesTheEarliestOfEqualScores) {
  const int scores[5] = {3, 8, 1, 8, 2};
  for (int i = 0; i < 5; ++i) moveStack[100 + i] = Move(i + 1), moveScore[100 + i] = scores[i];
  selectBest(100, 104);
  EXPECT_EQ(moveStack[100], 2u);
  EXPECT_EQ(moveScore[101], 3);  // scores travel with their moves
  sortRange(100, 104);
  const Move sorted[5] = {2, 4, 1, 5, 3};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(moveStack[100 + i], sorted[i]);
}

TEST(TreePicker, RootListOnlyAndMissingTreeMoves) {
  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  ASSERT_EQ(allocateSearchTree(), 1);
  clearSearchTree();
  inNullMove = 0;
  generateMoves();  // twenty moves at ply 0
  const Move e2e4 = quiet("e2", "e4", kPawn), d2d4 = quiet("d2", "d4", kPawn);
  const Move d7d5 = quiet("d7", "d5", kPawn), h7h6 = quiet("h7", "h6", kPawn);
  auto push = [](TreeNode** head, Move m) { pushFront(head, newTreeNode(0, 0, 0, 0, m, 0, 0)); };
  push(&searchTree->rootList, d2d4);
  push(&searchTree->rootList, e2e4);
  MovePicker picker;
  resetPicker(picker, 1);
  Moves out;
  for (Move m; nextMove(picker, &m);) out.push_back(m);
  EXPECT_EQ(out, (Moves{e2e4, d2d4}));  // the root searches the root list only
  Move m = 0;
  EXPECT_EQ(nextMove(picker, &m), 0);

  // Below: the tree offers d7d5; the bogus node ends the tree stage, so h7h6
  // comes once, in its ordinary place.
  TreeNode** replies = &searchTree->rootList->firstChild;
  push(replies, h7h6);
  push(replies, makeMoveWord(0, 0, kPawn));
  push(replies, d7d5);
  makeMove(e2e4);
  generateMoves();
  resetPicker(picker, 1);
  ASSERT_EQ(nextMove(picker, &m), 1);
  EXPECT_EQ(m, d7d5);
  EXPECT_EQ(picker.fromTree, 1);
  int count = 1, h7h6Seen = 0;
  for (; nextMove(picker, &m); ++count) {
    EXPECT_EQ(picker.fromTree, 0);
    h7h6Seen += m == h7h6;
  }
  EXPECT_EQ(h7h6Seen, 1);
  EXPECT_EQ(count, listStart[2] - listStart[1]);

  inNullMove = 1;  // null-move subtrees ignore the tree
  generateMoves();
  resetPicker(picker, 1);
  ASSERT_EQ(nextMove(picker, &m), 1);
  EXPECT_NE(m, d7d5);
  inNullMove = 0;
  unmakeMove(e2e4);
}

}  // namespace
