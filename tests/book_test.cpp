// The book table, the book text and the weighted book move choice.
#include "board/movegen.h"
#include "board/random.h"
#include "book/book_choice.h"
#include "book/book_parser.h"
#include "tests/book_test_support.h"

namespace {

using BookTable = BookFixture;

TEST_F(BookTable, PositionTextKeepsRightsWithTheirRookAndTheLastPawnMove) {
  struct {
    const char *fen, *moves, *text;
  } cases[] = {
      {kStartFen, "", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w QKqk"},
      {kStartFen, "e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk e1"},
      {kStartFen, "e2e4 d7d5 e4d5", "rnbqkbnr/ppp1pppp/8/3P4/8/8/PPPP1PPP/RNBQKBNR b QKqk e3"},
      {kStartFen, "e2e4 e7e5 g1f3", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b QKqk"},
      {kStartFen, "g1f3 g8f6 h1g1", "rnbqkb1r/pppppppp/5n2/8/8/5N2/PPPPPPPP/RNBQKBR1 b Qqk"},
      {"r3k3/8/8/8/8/8/4P3/4K3 w KQkq -", "", "r3k3/8/8/8/8/8/4P3/4K3 w q"},
      {"8/4P3/8/8/8/8/k7/4K3 w - -", "e7e8n", "4N3/8/8/8/8/8/k7/4K3 b"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(setFen(c.fen) && playGameMoves(c.moves)) << c.moves;
    EXPECT_EQ(currentText(), c.text) << c.moves;
  }
}

TEST_F(BookTable, LookupComparesTheTextBeyondTheKey) {
  // Castling rights are not in the key: one key, two positions.
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  BookNode* all = newBookNode(currentText().c_str());
  EXPECT_EQ(findNode(), nullptr);  // not linked yet
  linkNode(all);
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w Kkq -"));
  EXPECT_EQ(findNode(), nullptr);
  EXPECT_EQ(findNodeByKey(pos.keyLow, pos.keyHigh, kWhite), all);
  EXPECT_EQ(findNodeByKey(pos.keyLow, pos.keyHigh, kBlack), nullptr);
  BookNode* fewer = newBookNode(currentText().c_str());
  linkNode(fewer);
  EXPECT_EQ(findNode(), fewer);
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  EXPECT_EQ(findNode(), all);  // found behind the newer head of the chain
}

TEST_F(BookTable, ProbeAnswersFromDepthOrFromTheBookBand) {
  BookNode* node = addNode("e2e4 c7c5");
  node->score = 321;
  node->depth = 5;
  struct {
    int isBook, alpha, depth, beta, found, value;
  } cases[] = {
      {1, -50, 5, 50, 1, 321},   {1, -50, 6, 50, 0, 0},  // deep enough, or a window over -16..16
      {1, 16, 6, 100, 1, 16},    {1, 15, 6, 100, 0, 0},
      {1, -100, 6, -16, 1, -16}, {1, -100, 6, -15, 0, 0},
      {0, 100, 6, 200, 0, 0},    {0, -200, 5, -100, 1, 321},  // search nodes only by depth
  };
  for (const auto& c : cases) {
    node->isBook = c.isBook;
    int value = 0;
    EXPECT_EQ(probeBook(c.alpha, c.depth, c.beta, &value), c.found) << c.alpha << " " << c.depth;
    if (c.found) {
      EXPECT_EQ(value, c.value);
    }
  }
}

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
  std::string full = "e2e4", shuffle;
  full.resize(65533, ' ');  // fills one read: the rest is a line of its own
  for (int i = 0; i < 100; ++i) shuffle += "g1f3 g8f6 f3g1 f6g8 ";  // a full game record
  struct {
    std::string text, out;
    int nodes;
    const char* reached;  // its last position must be in the book
  } cases[] = {
      {"e2e4 e7e5 g1f3\ne2e4 e7e5 f1c4\nd2d4", "", 5, "e2e4 e7e5 f1c4"},
      {"d2d4,d7d5;c2c4#e7e6??g1f3!!\n", "", 5, "d2d4 d7d5 c2c4 e7e6 g1f3"},
      {"1. e2e4 e7e5\n", "#error: line 1, lexem 1.\n", 0, ""},
      {"# c\n\n    \n   # indented\ne2e4\n#\nd2d4 zz e7e5\n", "#error: line 2, lexem zz\n", 2,
       "d2d4"},
      {"e2e4 e2e4\nd2d4 d7d5\n\te2e4\n",
       "#error: line 1, lexem e2e4\n#error: line 3, lexem \te2e4\n", 3, "d2d4 d7d5"},
      {"e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 o-o\ne2e4 e7e5 o-o\n", "#error: line 2, lexem o-o\n", 7,
       "e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1"},
      {full + "e7e5\n" + full + "d2d4\n", "#error: line 2, lexem e7e5\n", 2, "d2d4"},
      {shuffle + "e2e4\n", "#error: line 1, lexem e2e4\n", 4, "g1f3 g8f6 f3g1"},
      {"e2e4 e7e5\r\n\r\n# note\r\nd2d4\r\n", "", 3, "e2e4 e7e5"},
  };
  for (const auto& c : cases) {
    clearBookTable();
    EXPECT_EQ(parse(c.text), c.out) << c.text.substr(0, 60);
    EXPECT_EQ(countBookNodes(), c.nodes) << c.text.substr(0, 60);
    if (*c.reached) {
      EXPECT_TRUE(inBook(c.reached)) << c.reached;
    }
  }
  EXPECT_EQ(findNode(), nullptr);  // the start position never enters
}

TEST_F(BookParser, BorrowsAndRestoresTheEnginePositionAndStopsWhenMemoryEnds) {
  ASSERT_TRUE(playGameMoves("g1f3 d7d5 g2g3"));
  pos.learnedThisGame = 1;
  const PositionImage before;
  EXPECT_EQ(parse("e2e4 e7e5\nc2c4 zz\n"), "#error: line 2, lexem zz\n");
  EXPECT_TRUE(before.unchanged());
  parseBookText(file("missing.bk").c_str());  // nothing read, nothing said
  EXPECT_EQ(countBookNodes(), 3);

  clearBookTable();
  bookNodeAllowance = 2;
  EXPECT_EQ(parse("e2e4 e7e5 g1f3 b8c6\nd2d4\n"), "");
  EXPECT_EQ(countBookNodes(), 2);
  EXPECT_TRUE(inBook("e2e4 e7e5"));
}

TEST_F(BookParser, ShippedBookParsesWithoutAnError) {
  testing::internal::CaptureStdout();
  parseBookText(MORVEK_SOURCE_DIR "/data/Morvek.bk");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_GT(countBookNodes(), 5000);
  for (const char* line : {"e2e4", "d2d4", "c2c4", "g1f3", "e2e4 e7e5 g1f3 b8c6"})
    EXPECT_TRUE(inBook(line)) << line;
}

TEST_F(BookTable, ChoiceDrawsFromTheEngineGenerator) {
  seedRandom(1);  // 41, 18467, 6334, 26500, 19169
  uint64_t expected = 41;
  for (uint64_t r : {18467, 6334, 26500, 19169}) expected = (expected << 15) ^ r;
  EXPECT_EQ(drawBookRandom(), expected);
}

TEST_F(BookTable, ChoiceNeedsAStrictlyHigherDrawToReplace) {
  struct {
    const char* moves[3];
    int weight[3], isBook[3];
    uint64_t range[3];  // 0: a search node, which draws nothing
  } cases[] = {
      {{"d2d4", "e2e4"}, {16, 16}, {1, 1}, {16, 16}},
      {{"d2d4", "e2e4"}, {16, 20}, {1, 1}, {16, 20}},
      {{"c2c4", "e2e4", "d2d4"}, {99, -5, 3}, {0, 1, 1}, {0, 16, 24}},  // least book weight is base
      {{"e2e4"}, {0}, {0}, {0}},  // no book move at all
  };
  for (const auto& c : cases) {
    clearBookTable();
    Move words[3] = {};
    int count = 0;
    for (; count < 3 && c.moves[count]; ++count)
      addNode(c.moves[count], c.weight[count], c.isBook[count]);
    ASSERT_TRUE(setFen(kStartFen));
    for (int i = 0; i < count; ++i) ASSERT_TRUE(parseMove(c.moves[i], &words[i]));
    generateLegalMoves();
    const int first = listStart[0];
    for (int i = 0; i < count; ++i) moveStack[first + i] = words[i];
    int ties = 0;
    for (uint32_t seed = 1; seed <= 200; ++seed) {
      seedRandom(seed);
      int64_t best = -1;
      Move expected = 0;
      for (int i = 0; i < count; ++i) {
        if (!c.range[i]) continue;
        int64_t v = int64_t(drawBookRandom() % c.range[i]);
        ties += v == best;
        if (v > best) {
          best = v;
          expected = words[i];
        }
      }
      const int next = nextRandom();
      seedRandom(seed);
      EXPECT_EQ(pickBookMove(first, first + count - 1), expected) << c.moves[0] << " " << seed;
      EXPECT_EQ(nextRandom(), next) << "draws used, seed " << seed;
    }
    EXPECT_EQ(ties > 0, count > 1) << c.moves[0];
  }
  EXPECT_EQ(searchPly, 0);
}

TEST_F(BookTable, ChoiceListStopsAtItsCapacity) {
  for (int i = 0; i <= kMaxBookCandidates; ++i) addNode("g1f3");
  ASSERT_TRUE(setFen(kStartFen));
  generateLegalMoves();
  static BookCandidate list[kMaxBookCandidates];
  EXPECT_EQ(bookCandidates(listStart[0], listStart[1] - 1, list), kMaxBookCandidates);
}

}  // namespace
