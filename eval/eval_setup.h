// Piece-square tables prepared before every search, and the game-phase fraction
// that the evaluation, the king tables and king safety share.
#pragma once

// [side][type][square]; types 0 and 7 are never read.
extern int pieceSquare[2][8][64];

void prepareEvaluation();
void buildReachTable(int side, int type, int weight, int* table);
double opponentPhase(int side);

// Largest unscaled reach sum seen by the last buildReachTable call.
extern int lastReachMaximum;
