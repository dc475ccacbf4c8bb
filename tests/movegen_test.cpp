#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "test_support.h"

namespace {

std::vector<Move> currentList() {
  return std::vector<Move>(moveStack + listStart[searchPly], moveStack + listStart[searchPly + 1]);
}

// The list as text, with the promotion piece and an en-passant mark.
std::string listText() {
  std::string s;
  for (Move m : currentList()) {
    if (!s.empty()) s += ' ';
    s += std::string(kSquareName[moveOrigin(m)]) + kSquareName[moveTarget(m)];
    if (m & kPromotion) s += " pnbrqk"[movePiece(m)];
    if (m & kEnPassant) s += "ep";
  }
  return s;
}

std::string generated() {
  EXPECT_EQ(generateMoves(), 1);
  return listText();
}

TEST(GenerateMoves, StartPositionInSlotAndDirectionOrder) {
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(generated(),
            "a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 "
            "b1c3 b1a3 g1h3 g1f3");
  EXPECT_EQ(currentList()[1], boardMove("a2", "a4", kPawn));  // no flag on a double step
}

TEST(GenerateMoves, PawnMovesInOrderWithPromotionPairs) {
  ASSERT_TRUE(setFen("3r1b2/4P3/8/8/8/8/8/k3K3 w"));
  EXPECT_EQ(generated().substr(0, 35), "e7e8q e7e8n e7d8q e7d8n e7f8q e7f8n");
  EXPECT_EQ(currentList()[3], boardMove("e7", "d8", kKnight, kPromotion | kCapture));
  // A blocked pawn on its start row gets no double step.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/4n3/4P3/K7 w"));
  EXPECT_EQ(generated().find("e2e"), std::string::npos);
  ASSERT_TRUE(setFen("4k3/8/8/8/4n3/8/4P3/K7 w"));
  EXPECT_EQ(generated().substr(0, 5), "e2e3 ");
}

TEST(GenerateMoves, EnPassantOnlyRightAfterADoubleStep) {
  ASSERT_TRUE(setFen("4k3/4p3/8/3P1P2/8/8/8/4K3 b"));
  const Move doubleStep = boardMove("e7", "e5", kPawn);
  makeMove(doubleStep);
  // The pawn to the right of the one that passed comes first.
  EXPECT_EQ(generated().substr(0, 13), "f5e6ep d5e6ep");
  EXPECT_EQ(currentList()[0], boardMove("f5", "e6", kPawn, kCapture | kEnPassant));
  makeMove(0);
  makeMove(0);
  EXPECT_EQ(generated().find("ep"), std::string::npos);
  unmakeMove(0);
  unmakeMove(0);
  unmakeMove(doubleStep);
  makeMove(boardMove("e7", "e6", kPawn));
  EXPECT_EQ(generated().find("ep"), std::string::npos);

  // The square of the text counts only while record and line are empty.
  ASSERT_TRUE(setFen("4k3/8/8/3Pp3/8/8/8/4K3 w - e6"));
  EXPECT_EQ(generated().substr(0, 6), "d5e6ep");
  makeMove(0);
  makeMove(0);
  EXPECT_EQ(generated().find("ep"), std::string::npos);
}

TEST(GenerateMoves, KingCaptureReportsAnIllegalPosition) {
  const char* fens[] = {"4k3/3P4/8/8/8/8/8/4K3 w", "R3k3/8/8/8/8/8/8/4K3 w",
                        "4k3/8/5N2/8/8/8/8/4K3 w", "8/8/8/8/8/8/3k4/4K3 w"};
  for (const char* fen : fens) {
    ASSERT_TRUE(setFen(fen));
    for (int (*generator)() : {generateMoves, generateCaptures, generateLegalMoves}) {
      listStart[1] = 99;
      EXPECT_EQ(generator(), 0) << fen;
      EXPECT_EQ(listStart[1], listStart[0]) << fen;
    }
  }
}

TEST(GenerateMoves, CastlingNeedsRightRookAndEmptySquares) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_EQ(generated().substr(generated().size() - 9), "e1g1 e1c1");
  EXPECT_EQ(currentList().back(), boardMove("e1", "c1", kKing, kCastleQueenSide));
  for (const char* fen : {"4k3/8/8/8/8/8/8/1R2K1NR w KQ", "4k3/8/8/8/8/8/8/R3K2R w -"}) {
    ASSERT_TRUE(setFen(fen));
    EXPECT_EQ(generated().find("e1g1"), std::string::npos) << fen;
    EXPECT_EQ(generated().find("e1c1"), std::string::npos) << fen;
  }
  // Through an attacked square: pseudo-legal but not legal.
  ASSERT_TRUE(setFen("4kr2/8/8/8/8/8/8/R3K2R w KQ"));
  EXPECT_NE(generated().find("e1g1"), std::string::npos);
  ASSERT_EQ(generateLegalMoves(), 1);
  EXPECT_EQ(listText().find("e1g1"), std::string::npos);
  EXPECT_NE(listText().find("e1c1"), std::string::npos);
}

