#include <gtest/gtest.h>

#include <cstring>

#include "board/fen.h"
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

Move moveOf(const char* text) {
  Move m = 0;
  EXPECT_EQ(parseMove(text, &m), 1) << text;
  return m;
}

// A search from the current position with fresh tables, no book, no tree
// and a clock that will not stop it.
void prepareSearch() {
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

// A move word built by hand, for moves parseMove would refuse (not legal
// now, or not for the side to move yet).
Move wordOf(const char* text, int piece) {
  return makeMoveWord(squareFromName(text), squareFromName(text + 2), piece);
}

enum class Kind { kPrincipal, kInner };

int searchAfter(Kind kind, const char* fen, const char* moveText, int depth) {
  EXPECT_TRUE(setFen(fen)) << fen;
  prepareSearch();
  Move m = 0;
  // An illegal move is built by hand: parseMove would refuse it.
  if (parseMove(moveText, &m) != 1) m = wordOf(moveText, kPawn);
  makeMove(m);
  Move line[kMaxLine] = {};
  const SearchArgs args{-kInfinity, kInfinity, depth, inCheck(), line, 0, 0};
  const int score = kind == Kind::kPrincipal ? principalSearch(args) : innerSearch(args);
  unmakeMove(m);
  EXPECT_EQ(searchPly, 0);
  return score;
}

}  // namespace

TEST(SearchScores, MateStalemateAndKingCaptureAtPlyOne) {
  for (Kind kind : {Kind::kPrincipal, Kind::kInner}) {
    // Ra8 mates: the side to move at ply 1 is mated there.
    EXPECT_EQ(searchAfter(kind, "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8", 3), 1 - 999999);
    // Qf7 stalemates: no legal move without check is a draw.
    EXPECT_EQ(searchAfter(kind, "7k/4Q3/6K1/8/8/8/8/8 w - - 0 1", "e7f7", 3), 0);
    // a7a6 leaves the black king to the rook: the reply takes the king.
    EXPECT_EQ(searchAfter(kind, "4k3/p7/8/8/8/8/4R3/K7 b - - 0 1", "a7a6", 3), kInfinity - 1);
  }
}

TEST(SearchScores, FindsTheMateOneMoveDeeper) {
  // After Kf7 black has only Kh7, then Rh1 mates at ply 3 of the root.
  const int score = searchAfter(Kind::kPrincipal, "7k/8/5K2/8/8/8/8/R7 w - - 0 1", "f6f7", 3);
  EXPECT_EQ(score, -(999999 - 3));
}

TEST(SearchScores, DeepestPlyOnlyEvaluates) {
  ASSERT_TRUE(setFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"));
  prepareSearch();
  iterationDepth = 40;  // keeps the node from dropping into quiescence
  Move line[kMaxLine] = {};
  searchPly = kDeepestSearchPly + 1;
  const int expected = evaluate(-500, 500);
  const int principal = principalSearch(SearchArgs{-500, 500, 3, 0, line, 0, 0});
  const int inner = innerSearch(SearchArgs{-500, 500, 3, 0, line, 0, 0});
  // Quiescence at that ply stands pat without generating anything.
  const int stand = evaluate(-kInfinity, kInfinity);
  const int quiet = quiesce(-kInfinity, kInfinity);
  searchPly = 0;
  EXPECT_EQ(principal, expected);
  EXPECT_EQ(inner, expected);
  EXPECT_EQ(quiet, stand);
}

TEST(SearchRepetition, InsideTheLineIsADrawWithContemptForTheRootSide) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1"));
  prepareSearch();
  Move line[kMaxLine] = {};
  const Move moves[6] = {wordOf("g1f3", kKnight), wordOf("e8d8", kKing), wordOf("f3g1", kKnight),
                         wordOf("d8e8", kKing),   wordOf("g1f3", kKnight), wordOf("e8d8", kKing)};
  // Ply 5: black to move in a position first seen at ply 1.
  for (int i = 0; i < 5; ++i) makeMove(moves[i]);
  EXPECT_EQ(isRepetition(), 1);
  EXPECT_EQ(innerSearch(SearchArgs{-kInfinity, kInfinity, 2, 0, line, 0, 0}), 0);
  EXPECT_EQ(principalSearch(SearchArgs{-kInfinity, kInfinity, 2, 0, line, 0, 0}), 0);
  // Ply 6: the root side to move, first seen at ply 2.
  makeMove(moves[5]);
  EXPECT_EQ(isRepetition(), 1);
  EXPECT_EQ(innerSearch(SearchArgs{-kInfinity, kInfinity, 2, 0, line, 0, 0}), kRootSideDraw);
  EXPECT_EQ(principalSearch(SearchArgs{-kInfinity, kInfinity, 2, 0, line, 0, 0}), 0);
  for (int i = 5; i >= 0; --i) unmakeMove(moves[i]);
  EXPECT_EQ(searchPly, 0);
}

