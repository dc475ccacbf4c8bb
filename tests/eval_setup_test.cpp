// Piece-square tables and the phase fraction.
#include <gtest/gtest.h>

#include <algorithm>

#include "eval/eval_setup.h"
#include "test_support.h"

namespace {

// White's reach tables, rank 8 first.
const int kKnightReach[64] = {
    8,  13, 17, 19, 19, 17, 13, 8,  13, 17, 24, 26, 26, 24, 17, 13,  //
    15, 23, 31, 33, 33, 31, 23, 15, 15, 23, 30, 34, 34, 30, 23, 15,  //
    14, 20, 27, 30, 30, 27, 20, 14, 11, 16, 22, 24, 24, 22, 16, 11,  //
    7,  11, 15, 17, 17, 15, 11, 7,  4,  7,  9,  10, 10, 9,  7,  4};
const int kBishopReach[64] = {
    19, 17, 16, 15, 15, 16, 17, 19, 16, 22, 21, 20, 20, 21, 22, 16,  //
    15, 20, 26, 26, 26, 26, 20, 15, 14, 19, 25, 32, 32, 25, 19, 14,  //
    15, 19, 25, 30, 30, 25, 19, 15, 16, 20, 25, 23, 23, 25, 20, 16,  //
    17, 22, 19, 18, 18, 19, 22, 17, 19, 16, 15, 14, 14, 15, 16, 19};
const int kRookRankValue[8] = {32, 31, 30, 29, 28, 28, 27, 26};
const int kQueenReach[64] = {
    23, 24, 24, 24, 24, 24, 24, 23, 23, 26, 27, 27, 27, 27, 26, 23,  //
    23, 26, 29, 29, 29, 29, 26, 23, 23, 26, 29, 32, 32, 29, 26, 23,  //
    23, 26, 29, 31, 31, 29, 26, 23, 23, 26, 28, 28, 28, 28, 26, 23,  //
    22, 25, 25, 25, 25, 25, 25, 22, 22, 22, 22, 22, 22, 22, 22, 22};
const int kKingReach[64] = {
    10, 17, 20, 21, 21, 20, 17, 10, 16, 27, 32, 34, 34, 32, 27, 16,  //
    16, 28, 34, 36, 36, 34, 28, 16, 14, 24, 29, 30, 30, 29, 24, 14,  //
    10, 18, 22, 23, 23, 22, 18, 10, 7,  12, 15, 15, 15, 15, 12, 7,   //
    4,  7,  8,  9,  9,  8,  7,  4,  1,  3,  3,  4,  4,  3,  3,  1};

int mirror(int q) { return (7 - (q >> 3)) * 8 + (q & 7); }

void expectReach(int type, int weight, const int* white, int maximum) {
  int table[64];
  for (int side = kWhite; side <= kBlack; side++) {
    buildReachTable(side, type, weight, table);
    EXPECT_EQ(lastReachMaximum, maximum) << "type " << type;
    for (int q = 0; q < 64; q++) {
      const int expected = side == kWhite ? white[q] : white[mirror(q)];
      ASSERT_EQ(table[q], expected) << "type " << type << " side " << side << " square " << q;
    }
  }
}

TEST(EvalSetup, ReachTablesMatchReferenceAndMaxima) {
  initEngineOnce();
  int rook[64];
  for (int q = 0; q < 64; q++) rook[q] = kRookRankValue[q >> 3];
  expectReach(kKnight, 34, kKnightReach, 1615);
  expectReach(kBishop, 32, kBishopReach, 4948);
  expectReach(kRook, 32, rook, 12054);
  expectReach(kQueen, 32, kQueenReach, 56000);
  expectReach(kKing, 36, kKingReach, 3024);
}

TEST(EvalSetup, PawnTablesCountFromOwnFirstRank) {
  ASSERT_TRUE(setFen(kStartFen));
  prepareEvaluation();
  const int e2 = 52, e3 = 44, c3 = 42, d4 = 35, a2 = 48;
  EXPECT_EQ(pieceSquare[kWhite][kPawn][e2], 0);
  EXPECT_EQ(pieceSquare[kWhite][kPawn][e3], 10);
  EXPECT_EQ(pieceSquare[kWhite][kPawn][c3], 2);
  EXPECT_EQ(pieceSquare[kWhite][kPawn][d4], 16);
  EXPECT_EQ(pieceSquare[kWhite][kPawn][a2], 4);
  for (int q = 0; q < 64; q++)
    EXPECT_EQ(pieceSquare[kBlack][kPawn][q], pieceSquare[kWhite][kPawn][mirror(q)]) << q;
}

TEST(EvalSetup, OpponentPhaseClampsAndScales) {
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(opponentPhase(kWhite), 1.0);
  EXPECT_EQ(opponentPhase(kBlack), 1.0);
  // A lone bishop (4) is nothing; two knights (6) are 0.15.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/2B1K3 w - -"));
  EXPECT_EQ(opponentPhase(kBlack), 0.0);
  EXPECT_EQ(opponentPhase(kWhite), 0.0);
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/1N2K1N1 w - -"));
  EXPECT_EQ(opponentPhase(kBlack), 6 / 40.0);
  // More than the starting set still counts as a full middlegame.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/QQQ1K3 w - -"));
  EXPECT_EQ(opponentPhase(kBlack), 1.0);
}

TEST(EvalSetup, KingTablesBlendWithOpponentPhase) {
  // Middlegame: the king wants its first rank and the wing files.
  ASSERT_TRUE(setFen(kStartFen));
  prepareEvaluation();
  const int firstRank[8] = {-1, -3, -6, -8, -8, -6, -3, -1};
  for (int file = 0; file < 8; file++) {
    EXPECT_EQ(pieceSquare[kWhite][kKing][56 + file], firstRank[file]) << file;
    EXPECT_EQ(pieceSquare[kBlack][kKing][file], firstRank[file]) << file;
  }
  // Phase 20 (two rooks, two bishops) is exactly half: every entry 0, no file bonus.
  ASSERT_TRUE(setFen("r1b1kb1r/pppppppp/8/8/8/8/PPPPPPPP/R1B1KB1R w - -"));
  prepareEvaluation();
  for (int q = 0; q < 64; q++) ASSERT_EQ(pieceSquare[kWhite][kKing][q], 0) << q;
  // Phase 30: entry = -(v + bonus) / 2 truncated toward zero, so a1 (v 1)
  // gives 0, not -1, and e1 (4 + 4) gives -4.
  ASSERT_TRUE(setFen("rnbqk1n1/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - -"));
  ASSERT_EQ(opponentPhase(kWhite), 0.75);
  prepareEvaluation();
  EXPECT_EQ(pieceSquare[kWhite][kKing][56], 0);
  EXPECT_EQ(pieceSquare[kWhite][kKing][60], -4);
  EXPECT_EQ(pieceSquare[kWhite][kKing][58], -3);  // c1: 3 + 3
  EXPECT_EQ(pieceSquare[kWhite][kKing][28], -17);  // e5 (30 + 4) / 2 = 17
  // Black faces no pieces: the unblended reach table.
  EXPECT_EQ(pieceSquare[kBlack][kKing][mirror(28)], 30);
}

TEST(EvalSetup, SideWithoutPawnsKeepsEndgameKing) {
  ASSERT_TRUE(setFen("rnbqkbnr/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"));
  prepareEvaluation();
  EXPECT_EQ(pieceSquare[kWhite][kKing][60], -8);
  EXPECT_EQ(pieceSquare[kBlack][kKing][4], 4);  // e8 from black's side, unblended
  int first[2][8][64];
  std::copy(&pieceSquare[0][0][0], &pieceSquare[0][0][0] + 2 * 8 * 64, &first[0][0][0]);
  prepareEvaluation();
  EXPECT_TRUE(std::equal(&first[0][0][0], &first[0][0][0] + 2 * 8 * 64, &pieceSquare[0][0][0]));
}

}  // namespace
