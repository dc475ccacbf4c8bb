#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position_check.h"
#include "test_support.h"

namespace {

// Byte image of the record up to the redo store, which is scratch space for
// moves a line has covered and may keep stale copies once they are replayed.
constexpr size_t kCompared = offsetof(Position, redoMoves);

struct Snapshot {
  unsigned char bytes[kCompared];
  int ply;
  Snapshot() : ply(searchPly) { memcpy(bytes, &pos, kCompared); }
  bool unchanged() const { return ply == searchPly && memcmp(bytes, &pos, kCompared) == 0; }
};

Square sq(const char* name) { return squareFromName(name); }

Move word(const char* from, const char* to, int piece, Move flags = 0) {
  return makeMoveWord(sq(from), sq(to), piece) | flags;
}

// Every pseudo-legal move of every position along random games is made and
// taken back; the record must come back byte for byte, and be consistent
// in between. The game line itself is then unwound the same way.
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
      Snapshot atStart;
      std::vector<Move> line;
      for (int ply = 0; ply < 80; ++ply) {
        ASSERT_EQ(generateMoves(), 1);
        std::vector<Move> all(moveStack + listStart[searchPly], moveStack + listStart[searchPly + 1]);
        for (Move m : all) {
          Snapshot before;
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
        // Now and then a pass, as the null-move search does out of check.
        Move m = moveStack[listStart[searchPly] + random() % count];
        if (random() % 10 == 0 && !inCheck()) m = 0;
        makeMove(m);
        line.push_back(m);
      }
      while (!line.empty()) {
        unmakeMove(line.back());
        line.pop_back();
      }
      EXPECT_TRUE(atStart.unchanged());
    }
  }
  EXPECT_GT(made, 50000);
}

TEST(MakeMove, EnPassantTakesThePawnBesideTheTarget) {
  ASSERT_TRUE(setFen("4k3/8/8/3Pp3/8/8/8/4K3 w - e6"));
  Snapshot before;
  Move ep = word("d5", "e6", kPawn, kCapture | kEnPassant);
  makeMove(ep);
  EXPECT_EQ(pos.pieceAt[sq("e6")], kPawn);
  EXPECT_EQ(pos.colourAt[sq("e6")], kWhite);
  EXPECT_EQ(pos.pieceAt[sq("e5")], kNone);
  EXPECT_EQ(pos.pieceCount[kBlack][kPawn], 0);
  EXPECT_EQ(pos.undoStack[0].capturedSquare, sq("e5"));
  unmakeMove(ep);
  EXPECT_TRUE(before.unchanged());
}

TEST(MakeMove, CastlingMovesTheRookInItsSlot) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq"));
  Snapshot before;
  int rookSlot = pos.slotAt[sq("h1")];
  Move castle = word("e1", "g1", kKing, kCastleKingSide);
  makeMove(castle);
  EXPECT_EQ(pos.pieceAt[sq("f1")], kRook);
  EXPECT_EQ(pos.slotAt[sq("f1")], rookSlot);
  EXPECT_EQ(pos.pieceAt[sq("h1")], kNone);
  EXPECT_EQ(pos.kingSquare[kWhite], sq("g1"));
  EXPECT_EQ(pos.castledCount[kWhite], 1);
  EXPECT_EQ(pos.castleRights, kBlackKingSide | kBlackQueenSide);
  EXPECT_TRUE(positionIsConsistent());
  Move black = word("e8", "c8", kKing, kCastleQueenSide);
  makeMove(black);
  EXPECT_EQ(pos.pieceAt[sq("d8")], kRook);
  EXPECT_EQ(pos.pieceAt[sq("a8")], kNone);
  EXPECT_EQ(pos.castledCount[kBlack], 1);
  EXPECT_EQ(pos.castleRights, 0);
  unmakeMove(black);
  unmakeMove(castle);
  EXPECT_TRUE(before.unchanged());
}

