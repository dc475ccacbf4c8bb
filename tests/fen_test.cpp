#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/position_check.h"
#include "engine/clock.h"
#include "test_support.h"

namespace {

// Byte image of the whole record, so a refused set-up can be checked for
// leaving every field, history included, as it was.
struct Snapshot {
  unsigned char bytes[sizeof(Position)];
  Snapshot() { memcpy(bytes, &pos, sizeof pos); }
  bool unchanged() const { return memcmp(bytes, &pos, sizeof pos) == 0; }
};

TEST(FenSetup, StartPositionFillsEveryField) {
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(pos.castleRights, 15);
  EXPECT_EQ(pos.epSquare, 0);
  EXPECT_EQ(pos.sideToMove, kWhite);
  EXPECT_EQ(pos.opponent, kBlack);
  EXPECT_EQ(pos.material[kWhite], 1040000);
  EXPECT_EQ(pos.material[kBlack], 1040000);
  EXPECT_EQ(pos.listLast[kWhite], 15);
  EXPECT_EQ(pos.listLast[kBlack], 31);
  EXPECT_EQ(pos.kingSquare[kWhite], 60);
  EXPECT_EQ(pos.kingSquare[kBlack], 4);
  // Slots are filled in reading order: black back rank first, white pawns
  // before the white back rank.
  EXPECT_EQ(pos.pieceList[16], 0);
  EXPECT_EQ(pos.pieceList[24], 8);
  EXPECT_EQ(pos.pieceList[0], 48);
  EXPECT_EQ(pos.pieceList[8], 56);
  uint64_t key = 0;
  for (Square sq = 0; sq < 64; ++sq)
    if (pos.pieceAt[sq]) key ^= pieceKey[pos.colourAt[sq]][pos.pieceAt[sq]][sq];
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
  EXPECT_EQ(lastMove(), 0u);
  EXPECT_EQ(searchClock.budget, 750);
  EXPECT_EQ(pos.sideToMove, kBlack);
}

TEST(FenSetup, OptionalFieldsDefault) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R"));
  EXPECT_EQ(pos.sideToMove, kWhite);
  EXPECT_EQ(pos.castleRights, 0);
  EXPECT_EQ(pos.epSquare, 0);
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 -"));
  EXPECT_EQ(pos.sideToMove, kWhite);
  // Move counters and anything after them are ignored.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 b - - 12 40 whatever"));
  EXPECT_EQ(pos.sideToMove, kBlack);
  // Runs of blanks and newlines separate fields; leading ones are skipped.
  ASSERT_TRUE(setFen("\n  4k3/8/8/8/8/8/8/4K3  \n b   Kq\n"));
  EXPECT_EQ(pos.sideToMove, kBlack);
  EXPECT_EQ(pos.castleRights, kWhiteKingSide | kBlackQueenSide);
}

TEST(FenSetup, RanksAreNotCounted) {
  ASSERT_TRUE(setFen("8/8/8/8/8/8/8/K6k"));
  EXPECT_EQ(pos.kingSquare[kWhite], 56);
  EXPECT_EQ(pos.kingSquare[kBlack], 63);
  // A short rank lets the next pieces fall on earlier squares.
  ASSERT_TRUE(setFen("4k4/K"));
  EXPECT_EQ(pos.kingSquare[kBlack], 4);
  EXPECT_EQ(pos.kingSquare[kWhite], 9);
  // Digits may run past h1 as long as no piece lands there.
  ASSERT_TRUE(setFen("K6k/8/8/8/8/8/8/8/8"));
}

TEST(FenSetup, CastlingRightsAreTakenAsWritten) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/3K4 w KQkq"));
  EXPECT_EQ(pos.castleRights, 15);
}

TEST(FenSetup, EnPassantSquareNeedsThePawnThatJustPassed) {
  ASSERT_TRUE(setFen("4k3/8/8/4p3/8/8/8/4K3 w - e6"));
  EXPECT_EQ(pos.epSquare, 20);
  ASSERT_TRUE(setFen("4k3/8/8/8/4P3/8/8/4K3 b - e3"));
  EXPECT_EQ(pos.epSquare, 44);
}

