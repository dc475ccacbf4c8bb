// The evaluation's tables, and its terms one at a time.
#include <gtest/gtest.h>

#include <vector>

#include "eval/attack_map.h"
#include "eval/curves.h"
#include "eval/evaluate.h"
#include "eval/king_safety.h"
#include "eval/pawns.h"
#include "eval/phase.h"
#include "eval/pieces.h"
#include "test_support.h"

namespace {

int sq(const char* name) { return squareFromName(name); }

void setUp(const char* fen) {
  ASSERT_TRUE(setFen(fen)) << fen;
  prepareEvaluation();
  buildAttackMaps();
}

std::vector<int> blackKingTable() { return std::vector<int>(pieceSquare[kBlack][kKing], pieceSquare[kBlack][kKing] + 64); }

TEST(EvalTables, CurvesPhaseAndKingBlend) {
  initEngineOnce();
  // Anchors of the mobility and king attack curves.
  const int anchors[][3] = {{kBishop, 7, 9}, {kRook, 10, 11}, {kRook, 14, 13}, {kQueen, 27, 13}};
  for (const auto& a : anchors) EXPECT_EQ(mobilityCurve[a[0]][a[1]], a[2]) << a[0] << " " << a[1];
  EXPECT_NEAR(kingAttackCurve[1], 17.556, 0.001);
  EXPECT_EQ(kingAttackCurve[9], kingAttackValue(6) + 3);  // the sine stops growing at 6
  // Opponent phase: a lone bishop is nothing, two knights 6/40, more than the start set 1.
  const struct { const char* fen; double phase; } phases[] = {
      {"4k3/8/8/8/8/8/8/2B1K3 w - -", 0.0}, {"4k3/8/8/8/8/8/8/1N2K1N1 w - -", 6 / 40.0}, {"4k3/8/8/8/8/8/8/QQQ1K3 w - -", 1.0}};
  for (const auto& p : phases) EXPECT_EQ(setFen(p.fen) ? opponentPhase(kBlack) : -1.0, p.phase) << p.fen;
  // King table at phase 30: -(v + bonus) / 2 truncated toward zero (a1: 0, not -1); black, facing no
  // pieces, keeps the unblended table, as does a side without pawns facing every piece.
  setUp("rnbqk1n1/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - -");
  const int blended[][2] = {{56, 0}, {60, -4}, {58, -3}, {28, -17}};
  for (const auto& b : blended) EXPECT_EQ(pieceSquare[kWhite][kKing][b[0]], b[1]) << b[0];
  EXPECT_EQ(pieceSquare[kBlack][kKing][36], 30);  // e5 seen from black
  const std::vector<int> unblended = blackKingTable();
  setUp("7k/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ -");
  EXPECT_EQ(blackKingTable(), unblended);
}

// One term of one white piece; the piece type is read from the board.
using Term = int (*)(int q);
int attackWordOf(int q) { return attackMap[kWhite][q]; }
int commonOf(int q) { int hanging = 0; return commonTerms(kWhite, pos.pieceAt[q], q, hanging); }
int pawnOf(int q) { return evaluatePawn(kWhite, q, opponentPhase(kWhite)); }
int pawnEndingOf(int q) { return evaluatePawn(kWhite, q, 0.0); }
int knightOf(int q) { return knightTerms(kWhite, q, 0); }
int sliderOf(int q) { return sliderActivity(q, pos.pieceAt[q], kWhite); }
int kingOf(int) { return kingSafety(kWhite); }
int castledKingOf(int) { return pos.castledCount[kWhite] = 1, kingSafety(kWhite); }

TEST(EvalTerms, OnePieceAtATime) {
  const struct { const char* fen; Term term; const char* square; int value; } cases[] = {
      // X-rays add to the count only, through one own slider of the line's kind: not a bishop, pawn, enemy, two.
      {"7k/8/8/8/8/8/R7/R6K w - -", attackWordOf, "a2", 1 | kRookBit}, {"7k/8/8/8/8/8/R7/R6K w - -", attackWordOf, "a8", 2 | kRookBit},
      {"7k/8/8/8/8/8/R7/Q6K w - -", attackWordOf, "a4", 2 | kRookBit}, {"7k/8/8/8/8/8/B7/R6K w - -", attackWordOf, "a3", 0},
      {"7k/8/8/8/8/8/P7/R6K w - -", attackWordOf, "a3", 0},            {"7k/8/8/8/8/8/r7/R6K w - -", attackWordOf, "a3", 0},
      {"7k/8/8/8/8/R7/R7/R6K w - -", attackWordOf, "a4", 2 | kRookBit}, {"7k/8/8/n7/8/8/R7/R6K w - -", attackWordOf, "a5", 2 | kRookBit},
      {"7k/8/8/n7/8/8/R7/R6K w - -", attackWordOf, "a6", 0},
      // A defender counts when of the same class (N = B) or cheaper; a cheaper attacker makes the piece hang.
      {"k7/8/8/8/3r4/8/8/K2R3R w - -", commonOf, "d1", 0}, {"k7/8/8/8/6b1/8/8/K2R3R w - -", commonOf, "d1", 1 - 1 - 5},
      {"k7/8/8/8/8/8/8/K2R3Q w - -", commonOf, "d1", 0},   {"k7/8/8/8/3N4/8/5B2/K7 w - -", commonOf, "d4", 1},
      {"k7/8/8/4n3/8/3B4/4P3/K7 w - -", commonOf, "d3", 0}, {"k7/8/8/8/2p5/3B4/4P3/K7 w - -", commonOf, "d3", 1 - 1 - 3},
      {"4r1k1/5ppp/8/8/8/8/5PPP/4K3 w - -", commonOf, "e1", -1 - 1 - 20},  // in check
      // Half-open +3, uncovered front -1, isolated -12, passed 26 + 16 - crowding (at most 4).
      {"4k3/8/8/4P3/8/8/8/n3K3 w - -", pawnOf, "e5", 3 - 1 - 12 + 26 + 16 - 2},
      {"r3k3/7r/8/4P1n1/8/8/8/4K3 w - -", pawnOf, "e5", 3 - 1 - 12 + 26 + 16 - 4},
      {"4k3/3p4/8/4P3/8/8/8/n3K3 w - -", pawnOf, "e5", 3 - 1 - 12},  // guarded path
      {"k7/8/8/8/4P3/4P3/8/7K w - -", pawnOf, "e3", 1 - 1 - 6 - 12 - 1 + 26 + 4},  // doubled: both
      {"k7/8/8/8/4P3/4P3/8/7K w - -", pawnOf, "e4", 1 - 1 - 6 - 12 + 26 + 8},      // pay and pass
      {"4k3/1P6/2P5/7n/8/8/8/4K3 w - -", pawnOf, "b7", 3 - 1 + 26 + 64 + 34},
      // Race: inside the square nothing, outside 8 x B; rook pawn -4; own king in front +2, +8 in the far half.
      {"4k3/p7/8/4P3/8/8/8/7K w - -", pawnEndingOf, "e5", 3 - 1 - 12 + 26 + 16 - 2},
      {"8/p7/8/4P3/8/8/8/k6K w - -", pawnEndingOf, "e5", 3 - 1 - 12 + 26 + 16 + 128},
      {"k7/8/P7/8/8/8/8/7K w - -", pawnEndingOf, "a6", 3 - 1 - 12 + 26 + 32 - 2 - 4},
      {"k7/8/PK6/8/8/8/8/8 w - -", pawnEndingOf, "a6", 3 - 1 - 12 + 26 + 32 - 2 + 2 - 4},
      {"3k4/8/3K4/4P3/8/8/8/8 w - -", pawnEndingOf, "e5", 3 - 1 - 12 + 26 + 16 - 2 + 2 + 8},
      {"8/8/8/8/3k4/8/3KP3/8 w - -", pawnEndingOf, "e2", 15},  // + 2 only
      // Knight outposts: none when defended in its own half, halved when a pawn can chase it.
      {"7k/8/8/3N4/4P3/8/8/K7 w - -", knightOf, "d5", 1 + 1 + 2 + 50 - 8}, {"7k/8/8/8/3N4/4P3/8/K7 w - -", knightOf, "d4", 50 - 8},
      {"7k/2p5/8/3N4/4P3/8/8/K7 w - -", knightOf, "d5", 1 + 1 + 50 - 7},
      // Sliders: no free square; a pin; a discovered attack; behind an enemy bishop only a dearer target.
      {kStartFen, sliderOf, "c1", -3}, {"4k3/8/8/4n3/3P4/8/7K/4R3 w - -", sliderOf, "e1", 16 + 11},
      {"8/6k1/8/8/3N4/8/1B6/7K w - -", sliderOf, "b2", 6 + 5}, {"k7/8/8/4n3/8/2b5/8/B6K w - -", sliderOf, "a1", 1},
      {"k7/8/8/4r3/8/2b5/8/B6K w - -", sliderOf, "a1", 8 + 1},
      // King: shield 12, two free squares -1, no rights v a queen -18, x 0.5 (castled: + ph x 8 instead); walled
      // in trunc((12 - 4 - 18) x 0.425), with two knight jumps trunc((trunc(12 - 16 - 12 - A(2)) - 18) x 0.425).
      {kStartFen, kingOf, "e1", -2}, {"1n2k3/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ -", kingOf, "e1", 0},  // bare opponent
      {"kqr5/ppp5/8/8/8/8/5PPP/6K1 w - -", kingOf, "g1", -3}, {"kqr5/ppp5/8/8/8/8/5PPP/6K1 w - -", castledKingOf, "g1", 7},
      {"4k3/8/8/q7/8/8/5PPP/n4RKB w - -", kingOf, "g1", -4}, {"4k3/8/8/q5n1/8/8/5PPP/5RKB w - -", kingOf, "g1", -28}};
  for (const auto& c : cases) {
    setUp(c.fen);
    EXPECT_EQ(c.term(sq(c.square)), c.value) << c.fen << " " << c.square;
  }
  // The second and later hanging pieces pay surcharges growing with the count.
  setUp("7k/8/8/1p1p4/P1P1P3/8/8/K7 w - -");
  int hanging = 0;
  for (const auto& h : {std::make_pair("a4", -1 - 1 - 10), {"c4", -1 - 2 - 10 - 10}, {"e4", -1 - 1 - 10 - 2}, {"a4", -1 - 1 - 10 - 2}})
    EXPECT_EQ(commonTerms(kWhite, kPawn, sq(h.first), hanging), h.second) << h.first;
  EXPECT_EQ(hanging, 4);
}

}  // namespace
