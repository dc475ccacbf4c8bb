// Move generation: list order, agreement with make/unmake, perft.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "board/position_check.h"
#include "test_support.h"

namespace {

std::vector<Move> currentList() {
  return std::vector<Move>(moveStack + listStart[searchPly], moveStack + listStart[searchPly + 1]);
}

// The generated list as text with promotion letters and an "ep" mark; "none"
// when the generator reports a king capture (and must leave the list empty).
std::string listed(int (*generator)()) {
  listStart[searchPly + 1] = -1;
  if (!generator()) return listStart[searchPly + 1] == listStart[searchPly] ? "none" : "none, list not emptied";
  std::string s;
  for (Move m : currentList()) {
    s += std::string(s.empty() ? "" : " ") + kSquareName[moveOrigin(m)] + kSquareName[moveTarget(m)];
    if (m & kPromotion) s += " pnbrqk"[movePiece(m)];
    if (m & kEnPassant) s += "ep";
  }
  return s;
}

// "has" is a run of the list in its order; no word of "lacks" may appear.
TEST(GenerateMoves, ListsInTheEngineOrderUnderTheRules) {
  struct Case { const char* fen; const char* moves; int (*generator)(); const char* has; const char* lacks; };
  const auto all = generateMoves;
  const auto legal = generateLegalMoves;
  const char* const epText = "4k3/8/8/3Pp3/8/8/8/4K3 w - e6";
  const Case cases[] = {
      {kStartFen, "", all,
       "a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 b1c3 b1a3 g1h3 g1f3", ""},
      {"3r1b2/4P3/8/8/8/8/8/k3K3 w", "", all, "e7e8q e7e8n e7d8q e7d8n e7f8q e7f8n", ""},
      // En passant right after the double step, the pawn to its right first;
      // lapsed after a pass on each side, also for the square of the text.
      {"4k3/4p3/8/3P1P2/8/8/8/4K3 b", "e7e5", all, "f5e6ep d5e6ep", ""},
      {"4k3/4p3/8/3P1P2/8/8/8/4K3 b", "e7e5 -- --", all, "", "ep"},
      {epText, "", all, "d5e6ep", ""}, {epText, "-- --", all, "", "ep"},
      // Castling needs the right, the rook and empty squares; legal, a king
      // out of check that crosses no attacked square (b1 may be attacked).
      {"4k3/8/8/8/8/8/8/R3K2R w KQ", "", all, "e1g1 e1c1", ""},
      {"4k3/8/8/8/8/8/8/R3K2R w Q", "", all, "e1c1", "e1g1"}, {"4k3/8/8/8/8/8/8/4K2R w KQ", "", all, "e1g1", "e1c1"},
      {"4k3/8/8/8/8/8/8/RN2K1NR w KQ", "", all, "", "e1g1 e1c1"},
      {"1r2k3/8/8/8/8/8/8/R3K2R w KQ", "", legal, "e1g1 e1c1", ""},
      {"2r1k3/8/8/8/8/8/8/R3K2R w KQ", "", legal, "e1g1", "e1c1"},
      {"3rk3/8/8/8/8/8/8/R3K2R w KQ", "", legal, "e1g1", "e1c1"},
      {"4kr2/8/8/8/8/8/8/R3K2R w KQ", "", legal, "e1c1", "e1g1"},
      {"4r1k1/8/8/8/8/8/8/R3K2R w KQ", "", legal, "", "e1g1 e1c1"},
      {"r3k2r/8/8/8/8/8/8/4K3 b kq", "", legal, "e8g8 e8c8", ""},
      // A king can be taken: the position is illegal for every generator.
      {"4k3/3P4/8/8/8/8/8/4K3 w", "", all, "none", ""}, {"R3k3/8/8/8/8/8/8/4K3 w", "", generateCaptures, "none", ""},
      {"4k3/8/5N2/8/8/8/8/4K3 w", "", legal, "none", ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(setFen(c.fen) && playMoves(c.moves)) << c.fen;
    const std::string list = listed(c.generator);
    EXPECT_NE(list.find(c.has), std::string::npos) << c.fen << " " << c.moves << ": " << list;
    std::istringstream lacks(c.lacks);
    for (std::string word; lacks >> word;)
      EXPECT_EQ(list.find(word), std::string::npos) << c.fen << " " << c.moves << ": " << list;
  }
}

// Along random games with the odd pass, every pseudo-legal move is made and
// taken back (consistent in between, restored byte for byte), and the capture
// and legal lists are the full list filtered, in its order.
TEST(GenerateMoves, AgreesWithMakeAndUnmakeOverRandomGames) {
  const char* starts[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", "4k3/8/8/3Pp3/8/8/8/4K3 w - e6"};
  std::mt19937 random(11);
  int made = 0;
  for (int game = 0; game < 72; ++game) {
    ASSERT_TRUE(setFen(starts[game % 6]));
    const PositionImage atStart;
    for (int ply = 0; ply < 70; ++ply) {
      ASSERT_EQ(generateMoves(), 1);
      std::vector<Move> captures, legal;
      const int mover = pos.sideToMove;
      for (Move m : currentList()) {
        if ((m & (kCapture | kPromotion)) && !(m & kEnPassant)) captures.push_back(m);
        const PositionImage before;
        makeMove(m);
        ++made;
        ASSERT_TRUE(positionIsConsistent() && lastMove() == m);
        const bool exposed = sideAttacks(pos.sideToMove, pos.kingSquare[mover]);
        unmakeMove(m);
        ASSERT_TRUE(before.unchanged());
        if (!exposed && (!(m & kCastleMask) || castleIsLegal(m))) legal.push_back(m);
      }
      ASSERT_TRUE(generateCaptures() && currentList() == captures && generateLegalMoves() && currentList() == legal);
      if (legal.empty()) break;
      makeMove(random() % 10 == 0 && !inCheck() ? 0 : legal[random() % legal.size()]);
    }
    while (searchPly > 0) unmakeMove(lastMove());
    EXPECT_TRUE(atStart.unchanged());
  }
  EXPECT_GT(made, 50000);
}

// Fifteen queens: a legal text whose list is longer than any game position's.
TEST(MoveStack, HoldsTheLongestListAtEveryPly) {
  ASSERT_TRUE(setFen("1q4q1/3q4/q4q1q/2q4q/4q3/1q4q1/3q2PP/qkq2qNK b"));
  for (searchPly = 0; searchPly < kMaxPlies; ++searchPly) ASSERT_EQ(generateMoves(), 1);
  searchPly = 0;
  EXPECT_GT(listStart[1] - listStart[0], kMaxLegalMoves);
  EXPECT_EQ(listStart[kMaxPlies], kMaxPlies * (listStart[1] - listStart[0]));
  EXPECT_LE(listStart[kMaxPlies], kMoveStackSize);
}

// Leaf count of the legal tree with all four promotion pieces: the generator
// lists queen and knight, so a queen promotion also stands for rook and bishop.
uint64_t perft(int depth) {
  if (!generateLegalMoves()) return 0;
  uint64_t total = 0;
  for (int i = listStart[searchPly]; i < listStart[searchPly + 1]; ++i) {
    const Move move = moveStack[i];
    const bool queenPromotion = (move & kPromotion) && movePiece(move) == kQueen;
    if (depth == 1) total += queenPromotion ? 3 : 1;
    for (int piece = kQueen; depth > 1 && piece >= (queenPromotion ? kBishop : kQueen); --piece) {
      const Move m = queenPromotion ? (move & ~kPieceMask) | (Move(piece) << 12) : move;
      makeMove(m);
      total += perft(depth - 1);
      unmakeMove(m);
    }
  }
  return total;
}

// The published suite up to depth 5, leaving out its most expensive counts.
TEST(Perft, ReproducesThePublishedCounts) {
  FILE* file = fopen(MORVEK_TEST_DATA "/perft.epd", "r");
  ASSERT_NE(file, nullptr);
  int checked = 0;
  for (char line[1024]; fgets(line, sizeof line, file);) {
    char* field = strchr(line, ';');
    if (!field) continue;
    *field = '\0';  // the FEN ends at the first field
    ASSERT_TRUE(setFen(line)) << line;
    for (; field; field = strchr(field + 1, ';')) {
      int depth = 0;
      unsigned long long expected = 0;
      if (sscanf(field + 1, " D%d %llu", &depth, &expected) != 2 || depth > 5 || expected > 20000000) continue;
      EXPECT_EQ(perft(depth), expected) << line << " depth " << depth;
      ++checked;
    }
  }
  fclose(file);
  EXPECT_GE(checked, 30);
}

}  // namespace
