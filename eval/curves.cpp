#include "eval/curves.h"

#include <cmath>

#include "board/position.h"

int mobilityCurve[8][kMaxMobility + 1];
double kingAttackCurve[kMaxKingAttacks + 1];

// The curves use 3.14, not pi: the rook's curve, for one, tops out at 14 squares.
double mobilityValue(int type, int n) {
  const double k = type == kBishop ? 3.14 / 30 : type == kRook ? 3.14 / 32 : 3.14 / 62;
  return 14 * std::sin(n * k);
}

double kingAttackValue(int n) {
  const int capped = n < 6 ? n : 6;
  return 64 * std::sin(capped * (3.14 / 12)) + n;
}

void initEvalCurves() {
  for (int type = kBishop; type <= kQueen; type++)
    for (int n = 0; n <= kMaxMobility; n++) mobilityCurve[type][n] = int(mobilityValue(type, n));
  for (int n = 0; n <= kMaxKingAttacks; n++) kingAttackCurve[n] = kingAttackValue(n);
}
