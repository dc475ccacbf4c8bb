// Pawn structure and passed pawns: the terms of one pawn, added after the
// terms common to every piece.
#pragma once

// ph is the side's opponentPhase, as the evaluation computed it for the side.
int evaluatePawn(int s, int q, double ph);
