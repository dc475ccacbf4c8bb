// Weighted random choice among root moves that lead to book positions.
#include "book/book_choice.h"

#include "board/movegen.h"
#include "board/random.h"
#include "tests/book_test_support.h"

namespace {

struct BookChoice : BookFixture {
  int first = 0, last = -1;

  BookNode* addLine(const char* moves, int weight = 16, int isBook = 1) {
    EXPECT_TRUE(setFen(kStartFen) && playGameMoves(moves));
    BookNode* node = newBookNode(currentText().c_str());
    node->weight = weight;
    node->isBook = isBook;
    linkNode(node);
    return node;
  }
  // The start position's legal moves as the root list, the named ones first.
  void rootList(std::initializer_list<const char*> front) {
    ASSERT_TRUE(setFen(kStartFen));
    generateLegalMoves();
    first = listStart[0];
    last = listStart[1] - 1;
    int slot = first;
    for (const char* text : front) {
      Move m = word(text);
      for (int i = slot; i <= last; ++i)
        if (moveStack[i] == m) std::swap(moveStack[i], moveStack[slot]);
      ++slot;
    }
  }
  // Looked up in the root list: parsing would regenerate and reorder it.
  Move word(const char* text) const {
    for (int i = first; i <= last; ++i)
      if (moveOrigin(moveStack[i]) == squareFromName(text) &&
          moveTarget(moveStack[i]) == squareFromName(text + 2))
        return moveStack[i];
    return 0;
  }
  // Over many seeds: the choice is the first candidate unless the second
  // draws strictly more, with the given ranges; exactly ten draws are used.
  void expectDraws(uint64_t firstRange, uint64_t secondRange, Move firstMove, Move secondMove) {
    int ties = 0;
    for (uint32_t seed = 1; seed <= 200; ++seed) {
      seedRandom(seed);
      uint64_t a = drawBookRandom() % firstRange, b = drawBookRandom() % secondRange;
      int next = nextRandom();
      ties += a == b;
      seedRandom(seed);
      EXPECT_EQ(pickBookMove(first, last), b > a ? secondMove : firstMove) << seed;
      EXPECT_EQ(nextRandom(), next) << seed;
    }
    EXPECT_GT(ties, 0);
  }
};

TEST_F(BookChoice, DrawsFromTheEngineGenerator) {
  seedRandom(1);  // 41, 18467, 6334, 26500, 19169
  uint64_t expected = 41;
  for (uint64_t r : {18467, 6334, 26500, 19169}) expected = (expected << 15) ^ r;
  EXPECT_EQ(drawBookRandom(), expected);
}

TEST_F(BookChoice, HigherDrawWinsAndTiesKeepTheRootOrder) {
  addLine("e2e4");
  addLine("d2d4");
  rootList({"d2d4", "e2e4"});
  expectDraws(16, 16, word("d2d4"), word("e2e4"));
  clearBookTable();
  addLine("e2e4", 20);
  addLine("d2d4", 16);
  rootList({"d2d4", "e2e4"});
  expectDraws(16, 20, word("d2d4"), word("e2e4"));
  clearBookTable();
  addLine("e2e4", -5);  // the least weight sets the base
  addLine("d2d4", 3);
  addLine("c2c4", 99, 0);  // a search node: no draw, no part in the base
  rootList({"c2c4", "e2e4", "d2d4"});
  expectDraws(16, 24, word("e2e4"), word("d2d4"));
}

TEST_F(BookChoice, NoBookCandidateGivesNoMoveAndNoDraws) {
  addLine("e2e4", 0, 0);
  addLine("e2e4 e7e5");  // a book position, but not after one root move
  rootList({"e2e4"});
  BookCandidate list[kMaxBookCandidates];
  EXPECT_EQ(bookCandidates(first, last, list), 1);
  seedRandom(7);
  int next = nextRandom();
  seedRandom(7);
  EXPECT_EQ(pickBookMove(first, last), 0u);
  EXPECT_EQ(pickBookMove(5, 4), 0u);
  EXPECT_EQ(nextRandom(), next);
  EXPECT_EQ(searchPly, 0);
  EXPECT_EQ(currentText(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w QKqk");
}

TEST_F(BookChoice, EveryNodeOfThePositionCountsUpToCapacity) {
  for (int i = 0; i < kMaxBookCandidates + 10; ++i) addLine("g1f3");
  BookNode* head = addLine("b1c3");
  rootList({"b1c3", "g1f3"});
  static BookCandidate list[kMaxBookCandidates];
  ASSERT_EQ(bookCandidates(first, last, list), kMaxBookCandidates);
  EXPECT_EQ(list[0].node, head);
  EXPECT_EQ(list[1].move, word("g1f3"));
}

}  // namespace
