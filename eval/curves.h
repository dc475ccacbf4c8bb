// Sine-shaped curves of the evaluation, tabulated once: mobility of the
// sliders and the king's attack penalty. The tables hold exactly the values
// of the double-precision expressions, so lookups are bit-identical.
#pragma once

constexpr int kMaxMobility = 27;     // a queen in the middle of an empty board
constexpr int kMaxKingAttacks = 63;  // far above what a king's lines can hold

// trunc(14 * sin(n * k)) for bishop, rook and queen (indexed by type); n = 0 unused.
extern int mobilityCurve[8][kMaxMobility + 1];
// A(n) = 64 * sin(min(n, 6) * 3.14 / 12) + n.
extern double kingAttackCurve[kMaxKingAttacks + 1];

void initEvalCurves();
double mobilityValue(int type, int n);  // the untabulated expression
double kingAttackValue(int n);          // the untabulated expression