TEST(SearchRepetition, BeforeTheRootItTakesAThirdOccurrence) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1"));
  const char* cycle[4] = {"g1f3", "e8d8", "f3g1", "d8e8"};
  for (const char* t : cycle) ASSERT_EQ(commitGameMove(moveOf(t)), 1);
  ASSERT_EQ(commitGameMove(moveOf("g1f3")), 1);
  EXPECT_EQ(isRepetition(), 0);  // second occurrence only
  for (const char* t : {"e8d8", "f3g1", "d8e8", "g1f3"}) ASSERT_EQ(commitGameMove(moveOf(t)), 1);
  EXPECT_EQ(isRepetition(), 1);  // third occurrence
}

TEST(SearchRepetition, FiftyReversiblePliesAndWhatStopsTheCount) {
  // White's king shuttles a1-b1, black's walks a path of new squares, so no
  // position repeats and only the ply count can make the draw.
  ASSERT_TRUE(setFen("k7/8/8/8/8/8/8/K7 w - - 0 1"));
  const char* blackPath[25] = {"a8b8", "b8c8", "c8d8", "d8e8", "e8f8", "f8g8", "g8h8", "h8h7", "h7g7",
                               "g7f7", "f7e7", "e7d7", "d7c7", "c7b7", "b7a7", "a7a6", "a6b6", "b6c6",
                               "c6d6", "d6e6", "e6f6", "f6g6", "g6h6", "h6h5", "h5g5"};
  for (int i = 0; i < 25; ++i) {
    ASSERT_EQ(commitGameMove(moveOf(i % 2 == 0 ? "a1b1" : "b1a1")), 1);
    if (i < 24) {
      ASSERT_EQ(commitGameMove(moveOf(blackPath[i])), 1);
      EXPECT_EQ(isRepetition(), 0) << "ply " << pos.gamePly;
    }
  }
  EXPECT_EQ(pos.gamePly, 49);
  EXPECT_EQ(isRepetition(), 0);
  ASSERT_EQ(commitGameMove(moveOf(blackPath[24])), 1);
  EXPECT_EQ(isRepetition(), 1);  // fifty reversible plies

  // A null move ends the backward scan at once.
  makeMove(0);
  EXPECT_EQ(isRepetition(), 0);
  unmakeMove(0);

  // A pawn move restarts the count.
  ASSERT_TRUE(setFen("k7/8/8/8/8/8/P7/7K w - - 0 1"));
  ASSERT_EQ(commitGameMove(moveOf("a2a3")), 1);
  for (int i = 0; i < 24; ++i) {
    ASSERT_EQ(commitGameMove(moveOf(blackPath[i])), 1);
    ASSERT_EQ(commitGameMove(moveOf(i % 2 == 0 ? "h1g1" : "g1h1")), 1);
  }
  ASSERT_EQ(commitGameMove(moveOf(blackPath[24])), 1);
  EXPECT_EQ(pos.gamePly, 50);
  EXPECT_EQ(isRepetition(), 0);  // only 49 plies since the pawn moved
}

TEST(SearchLines, CopyLineStopsAtTheLineLimit) {
  Move child[kMaxLine];
  Move line[kMaxLine];
  for (int i = 0; i < kMaxLine; ++i) child[i] = Move(100 + i), line[i] = 7;
  searchPly = 3;
  copyLine(child, line, 42);
  searchPly = 0;
  EXPECT_EQ(line[2], 7u);  // below the node's ply: untouched
  EXPECT_EQ(line[3], 42u);
  EXPECT_EQ(line[4], 104u);
  EXPECT_EQ(line[95], 195u);
  EXPECT_EQ(line[96], 0u);  // a line reaches at most index 95

  child[6] = 0;
  searchPly = 3;
  copyLine(child, line, 42);
  searchPly = 0;
  EXPECT_EQ(line[5], 105u);
  EXPECT_EQ(line[6], 0u);
}

TEST(Quiescence, StandPatCapturesAndKingCapture) {
  // No captures: the stand-pat value, or the given alpha when that is higher.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1"));
  prepareSearch();
  const Move rookMove = moveOf("h1h2");
  makeMove(rookMove);
  const int stand = evaluate(-kInfinity, kInfinity);
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), stand);
  EXPECT_EQ(quiesce(stand + 100, kInfinity), stand + 100);
  // A stand-pat above beta comes back as it is, not as beta.
  EXPECT_EQ(quiesce(stand - 200, stand - 100), stand);
  unmakeMove(rookMove);

  // A hanging queen is taken.
  ASSERT_TRUE(setFen("4k3/8/8/3q4/8/8/8/3RK3 b - - 0 1"));
  prepareSearch();
  const Move wait = moveOf("e8f8");
  makeMove(wait);
  const int before = evaluate(-kInfinity, kInfinity);
  EXPECT_GT(quiesce(-kInfinity, kInfinity), before + 8000);
  unmakeMove(wait);

  // After an illegal move the side to move takes the king.
  ASSERT_TRUE(setFen("4k3/p7/8/8/8/8/4R3/K7 b - - 0 1"));
  prepareSearch();
  const Move illegal = wordOf("a7a6", kPawn);
  makeMove(illegal);
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), kInfinity - 1);
  unmakeMove(illegal);
  EXPECT_EQ(searchPly, 0);
}
