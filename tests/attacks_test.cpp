#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/make_move.h"
#include "test_support.h"

namespace {

TEST(PieceAttacks, PawnsAttackForwardDiagonallyOnly) {
  ASSERT_TRUE(setFen("4k3/8/8/4p3/4P3/8/8/4K3 w"));
  EXPECT_TRUE(pieceAttacks(boardSquare("e4"), kPawn, kWhite, boardSquare("d5")));
  EXPECT_TRUE(pieceAttacks(boardSquare("e4"), kPawn, kWhite, boardSquare("f5")));
  EXPECT_FALSE(pieceAttacks(boardSquare("e4"), kPawn, kWhite, boardSquare("d3")));
  EXPECT_FALSE(pieceAttacks(boardSquare("e4"), kPawn, kWhite, boardSquare("e5")));
  EXPECT_TRUE(pieceAttacks(boardSquare("e5"), kPawn, kBlack, boardSquare("f4")));
  EXPECT_FALSE(pieceAttacks(boardSquare("e5"), kPawn, kBlack, boardSquare("d6")));
}

TEST(PieceAttacks, SlidersStopAtTheFirstPiece) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R3K3 w"));
  EXPECT_TRUE(pieceAttacks(boardSquare("a1"), kRook, kWhite, boardSquare("a8")));
  EXPECT_TRUE(pieceAttacks(boardSquare("a1"), kRook, kWhite, boardSquare("e1")));
  EXPECT_FALSE(pieceAttacks(boardSquare("a1"), kRook, kWhite, boardSquare("f1")));
  EXPECT_FALSE(pieceAttacks(boardSquare("a1"), kRook, kWhite, boardSquare("b2")));
  ASSERT_TRUE(setFen("4k3/8/8/8/n7/8/8/R3K3 w"));
  EXPECT_FALSE(pieceAttacks(boardSquare("a1"), kRook, kWhite, boardSquare("a8")));
  EXPECT_TRUE(pieceAttacks(boardSquare("a1"), kRook, kWhite, boardSquare("a4")));

  ASSERT_TRUE(setFen("4k3/8/8/8/3Q4/8/8/4K3 w"));
  for (const char* t : {"d8", "d1", "a4", "h4", "a7", "g1", "a1", "h8"})
    EXPECT_TRUE(pieceAttacks(boardSquare("d4"), kQueen, kWhite, boardSquare(t))) << t;
  for (const char* t : {"e6", "c2", "d4"})
    EXPECT_FALSE(pieceAttacks(boardSquare("d4"), kQueen, kWhite, boardSquare(t))) << t;
}

TEST(PieceAttacks, StepsNeverWrapAroundTheBoardEdge) {
  ASSERT_TRUE(setFen("4k3/8/8/8/7K/8/8/7N w"));
  EXPECT_TRUE(pieceAttacks(boardSquare("h1"), kKnight, kWhite, boardSquare("f2")));
  EXPECT_TRUE(pieceAttacks(boardSquare("h1"), kKnight, kWhite, boardSquare("g3")));
  for (Square t = 0; t < 64; t += 8) {
    EXPECT_FALSE(pieceAttacks(boardSquare("h1"), kKnight, kWhite, t)) << kSquareName[t];
    // h4 and a3 are neighbours in square numbering only.
    EXPECT_FALSE(pieceAttacks(boardSquare("h4"), kKing, kWhite, t)) << kSquareName[t];
  }
}

TEST(SideAttacks, DetectsChecksAndExposedKings) {
  ASSERT_TRUE(setFen("4k3/8/8/8/1b6/8/3N4/4K3 w"));
  EXPECT_TRUE(sideAttacks(kBlack, boardSquare("d2")));
  EXPECT_FALSE(inCheck());
  // Moving the pinned knight uncovers the bishop on the white king.
  const Move knightMove = boardMove("d2", "f3", kKnight);
  makeMove(knightMove);
  EXPECT_TRUE(sideAttacks(pos.sideToMove, pos.kingSquare[kWhite]));
  unmakeMove(knightMove);

  ASSERT_TRUE(setFen("4k3/8/8/8/1b6/8/8/4K3 w"));
  EXPECT_TRUE(inCheck());
  ASSERT_TRUE(setFen("4k3/8/8/8/1b6/8/8/4K3 b"));
  EXPECT_FALSE(inCheck());
}

TEST(CastleIsLegal, TestsRightsPathAndAttacks) {
  const Move kingSide = boardMove("e1", "g1", kKing, kCastleKingSide);
  const Move queenSide = boardMove("e1", "c1", kKing, kCastleQueenSide);
  struct Case {
    const char* fen;
    bool kingSideLegal;
    bool queenSideLegal;
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/R3K2R w KQ", true, true},
      {"1r2k3/8/8/8/8/8/8/R3K2R w KQ", true, true},    // b1 may be attacked
      {"2r1k3/8/8/8/8/8/8/R3K2R w KQ", true, false},   // c1 attacked
      {"3rk3/8/8/8/8/8/8/R3K2R w KQ", true, false},    // d1 attacked
      {"4kr2/8/8/8/8/8/8/R3K2R w KQ", false, true},    // f1 attacked
      {"4r1k1/8/8/8/8/8/8/R3K2R w KQ", false, false},  // out of check
      {"4k3/8/8/8/8/8/8/R3K2R w Q", false, true},      // right missing
      {"4k3/8/8/8/8/8/8/4K2R w KQ", true, false},      // rook missing
      {"4k3/8/8/8/8/8/8/RN2K2R w KQ", true, false},    // b1 occupied
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(setFen(c.fen));
    EXPECT_EQ(castleIsLegal(kingSide), c.kingSideLegal) << c.fen;
    EXPECT_EQ(castleIsLegal(queenSide), c.queenSideLegal) << c.fen;
  }
  EXPECT_FALSE(castleIsLegal(boardMove("e2", "e4", kPawn)));
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/4K3 b kq"));
  EXPECT_TRUE(castleIsLegal(boardMove("e8", "g8", kKing, kCastleKingSide)));
  EXPECT_TRUE(castleIsLegal(boardMove("e8", "c8", kKing, kCastleQueenSide)));
}

}  // namespace