TEST(FenSetup, RejectionsLeaveThePreviousPositionUntouched) {
  const char* refused[] = {
      "",                                         // no placement field
      "   \n ",                                   // still none
      "4k3/8/8/8/8/8/8/4K3x",                     // character not in the table
      "4k3/8/8/8/8/8/8/9",                        // nine is not a digit of the table
      "4k3/8/8/8/8/8/8/K6kq",                     // piece beyond h1
      "8/8/8/8/8/8/8/K7",                         // no black king
      "4k3/8/8/8/8/8/8/KK2",                      // two white kings
      "4k3/8/8/8/8/8/8/4K3 white",                // side field too long
      "4k3/8/8/8/8/8/8/4K3 x",                    // unknown side
      "4k3/8/8/8/8/8/8/4K3 w KQx",                // unknown castling letter
      "4k3/8/8/4p3/8/8/8/4K3 w - e3",             // wrong row for white to move
      "4k3/8/8/4p3/8/8/8/4K3 w - E6",             // not a square name
      "4k3/8/8/8/8/8/8/4K3 w - e6",               // no pawn that passed
      "4k3/4n3/8/4p3/8/8/8/4K3 w - e6",           // square behind occupied
      "4k3/8/4n3/4p3/8/8/8/4K3 w - e6",           // the square itself occupied
      "4k3/8/8/4P3/8/8/8/4K3 w - e6",             // the passed pawn is white
      "QQQQQQQQ/QQQQQQQQ/K6k",                    // 17 white pieces
      "4k2P/8/8/8/8/8/8/4K3",                     // white pawn on the last rank
      "4k3/8/8/8/8/8/8/p3K3",                     // black pawn on the first rank
      "P3k3/8/8/8/8/8/8/4K3",                     // a pawn on a8 would be the pass marker
  };
  ASSERT_TRUE(setFen(kStartFen));
  pos.gamePly = 2;  // a game record that must survive
  pos.moveHistory[0] = 2;
  pos.moveHistory[1] = makeMoveWord(52, 36, kPawn);
  for (const char* text : refused) {
    Snapshot before;
    EXPECT_FALSE(setFen(text)) << text;
    EXPECT_TRUE(before.unchanged()) << text;
  }
  Snapshot before;
  EXPECT_EQ(setupFromFen(nullptr), 0);
  EXPECT_TRUE(before.unchanged());
}

TEST(FenSetup, TextsLongerThanTheWorkBufferAreRefusedNotCut) {
  // Cutting would silently drop fields: here the side to move.
  std::string placement = "4k3/8/8/8/8/8/8/4K3";
  std::string fits = placement + std::string(kFenBufferSize - 1 - placement.size() - 2, ' ') + " b";
  ASSERT_EQ(fits.size(), size_t(kFenBufferSize - 1));
  ASSERT_TRUE(setFen(fits.c_str()));
  EXPECT_EQ(pos.sideToMove, kBlack);

  ASSERT_TRUE(setFen(kStartFen));
  std::string tooLong = placement + std::string(kFenBufferSize - placement.size() - 2, ' ') + " b";
  ASSERT_EQ(tooLong.size(), size_t(kFenBufferSize));
  Snapshot before;
  EXPECT_FALSE(setFen(tooLong.c_str()));
  EXPECT_TRUE(before.unchanged());
}

TEST(SquareFromName, MatchesTheFirstTwoCharactersExactly) {
  EXPECT_EQ(squareFromName("a8"), 0);
  EXPECT_EQ(squareFromName("h1"), 63);
  EXPECT_EQ(squareFromName("e3"), 44);
  EXPECT_EQ(squareFromName("e3x"), 44);
  EXPECT_EQ(squareFromName("E3"), -1);
  EXPECT_EQ(squareFromName("i1"), -1);
  EXPECT_EQ(squareFromName("a9"), -1);
  EXPECT_EQ(squareFromName("a"), -1);
  EXPECT_EQ(squareFromName(""), -1);
}

}  // namespace
