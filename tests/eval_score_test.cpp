// Whole evaluations: worked positions, the dead draw, the lazy window and the
// symmetry between the two sides to move.
#include <gtest/gtest.h>

#include "eval/attack_map.h"
#include "eval/evaluate.h"
#include "eval/pieces.h"
#include "test_support.h"

namespace {

constexpr int kFull = 1000000;

int scoreOf(const char* fen) {
  EXPECT_TRUE(setFen(fen)) << fen;
  prepareEvaluation();
  return evaluate(-kFull, kFull);
}

TEST(EvalScore, StartPositionBreakdown) {
  EXPECT_EQ(scoreOf(kStartFen), 0);
  const EvalBreakdown& b = lastEvalBreakdown;
  for (int s = kWhite; s <= kBlack; s++) {
    SCOPED_TRACE(s);
    EXPECT_EQ(b.positional[s], 541);
    EXPECT_EQ(b.pieceSquare[s], 134);
    EXPECT_EQ(b.common[s], -1);  // rooks undefended, the king defended by the queen
    EXPECT_EQ(b.kind[s][kPawn], 0);
    EXPECT_EQ(b.kind[s][kKnight], 2 * 50);
    EXPECT_EQ(b.kind[s][kBishop], 2 * 55);
    EXPECT_EQ(b.kind[s][kRook], 2 * 42);
    EXPECT_EQ(b.kind[s][kQueen], 116);
    EXPECT_EQ(b.kind[s][kKing], -2);
    EXPECT_EQ(b.hanging[s], 0);
  }
}

TEST(EvalScore, AfterKingPawnOpening) {
  EXPECT_EQ(scoreOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"), -30);
  EXPECT_EQ(lastEvalBreakdown.positional[kWhite], 571);
  EXPECT_EQ(lastEvalBreakdown.positional[kBlack], 541);
  EXPECT_EQ(lastEvalBreakdown.kind[kWhite][kBishop], 2 * 55 + 9);
  EXPECT_EQ(lastEvalBreakdown.kind[kWhite][kQueen], 116 + 5);
  EXPECT_EQ(lastEvalBreakdown.kind[kWhite][kKing], 0);
}

TEST(EvalScore, KingAndPawnEnding) {
  EXPECT_EQ(scoreOf("8/8/8/4k3/8/8/4P3/4K3 w - -"), 1011);
  const EvalBreakdown& b = lastEvalBreakdown;
  EXPECT_EQ(b.kind[kWhite][kPawn], 13);
  EXPECT_EQ(b.pieceSquare[kWhite], 4);
  EXPECT_EQ(b.common[kWhite], -1);
  EXPECT_EQ(b.positional[kWhite], 17);  // pawn count term +1
  EXPECT_EQ(b.pieceSquare[kBlack], 23);
  EXPECT_EQ(b.common[kBlack], -1);
  EXPECT_EQ(b.positional[kBlack], 6);  // no pawns: -16
  // The same with black to move is the exact negation.
  EXPECT_EQ(scoreOf("8/8/8/4k3/8/8/4P3/4K3 b - -"), -1011);
}

TEST(EvalScore, DeadDrawByMaterialIgnoresWindow) {
  const char* draws[] = {"4k3/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/4KN2 w - -",
                         "4k3/8/8/8/8/8/8/3NKN2 b - -", "4kn2/8/8/8/8/8/8/4KB2 w - -"};
  for (const char* fen : draws) {
    ASSERT_TRUE(setFen(fen));
    prepareEvaluation();
    EXPECT_EQ(evaluate(-kFull, kFull), 0) << fen;
    EXPECT_EQ(evaluate(50000, 50001), 0) << fen;  // before the lazy exit
  }
  const char* live[] = {"4k3/8/8/8/8/8/8/3NKB2 w - -", "4k3/8/8/8/8/8/8/4KR2 w - -",
                        "4k3/p7/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/2BBK3 w - -"};
  for (const char* fen : live) EXPECT_NE(scoreOf(fen), 0) << fen;
}

TEST(EvalScore, LazyExitBoundaries) {
  // White is a rook up: D = 5000 for white to move.
  ASSERT_TRUE(setFen("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 w - -"));
  prepareEvaluation();
  const int full = evaluate(-kFull, kFull);
  ASSERT_NE(full, 5000);
  const int D = 5000;
  EXPECT_EQ(evaluate(D + 500, kFull), D);
  EXPECT_EQ(evaluate(D + 499, kFull), full);
  EXPECT_EQ(evaluate(-kFull, D - 500), D);
  EXPECT_EQ(evaluate(-kFull, D - 499), full);
  // From the other side the balance is negative.
  ASSERT_TRUE(setFen("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 b - -"));
  EXPECT_EQ(evaluate(-D + 500, kFull), -D);
  EXPECT_EQ(evaluate(-D + 499, kFull), -full);
}

TEST(EvalScore, RookRoundsWhatTheEarlierPiecesAdded) {
  // The white king on e6 comes before the rook on a1 in the piece list and
  // leaves a negative running sum, which the rook's endgame step (ph 0.75)
  // rounds toward zero together with the rook's own terms.
  ASSERT_TRUE(setFen("rnbqk1n1/8/4K3/8/8/8/8/R7 w - -"));
  prepareEvaluation();
  ASSERT_EQ(opponentPhase(kWhite), 0.75);
  buildAttackMaps();
  const int own = rookTerms(kWhite, squareFromName("a1"), 1.0, 0);
  evaluate(-kFull, kFull);
  const EvalBreakdown& b = lastEvalBreakdown;
  const int before = b.pieceSquare[kWhite] + b.common[kWhite] + b.kind[kWhite][kKing];
  ASSERT_LT(before + own, -3);
  EXPECT_EQ(b.kind[kWhite][kRook], own + 3);  // trunc(x + 2.5) = x + 3 for x < -3
  EXPECT_EQ(b.positional[kWhite], before + own + 3 - 16);
}

}  // namespace
