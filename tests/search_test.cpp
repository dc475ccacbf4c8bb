// Searches on small positions, repetitions, learned records and the tables.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "board/movegen.h"
#include "book/book_table.h"
#include "book/learning.h"
#include "engine/clock.h"
#include "search/quiesce.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "tests/test_support.h"

namespace {

// Fresh tables, no book, no tree and a clock that will not stop the search.
void prepareSearch(const char* fen) {
  ASSERT_TRUE(setFen(fen)) << fen;
  clearSearchTables(), clearBookTable(), allocateSearchTree(), clearSearchTree(), startClock();
  searchClock.budget = 1000000, iterationDepth = 10, rootSide = pos.sideToMove;
  nullMoveAllowed = inNullMove = 0;
  listStart[1] = listStart[0];  // quiescence at the root searches the root list: none here
}

Move searchLine[kMaxLine];
int principal(int depth) { return principalSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), searchLine, 0, 0}); }
int inner(int depth) { return innerSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), searchLine, 0, 0}); }

TEST(Search, MateStalemateAndKingCaptureAtPlyOne) {  // built by hand: parseMove refuses the illegal a7a6
  const struct { const char* fen; const char* move; int piece, score; } cases[] = {
      {"7k/4Q3/6K1/8/8/8/8/8 w - - 0 1", "e7f7", kQueen, 0},               // stalemate
      {"4k3/p7/8/8/8/8/4R3/K7 b - - 0 1", "a7a6", kPawn, kInfinity - 1}};  // the king is taken
  for (const auto& c : cases)
    for (int kind = 0; kind < 2; kind++) {
      prepareSearch(c.fen);
      makeMove(boardMove(c.move, c.move + 2, c.piece));
      const PositionImage before;
      const int score = kind == 0 ? principal(3) : inner(3);
      EXPECT_TRUE(score == c.score && before.unchanged()) << c.fen << " kind " << kind << ": " << score;
    }
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), kInfinity - 1);  // quiescence takes the king too
}

TEST(Search, RepetitionsInTheLineAndInTheGame) {
  // A knight up: the zeros below come from the repetition, not the evaluation.
  prepareSearch("4k3/p7/8/8/8/8/P7/4K1N1 w - - 0 1");
  ASSERT_TRUE(playMoves("g1f3 e8d8 f3g1 d8e8 g1f3"));
  // A second occurrence in the line, black to move.
  EXPECT_EQ(std::make_tuple(isRepetition(), inner(2), principal(2)), std::make_tuple(1, 0, 0));
  ASSERT_TRUE(playMoves("e8d8"));  // the root side to move: contempt, in the inner search only
  EXPECT_EQ(std::make_pair(inner(2), principal(2)), std::make_pair(kRootSideDraw, 0));
  // Game moves need a third occurrence; a line back to the root is a draw at once, to an earlier position not.
  const struct { const char* game; const char* line; int draw; } rows[] = {
      {"g1f3 e8d8 f3g1 d8e8 g1f3", "", 0}, {"g1f3 e8d8 f3g1 d8e8 g1f3 e8d8 f3g1 d8e8 g1f3", "", 1},
      {"g1f3 e8d8", "f3g1 d8e8 g1f3", 0}, {"g1f3 e8d8", "f3g1 d8e8 g1f3 e8d8", 1}};
  for (const auto& r : rows) {
    ASSERT_TRUE(setFen("4k3/p7/8/8/8/8/P7/4K1N1 w - - 0 1") && playMoves(r.game, true) && playMoves(r.line));
    EXPECT_EQ(isRepetition(), r.draw) << r.game << " / " << r.line;
  }
}

// Fifty reversible plies are a draw, 49 are not, played or searched; no position repeats.
TEST(Search, FiftyReversiblePliesDraw) {
  const std::string white = "b1c1d1e1f1g1g2f2e2d2c2b2a2a3b3c3d3e3f3g3g4f4e4d4c4b4";
  const std::string black = "g8f8e8d8c8b8b7c7d7e7f7g7h7h6g6f6e6d6c6b6b5c5d5e5f5g5";
  for (int inGame : {0, 30}) {
    prepareSearch("6rk/8/8/8/8/8/8/KR6 w - - 0 1");
    for (int i = 0; i < 50; ++i) {
      ASSERT_TRUE(playMoves((i % 2 ? black : white).substr(i / 2 * 2, 4).c_str(), i < inGame)) << i;
      EXPECT_EQ(isRepetition(), i == 49) << i + 1 << " plies, " << inGame << " in the game";
    }
  }
}

