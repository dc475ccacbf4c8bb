#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_check.h"
#include "test_support.h"

namespace {

// Every pseudo-legal move of every position along random games (with the odd
// pass, as the null-move search makes) is made and taken back: the record
// must come back byte for byte and be consistent in between.
TEST(MakeMove, UnmakeRestoresTheWholeRecordOverRandomGames) {
  const char* starts[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
                          "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
                          "4k3/8/8/3Pp3/8/8/8/4K3 w - e6"};
  std::mt19937 random(11);
  int made = 0;
  for (const char* start : starts) {
    for (int game = 0; game < 10; ++game) {
      ASSERT_TRUE(setFen(start));
      PositionImage atStart;
      std::vector<Move> line;
      for (int ply = 0; ply < 80; ++ply) {
        ASSERT_EQ(generateMoves(), 1);
        std::vector<Move> all(moveStack + listStart[searchPly], moveStack + listStart[searchPly + 1]);
        for (Move m : all) {
          PositionImage before;
          makeMove(m);
          ++made;
          ASSERT_TRUE(positionIsConsistent());
          ASSERT_EQ(lastMove(), m);
          unmakeMove(m);
          ASSERT_TRUE(before.unchanged());
        }
        ASSERT_EQ(generateLegalMoves(), 1);
        int count = listStart[searchPly + 1] - listStart[searchPly];
        if (count == 0) break;
        Move m = moveStack[listStart[searchPly] + random() % count];
        if (random() % 10 == 0 && !inCheck()) m = 0;
        makeMove(m);
        line.push_back(m);
      }
      for (; !line.empty(); line.pop_back()) unmakeMove(line.back());
      EXPECT_TRUE(atStart.unchanged());
    }
  }
  EXPECT_GT(made, 50000);
}

TEST(MakeMove, CastlingMovesTheRookInItsOwnSlot) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq"));
  const int rookSlot = pos.slotAt[boardSquare("h1")];
  makeMove(boardMove("e1", "g1", kKing, kCastleKingSide));
  EXPECT_EQ(pos.slotAt[boardSquare("f1")], rookSlot);
  EXPECT_EQ(pos.pieceAt[boardSquare("h1")], kNone);
  EXPECT_EQ(pos.castledCount[kWhite], 1);
  EXPECT_EQ(pos.castleRights, kBlackKingSide | kBlackQueenSide);
  makeMove(boardMove("e8", "c8", kKing, kCastleQueenSide));
  EXPECT_EQ(pos.pieceAt[boardSquare("d8")], kRook);
  EXPECT_EQ(pos.castledCount[kBlack], 1);
  EXPECT_EQ(pos.castleRights, 0);
}

TEST(MakeMove, CastlingRightsFollowKingAndCornerRooks) {
  // Taking a rook on its corner costs its owner that right.
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq"));
  makeMove(boardMove("a1", "a8", kRook, kCapture));
  EXPECT_EQ(pos.castleRights, kWhiteKingSide | kBlackKingSide);

  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq"));
  makeMove(boardMove("h1", "h4", kRook));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide | kBlackKingSide | kBlackQueenSide);
  makeMove(boardMove("e8", "d8", kKing));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide);
  // Going back does not restore a right.
  makeMove(boardMove("h4", "h1", kRook));
  makeMove(boardMove("d8", "e8", kKing));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide);

  // A rook taken on a square that is not its own corner costs nothing.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/R7/r3K2R w KQ"));
  makeMove(boardMove("a2", "a1", kRook, kCapture));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide | kWhiteKingSide);
}

TEST(MakeMove, NullMoveChangesOnlySideAndPassMarker) {
  ASSERT_TRUE(setFen("4k3/4p3/8/3P4/8/8/8/4K3 b"));
  makeMove(boardMove("e7", "e5", kPawn));
  PositionImage before;
  const uint64_t key = currentKey();
  makeMove(0);
  EXPECT_EQ(pos.sideToMove, kBlack);
  EXPECT_EQ(currentKey(), key ^ pieceKey[kWhite][kPawn][0]);
  EXPECT_EQ(lastMove(), 0u);
  unmakeMove(0);
  EXPECT_TRUE(before.unchanged());
}

