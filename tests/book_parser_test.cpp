// The book text: content lines, separators, errors, restoring the position,
// and the book that ships with the engine.
#include "book/book_parser.h"

#include <string>

#include "tests/book_test_support.h"

namespace {

struct BookParser : BookFixture {
  TempDir dir;
  // Parses content as a book file; returns what went to standard output.
  std::string parse(const std::string& content) {
    std::string path = dir.file("Morvek.bk");
    writeFile(path, content);
    testing::internal::CaptureStdout();
    parseBookText(path.c_str());
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
  }
  // True when the position after moves from the start is a book node.
  bool inBook(const char* moves) {
    EXPECT_TRUE(setFen(kStartFen));
    EXPECT_TRUE(playGameMoves(moves));
    BookNode* node = findNode();
    bool found = node && node->isBook == 1 && node->weight == 16;
    EXPECT_TRUE(setFen(kStartFen));
    return found;
  }
};

TEST_F(BookParser, EachMoveEntersThePositionAfterIt) {
  EXPECT_EQ(parse("e2e4 e7e5 g1f3\n"), "");
  EXPECT_EQ(countBookNodes(), 3);
  EXPECT_TRUE(inBook("e2e4"));
  EXPECT_TRUE(inBook("e2e4 e7e5"));
  EXPECT_TRUE(inBook("e2e4 e7e5 g1f3"));
  EXPECT_EQ(findNode(), nullptr);  // the start position never enters
}

TEST_F(BookParser, SharedBeginningsEnterOnceAndEveryLineRestartsFromTheStart) {
  EXPECT_EQ(parse("e2e4 e7e5 g1f3\ne2e4 e7e5 f1c4\nd2d4"), "");  // last line without newline
  EXPECT_EQ(countBookNodes(), 5);
  EXPECT_TRUE(inBook("e2e4 e7e5 f1c4"));
  EXPECT_TRUE(inBook("d2d4"));
}

TEST_F(BookParser, SevenSeparatorsAndNothingElse) {
  EXPECT_EQ(parse("e2e4! e7e5?\n"), "");
  EXPECT_TRUE(inBook("e2e4 e7e5"));
  clearBookTable();
  EXPECT_EQ(parse("d2d4,d7d5;c2c4#e7e6??g1f3!!\n"), "");  // "#" inside a line only separates
  EXPECT_EQ(countBookNodes(), 5);
  clearBookTable();
  // A period is no separator: one lexeme, which move text reads as e2e4.
  EXPECT_EQ(parse("e2e4.e7e5\n"), "");
  EXPECT_EQ(countBookNodes(), 1);
  EXPECT_TRUE(inBook("e2e4"));
}

TEST_F(BookParser, MoveNumbersAreLexemesThatFail) {
  EXPECT_EQ(parse("1. e2e4 e7e5\n"), "#error: line 1, lexem 1.\n");
  EXPECT_EQ(countBookNodes(), 0);
  EXPECT_EQ(parse("1.e2e4\n"), "#error: line 1, lexem 1.e2e4\n");
}

TEST_F(BookParser, CommentsAndBlankLinesAreNotCounted) {
  std::string out = parse("# comment\n\n    \n   # indented comment\ne2e4\n#\nd2d4 zz e7e5\n");
  EXPECT_EQ(out, "#error: line 2, lexem zz\n");
  EXPECT_TRUE(inBook("d2d4"));  // moves before the error stay
  EXPECT_EQ(countBookNodes(), 2);
}

TEST_F(BookParser, ErrorSkipsOnlyTheRestOfItsLine) {
  EXPECT_EQ(parse("e2e4 e2e4 d7d5\nd2d4 d7d5\n\te2e4\n"),
            "#error: line 1, lexem e2e4\n#error: line 3, lexem \te2e4\n");
  EXPECT_TRUE(inBook("e2e4"));
  EXPECT_TRUE(inBook("d2d4 d7d5"));
  EXPECT_EQ(countBookNodes(), 3);
}

TEST_F(BookParser, CastlingTextOnlyWhereCastlingIsLegal) {
  EXPECT_EQ(parse("e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 o-o\ne2e4 e7e5 o-o\n"),
            "#error: line 2, lexem o-o\n");
  EXPECT_TRUE(inBook("e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1"));
}

TEST_F(BookParser, OverLongLineIsReadInPiecesThatEachRestart) {
  // 65533 characters fill one read; the rest is a line of its own.
  std::string first = "e2e4";
  first.resize(65533, ' ');
  EXPECT_EQ(parse(first + "e7e5\n" + first + "d2d4\n"),
            "#error: line 2, lexem e7e5\n");  // e7e5 is played from the start
  EXPECT_EQ(countBookNodes(), 2);
  EXPECT_TRUE(inBook("e2e4"));
  EXPECT_TRUE(inBook("d2d4"));
}

TEST_F(BookParser, LineOfMoreThanFourHundredMovesStopsAtTheFourHundredFirst) {
  std::string line;
  for (int i = 0; i < 100; ++i) line += "g1f3 g8f6 f3g1 f6g8 ";
  EXPECT_EQ(parse(line + "e2e4\n"), "#error: line 1, lexem e2e4\n");
  EXPECT_EQ(countBookNodes(), 4);
}

TEST_F(BookParser, WindowsLineEndsReadAsText) {
  EXPECT_EQ(parse("e2e4 e7e5\r\n\r\n# note\r\nd2d4\r\n"), "");
  EXPECT_TRUE(inBook("e2e4 e7e5"));
  EXPECT_TRUE(inBook("d2d4"));
}

TEST_F(BookParser, EnginePositionIsRestored) {
  ASSERT_TRUE(playGameMoves("g1f3 d7d5 g2g3"));
  pos.learnedThisGame = 1;
  std::string before = currentText();
  uint32_t keyLow = pos.keyLow;
  EXPECT_EQ(parse("e2e4 e7e5\nc2c4 zz\n"), "#error: line 2, lexem zz\n");
  EXPECT_EQ(currentText(), before);
  EXPECT_EQ(pos.keyLow, keyLow);
  EXPECT_EQ(pos.gamePly, 3);
  EXPECT_EQ(pos.learnedThisGame, 1);
  EXPECT_EQ(searchPly, 0);
}

TEST_F(BookParser, MissingFileLeavesTheTableAlone) {
  ASSERT_TRUE(playGameMoves("e2e4"));
  linkNode(newBookNode(currentText().c_str()));
  testing::internal::CaptureStdout();
  parseBookText(dir.file("no-such-book.bk").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(countBookNodes(), 1);
}

TEST_F(BookParser, NoMemoryStopsTheBookGrowingWithoutACrash) {
  bookNodeAllowance = 2;
  EXPECT_EQ(parse("e2e4 e7e5 g1f3 b8c6\nd2d4\n"), "");
  EXPECT_EQ(countBookNodes(), 2);
  EXPECT_TRUE(inBook("e2e4 e7e5"));
}

TEST_F(BookParser, LexerStopsAtTheEndOfTheText) {
  char line[] = "  a!!b c";
  initLexer(line);
  EXPECT_STREQ(nextLexeme(), "a");
  EXPECT_STREQ(nextLexeme(), "b");
  EXPECT_STREQ(nextLexeme(), "c");
  EXPECT_EQ(nextLexeme(), nullptr);
  EXPECT_EQ(nextLexeme(), nullptr);
  char separatorsOnly[] = " ;,\n";
  initLexer(separatorsOnly);
  EXPECT_EQ(nextLexeme(), nullptr);
}

TEST_F(BookParser, ShippedBookParsesWithoutAnError) {
  std::string path = std::string(MORVEK_SOURCE_DIR) + "/data/Morvek.bk";
  ASSERT_FALSE(readFile(path).empty());
  testing::internal::CaptureStdout();
  parseBookText(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_GT(countBookNodes(), 5000);
  // The main openings are there.
  EXPECT_TRUE(inBook("e2e4"));
  EXPECT_TRUE(inBook("d2d4"));
  EXPECT_TRUE(inBook("e2e4 c7c5"));
  EXPECT_TRUE(inBook("e2e4 e7e5 g1f3 b8c6"));
}

}  // namespace
