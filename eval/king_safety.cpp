#include "eval/king_safety.h"

#include "board/position.h"
#include "eval/attack_map.h"
#include "eval/curves.h"
#include "eval/phase.h"

namespace {

constexpr int kShield[8] = {4, 6, 2, 0, 0, 2, 6, 4};
constexpr int kKnightJump[8] = {14, -14, 18, -18, 31, -31, 33, -33};

inline bool holds(int square, int side, int type) {
  return pos.colourAt[square] == side && pos.pieceAt[square] == type;
}

// Enemy line pieces bearing on the squares along the king's rays; each ray
// is followed only while its squares are empty.
int rayAttacks(int king, int firstDirection, int o, int bits) {
  const int* opp = attackMap[o];
  int n = 0;
  for (int d = firstDirection; d < firstDirection + 4; d++) {
    for (int r = to0x88(king) + kDirection[d]; !offBoard(r); r += kDirection[d]) {
      const int x = from0x88(r);
      if (pos.colourAt[x] != o && (opp[x] & bits)) n++;
      if (pos.pieceAt[x] != kNone) break;
    }
  }
  return n;
}

}  // namespace

int kingSafety(int s) {
  // Nothing to fear from a bare opponent.
  const double ph = opponentPhase(s);
  if (ph == 0.0) return 0;
  const int o = s ^ 1;
  const int K = pos.kingSquare[s];
  const int kf = K & 7;
  const int f = kPawnStep[s];
  const int* opp = attackMap[o];
  const int* enemy = pos.pieceCount[o];

  // Surroundings and pawn shield.
  int sum = 0, free = 0, frontPawns = 0;
  bool adjacentPawn = false;
  for (int d = 0; d < 8; d++) {
    const int r = to0x88(K) + kDirection[d];
    if (offBoard(r)) continue;
    const int x = from0x88(r);
    if (attackCount(opp[x]) > 0)
      sum -= attackCount(opp[x]);
    else if (pos.pieceAt[x] == kNone)
      free++;
    if (holds(x, s, kPawn)) {
      adjacentPawn = true;
      if (s == kWhite ? (x >> 3) < (K >> 3) : (x >> 3) > (K >> 3)) {
        frontPawns++;
        sum += kShield[x & 7];
      }
    }
  }
  // Shield penalties.
  if (!adjacentPawn) sum -= 4;
  if (frontPawns == 0) sum -= 8;
  if (pos.pawnsOnFile[s][kf] == 0) sum -= 4;

  // Attack count.
  int n = 0;
  const int F = K + f;
  if (enemy[kPawn] > 0 && F >= 0 && F < 64) {
    // An enemy pawn guarding F stands on F + f's row, so F + f is on the board.
    if (opp[F] & kPawnBit) {
      if (kf > 0 && pos.pieceAt[F - 1] == kNone && holds(F + f - 1, o, kPawn)) n++;
      if (kf < 7 && pos.pieceAt[F + 1] == kNone && holds(F + f + 1, o, kPawn)) n++;
    }
    if (kf > 0 && (opp[F - 1] & kPawnBit) && pos.colourAt[F - 1] == s) n++;
    if (kf < 7 && (opp[F + 1] & kPawnBit) && pos.colourAt[F + 1] == s) n++;
  }
  if (enemy[kBishop] > 0 || enemy[kQueen] > 0) n += rayAttacks(K, 4, o, kBishopBit | kQueenBit);
  if (enemy[kRook] > 0 || enemy[kQueen] > 0) n += rayAttacks(K, 0, o, kRookBit | kQueenBit);
  if (enemy[kKnight] > 0) {
    for (int j = 0; j < 8; j++) {
      const int r = to0x88(K) + kKnightJump[j];
      if (offBoard(r)) continue;
      const int x = from0x88(r);
      if (pos.colourAt[x] != o && (opp[x] & kKnightBit)) {
        n++;
        if (free == 0) sum -= 8;
      }
    }
  }

  // Free squares.
  if (free == 0) {
    sum -= 4;
    if (n > 0) sum -= 8;
  } else if (free == 1) {
    sum -= 2;
  } else if (free == 2) {
    sum -= 1;
  }

  // Attack penalty on the curve.
  sum = int(sum - (n <= kMaxKingAttacks ? kingAttackCurve[n] : kingAttackValue(n)));

  // Castling prospects while the opponent has a queen.
  if (enemy[kQueen] > 0 && pos.castledCount[s] == 0) {
    // The king's and rooks' castling squares: e1, a1 and h1 but in Chess960.
    const bool kingHome = K == pos.castleKingSquare[s];
    const bool queenSide =
        kingHome && holds(pos.castling[castleIndex(s, false)].rookSquare, s, kRook) && (pos.castleRights & (1 << (2 * s)));
    const bool kingSide =
        kingHome && holds(pos.castling[castleIndex(s, true)].rookSquare, s, kRook) && (pos.castleRights & (2 << (2 * s)));
    if (!queenSide) sum -= 2;
    if (!kingSide) sum -= 4;
    if (!queenSide && !kingSide) sum -= 12;
  }

  // Castled.
  if (pos.castledCount[s] != 0) sum = int(sum + ph * (kf > 4 ? 8 : 6));

  // Fade with the opponent's phase.
  return int(sum * ph);
}
