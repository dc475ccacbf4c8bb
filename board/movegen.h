// Move generation into the list of the current ply on the shared move stack:
// moveStack[listStart[searchPly]] .. moveStack[listStart[searchPly + 1] - 1].
#pragma once

#include "board/position.h"

// All pseudo-legal moves. 0, with an empty list, when the side to move can
// take the enemy king (the previous move was illegal).
int generateMoves();
// Captures and promotion pushes only, no en passant or castling; 0 as above.
int generateCaptures();
// Only legal moves, in generation order; 0 when generateMoves returns 0.
int generateLegalMoves();