TEST(MakeMoveDeathTest, InconsistenciesStop) {
  // Rights are taken as written; a piece on f1 leaves the rook no room.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4KB1R w K"));
  EXPECT_DEATH(makeMove(boardMove("e1", "g1", kKing, kCastleKingSide)), "");
  EXPECT_DEATH(makeMove(boardMove("d1", "d2", kRook)), "");
  // A line that would run past the end of the record.
  pos.gamePly = kMaxGameMoves;
  searchPly = kMaxHistory - 1 - kMaxGameMoves;
  EXPECT_DEATH(makeMove(0), "");
  searchPly = 0;
}

// Plays g1f3 g8f6 f3g1 f6g8 round and round.
Move shuffleMove(int ply) {
  static const char* const squares[4][2] = {{"g1", "f3"}, {"g8", "f6"}, {"f3", "g1"}, {"f6", "g8"}};
  return boardMove(squares[ply % 4][0], squares[ply % 4][1], kKnight);
}

TEST(CommitGameMove, FillsTheRecordUpTo400MovesAndNoPasses) {
  ASSERT_TRUE(setFen(kStartFen));
  PositionImage atStart;
  EXPECT_EQ(commitGameMove(0), 0);
  EXPECT_TRUE(atStart.unchanged());
  for (int ply = 0; ply < kMaxGameMoves; ++ply) ASSERT_EQ(commitGameMove(shuffleMove(ply)), 1) << ply;
  EXPECT_EQ(searchPly, 0);
  EXPECT_EQ(pos.gamePly, 400);
  EXPECT_EQ(pos.moveHistory[0], 400u);
  EXPECT_EQ(lastMove(), shuffleMove(399));
  PositionImage full;
  EXPECT_EQ(commitGameMove(shuffleMove(400)), 0);
  EXPECT_TRUE(full.unchanged());
}

// A refused move text runs the legal filter at ply 0, and a search makes
// whole lines there; neither may eat the moves waiting for "redo".
TEST(UndoRedo, SurvivesLegalityTestsAndSearchesInBetween) {
  ASSERT_TRUE(setFen(kStartFen));
  const Move moves[3] = {boardMove("e2", "e4", kPawn), boardMove("e7", "e5", kPawn), boardMove("g1", "f3", kKnight)};
  for (Move m : moves) ASSERT_EQ(commitGameMove(m), 1);
  PositionImage afterThree;
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(takeBackGameMove(), 1);
  EXPECT_EQ(pos.gamePly, 1);
  EXPECT_EQ(pos.moveHistory[0], 3u);
  EXPECT_EQ(lastMove(), moves[0]);

  ASSERT_EQ(generateLegalMoves(), 1);
  const Move a = moveStack[listStart[0]];
  makeMove(a);
  ASSERT_EQ(generateLegalMoves(), 1);
  const Move b = moveStack[listStart[1] + 3];
  makeMove(b);
  makeMove(0);
  unmakeMove(0);
  unmakeMove(b);
  unmakeMove(a);

  ASSERT_EQ(replayGameMove(), 1);
  ASSERT_EQ(replayGameMove(), 1);
  EXPECT_EQ(replayGameMove(), 0);
  EXPECT_TRUE(afterThree.unchanged());
}

TEST(UndoRedo, ANewMoveDiscardsTheRedoChain) {
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(takeBackGameMove(), 0);
  ASSERT_EQ(commitGameMove(boardMove("e2", "e4", kPawn)), 1);
  ASSERT_EQ(commitGameMove(boardMove("e7", "e5", kPawn)), 1);
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(commitGameMove(boardMove("c7", "c5", kPawn)), 1);
  EXPECT_EQ(pos.moveHistory[0], 2u);
  EXPECT_EQ(replayGameMove(), 0);
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(replayGameMove(), 1);
  EXPECT_EQ(lastMove(), boardMove("c7", "c5", kPawn));
}

}  // namespace