TEST(MakeMove, CastlingRightsFollowKingAndCornerRooks) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq"));
  makeMove(word("a1", "a8", kRook, kCapture));  // takes the rook on its corner
  EXPECT_EQ(pos.castleRights, kWhiteKingSide | kBlackKingSide);
  makeMove(word("h8", "h1", kRook, kCapture));
  EXPECT_EQ(pos.castleRights, 0);

  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq"));
  makeMove(word("h1", "h4", kRook));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide | kBlackKingSide | kBlackQueenSide);
  makeMove(word("e8", "d8", kKing));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide);
  // Going back does not restore a right.
  makeMove(word("h4", "h1", kRook));
  makeMove(word("d8", "e8", kKing));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide);

  // A rook taken away from its corner costs no right.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/r7/R3K2R b KQ"));
  makeMove(word("a2", "a1", kRook, kCapture));
  EXPECT_EQ(pos.castleRights, kWhiteKingSide);
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/R7/r3K2R w KQ"));
  makeMove(word("a2", "a1", kRook, kCapture));
  EXPECT_EQ(pos.castleRights, kWhiteQueenSide | kWhiteKingSide);
}

TEST(MakeMove, PromotionKeepsThePawnsSlot) {
  ASSERT_TRUE(setFen("3r4/4P3/8/8/8/8/8/k3K3 w"));
  Snapshot before;
  int slot = pos.slotAt[sq("e7")];
  for (int piece : {kQueen, kKnight, kRook, kBishop}) {
    Move m = word("e7", "d8", piece, kPromotion | kCapture);
    makeMove(m);
    EXPECT_EQ(pos.pieceAt[sq("d8")], piece);
    EXPECT_EQ(pos.slotAt[sq("d8")], slot);
    EXPECT_EQ(pos.material[kWhite], 1000000 + kPieceValue[piece]);
    EXPECT_EQ(pos.pawnsOnFile[kWhite][4], 0);
    EXPECT_EQ(pos.material[kBlack], 1000000);
    EXPECT_TRUE(positionIsConsistent());
    unmakeMove(m);
    EXPECT_TRUE(before.unchanged());
  }
}

TEST(MakeMove, NullMoveChangesOnlySideAndPassMarker) {
  ASSERT_TRUE(setFen("4k3/4p3/8/3P4/8/8/8/4K3 b"));
  makeMove(word("e7", "e5", kPawn));
  Snapshot before;
  uint64_t key = currentKey();
  makeMove(0);
  EXPECT_EQ(pos.sideToMove, kBlack);
  EXPECT_EQ(pos.opponent, kWhite);
  EXPECT_EQ(currentKey(), key ^ pieceKey[kWhite][kPawn][0]);
  EXPECT_EQ(lastMove(), 0u);
  EXPECT_EQ(searchPly, 2);
  unmakeMove(0);
  EXPECT_TRUE(before.unchanged());
}

TEST(MakeMoveDeathTest, CastlingRookWithoutRoomStops) {
  // Rights are taken as written; a piece on f1 leaves the rook no room.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4KB1R w K"));
  EXPECT_DEATH(makeMove(word("e1", "g1", kKing, kCastleKingSide)), "");
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w"));
  EXPECT_DEATH(makeMove(word("d1", "d2", kRook)), "");
  EXPECT_DEATH(makeMove(word("e1", "e2", kQueen)), "");
}

TEST(MakeMoveDeathTest, ALineBeyondTheRecordStops) {
  ASSERT_TRUE(setFen(kStartFen));
  pos.gamePly = kMaxGameMoves;
  searchPly = kMaxHistory - 1 - kMaxGameMoves;
  EXPECT_DEATH(makeMove(0), "");
  searchPly -= 1;
  makeMove(0);  // the last entry still fits
  EXPECT_EQ(pos.moveHistory[kMaxHistory - 1], 0u);
  unmakeMove(0);
  searchPly = 0;
}

// Plays g1f3 g8f6 f3g1 f6g8 round and round.
Move shuffleMove(int ply) {
  static const char* const moves[4][2] = {{"g1", "f3"}, {"g8", "f6"}, {"f3", "g1"}, {"f6", "g8"}};
  return word(moves[ply % 4][0], moves[ply % 4][1], kKnight);
}

