#include "eval/pieces.h"

#include "board/attacks.h"
#include "board/position.h"
#include "eval/attack_map.h"
#include "eval/curves.h"

namespace {

constexpr int kRelativeValue[8] = {0, 1, 3, 3, 5, 10, 20, 0};
constexpr int kRookFileBonus[8] = {0, 0, 1, 1, 1, 1, 0, 0};

// Long diagonals 2, their neighbours 1.
constexpr int kLongDiagonal[64] = {
    2, 1, 0, 0, 0, 0, 1, 2,  //
    1, 2, 1, 0, 0, 1, 2, 1,  //
    0, 1, 2, 1, 1, 2, 1, 0,  //
    0, 0, 1, 2, 2, 1, 0, 0,  //
    0, 0, 1, 2, 2, 1, 0, 0,  //
    0, 1, 2, 1, 1, 2, 1, 0,  //
    1, 2, 1, 0, 0, 1, 2, 1,  //
    2, 1, 0, 0, 0, 0, 1, 2};

inline bool inOpponentHalf(int s, int q) { return s == kWhite ? q < 32 : q >= 32; }
inline int absolute(int v) { return v < 0 ? -v : v; }
inline int fileGap(int a, int b) { return absolute((a & 7) - (b & 7)); }
inline int rowGap(int a, int b) { return absolute((a >> 3) - (b >> 3)); }
inline int distance(int a, int b) {
  const int df = fileGap(a, b), dr = rowGap(a, b);
  return df > dr ? df : dr;
}

// Shared by all four kinds: a pawn-defended piece in the opponent's half,
// best when no enemy pawn can ever chase it away.
int outpost(int s, int q) {
  if (!(attackMap[s][q] & kPawnBit) || !inOpponentHalf(s, q)) return 0;
  int v = 1;
  if (pos.pawnsOnFile[s][q & 7] == 0) v += 1;
  const int* opp = attackMap[s ^ 1];
  for (int x = q; x >= 0 && x < 64; x += kPawnStep[s])
    if (opp[x] & kPawnBit) return v;
  return v + 2;
}

}  // namespace

int sliderActivity(int q, int type, int s) {
  const int o = s ^ 1;
  int n = 0, v = 0;
  const SquareSet occupied = occupiedSquares();
  for (int d = kFirstDirection[type]; d <= kLastDirection[type]; d++) {
    const SquareSet blockers = kAttackSets.ray[d][q] & occupied;
    if (!blockers) {
      n += kAttackSets.rayLength[d][q];
      continue;
    }
    // The empty squares before the first piece X, then the piece Y behind it.
    const int X = nearestOnRay(d, blockers);
    n += kAttackSets.rayLength[d][q] - kAttackSets.rayLength[d][X] - 1;
    if (pos.pieceAt[X] == kPawn || pos.pieceAt[X] == kKing) continue;
    const SquareSet behind = kAttackSets.ray[d][X] & occupied;
    if (!behind) continue;
    const int Y = nearestOnRay(d, behind);
    if (pos.colourAt[Y] != o) continue;
    if (kRelativeValue[pos.pieceAt[Y]] <= kRelativeValue[type] && attackMap[o][Y] != 0) continue;
    const bool kingBehind = pos.pieceAt[Y] == kKing;
    if (pos.colourAt[X] == s) {
      if (kingBehind) v += 6;  // discovered attack
    } else {
      v += 8;  // pin or skewer
      if (kingBehind) {
        v += 4;
        if (attackMap[s][X] & kPawnBit) v += 4;
      }
    }
  }
  if (n == 0) return v - 3;
  return v + mobilityCurve[type][n];
}

int knightTerms(int s, int q, int sum) {
  sum += outpost(s, q) + 50;
  if (attackMap[s][q] & kKnightBit) sum += 1;
  if (distance(q, pos.kingSquare[s ^ 1]) <= 3) sum += 4;
  // Knights like a crowded board.
  sum += (pos.pieceCount[kWhite][kPawn] + pos.pieceCount[kBlack][kPawn]) / 2 - 8;
  return sum;
}

int bishopTerms(int s, int q, int sum) {
  sum += outpost(s, q);
  sum += sliderActivity(q, kBishop, s) + 50;
  if (pos.pieceCount[s][kBishop] > 1) sum += 8;
  return sum + kLongDiagonal[q];
}

int rookTerms(int s, int q, double ph, int sum) {
  const int file = q & 7, row = q >> 3;
  sum += outpost(s, q);
  sum += sliderActivity(q, kRook, s) + kRookFileBonus[file] + 40;
  if (pos.pawnsOnFile[s][file] == 0) {
    sum += 2;
    if (pos.pawnsOnFile[s ^ 1][file] == 0) sum += 2;
  }
  if (row == (s == kWhite ? 7 : 0)) sum += 1;
  if (row == (s == kWhite ? 1 : 6)) sum += 6;
  if (attackMap[s][q] & kRookBit) sum += 2;
  // Rooks gain as the opponent's pieces go; the whole running sum is rounded
  // toward zero here, earlier pieces included.
  sum = int(10 * (1 - ph) + sum);
  if (pos.pieceCount[s][kRook] > 1) sum += 4;
  return sum;
}

int queenTerms(int s, int q, int sum) {
  const int enemyKing = pos.kingSquare[s ^ 1];
  sum += outpost(s, q);
  sum += sliderActivity(q, kQueen, s) + 110;
  if (attackMap[s][q] & kRookBit) sum += 1;
  if (attackMap[s][q] & kBishopBit) sum += 1;
  if (distance(q, pos.kingSquare[s]) > 2) sum -= 2;
  if (distance(q, enemyKing) <= 3) sum += 5;
  sum += (14 - fileGap(q, enemyKing) - rowGap(q, enemyKing)) / 2;
  const int helpers =
      pos.pieceCount[s][kKnight] + pos.pieceCount[s][kBishop] + pos.pieceCount[s][kRook];
  if (helpers >= 1) sum += 2;
  if (helpers >= 2) sum += 4;
  return sum;
}
