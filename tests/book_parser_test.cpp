// The book text: content lines, separators, errors, restoring the position,
// and the book that ships with the engine.
#include "book/book_parser.h"

#include "tests/book_test_support.h"

namespace {

struct BookParser : BookFixture {
  // Parses content as a book file; returns what went to standard output.
  std::string parse(const std::string& content) {
    writeFile(file("Morvek.bk"), content);
    testing::internal::CaptureStdout();
    parseBookText(file("Morvek.bk").c_str());
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(BookParser, LinesSeparatorsAndErrors) {
  struct {
    const char* text;
    const char* out;
    int nodes;
    const char* reached;  // a line whose last position must be in the book
  } cases[] = {
      {"e2e4 e7e5 g1f3\n", "", 3, "e2e4 e7e5 g1f3"},
      {"e2e4 e7e5 g1f3\ne2e4 e7e5 f1c4\nd2d4", "", 5, "d2d4"},  // shared once; no final newline
      {"e2e4! e7e5?\n", "", 2, "e2e4 e7e5"},
      {"d2d4,d7d5;c2c4#e7e6??g1f3!!\n", "", 5, "d2d4 d7d5 c2c4 e7e6 g1f3"},
      {"e2e4.e7e5\n", "", 1, "e2e4"},  // one lexeme, read as e2e4
      {"1. e2e4 e7e5\n", "#error: line 1, lexem 1.\n", 0, ""},
      {"# c\n\n    \n   # indented\ne2e4\n#\nd2d4 zz e7e5\n", "#error: line 2, lexem zz\n", 2,
       "d2d4"},
      {"e2e4 e2e4 d7d5\nd2d4 d7d5\n\te2e4\n",
       "#error: line 1, lexem e2e4\n#error: line 3, lexem \te2e4\n", 3, "d2d4 d7d5"},
      {"e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 o-o\ne2e4 e7e5 o-o\n", "#error: line 2, lexem o-o\n", 7,
       "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1"},
      {"e2e4 e7e5\r\n\r\n# note\r\nd2d4\r\n", "", 3, "e2e4 e7e5"},
  };
  for (const auto& c : cases) {
    clearBookTable();
    EXPECT_EQ(parse(c.text), c.out) << c.text;
    EXPECT_EQ(countBookNodes(), c.nodes) << c.text;
    if (*c.reached) {
      EXPECT_TRUE(inBook(c.reached)) << c.text;
    }
  }
  EXPECT_EQ(findNode(), nullptr);  // the start position never enters
}

TEST_F(BookParser, LongLinesAndLongGames) {
  // 65533 characters fill one read; the rest is a line of its own that
  // starts again from the start position.
  std::string piece = "e2e4";
  piece.resize(65533, ' ');
  EXPECT_EQ(parse(piece + "e7e5\n" + piece + "d2d4\n"), "#error: line 2, lexem e7e5\n");
  EXPECT_TRUE(inBook("d2d4"));
  EXPECT_EQ(countBookNodes(), 2);

  clearBookTable();
  std::string shuffle;
  for (int i = 0; i < 100; ++i) shuffle += "g1f3 g8f6 f3g1 f6g8 ";
  EXPECT_EQ(parse(shuffle + "e2e4\n"), "#error: line 1, lexem e2e4\n");
  EXPECT_EQ(countBookNodes(), 4);
}

TEST_F(BookParser, BorrowsAndRestoresTheEnginePosition) {
  ASSERT_TRUE(playGameMoves("g1f3 d7d5 g2g3"));
  pos.learnedThisGame = 1;
  const std::string before = currentText();
  const uint32_t keyLow = pos.keyLow;
  EXPECT_EQ(parse("e2e4 e7e5\nc2c4 zz\n"), "#error: line 2, lexem zz\n");
  EXPECT_EQ(currentText(), before);
  EXPECT_EQ(pos.keyLow, keyLow);
  EXPECT_EQ(pos.gamePly, 3);
  EXPECT_EQ(pos.learnedThisGame, 1);
  EXPECT_EQ(searchPly, 0);

  parseBookText(file("missing.bk").c_str());  // nothing read, nothing said
  EXPECT_EQ(countBookNodes(), 3);
}

TEST_F(BookParser, NoMemoryStopsTheBookGrowingWithoutACrash) {
  bookNodeAllowance = 2;
  EXPECT_EQ(parse("e2e4 e7e5 g1f3 b8c6\nd2d4\n"), "");
  EXPECT_EQ(countBookNodes(), 2);
  EXPECT_TRUE(inBook("e2e4 e7e5"));
}

TEST_F(BookParser, ShippedBookParsesWithoutAnError) {
  std::string path = std::string(MORVEK_SOURCE_DIR) + "/data/Morvek.bk";
  ASSERT_FALSE(readFile(path).empty());
  testing::internal::CaptureStdout();
  parseBookText(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_GT(countBookNodes(), 5000);
  for (const char* line : {"e2e4", "d2d4", "c2c4", "g1f3", "e2e4 c7c5", "e2e4 e7e5 g1f3 b8c6"})
    EXPECT_TRUE(inBook(line)) << line;
}

}  // namespace
