// Debug check: recomputes every incrementally kept field of the position.
#pragma once

// True when board, slots, piece lists, counts, material, pawn tables, king
// squares, side fields and hash key all agree with each other.
bool positionIsConsistent();
