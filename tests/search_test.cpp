// The principal, inner and quiescence searches on small positions, and the
// draw rules of the search line.
#include <gtest/gtest.h>

#include "board/make_move.h"
#include "board/move_text.h"
#include "book/book_table.h"
#include "engine/clock.h"
#include "eval/evaluate.h"
#include "search/quiesce.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

// Sets up fen for a search with fresh tables, no book, no tree and a clock
// that will not stop it.
void prepareSearch(const char* fen) {
  ASSERT_TRUE(setFen(fen)) << fen;
  clearSearchTables();
  clearBookTable();
  allocateSearchTree();
  clearSearchTree();
  startClock();
  searchClock.budget = 1000000;
  iterationDepth = 10;
  rootSide = pos.sideToMove;
  nullMoveAllowed = 0;
  inNullMove = 0;
}

// A move word built by hand: parseMove refuses moves that are not legal now.
Move wordOf(const char* text, int piece) {
  return makeMoveWord(squareFromName(text), squareFromName(text + 2), piece);
}

Move line[kMaxLine];
int principal(int depth) { return principalSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), line, 0, 0}); }
int inner(int depth) { return innerSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), line, 0, 0}); }

TEST(Search, MateStalemateAndKingCaptureAtPlyOne) {
  const struct { const char* fen; const char* move; int piece, score; } cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8", kRook, 1 - kMatedAtZero},  // mated at ply 1
      {"7k/4Q3/6K1/8/8/8/8/8 w - - 0 1", "e7f7", kQueen, 0},                  // stalemate
      {"4k3/p7/8/8/8/8/4R3/K7 b - - 0 1", "a7a6", kPawn, kInfinity - 1},      // the king is taken
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", "f6f7", kKing, -(kMatedAtZero - 3)}};   // Kh7 Rh1 mate
  for (const auto& c : cases) {
    for (int kind = 0; kind < 2; kind++) {
      prepareSearch(c.fen);
      const Move m = wordOf(c.move, c.piece);
      makeMove(m);
      EXPECT_EQ(kind == 0 ? principal(3) : inner(3), c.score) << c.fen << " kind " << kind;
      unmakeMove(m);
      EXPECT_EQ(searchPly, 0);
    }
  }
  // Quiescence: the king capture, a hanging queen taken, a stand-pat above
  // beta returned as it is.
  prepareSearch("4k3/p7/8/8/8/8/4R3/K7 b - - 0 1");
  makeMove(wordOf("a7a6", kPawn));
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), kInfinity - 1);
  unmakeMove(wordOf("a7a6", kPawn));
  prepareSearch("4k3/8/8/3q4/8/8/8/3RK3 b - - 0 1");
  makeMove(0);  // quiescence runs below the root
  EXPECT_GT(quiesce(-kInfinity, kInfinity), evaluate(-kInfinity, kInfinity) + 8000);
  unmakeMove(0);
  prepareSearch("4k3/8/8/8/8/8/7R/4K3 b - - 0 1");
  const int stand = evaluate(-kInfinity, kInfinity);
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), stand);
  EXPECT_EQ(quiesce(stand + 100, kInfinity), stand + 100);
  EXPECT_EQ(quiesce(stand - 200, stand - 100), stand);
}

