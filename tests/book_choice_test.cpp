// Weighted random choice among root moves leading to book positions.
#include "book/book_choice.h"

#include "board/movegen.h"
#include "board/random.h"
#include "tests/book_test_support.h"

namespace {

struct BookChoice : BookFixture {
  int first = 0, last = -1;

  // Links a node for the position after moves from the start position.
  BookNode* addLine(const char* moves, int weight = 16, int isBook = 1) {
    EXPECT_TRUE(setFen(kStartFen));
    EXPECT_TRUE(playGameMoves(moves));
    BookNode* node = newBookNode(currentText().c_str());
    node->weight = weight;
    node->isBook = isBook;
    linkNode(node);
    return node;
  }
  // The start position with its legal moves as the root list, the first
  // rootFirst of them moved to the front in the given order.
  void rootList(std::initializer_list<const char*> rootFirst) {
    ASSERT_TRUE(setFen(kStartFen));
    generateLegalMoves();
    first = listStart[0];
    last = listStart[1] - 1;
    int slot = first;
    for (const char* text : rootFirst) {
      Move m = word(text);
      ASSERT_NE(m, 0u) << text;
      for (int i = slot; i <= last; ++i)
        if (moveStack[i] == m) std::swap(moveStack[i], moveStack[slot]);
      ++slot;
    }
  }
  // The root move with the text's squares; looked up without regenerating,
  // which would reorder the root list.
  Move word(const char* text) const {
    for (int i = first; i <= last; ++i)
      if (moveOrigin(moveStack[i]) == squareFromName(text) &&
          moveTarget(moveStack[i]) == squareFromName(text + 2))
        return moveStack[i];
    return 0;
  }
};

// The same draws the choice must make: five 15-bit values per candidate.
uint64_t referenceDraw() {
  uint64_t r = uint64_t(nextRandom());
  for (int i = 0; i < 4; ++i) r = (r << 15) ^ uint64_t(nextRandom());
  return r;
}

TEST_F(BookChoice, HigherDrawWinsAmongEqualWeights) {
  addLine("e2e4");
  addLine("d2d4");
  rootList({"d2d4", "e2e4"});
  const Move d4 = word("d2d4"), e4 = word("e2e4");
  int ties = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    seedRandom(seed);
    uint64_t first = referenceDraw() % 16, second = referenceDraw() % 16;
    int after = nextRandom();
    Move expected = second > first ? e4 : d4;  // a tie keeps root order
    ties += first == second;
    seedRandom(seed);
    EXPECT_EQ(pickBookMove(this->first, last), expected) << "seed " << seed;
    EXPECT_EQ(nextRandom(), after) << "ten draws for two candidates";
  }
  EXPECT_GT(ties, 0);  // the tie rule was exercised
}

TEST_F(BookChoice, ExtraWeightWidensTheRange) {
  addLine("e2e4", 20);
  addLine("d2d4", 16);
  rootList({"e2e4", "d2d4"});
  int heavier = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    seedRandom(seed);
    uint64_t e4Draw = referenceDraw() % 20, d4Draw = referenceDraw() % 16;
    Move expected = d4Draw > e4Draw ? word("d2d4") : word("e2e4");
    seedRandom(seed);
    Move chosen = pickBookMove(first, last);
    EXPECT_EQ(chosen, expected) << "seed " << seed;
    heavier += chosen == word("e2e4");
  }
  EXPECT_GT(heavier, 150);
}

TEST_F(BookChoice, LeastBookWeightSetsTheBaseEvenWhenNegative) {
  addLine("e2e4", -5);
  addLine("d2d4", 3);
  rootList({"e2e4", "d2d4"});
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    seedRandom(seed);
    uint64_t e4Draw = referenceDraw() % 16, d4Draw = referenceDraw() % 24;
    seedRandom(seed);
    EXPECT_EQ(pickBookMove(first, last), d4Draw > e4Draw ? word("d2d4") : word("e2e4"));
  }
}

TEST_F(BookChoice, SearchResultNodesAreNeverChosenAndDrawNothing) {
  addLine("e2e4", 0, 0);
  addLine("c2c4", 50, 0);
  rootList({"e2e4", "c2c4"});
  BookCandidate list[kMaxBookCandidates];
  EXPECT_EQ(bookCandidates(first, last, list), 2);
  seedRandom(7);
  int expectedNext = nextRandom();
  seedRandom(7);
  EXPECT_EQ(pickBookMove(first, last), 0u);
  EXPECT_EQ(nextRandom(), expectedNext);

  addLine("d2d4");  // one book candidate among them: its draw decides nothing
  rootList({"e2e4", "c2c4", "d2d4"});
  seedRandom(7);
  referenceDraw();
  expectedNext = nextRandom();
  seedRandom(7);
  EXPECT_EQ(pickBookMove(first, last), word("d2d4"));
  EXPECT_EQ(nextRandom(), expectedNext);
}

TEST_F(BookChoice, NoBookPositionGivesNoMoveAndNoDraws) {
  addLine("e2e4 e7e5");  // reachable, but not after one root move
  rootList({});
  seedRandom(3);
  int expectedNext = nextRandom();
  seedRandom(3);
  EXPECT_EQ(pickBookMove(first, last), 0u);
  EXPECT_EQ(nextRandom(), expectedNext);
  EXPECT_EQ(pickBookMove(5, 4), 0u);  // an empty range
}

TEST_F(BookChoice, EveryNodeOfThePositionIsACandidateAndThePositionIsUnchanged) {
  BookNode* a = addLine("g1f3");
  BookNode* b = addLine("g1f3");  // a second node of the same position
  addLine("b1c3");
  rootList({"g1f3", "b1c3"});
  std::string before = currentText();
  BookCandidate list[kMaxBookCandidates];
  ASSERT_EQ(bookCandidates(first, last, list), 3);
  EXPECT_EQ(list[0].node, b);  // chain order: the later node is at the head
  EXPECT_EQ(list[1].node, a);
  EXPECT_EQ(list[0].move, word("g1f3"));
  EXPECT_EQ(list[2].move, word("b1c3"));
  EXPECT_EQ(currentText(), before);
  EXPECT_EQ(searchPly, 0);
}

TEST_F(BookChoice, CandidateListNeverOverflows) {
  for (int i = 0; i < kMaxBookCandidates + 10; ++i) addLine("e2e4");
  rootList({"e2e4"});
  static BookCandidate list[kMaxBookCandidates];
  EXPECT_EQ(bookCandidates(first, last, list), kMaxBookCandidates);
  seedRandom(1);
  EXPECT_EQ(pickBookMove(first, last), word("e2e4"));
}

}  // namespace
