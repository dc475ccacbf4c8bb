#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/make_move.h"
#include "test_support.h"

namespace {

Square sq(const char* name) { return squareFromName(name); }

int diff(const char* from, const char* to) {
  return to0x88(sq(from)) - to0x88(sq(to)) + kAttackCentre;
}

TEST(AttackTables, MarkWhichTypesReachEachDifference) {
  initEngineOnce();
  // Diagonal neighbour: pawn, bishop, queen, king; never knight or rook.
  int m = attackMask[diff("e4", "d5")];
  EXPECT_EQ(m, (1 << kPawn) | (1 << kBishop) | (1 << kQueen) | (1 << kKing));
  EXPECT_EQ(attackMask[diff("g1", "f3")], 1 << kKnight);
  EXPECT_EQ(attackMask[diff("a1", "a8")], (1 << kRook) | (1 << kQueen));
  EXPECT_EQ(attackMask[diff("a1", "h8")], (1 << kBishop) | (1 << kQueen));
  EXPECT_EQ(attackMask[diff("a1", "b3")], 1 << kKnight);
  EXPECT_EQ(attackMask[diff("a1", "c4")], 0);
  // The step leads from the target towards the attacker.
  EXPECT_EQ(attackStep[diff("a1", "a8")], 16);
  EXPECT_EQ(attackStep[diff("h8", "a1")], -15);
  EXPECT_EQ(attackStep[diff("g1", "f3")], 0);
}

TEST(PieceAttacks, PawnsAttackForwardDiagonallyOnly) {
  ASSERT_TRUE(setFen("4k3/8/8/4p3/4P3/8/8/4K3 w"));
  EXPECT_TRUE(pieceAttacks(sq("e4"), kPawn, kWhite, sq("d5")));
  EXPECT_TRUE(pieceAttacks(sq("e4"), kPawn, kWhite, sq("f5")));
  EXPECT_FALSE(pieceAttacks(sq("e4"), kPawn, kWhite, sq("d3")));
  EXPECT_FALSE(pieceAttacks(sq("e4"), kPawn, kWhite, sq("f3")));
  EXPECT_FALSE(pieceAttacks(sq("e4"), kPawn, kWhite, sq("e5")));
  EXPECT_TRUE(pieceAttacks(sq("e5"), kPawn, kBlack, sq("d4")));
  EXPECT_TRUE(pieceAttacks(sq("e5"), kPawn, kBlack, sq("f4")));
  EXPECT_FALSE(pieceAttacks(sq("e5"), kPawn, kBlack, sq("d6")));
}

TEST(PieceAttacks, SlidersStopAtTheFirstPiece) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R3K3 w"));
  EXPECT_TRUE(pieceAttacks(sq("a1"), kRook, kWhite, sq("a8")));
  EXPECT_FALSE(pieceAttacks(sq("a1"), kRook, kWhite, sq("b2")));
  // The king on e1 blocks the first rank beyond it.
  EXPECT_TRUE(pieceAttacks(sq("a1"), kRook, kWhite, sq("e1")));
  EXPECT_FALSE(pieceAttacks(sq("a1"), kRook, kWhite, sq("f1")));
  ASSERT_TRUE(setFen("4k3/8/8/8/n7/8/8/R3K3 w"));
  EXPECT_FALSE(pieceAttacks(sq("a1"), kRook, kWhite, sq("a8")));
  EXPECT_TRUE(pieceAttacks(sq("a1"), kRook, kWhite, sq("a4")));

  ASSERT_TRUE(setFen("4k3/8/8/8/3Q4/8/8/4K3 w"));
  for (const char* t : {"d8", "d1", "a4", "h4", "a7", "g1", "a1", "h8"})
    EXPECT_TRUE(pieceAttacks(sq("d4"), kQueen, kWhite, sq(t))) << t;
  for (const char* t : {"e6", "c2", "d4", "f5"})
    EXPECT_FALSE(pieceAttacks(sq("d4"), kQueen, kWhite, sq(t))) << t;
}

