#include "eval/phase.h"

#include "board/position.h"

double opponentPhase(int side) {
  const int* count = pos.pieceCount[side ^ 1];
  int m = 3 * count[kKnight] + 4 * count[kBishop] + 6 * count[kRook] + 14 * count[kQueen];
  // A lone minor piece cannot force anything: it counts as bare.
  if (m <= 4) return 0.0;
  if (m > 40) m = 40;
  return m / 40.0;
}
