// The searches generate pseudo-legal moves and test each as it is made.
#pragma once

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/position.h"

// Makes a pseudo-legal move when it is legal: castling only when its path is
// free of attacks, and no move that leaves the mover's own king attacked.
inline bool makeLegalMove(Move m) {
  if ((m & kCastleMask) && !castleIsLegal(m)) return false;
  makeMove(m);
  if (sideAttacks(pos.sideToMove, pos.kingSquare[pos.opponent])) {
    unmakeMove(m);
    return false;
  }
  return true;
}