TEST(Search, BeyondTheDeepestPlyOnlyEvaluates) {
  prepareSearch("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  iterationDepth = 40;  // keeps the node from dropping into quiescence
  searchPly = kDeepestSearchPly + 1;
  const int expected = evaluate(-500, 500), stand = evaluate(-kInfinity, kInfinity);
  const int p = principalSearch(SearchArgs{-500, 500, 3, 0, line, 0, 0});
  const int i = innerSearch(SearchArgs{-500, 500, 3, 0, line, 0, 0});
  const int q = quiesce(-kInfinity, kInfinity);  // stands pat without generating
  searchPly = 0;
  EXPECT_EQ(p, expected);
  EXPECT_EQ(i, expected);
  EXPECT_EQ(q, stand);
}

TEST(Search, RepetitionInTheLineHasContemptForTheRootSideOnlyInTheInnerSearch) {
  prepareSearch("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
  const Move moves[6] = {wordOf("g1f3", kKnight), wordOf("e8d8", kKing), wordOf("f3g1", kKnight),
                         wordOf("d8e8", kKing),   wordOf("g1f3", kKnight), wordOf("e8d8", kKing)};
  for (int i = 0; i < 5; ++i) makeMove(moves[i]);
  EXPECT_EQ(isRepetition(), 1);  // black to move, first seen at ply 1
  EXPECT_EQ(inner(2), 0);
  EXPECT_EQ(principal(2), 0);
  makeMove(moves[5]);  // the root side to move, first seen at ply 2
  EXPECT_EQ(inner(2), kRootSideDraw);
  EXPECT_EQ(principal(2), 0);
  for (int i = 5; i >= 0; --i) unmakeMove(moves[i]);
  EXPECT_EQ(searchPly, 0);
}

TEST(Search, GameRepetitionNeedsAThirdOccurrenceOrFiftyReversiblePlies) {
  auto play = [](const char* text) {
    Move m = 0;
    return parseMove(text, &m) == 1 && commitGameMove(m) == 1;
  };
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1"));
  for (const char* t : {"g1f3", "e8d8", "f3g1", "d8e8", "g1f3"}) ASSERT_TRUE(play(t));
  EXPECT_EQ(isRepetition(), 0);  // second occurrence only
  for (const char* t : {"e8d8", "f3g1", "d8e8", "g1f3"}) ASSERT_TRUE(play(t));
  EXPECT_EQ(isRepetition(), 1);

  // White's king shuttles, black's walks new squares: only the count can draw.
  // A pawn move first leaves one ply short.
  const char* path[25] = {"a8b8", "b8c8", "c8d8", "d8e8", "e8f8", "f8g8", "g8h8", "h8h7", "h7g7",
                          "g7f7", "f7e7", "e7d7", "d7c7", "c7b7", "b7a7", "a7a6", "a6b6", "b6c6",
                          "c6d6", "d6e6", "e6f6", "f6g6", "g6h6", "h6h5", "h5g5"};
  for (int pawn = 0; pawn < 2; pawn++) {
    ASSERT_TRUE(setFen(pawn ? "k7/8/8/8/8/8/P7/K7 w - - 0 1" : "k7/8/8/8/8/8/8/K7 w - - 0 1"));
    if (pawn) ASSERT_TRUE(play("a2a3") && play(path[0]));
    for (int i = pawn; i < 25; ++i) {
      ASSERT_TRUE(play((i - pawn) % 2 ? "b1a1" : "a1b1"));
      if (i == 24) EXPECT_EQ(isRepetition(), 0);
      ASSERT_TRUE(play(path[i]));
    }
    EXPECT_EQ(pos.gamePly, 50);
    EXPECT_EQ(isRepetition(), 1 - pawn) << "pawn " << pawn;
  }
  makeMove(0);  // a null move ends the backward scan
  EXPECT_EQ(isRepetition(), 0);
  unmakeMove(0);
}

TEST(Search, CopyLineStopsAtTheLineLimit) {
  Move child[kMaxLine];
  for (int i = 0; i < kMaxLine; ++i) child[i] = Move(100 + i), line[i] = 7;
  searchPly = 3;
  copyLine(child, line, 42);
  EXPECT_EQ(line[2], 7u);  // below the node's ply: untouched
  EXPECT_EQ(line[3], 42u);
  EXPECT_EQ(line[95], 195u);
  EXPECT_EQ(line[96], 0u);  // a line reaches at most index 95
  child[6] = 0;
  copyLine(child, line, 42);
  searchPly = 0;
  EXPECT_EQ(line[5], 105u);
  EXPECT_EQ(line[6], 0u);
}

}  // namespace
