#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/position_check.h"
#include "engine/clock.h"
#include "test_support.h"

namespace {

TEST(FenSetup, StartPositionFillsEveryField) {
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(pos.castleRights, 15);
  EXPECT_EQ(pos.epSquare, 0);
  EXPECT_EQ(pos.sideToMove, kWhite);
  EXPECT_EQ(pos.material[kWhite], 1040000);
  EXPECT_EQ(pos.material[kBlack], 1040000);
  EXPECT_EQ(pos.listLast[kWhite], 15);
  EXPECT_EQ(pos.listLast[kBlack], 31);
  // Slots are filled in reading order: the white pawns before the white
  // back rank.
  EXPECT_EQ(pos.pieceList[0], boardSquare("a2"));
  EXPECT_EQ(pos.pieceList[8], boardSquare("a1"));
  uint64_t key = 0;
  for (Square s = 0; s < 64; ++s)
    if (pos.pieceAt[s]) key ^= pieceKey[pos.colourAt[s]][pos.pieceAt[s]][s];
  EXPECT_EQ(currentKey(), key);
  EXPECT_TRUE(positionIsConsistent());
}

TEST(FenSetup, SuccessEmptiesTheGameRecordAndResetsTheBudget) {
  ASSERT_TRUE(setFen(kStartFen));
  pos.gamePly = 3;
  pos.moveHistory[0] = 5;
  pos.learnedThisGame = 1;
  searchClock.budget = 12345;
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 b"));
  EXPECT_EQ(pos.gamePly, 0);
  EXPECT_EQ(pos.moveHistory[0], 0u);
  EXPECT_EQ(pos.learnedThisGame, 0);
  EXPECT_EQ(searchClock.budget, 750);
  EXPECT_EQ(pos.sideToMove, kBlack);
}

TEST(FenSetup, AcceptsWhatTheRulesAllow) {
  // Placement alone: white to move, no rights.
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R"));
  EXPECT_EQ(pos.sideToMove, kWhite);
  EXPECT_EQ(pos.castleRights, 0);
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 -"));
  EXPECT_EQ(pos.sideToMove, kWhite);
  // Runs of blanks and newlines separate fields; counters are ignored.
  ASSERT_TRUE(setFen("\n  4k3/8/8/8/8/8/8/4K3  \n b   Kq\n - 12 40"));
  EXPECT_EQ(pos.sideToMove, kBlack);
  EXPECT_EQ(pos.castleRights, kWhiteKingSide | kBlackQueenSide);
  // Rights are taken as written, wherever king and rooks stand.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/3K4 w KQkq"));
  EXPECT_EQ(pos.castleRights, 15);
  // Ranks are not counted: a short rank moves later pieces to earlier
  // squares, and digits may run past h1 while no piece lands there.
  ASSERT_TRUE(setFen("4k4/K"));
  EXPECT_EQ(pos.kingSquare[kWhite], boardSquare("b7"));
  ASSERT_TRUE(setFen("K6k/8/8/8/8/8/8/8/8"));
  // En passant with the pawn that passed and the squares behind it free.
  ASSERT_TRUE(setFen("4k3/8/8/4p3/8/8/8/4K3 w - e6"));
  EXPECT_EQ(pos.epSquare, boardSquare("e6"));
  ASSERT_TRUE(setFen("4k3/8/8/8/4P3/8/8/4K3 b - e3"));
  EXPECT_EQ(pos.epSquare, boardSquare("e3"));
}

TEST(FenSetup, RejectionsLeaveThePreviousPositionUntouched) {
  const char* refused[] = {
      "",                                // no placement field
      "4k3/8/8/8/8/8/8/4K3x",            // character not in the table
      "4k3/8/8/8/8/8/8/9",               // nine is not in the table
      "4k3/8/8/8/8/8/8/K6kq",            // piece beyond h1
      "8/8/8/8/8/8/8/K7",                // no black king
      "4k3/8/8/8/8/8/8/KK2",             // two white kings
      "QQQQQQQQ/QQQQQQQQ/K6k",           // 17 white pieces
      "4k3/8/8/8/8/8/8/4K3 white",       // side field too long
      "4k3/8/8/8/8/8/8/4K3 x",           // unknown side
      "4k3/8/8/8/8/8/8/4K3 w KQx",       // unknown castling letter
      "4k3/8/8/4p3/8/8/8/4K3 w - e3",    // wrong row for white to move
      "4k3/8/8/4p3/8/8/8/4K3 w - E6",    // not a square name
      "4k3/8/8/8/8/8/8/4K3 w - e6",      // no pawn that passed
      "4k3/8/8/4P3/8/8/8/4K3 w - e6",    // the passed pawn is white
      "4k3/4n3/8/4p3/8/8/8/4K3 w - e6",  // square behind occupied
      "4k3/8/4n3/4p3/8/8/8/4K3 w - e6",  // the square itself occupied
      "4k2P/8/8/8/8/8/8/4K3",            // pawn on the last rank
      "4k3/8/8/8/8/8/8/p3K3",            // pawn on the first rank
  };
  ASSERT_TRUE(setFen(kStartFen));
  pos.gamePly = 2;  // a game record that must survive
  pos.moveHistory[0] = 2;
  pos.moveHistory[1] = boardMove("e2", "e4", kPawn);
  for (const char* text : refused) {
    PositionImage before(sizeof(Position));
    EXPECT_FALSE(setFen(text)) << text;
    EXPECT_TRUE(before.unchanged()) << text;
  }
  PositionImage before(sizeof(Position));
  EXPECT_EQ(setupFromFen(nullptr), 0);
  EXPECT_TRUE(before.unchanged());
}

TEST(FenSetup, TextsLongerThanTheWorkBufferAreRefusedNotCut) {
  // Cutting would silently drop the last fields: here the side to move.
  const std::string placement = "4k3/8/8/8/8/8/8/4K3";
  std::string text = placement + std::string(kFenBufferSize - 3 - placement.size(), ' ') + " b";
  ASSERT_EQ(text.size(), size_t(kFenBufferSize - 1));
  ASSERT_TRUE(setFen(text.c_str()));
  EXPECT_EQ(pos.sideToMove, kBlack);

  ASSERT_TRUE(setFen(kStartFen));
  text.insert(0, " ");
  PositionImage before(sizeof(Position));
  EXPECT_FALSE(setFen(text.c_str()));
  EXPECT_TRUE(before.unchanged());
}

TEST(SquareFromName, MatchesTheFirstTwoCharactersExactly) {
  EXPECT_EQ(squareFromName("a8"), 0);
  EXPECT_EQ(squareFromName("h1"), 63);
  EXPECT_EQ(squareFromName("e3x"), 44);
  EXPECT_EQ(squareFromName("E3"), -1);
  EXPECT_EQ(squareFromName("i1"), -1);
  EXPECT_EQ(squareFromName("a"), -1);
}

}  // namespace
