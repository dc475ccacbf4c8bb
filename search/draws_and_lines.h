// What the exact and the strong search share at every node: the side the
// search is for, draws by repetition and by fifty moves, and the principal
// line passed up from child to parent.
#pragma once

#include "board/per_thread.h"
#include "board/position.h"

// The side to move at the root, for the contempt of a draw.
extern PER_THREAD int rootSide;

// 1 when the current position is a draw by repetition or by 50 reversible plies.
int isRepetition();
// Writes move at the current ply of line, followed by the child's line.
void copyLine(const Move* childLine, Move* line, Move move);
