// Keys, position set-up, guards, and the game record with undo and redo.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/clock.h"
#include "test_support.h"

namespace {

bool commit(const char* moves) { return playMoves(moves, true); }

TEST(HashKeys, ComeFromTheFreshGenerator) {
  initEngineOnce();
  EXPECT_EQ(pieceKey[kWhite][kPawn][0], 0x9904662FB3C24AE1ull);
  EXPECT_EQ(pieceKey[kWhite][kPawn][1], 0xC59ADCABB4A95F90ull);
}

// Each text meets a position with a game record: a success empties the record
// and resets the budget, a refusal leaves the whole record as it was.
TEST(FenSetup, AcceptsWhatTheRulesAllowAndRefusesTheRestWhole) {
  const std::string fits = "4k3/8/8/8/8/8/8/4K3" + std::string(kFenBufferSize - 22, ' ') + " b";
  const std::string tooLong = " " + fits;  // cutting it would drop the side to move
  struct Case { const char* text; int side, rights; const char* ep; };
  const Case accepted[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R", kWhite, 0, nullptr},  // placement alone
      {"\n  4k3/8/8/8/8/8/8/4K3  \n b   Kq\n - 12 40", kBlack, kWhiteKingSide | kBlackQueenSide, nullptr},
      {"4k3/8/8/8/8/8/8/3K4 w KQkq", kWhite, 15, nullptr},  // rights as written
      {"4k4/K", kWhite, 0, nullptr},                       // ranks are not counted
      {"4k3/8/8/4p3/8/8/8/4K3 w - e6", kWhite, 0, "e6"},
      {"4k3/8/8/8/4P3/8/8/4K3 b - e3", kBlack, 0, "e3"},
      {fits.c_str(), kBlack, 0, nullptr},
  };
  const char* refused[] = {
      tooLong.c_str(), nullptr, "", "4k3/8/8/8/8/8/8/4K3x", "4k3/8/8/8/8/8/8/9",
      "4k3/8/8/8/8/8/8/K6kq",  // piece beyond h1
      "8/8/8/8/8/8/8/K7", "4k3/8/8/8/8/8/8/KK2", "QQQQQQQQ/QQQQQQQQ/K6k",  // 17 white pieces
      "4k3/8/8/8/8/8/8/4K3 white", "4k3/8/8/8/8/8/8/4K3 w KQx", "4k3/8/8/4p3/8/8/8/4K3 w - E6",
      "4k3/8/8/4p3/8/8/8/4K3 w - e3", "4k3/8/8/4P3/8/8/8/4K3 w - e6", "4k3/4n3/8/4p3/8/8/8/4K3 w - e6",
      "4k2P/8/8/8/8/8/8/4K3", "4k3/8/8/8/8/8/8/p3K3",  // pawns on the first and last ranks
  };
  for (const char* text : refused) {
    ASSERT_TRUE(setFen(kStartFen) && commit("e2e4 e7e5"));
    const PositionImage before(sizeof(Position));
    EXPECT_TRUE(!setFen(text) && before.unchanged()) << text;
  }
  for (const Case& c : accepted) {
    ASSERT_TRUE(setFen(kStartFen) && commit("e2e4 e7e5"));
    searchClock.budget = 1;
    ASSERT_TRUE(setFen(c.text)) << c.text;
    EXPECT_EQ(std::make_tuple(pos.gamePly, pos.moveHistory[0], searchClock.budget),
              std::make_tuple(0, 0u, int64_t(750))) << c.text;
    EXPECT_EQ(std::make_tuple(pos.sideToMove, pos.castleRights, pos.epSquare),
              std::make_tuple(c.side, c.rights, c.ep ? boardSquare(c.ep) : 0)) << c.text;
  }
}

TEST(BoardDeathTest, InconsistentEditsStop) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4KB1R w K"));  // rights as written: f1 blocks the rook
  EXPECT_DEATH(placePiece(kWhite, boardSquare("e1"), kQueen, 5), "");  // occupied square
  EXPECT_DEATH(removePiece(kBlack, boardSquare("e1"), kKing, 0), "");   // wrong side
  EXPECT_DEATH(removePiece(kWhite, boardSquare("e4"), kPawn, 1), "");   // nothing there
  EXPECT_DEATH(makeMove(boardMove("e1", "g1", kKing, kCastleKingSide)), "");
  EXPECT_DEATH(makeMove(boardMove("d1", "d2", kRook)), "");
  pos.gamePly = kMaxGameMoves;  // a line that would run past the record
  searchPly = kMaxHistory - 1 - kMaxGameMoves;
  EXPECT_DEATH(makeMove(0), "");
  searchPly = 0;
}

TEST(GameRecord, CastlingRightsFollowKingAndCornerRooks) {
  struct Case { const char* fen; const char* moves; int rights, castled; };
  const Case cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq", "e1g1 e8c8", 0, 2},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq", "a1a8", kWhiteKingSide | kBlackKingSide, 0},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq", "h1h4 e8d8 h4h1 d8e8", kWhiteQueenSide, 0},
      {"4k3/8/8/8/8/8/R7/r3K2R w KQ", "a2a1", kWhiteQueenSide | kWhiteKingSide, 0},  // not its corner
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(setFen(c.fen) && commit(c.moves)) << c.moves;
    EXPECT_EQ(pos.castleRights, c.rights) << c.moves;
    EXPECT_EQ(pos.castledCount[kWhite] + pos.castledCount[kBlack], c.castled) << c.moves;
  }
}

// A refused move text runs the legal filter at ply 0, and a search makes
// whole lines there; neither may eat the moves waiting for "redo".
TEST(GameRecord, UndoAndRedoSurviveLegalityTestsAndSearchesUpTo400Moves) {
  ASSERT_TRUE(setFen(kStartFen));
  PositionImage atStart;
  EXPECT_TRUE(!commitGameMove(0) && !takeBackGameMove() && atStart.unchanged());  // a pass never enters the game
  ASSERT_TRUE(commit("e2e4 e7e5 g1f3"));
  PositionImage afterThree;
  ASSERT_TRUE(takeBackGameMove() && takeBackGameMove());
  EXPECT_FALSE(commit("e7e4"));
  ASSERT_TRUE(playMoves("d7d5 c2c4 --"));
  while (searchPly > 0) unmakeMove(lastMove());
  EXPECT_TRUE(replayGameMove() && replayGameMove() && !replayGameMove() && afterThree.unchanged());
  // A new move after undo discards the chain.
  EXPECT_TRUE(takeBackGameMove() && commit("b1c3") && !replayGameMove() && pos.moveHistory[0] == 3);
  // The record holds 400 moves, no more.
  ASSERT_TRUE(setFen(kStartFen));
  for (int i = 0; i < kMaxGameMoves / 4; ++i) ASSERT_TRUE(commit("g1f3 g8f6 f3g1 f6g8")) << i;
  const PositionImage full;
  EXPECT_TRUE(pos.gamePly == 400 && !commitGameMove(boardMove("g1", "f3", kKnight)) && full.unchanged());
}

}  // namespace