using Moves = std::vector<Move>;

const Move e2e4 = boardMove("e2", "e4", kPawn), d2d4 = boardMove("d2", "d4", kPawn), e7e5 = boardMove("e7", "e5", kPawn);

// Records "lost, whatever the depth" for every position plies further on.
void plantLostRecords(int plies) {
  if (plies == 0) recordSearchResult(-3000, 99);
  if (plies == 0 || !generateLegalMoves()) return;
  for (const Move move : Moves(moveStack + listStart[searchPly], moveStack + listStart[searchPly + 1])) {
    makeMove(move);
    plantLostRecords(plies - 1);
    unmakeMove(move);
  }
}

// Learned records answer only beyond ply 4: nearer the root the search knows better.
TEST(Search, LearnedResultsAnswerOnlyBeyondPly4) {
  int plain = 0;
  for (const int ply : {0, 4, 5}) {  // 0: no records
    prepareSearch("4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 w - - 0 1");
    ASSERT_TRUE(playMoves("e1d2"));  // from ply 1: the root's own list is the deepening's
    if (ply) plantLostRecords(ply - 1);
    EXPECT_TRUE(ply == 0 || countBookNodes() > 1000);
    const int score = principal(6);
    plain = ply == 0 ? score : plain;
    EXPECT_EQ(score == plain, ply != 5) << "records at ply " << ply << ": " << score << " against " << plain;
  }
}

TableEntry& slot() { return transTable[pos.sideToMove][pos.keyLow & kTableMask]; }

TEST(SearchTables, ProbeReplacementAndHistory) {
  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  int value = 0;
  Move hash = 0;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);  // empty slot
  storeTable(50, e2e4, 5, 100);                            // exact, depth 5
  EXPECT_TRUE(probeTable(-100, 100, 5, &value, &hash) && value == 50);
  hash = 0;  // too shallow to decide, but the move is still supplied
  EXPECT_TRUE(!probeTable(-100, 100, 6, &value, &hash) && hash == e2e4);
  storeTable(-20, 0, 9, 100);  // upper bound: decides only at or below alpha
  EXPECT_TRUE(probeTable(-20, 100, 3, &value, &hash) && value == -20 && !probeTable(-21, 100, 3, &value, &hash));
  storeTable(300, d2d4, 9, 300);  // lower bound: only at or above beta
  EXPECT_TRUE(probeTable(-100, 300, 3, &value, &hash) == 1 && probeTable(-100, 301, 3, &value, &hash) == 0);
  hash = e7e5, pos.sideToMove = kBlack;  // the other side's table misses and keeps the hash move
  EXPECT_TRUE(!probeTable(-100, 100, 0, &value, &hash) && hash == e7e5);
  pos.sideToMove = kWhite;
  // Replacement by depth + 2 x bound, equal priority replaces: exact depth 3 is 9, lower depth 4 is 8, kept out.
  clearSearchTables();
  const struct { int score; Move best; int depth, beta, bound; Move kept; } stores[] = {{50, e2e4, 3, 100, kBoundExact, e2e4},
      {500, d2d4, 4, 0, kBoundExact, e2e4}, {500, d2d4, 5, 0, kBoundLower, d2d4}, {-30, 0, 9, 100, kBoundUpper, 0}};
  for (const auto& r : stores) {
    storeTable(r.score, r.best, r.depth, r.beta);
    EXPECT_TRUE(slot().bound == r.bound && slot().move == r.kept) << r.depth;
  }
  slot().keyHigh ^= 0x55;  // a foreign position too
  storeTable(-40, 0, 9, 100);
  EXPECT_EQ(slot().keyHigh, pos.keyHigh);
  // History: a credit past the limit halves the side that moved, not the other.
  int& queen = historyScore[kWhite][kQueen][squareFromName("a8")];  // the piece promoted to
  queen = kHistoryLimit, historyScore[kWhite][kKnight][5] = 3, historyScore[kBlack][kPawn][40] = 9;
  updateHistory(boardMove("a7", "a8", kQueen, kPromotion), 200, 200);  // a cutoff credits 2
  EXPECT_TRUE(queen == 8192 && historyScore[kWhite][kKnight][5] == 1 && historyScore[kBlack][kPawn][40] == 9);
}

}  // namespace