TEST(CommitGameMove, FillsTheRecordUpTo400Moves) {
  ASSERT_TRUE(setFen(kStartFen));
  for (int ply = 0; ply < kMaxGameMoves; ++ply) {
    ASSERT_EQ(commitGameMove(shuffleMove(ply)), 1) << ply;
    ASSERT_EQ(searchPly, 0);
  }
  EXPECT_EQ(pos.gamePly, 400);
  EXPECT_EQ(pos.moveHistory[0], 400u);
  EXPECT_EQ(pos.moveHistory[400], shuffleMove(399));
  EXPECT_EQ(lastMove(), shuffleMove(399));
  Snapshot full;
  EXPECT_EQ(commitGameMove(shuffleMove(400)), 0);
  EXPECT_TRUE(full.unchanged());
}

TEST(CommitGameMove, RefusesTheNullMove) {
  ASSERT_TRUE(setFen(kStartFen));
  Snapshot before;
  EXPECT_EQ(commitGameMove(0), 0);
  EXPECT_TRUE(before.unchanged());
}

TEST(UndoRedo, ReplaysTheMovesTakenBack) {
  ASSERT_TRUE(setFen(kStartFen));
  Snapshot atStart;
  ASSERT_EQ(commitGameMove(word("e2", "e4", kPawn)), 1);
  ASSERT_EQ(commitGameMove(word("e7", "e5", kPawn)), 1);
  Snapshot afterTwo;
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(takeBackGameMove(), 1);
  EXPECT_EQ(takeBackGameMove(), 0);
  EXPECT_EQ(pos.gamePly, 0);
  EXPECT_EQ(pos.moveHistory[0], 2u);
  EXPECT_EQ(lastMove(), 0u);
  EXPECT_EQ(pos.moveHistory[1], word("e2", "e4", kPawn));

  ASSERT_EQ(replayGameMove(), 1);
  ASSERT_EQ(replayGameMove(), 1);
  EXPECT_EQ(replayGameMove(), 0);
  EXPECT_TRUE(afterTwo.unchanged());
  (void)atStart;
}

// A refused move text runs the legal filter at ply 0, and a search makes
// whole lines there; neither may eat the moves waiting for "redo".
TEST(UndoRedo, SurvivesLegalityTestsAndSearchesInBetween) {
  ASSERT_TRUE(setFen(kStartFen));
  const Move moves[3] = {word("e2", "e4", kPawn), word("e7", "e5", kPawn), word("g1", "f3", kKnight)};
  for (Move m : moves) ASSERT_EQ(commitGameMove(m), 1);
  Snapshot afterThree;
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(takeBackGameMove(), 1);

  ASSERT_EQ(generateLegalMoves(), 1);
  // A three-move line with a pass, made and taken back.
  Move a = moveStack[listStart[0]];
  makeMove(a);
  ASSERT_EQ(generateLegalMoves(), 1);
  Move b = moveStack[listStart[1] + 3];
  makeMove(b);
  makeMove(0);
  unmakeMove(0);
  unmakeMove(b);
  unmakeMove(a);
  EXPECT_EQ(searchPly, 0);
  EXPECT_EQ(pos.moveHistory[2], moves[1]);
  EXPECT_EQ(pos.moveHistory[3], moves[2]);

  ASSERT_EQ(replayGameMove(), 1);
  ASSERT_EQ(replayGameMove(), 1);
  EXPECT_TRUE(afterThree.unchanged());
}

TEST(UndoRedo, ANewMoveDiscardsTheRedoChain) {
  ASSERT_TRUE(setFen(kStartFen));
  ASSERT_EQ(commitGameMove(word("e2", "e4", kPawn)), 1);
  ASSERT_EQ(commitGameMove(word("e7", "e5", kPawn)), 1);
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(commitGameMove(word("c7", "c5", kPawn)), 1);
  EXPECT_EQ(pos.moveHistory[0], 2u);
  EXPECT_EQ(replayGameMove(), 0);
  ASSERT_EQ(takeBackGameMove(), 1);
  ASSERT_EQ(replayGameMove(), 1);
  EXPECT_EQ(lastMove(), word("c7", "c5", kPawn));
  EXPECT_EQ(pos.pieceAt[sq("c5")], kPawn);
}

}  // namespace
