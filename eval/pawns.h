// Pawn structure and passed pawns: the terms of one pawn, added after the
// terms common to every piece.
#pragma once

#include <cstdint>

// ph is the side's opponentPhase, as the evaluation computed it for the side.
int evaluatePawn(int s, int q, double ph);

// evaluatePawn in two parts: the record of the terms that depend only on
// where the pawns stand (a value and the flags of the other terms), then the
// pawn's terms from its record and the rest of the board.
int pawnStructure(int s, int q);
int pawnTerms(int s, int q, double ph, int record);

// The records of the current pawns by square, from a table keyed by both
// sides' pawn sets (an entry answers only for exactly those pawns); valid
// until the next call.
const uint16_t* pawnStructures();