TEST(PieceAttacks, StepsNeverWrapAroundTheBoardEdge) {
  ASSERT_TRUE(setFen("4k3/8/8/8/7K/8/8/7N w"));
  EXPECT_TRUE(pieceAttacks(sq("h1"), kKnight, kWhite, sq("f2")));
  EXPECT_TRUE(pieceAttacks(sq("h1"), kKnight, kWhite, sq("g3")));
  for (Square t = 0; t < 64; t += 8) {
    EXPECT_FALSE(pieceAttacks(sq("h1"), kKnight, kWhite, t)) << kSquareName[t];
    // h4 and a3 are neighbours in square numbering only.
    EXPECT_FALSE(pieceAttacks(sq("h4"), kKing, kWhite, t)) << kSquareName[t];
  }
}

TEST(SideAttacks, FindsAnyAttackerAndDetectsExposedKings) {
  ASSERT_TRUE(setFen("4k3/8/8/8/1b6/8/3N4/4K3 w"));
  EXPECT_TRUE(sideAttacks(kBlack, sq("d2")));
  EXPECT_FALSE(sideAttacks(kBlack, sq("e1")));
  EXPECT_FALSE(inCheck());
  // Moving the pinned knight uncovers the bishop on the white king.
  Move knightMove = makeMoveWord(sq("d2"), sq("f3"), kKnight);
  makeMove(knightMove);
  EXPECT_TRUE(sideAttacks(pos.sideToMove, pos.kingSquare[kWhite]));
  unmakeMove(knightMove);

  ASSERT_TRUE(setFen("4k3/8/8/8/1b6/8/8/4K3 w"));
  EXPECT_TRUE(inCheck());
  ASSERT_TRUE(setFen("4k3/8/8/8/1b6/8/8/4K3 b"));
  EXPECT_FALSE(inCheck());
}

TEST(CastleIsLegal, TestsRightsPathAndAttacks) {
  const Move kingSide = makeMoveWord(60, 62, kKing) | kCastleKingSide;
  const Move queenSide = makeMoveWord(60, 58, kKing) | kCastleQueenSide;
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_TRUE(castleIsLegal(kingSide));
  EXPECT_TRUE(castleIsLegal(queenSide));
  EXPECT_FALSE(castleIsLegal(makeMoveWord(52, 36, kPawn)));
  // b1 may be attacked: the king never crosses it.
  ASSERT_TRUE(setFen("1r2k3/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_TRUE(castleIsLegal(queenSide));
  ASSERT_TRUE(setFen("2r1k3/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_FALSE(castleIsLegal(queenSide));
  EXPECT_TRUE(castleIsLegal(kingSide));
  ASSERT_TRUE(setFen("3rk3/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_FALSE(castleIsLegal(queenSide));
  ASSERT_TRUE(setFen("4kr2/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_FALSE(castleIsLegal(kingSide));
  EXPECT_TRUE(castleIsLegal(queenSide));
  // Out of check neither way.
  ASSERT_TRUE(setFen("4r1k1/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_FALSE(castleIsLegal(kingSide));
  EXPECT_FALSE(castleIsLegal(queenSide));
  // Missing right, missing rook, blocked path.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R3K2R w Q"));
  EXPECT_FALSE(castleIsLegal(kingSide));
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R3K3 w KQ"));
  EXPECT_FALSE(castleIsLegal(kingSide));
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/RN2K2R w KQ"));
  EXPECT_FALSE(castleIsLegal(queenSide));
  // Black castles from e8.
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/4K3 b kq"));
  EXPECT_TRUE(castleIsLegal(makeMoveWord(4, 6, kKing) | kCastleKingSide));
  EXPECT_TRUE(castleIsLegal(makeMoveWord(4, 2, kKing) | kCastleQueenSide));
}

}  // namespace
