// Static exchange: what a capture wins once every piece that can join the
// fight on its target square has, cheapest first, with the choice to stop.
#pragma once

#include "board/attacks.h"
#include "board/position.h"

// Attackers of square by either side on the given occupancy (bishops, rooks
// and queens behind a removed piece show through).
SquareSet attackersOf(Square square, SquareSet occupied);

// Whether move, on the current board, wins at least threshold (pawn 1000)
// in the exchange on its target. Castling counts as 0; a promotion or an en
// passant capture as its plain gain, without the replies.
bool exchangeAtLeast(Move move, int threshold);