TEST(GenerateCaptures, OnlyCapturesAndPromotionPushes) {
  ASSERT_TRUE(setFen("3r1b2/4P3/8/2pP4/8/8/4P3/k3K2R w K c6"));
  ASSERT_EQ(generateCaptures(), 1);
  EXPECT_EQ(listText(), "e7e8q e7e8n e7d8q e7d8n e7f8q e7f8n");
}

// Random games compare the generators with what they must equal: the
// capture list with the captures of the full list, the legal list with the
// full list filtered by make, attack test and unmake, in the same order.
TEST(GenerateMoves, GeneratorsAgreeWithEachOtherOverRandomGames) {
  const char* starts[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
                          "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -"};
  std::mt19937 random(7);
  int positions = 0;
  for (const char* start : starts) {
    for (int game = 0; game < 20; ++game) {
      ASSERT_TRUE(setFen(start));
      std::vector<Move> line;
      for (int ply = 0; ply < 60; ++ply, ++positions) {
        ASSERT_EQ(generateMoves(), 1);
        std::vector<Move> captures, legal;
        const int mover = pos.sideToMove;
        for (Move m : currentList()) {
          if ((m & (kCapture | kPromotion)) && !(m & kEnPassant)) captures.push_back(m);
          if ((m & kCastleMask) && !castleIsLegal(m)) continue;
          makeMove(m);
          const bool exposed = sideAttacks(pos.sideToMove, pos.kingSquare[mover]);
          unmakeMove(m);
          if (!exposed) legal.push_back(m);
        }
        ASSERT_EQ(generateCaptures(), 1);
        ASSERT_EQ(currentList(), captures);
        ASSERT_EQ(generateLegalMoves(), 1);
        ASSERT_EQ(currentList(), legal);
        if (legal.empty()) break;
        line.push_back(legal[random() % legal.size()]);
        makeMove(line.back());
      }
      for (; !line.empty(); line.pop_back()) unmakeMove(line.back());
    }
  }
  EXPECT_GT(positions, 3000);
}

// Fifteen queens are a legal FEN; their list is longer than any game
// position's, and every ply of the stack must still hold it.
TEST(MoveStack, HoldsTheLongestListAtEveryPly) {
  ASSERT_TRUE(setFen("1q4q1/3q4/q4q1q/2q4q/4q3/1q4q1/3q2PP/qkq2qNK b"));
  ASSERT_EQ(generateMoves(), 1);
  const int longest = listStart[1] - listStart[0];
  EXPECT_GT(longest, kMaxLegalMoves);
  EXPECT_LE(longest, kMaxListMoves);
  for (searchPly = 0; searchPly < kMaxPlies; ++searchPly) ASSERT_EQ(generateMoves(), 1);
  EXPECT_EQ(listStart[kMaxPlies], kMaxPlies * longest);
  EXPECT_LE(listStart[kMaxPlies], kMoveStackSize);
  searchPly = 0;
}

}  // namespace
