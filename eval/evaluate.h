// Static evaluation with a lazy window, from the side to move's view.
#pragma once

#include "board/per_thread.h"

int evaluate(int alpha, int beta);
// Whether evaluate(alpha, beta) ends before the attack maps: a dead draw by
// material or the lazy exit on material alone.
bool evaluationIsCheap(int alpha, int beta);

// Defence, attack and hanging terms of one piece of side s (type on q), read
// from the attack maps; hangingCount is the side's running count of hanging
// pieces, which the surcharges for the second and later ones depend on.
int commonTerms(int s, int type, int q, int& hangingCount);

// Per-side parts of the last evaluation that passed the lazy exit, for tests
// and diagnostics. kind[s][type] holds what the terms of that piece kind added
// to the running sum (for the king: its safety term).
struct EvalBreakdown {
  int pieceSquare[2];  // table values
  int common[2];       // defence, attack and hanging terms
  int kind[2][8];
  int hanging[2];      // hanging pieces found
  int positional[2];   // the side's score minus its material
};
extern PER_THREAD EvalBreakdown lastEvalBreakdown;
