// Position text, node lookup and the search's book probe.
#include "tests/book_test_support.h"

namespace {

using PositionText = BookFixture;

TEST_F(PositionText, StartPositionEndsWithCastlingLettersInTableOrder) {
  EXPECT_EQ(currentText(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w QKqk");
}

TEST_F(PositionText, PawnFieldNamesOneRowFromTheOriginTowardsTheMover) {
  ASSERT_TRUE(playGameMoves("e2e4"));
  EXPECT_EQ(currentText(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk e1");
  ASSERT_TRUE(playGameMoves("e7e5"));
  EXPECT_EQ(currentText(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w QKqk e8");
  ASSERT_TRUE(playGameMoves("g1f3"));  // a piece move leaves no pawn field
  EXPECT_EQ(currentText(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b QKqk");
  ASSERT_TRUE(playGameMoves("d7d5 e4d5"));  // captures count too
  EXPECT_EQ(currentText(), "rnbqkbnr/ppp2ppp/8/3Pp3/8/5N2/PPPP1PPP/RNBQKB1R b QKqk e3");
}

TEST_F(PositionText, NothingButTheSideLetterWhenNoCastlingAndNoPawnMove) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K2R w - -"));
  EXPECT_EQ(currentText(), "4k3/8/8/8/8/8/8/4K2R w");
  // Rights without the rook in place give no letter; only the pawn field stays.
  ASSERT_TRUE(setFen("r3k3/8/8/8/8/8/4P3/4K3 w KQkq -"));
  EXPECT_EQ(currentText(), "r3k3/8/8/8/8/8/4P3/4K3 w q");
  ASSERT_TRUE(playGameMoves("e2e3"));
  EXPECT_EQ(currentText(), "r3k3/8/8/8/8/4P3/8/4K3 b q e1");
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/4P3/4K3 w - -"));
  ASSERT_TRUE(playGameMoves("e2e4"));
  EXPECT_EQ(currentText(), "4k3/8/8/8/4P3/8/8/4K3 b - e1");
}

TEST_F(PositionText, PromotionLeavesNoPawnField) {
  ASSERT_TRUE(setFen("8/4P3/8/8/8/8/k7/4K3 w - -"));
  ASSERT_TRUE(playGameMoves("e7e8n"));
  EXPECT_EQ(currentText(), "4N3/8/8/8/8/8/k7/4K3 b");
}

using BookLookup = BookFixture;

TEST_F(BookLookup, NewNodeTakesTheCurrentPosition) {
  ASSERT_TRUE(playGameMoves("d2d4"));
  BookNode* node = newBookNode(currentText().c_str());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->weight, 16);
  EXPECT_EQ(node->isBook, 1);
  EXPECT_EQ(node->score, 0);
  EXPECT_EQ(node->depth, 0);
  EXPECT_EQ(node->side, kBlack);
  EXPECT_EQ(node->size, 48 + int(currentText().size()));
  EXPECT_EQ(node->keyLow, pos.keyLow);
  EXPECT_EQ(node->keyHigh, pos.keyHigh);
  EXPECT_EQ(findNode(), nullptr);  // not linked yet
  linkNode(node);
  EXPECT_EQ(findNode(), node);
}

TEST_F(BookLookup, SamePlacementWithOtherCastlingOrPawnFieldIsAnotherNode) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  BookNode* castling = newBookNode(currentText().c_str());
  linkNode(castling);
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w Kkq -"));  // same key and side
  EXPECT_EQ(findNode(), nullptr);
  EXPECT_EQ(findNodeByKey(pos.keyLow, pos.keyHigh, kWhite), castling);  // text not compared
  EXPECT_EQ(findNodeByKey(pos.keyLow, pos.keyHigh, kBlack), nullptr);
  BookNode* fewer = newBookNode(currentText().c_str());
  linkNode(fewer);
  EXPECT_EQ(findNode(), fewer);
  EXPECT_EQ(bookTable.bucket[pos.keyLow & 0xFFFF], fewer);  // new nodes enter at the head
  EXPECT_EQ(fewer->next, castling);
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  EXPECT_EQ(findNode(), castling);  // passes over the head with another text

  // Pawn field: e2e4 e7e5 d2d4 d7d5 and d2d4 d7d5 e2e4 e7e5 reach one
  // placement whose last pawn moves differ.
  ASSERT_TRUE(setFen(kStartFen));
  ASSERT_TRUE(playGameMoves("e2e4 e7e5 d2d4 d7d5"));
  linkNode(newBookNode(currentText().c_str()));
  ASSERT_TRUE(setFen(kStartFen));
  ASSERT_TRUE(playGameMoves("d2d4 d7d5 e2e4 e7e5"));
  EXPECT_NE(findNodeByKey(pos.keyLow, pos.keyHigh, kWhite), nullptr);
  EXPECT_EQ(findNode(), nullptr);
}

TEST_F(BookLookup, ClearEmptiesEveryBucket) {
  ASSERT_TRUE(playGameMoves("e2e4"));
  linkNode(newBookNode(currentText().c_str()));
  EXPECT_EQ(countBookNodes(), 1);
  clearBookTable();
  EXPECT_EQ(countBookNodes(), 0);
  EXPECT_EQ(findNode(), nullptr);
}

TEST_F(BookLookup, NoMemoryForANodeStopsGrowthWithoutACrash) {
  bookNodeAllowance = 1;
  BookNode* first = newBookNode("a");
  ASSERT_NE(first, nullptr);
  linkNode(first);
  EXPECT_EQ(newBookNode("b"), nullptr);
  EXPECT_EQ(countBookNodes(), 1);
}

struct BookProbe : BookFixture {
  BookNode* node = nullptr;
  void SetUp() override {
    BookFixture::SetUp();
    ASSERT_TRUE(playGameMoves("e2e4 c7c5"));
    node = newBookNode(currentText().c_str());
    linkNode(node);
    node->score = 321;
    node->depth = 5;
  }
  int probe(int alpha, int depth, int beta, int* value) {
    *value = 12345;
    return probeBook(alpha, depth, beta, value);
  }
};

TEST_F(BookProbe, StoredScoreAnswersUpToItsDepth) {
  int value;
  EXPECT_EQ(probe(-50, 5, 50, &value), 1);
  EXPECT_EQ(value, 321);
  EXPECT_EQ(probe(-50, 1, 50, &value), 1);
  EXPECT_EQ(value, 321);
  EXPECT_EQ(probe(-50, 6, 50, &value), 0);  // window straddles -16..16
}

TEST_F(BookProbe, DeeperBookPositionCountsAsLevelWithinSixteen) {
  int value;
  EXPECT_EQ(probe(16, 6, 100, &value), 1);
  EXPECT_EQ(value, 16);
  EXPECT_EQ(probe(15, 6, 100, &value), 0);
  EXPECT_EQ(probe(-100, 6, -16, &value), 1);
  EXPECT_EQ(value, -16);
  EXPECT_EQ(probe(-100, 6, -15, &value), 0);
}

TEST_F(BookProbe, SearchResultNodeNeverAnswersDeeper) {
  node->isBook = 0;
  int value;
  EXPECT_EQ(probe(100, 6, 200, &value), 0);
  EXPECT_EQ(probe(-200, 6, -100, &value), 0);
  EXPECT_EQ(probe(-200, 5, -100, &value), 1);
  EXPECT_EQ(value, 321);
}

TEST_F(BookProbe, UnknownPositionIsNotFound) {
  ASSERT_TRUE(playGameMoves("g1f3"));
  int value;
  EXPECT_EQ(probe(100, 1, 200, &value), 0);
  EXPECT_EQ(value, 12345);
}

}  // namespace
