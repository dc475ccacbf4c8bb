// Position text, node lookup and the search's book probe.
#include "tests/book_test_support.h"

namespace {

using BookTable = BookFixture;

TEST_F(BookTable, PositionTextCastlingAndPawnFields) {
  EXPECT_EQ(currentText(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w QKqk");
  struct {
    const char* moves;
    const char* text;
  } games[] = {
      {"e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk e1"},
      {"e2e4 e7e5", "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w QKqk e8"},
      {"e2e4 e7e5 g1f3", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b QKqk"},
      {"e2e4 d7d5 e4d5", "rnbqkbnr/ppp1pppp/8/3P4/8/8/PPPP1PPP/RNBQKBNR b QKqk e3"},
      {"g1f3 g8f6 h1g1", "rnbqkb1r/pppppppp/5n2/8/8/5N2/PPPPPPPP/RNBQKBR1 b Qqk"},
  };
  for (const auto& game : games) {
    ASSERT_TRUE(setFen(kStartFen) && playGameMoves(game.moves));
    EXPECT_EQ(currentText(), game.text) << game.moves;
  }
  // Rights without the rook in place give no letter; neither field leaves
  // only the side letter; a promotion leaves no pawn field.
  ASSERT_TRUE(setFen("r3k3/8/8/8/8/8/4P3/4K3 w KQkq -"));
  EXPECT_EQ(currentText(), "r3k3/8/8/8/8/8/4P3/4K3 w q");
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K2R w - -"));
  EXPECT_EQ(currentText(), "4k3/8/8/8/8/8/8/4K2R w");
  ASSERT_TRUE(setFen("8/4P3/8/8/8/8/k7/4K3 w - -") && playGameMoves("e7e8n"));
  EXPECT_EQ(currentText(), "4N3/8/8/8/8/8/k7/4K3 b");
}

TEST_F(BookTable, NodesDifferingOnlyInTheirTextAreDistinct) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  BookNode* all = newBookNode(currentText().c_str());
  EXPECT_EQ(all->weight, 16);
  EXPECT_EQ(all->isBook, 1);
  EXPECT_EQ(all->size, 48 + int(currentText().size()));
  EXPECT_EQ(findNode(), nullptr);  // not linked yet
  linkNode(all);
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w Kkq -"));  // same key and side
  EXPECT_EQ(findNode(), nullptr);
  EXPECT_EQ(findNodeByKey(pos.keyLow, pos.keyHigh, kWhite), all);  // text not compared
  EXPECT_EQ(findNodeByKey(pos.keyLow, pos.keyHigh, kBlack), nullptr);
  BookNode* fewer = newBookNode(currentText().c_str());
  linkNode(fewer);
  EXPECT_EQ(bookTable.bucket[pos.keyLow & 0xFFFF], fewer);  // new nodes enter at the head
  EXPECT_EQ(findNode(), fewer);
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  EXPECT_EQ(findNode(), all);  // passes over the head with another text

  // One placement reached through different last pawn moves.
  ASSERT_TRUE(setFen(kStartFen) && playGameMoves("e2e4 e7e5 d2d4 d7d5"));
  linkNode(newBookNode(currentText().c_str()));
  ASSERT_TRUE(setFen(kStartFen) && playGameMoves("d2d4 d7d5 e2e4 e7e5"));
  EXPECT_EQ(findNode(), nullptr);
  EXPECT_EQ(countBookNodes(), 3);
  clearBookTable();
  EXPECT_EQ(countBookNodes(), 0);
}

TEST_F(BookTable, ProbeAnswersFromDepthOrFromTheBookBand) {
  ASSERT_TRUE(playGameMoves("e2e4 c7c5"));
  BookNode* node = newBookNode(currentText().c_str());
  linkNode(node);
  node->score = 321;
  node->depth = 5;
  struct {
    int isBook, alpha, depth, beta, found, value;
  } cases[] = {
      {1, -50, 5, 50, 1, 321}, {1, -50, 1, 50, 1, 321},  // searched deep enough
      {1, -50, 6, 50, 0, 0},                             // window straddles -16..16
      {1, 16, 6, 100, 1, 16},  {1, 15, 6, 100, 0, 0},
      {1, -100, 6, -16, 1, -16}, {1, -100, 6, -15, 0, 0},
      {0, 100, 6, 200, 0, 0},  {0, -200, 6, -100, 0, 0},  // search nodes never deeper
      {0, -200, 5, -100, 1, 321},
  };
  for (const auto& c : cases) {
    node->isBook = c.isBook;
    int value = 0;
    EXPECT_EQ(probeBook(c.alpha, c.depth, c.beta, &value), c.found)
        << c.isBook << " " << c.alpha << " " << c.depth << " " << c.beta;
    if (c.found) {
      EXPECT_EQ(value, c.value);
    }
  }
  ASSERT_TRUE(playGameMoves("g1f3"));
  int value = 0;
  EXPECT_EQ(probeBook(100, 1, 200, &value), 0);
}

}  // namespace
