// The terms of the evaluation taken one at a time, on the attack maps of the
// position: curves, attack maps, common terms, pawns, pieces, king safety.
#include <gtest/gtest.h>

#include "eval/attack_map.h"
#include "eval/curves.h"
#include "eval/evaluate.h"
#include "eval/king_safety.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "test_support.h"

namespace {

// Squares by name, for readable positions.
int sq(const char* name) { return squareFromName(name); }

void setUp(const char* fen) {
  ASSERT_TRUE(setFen(fen)) << fen;
  prepareEvaluation();
  buildAttackMaps();
}

TEST(EvalCurves, MobilityTablesMatchTheSineCurves) {
  initEngineOnce();
  const int bishop[] = {1, 2, 4, 5, 6, 8, 9, 10, 11, 12, 12, 13, 13};
  const int rook[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 12, 13, 13};
  const int queen[] = {0, 1, 2, 2, 3, 4,  4,  5,  6,  6,  7,  7,  8, 9,
                       9, 10, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 13};
  for (int n = 1; n <= 13; n++) EXPECT_EQ(mobilityCurve[kBishop][n], bishop[n - 1]) << n;
  for (int n = 1; n <= 14; n++) EXPECT_EQ(mobilityCurve[kRook][n], rook[n - 1]) << n;
  for (int n = 1; n <= 27; n++) EXPECT_EQ(mobilityCurve[kQueen][n], queen[n - 1]) << n;
  for (int type = kBishop; type <= kQueen; type++)
    for (int n = 0; n <= kMaxMobility; n++)
      ASSERT_EQ(mobilityCurve[type][n], int(mobilityValue(type, n)));
}

TEST(EvalCurves, KingAttackCurveSaturatesJustBelowSeventy) {
  initEngineOnce();
  EXPECT_EQ(kingAttackCurve[0], 0.0);
  EXPECT_NEAR(kingAttackCurve[1], 17.556, 0.001);
  EXPECT_NEAR(kingAttackCurve[3], 48.237, 0.001);
  EXPECT_LT(kingAttackCurve[6], 70.0);
  EXPECT_EQ(kingAttackCurve[9], kingAttackValue(6) + 3);
  // The penalty is applied to the integer sum in double and truncated.
  EXPECT_EQ(int(0 - kingAttackCurve[1]), -17);
  EXPECT_EQ(int(20 - kingAttackCurve[1]), 2);
  EXPECT_EQ(int(0 - kingAttackCurve[6]), -69);
  EXPECT_EQ(int(0 - kingAttackCurve[7]), -70);
}

TEST(EvalAttackMap, XrayThroughOneOwnSliderOnTheSameLine) {
  // Doubled rooks: the squares beyond the front rook are attacked twice, the
  // rear rook's attack raising the count only.
  setUp("7k/8/8/8/8/8/R7/R6K w - -");
  EXPECT_EQ(attackMap[kWhite][sq("a2")], 1 | kRookBit);
  for (const char* name : {"a3", "a5", "a8"}) EXPECT_EQ(attackMap[kWhite][sq(name)], 2 | kRookBit) << name;
  // A queen behind a rook adds no queen bit beyond it.
  setUp("7k/8/8/8/8/8/R7/Q6K w - -");
  EXPECT_EQ(attackMap[kWhite][sq("a4")], 2 | kRookBit);
  // A bishop cannot move along a file, a pawn is no slider, an enemy rook
  // belongs to the other side: none is looked through.
  for (const char* fen : {"7k/8/8/8/8/8/B7/R6K w - -", "7k/8/8/8/8/8/P7/R6K w - -",
                          "7k/8/8/8/8/8/r7/R6K w - -"}) {
    setUp(fen);
    EXPECT_EQ(attackMap[kWhite][sq("a3")], 0) << fen;
  }
}

TEST(EvalAttackMap, XrayLooksThroughOneBlockerOnly) {
  setUp("7k/8/8/8/8/R7/R7/R6K w - -");
  EXPECT_EQ(attackMap[kWhite][sq("a3")], 2 | kRookBit);
  EXPECT_EQ(attackMap[kWhite][sq("a4")], 2 | kRookBit);
  EXPECT_EQ(attackMap[kWhite][sq("a8")], 2 | kRookBit);
  // The x-ray stops at the next piece, like the direct attack.
  setUp("7k/8/8/n7/8/8/R7/R6K w - -");
  EXPECT_EQ(attackMap[kWhite][sq("a5")], 2 | kRookBit);
  EXPECT_EQ(attackMap[kWhite][sq("a6")], 0);
}

TEST(EvalCommon, DefenceNeedsSameClassOrCheaper) {
  int hanging = 0;
  // Rook defended by a rook and attacked by a rook: +1 - 1, not hanging.
  setUp("k7/8/8/8/3r4/8/8/K2R3R w - -");
  EXPECT_EQ(commonTerms(kWhite, kRook, sq("d1"), hanging), 0);
  EXPECT_EQ(hanging, 0);
  // Attacked by a bishop, a cheaper class: hanging despite the defender.
  setUp("k7/8/8/8/6b1/8/8/K2R3R w - -");
  EXPECT_EQ(commonTerms(kWhite, kRook, sq("d1"), hanging), 1 - 1 - 5);
  EXPECT_EQ(hanging, 1);
  // Defended only by the queen, a dearer piece: neither bonus nor penalty.
  hanging = 0;
  setUp("k7/8/8/8/8/8/8/K2R3Q w - -");
  EXPECT_EQ(commonTerms(kWhite, kRook, sq("d1"), hanging), 0);
}

TEST(EvalCommon, KnightAndBishopAreOneClass) {
  int hanging = 0;
  // A bishop defends a knight as a piece of its own class.
  setUp("k7/8/8/8/3N4/8/5B2/K7 w - -");
  EXPECT_EQ(commonTerms(kWhite, kKnight, sq("d4"), hanging), 1);
  // A bishop attacked by a knight and defended is not hanging...
  setUp("k7/8/8/4n3/8/3B4/4P3/K7 w - -");
  EXPECT_EQ(commonTerms(kWhite, kBishop, sq("d3"), hanging), 0);
  EXPECT_EQ(hanging, 0);
  // ...but attacked by a pawn it is.
  setUp("k7/8/8/8/2p5/3B4/4P3/K7 w - -");
  EXPECT_EQ(commonTerms(kWhite, kBishop, sq("d3"), hanging), 1 - 1 - 3);
  EXPECT_EQ(hanging, 1);
}

TEST(EvalCommon, HangingSurchargesGrowWithTheCount) {
  setUp("7k/8/8/1p1p4/P1P1P3/8/8/K7 w - -");
  int hanging = 0;
  EXPECT_EQ(commonTerms(kWhite, kPawn, sq("a4"), hanging), -1 - 1 - 10);
  EXPECT_EQ(commonTerms(kWhite, kPawn, sq("c4"), hanging), -1 - 2 - 10 - 10);
  EXPECT_EQ(commonTerms(kWhite, kPawn, sq("e4"), hanging), -1 - 1 - 10 - 2);
  EXPECT_EQ(commonTerms(kWhite, kPawn, sq("a4"), hanging), -1 - 1 - 10 - 2);
  EXPECT_EQ(hanging, 4);
}

TEST(EvalCommon, KingInCheckIsHanging) {
  setUp("4r1k1/5ppp/8/8/8/8/5PPP/4K3 w - -");
  int hanging = 0;
  EXPECT_EQ(commonTerms(kWhite, kKing, sq("e1"), hanging), -1 - 1 - 20);
  EXPECT_EQ(hanging, 1);
}

TEST(EvalPawn, LonePassedPawnInTheOpponentsHalf) {
  // Half-open +3, uncovered front -1, isolated -12, passed 26 + 16 - c with
  // c = 2 (the king on e8 and its attack on e7).
  setUp("4k3/8/8/4P3/8/8/8/n3K3 w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("e5"), opponentPhase(kWhite)), 3 - 1 - 12 + 26 + 16 - 2);
  // A crowded path costs at most 4.
  setUp("r3k3/7r/8/4P1n1/8/8/8/4K3 w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("e5"), opponentPhase(kWhite)), 3 - 1 - 12 + 26 + 16 - 4);
  // An enemy pawn guarding the path leaves only the structure terms.
  setUp("4k3/3p4/8/4P3/8/8/8/n3K3 w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("e5"), opponentPhase(kWhite)), 3 - 1 - 12);
}

TEST(EvalPawn, BlockedCentrePawnsPayMore) {
  setUp("k7/8/8/8/8/8/3P4/7K w - -");
  const int free = evaluatePawn(kWhite, sq("d2"), 0.0);
  setUp("k7/8/8/8/8/3B4/3P4/7K w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("d2"), 0.0), free - 3);
  setUp("k7/8/8/8/8/8/2P5/7K w - -");
  const int wing = evaluatePawn(kWhite, sq("c2"), 0.0);
  setUp("k7/8/8/8/8/2B5/2P5/7K w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("c2"), 0.0), wing - 1);
}

TEST(EvalPawn, DoubledPawnsBothPayAndBothPass) {
  setUp("k7/8/8/8/4P3/4P3/8/7K w - -");
  const double ph = opponentPhase(kWhite);
  EXPECT_EQ(evaluatePawn(kWhite, sq("e3"), ph), 1 - 1 - 6 - 12 - 1 + 26 + 4);
  EXPECT_EQ(evaluatePawn(kWhite, sq("e4"), ph), 1 - 1 - 6 - 12 + 26 + 8);
}

TEST(EvalPawn, SeventhRankPassedPawnDefendedByAPawn) {
  setUp("4k3/1P6/2P5/7n/8/8/8/4K3 w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("b7"), opponentPhase(kWhite)), 3 - 1 + 26 + 64 + 34);
}

TEST(EvalPawn, RaceAgainstTheBareKing) {
  // Inside the square: no bonus; outside it: 8 x B.
  setUp("4k3/p7/8/4P3/8/8/8/7K w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("e5"), 0.0), 3 - 1 - 12 + 26 + 16 - 2);
  setUp("8/p7/8/4P3/8/8/8/k6K w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("e5"), 0.0), 3 - 1 - 12 + 26 + 16 + 128);
  // Rook pawn with the enemy king on the promotion square: -4, and +2 when
  // the own king covers the front square.
  setUp("k7/8/P7/8/8/8/8/7K w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("a6"), 0.0), 3 - 1 - 12 + 26 + 32 - 2 - 4);
  setUp("k7/8/PK6/8/8/8/8/8 w - -");
  EXPECT_EQ(evaluatePawn(kWhite, sq("a6"), 0.0), 3 - 1 - 12 + 26 + 32 - 2 + 2 - 4);
}

TEST(EvalPawn, PawnOnItsLastRowIsReadSafely) {
  // The set-up refuses such pawns, but the evaluation must not read beyond
  // the board if one ever stands there: the missing front square reads as
  // empty and unattacked, and the pawn counts as on its eighth rank.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w - -"));
  placePiece(kWhite, sq("a8"), kPawn, 1);
  placePiece(kBlack, sq("h1"), kPawn, 17);
  pos.listLast[kWhite] = 1;
  pos.listLast[kBlack] = 17;
  prepareEvaluation();
  buildAttackMaps();
  EXPECT_EQ(evaluatePawn(kWhite, sq("a8"), 0.0), 3 - 1 - 12 + 26 + 128 + 8 * 128);
  EXPECT_EQ(evaluatePawn(kBlack, sq("h1"), 0.0), 3 - 1 - 12 + 26 + 128 + 8 * 128);
  const int v = evaluate(-1000000, 1000000);
  pos.sideToMove ^= 1;
  pos.opponent ^= 1;
  EXPECT_EQ(evaluate(-1000000, 1000000), -v);
}

TEST(EvalPieces, KnightOutpost) {
  setUp("7k/8/8/3N4/4P3/8/8/K7 w - -");
  EXPECT_EQ(knightTerms(kWhite, sq("d5"), 0), 1 + 1 + 2 + 50 - 8);
  // Defended by a pawn in its own half: no outpost.
  setUp("7k/8/8/8/3N4/4P3/8/K7 w - -");
  EXPECT_EQ(knightTerms(kWhite, sq("d4"), 0), 50 - 8);
  // An enemy pawn that can still chase it halves the bonus.
  setUp("7k/2p5/8/3N4/4P3/8/8/K7 w - -");
  EXPECT_EQ(knightTerms(kWhite, sq("d5"), 0), 1 + 1 + 50 - 7);  // two pawns: 2 / 2 - 8
}

TEST(EvalPieces, SliderLineBonuses) {
  // Start position: a bishop with no free square.
  setUp(kStartFen);
  EXPECT_EQ(sliderActivity(sq("c1"), kBishop, kWhite), -3);
  // Rook pins a knight to the king, an own pawn attacking the knight: 16.
  setUp("4k3/8/8/4n3/3P4/8/7K/4R3 w - -");
  EXPECT_EQ(sliderActivity(sq("e1"), kRook, kWhite), 16 + mobilityCurve[kRook][10]);
  // Bishop behind an own knight aimed at the enemy king: discovered attack.
  setUp("8/6k1/8/8/3N4/8/1B6/7K w - -");
  EXPECT_EQ(sliderActivity(sq("b2"), kBishop, kWhite), 6 + mobilityCurve[kBishop][4]);
  // Behind an enemy bishop, a defended knight of equal value is no target,
  // a rook of higher value is.
  setUp("k7/8/8/4n3/8/2b5/8/B6K w - -");
  EXPECT_EQ(sliderActivity(sq("a1"), kBishop, kWhite), 1);
  setUp("k7/8/8/4r3/8/2b5/8/B6K w - -");
  EXPECT_EQ(sliderActivity(sq("a1"), kBishop, kWhite), 8 + 1);
}

TEST(EvalPieces, RookRoundsTheWholeRunningSum) {
  setUp("4k3/pppppppp/8/8/8/8/8/R3K3 w - -");
  const int q = sq("a1");
  const int own = rookTerms(kWhite, q, 1.0, 0);  // ph 1: no rounding at all
  // Running sum -7 with ph 0.75: trunc(-7 + 2.5) = -4, not -7 + trunc(2.5).
  EXPECT_EQ(rookTerms(kWhite, q, 0.75, -7 - own), -4);
  EXPECT_EQ(rookTerms(kWhite, q, 0.75, 7 - own), 9);
}

TEST(EvalKingSafety, StartPositionAndBareOpponent) {
  setUp(kStartFen);
  EXPECT_EQ(kingSafety(kWhite), -2);
  EXPECT_EQ(kingSafety(kBlack), -2);
  setUp("1n2k3/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ -");
  EXPECT_EQ(kingSafety(kWhite), 0);
}

TEST(EvalKingSafety, CastlingProspectsAndScaling) {
  // Shield 12, two free squares -1, no rights while the opponent has a
  // queen -18: sum -7, scaled by 0.5 toward zero.
  setUp("kqr5/ppp5/8/8/8/8/5PPP/6K1 w - -");
  ASSERT_EQ(opponentPhase(kWhite), 0.5);
  EXPECT_EQ(kingSafety(kWhite), -3);
  // Castled on the king side: no prospects, + ph x 8, then scaled.
  pos.castledCount[kWhite] = 1;
  EXPECT_EQ(kingSafety(kWhite), 7);
  pos.castledCount[kWhite] = 0;
}

TEST(EvalKingSafety, KnightJumpsOnAWalledInKing) {
  // No free square around g1: a knight covering f3 and h3 costs 8 each, and
  // the walled-in king pays 4 + 8; ph = 17 / 40.
  setUp("4k3/8/8/q7/8/8/5PPP/n4RKB w - -");
  EXPECT_EQ(kingSafety(kWhite), -4);  // trunc((12 - 4 - 18) x 0.425)
  setUp("4k3/8/8/q5n1/8/8/5PPP/5RKB w - -");
  EXPECT_EQ(kingSafety(kWhite), -28);  // trunc((trunc(12 - 16 - 12 - A(2)) - 18) x 0.425)
}

TEST(EvalKingSafety, CastledKingBonusByWing) {
  setUp("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1RK1 w kq -");
  const int uncastled = kingSafety(kWhite);
  pos.castledCount[kWhite] = 1;
  EXPECT_EQ(kingSafety(kWhite), uncastled + 18 + 8);
  pos.castledCount[kWhite] = 0;
  setUp("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/2KR1BNR w kq -");
  const int queenSide = kingSafety(kWhite);
  pos.castledCount[kWhite] = 1;
  EXPECT_EQ(kingSafety(kWhite), queenSide + 18 + 6);
  pos.castledCount[kWhite] = 0;
}

}  // namespace
