// Piece-square tables prepared before every search.
#pragma once

#include <cstdint>

// [side][type][square]; types 0 and 7 are never read.
extern int pieceSquare[2][8][64];
// Counts the preparations: what was computed with older tables is stale.
extern uint32_t pieceSquareGeneration;

void prepareEvaluation();
void buildReachTable(int side, int type, int weight, int* table);

// Largest unscaled reach sum seen by the last buildReachTable call.
extern int lastReachMaximum;
