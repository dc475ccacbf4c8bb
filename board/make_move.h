// Making and unmaking moves, and entering moves into the game record.
#pragma once

#include "board/position.h"

// Applies a generated (or parsed) move at index gamePly + searchPly; 0 is the
// null move. No legality test.
void makeMove(Move move);
// Takes back the last made move; must get the same word, last in first out.
void unmakeMove(Move move);
// At search ply 0: makes the move as game move gamePly + 1 and discards any
// redo chain. 0 (nothing changed) for the null move or a full game record.
int commitGameMove(Move move);

// "undo" and "redo" of the command loop. 0 when there is nothing to take back
// or to replay; both leave searchPly at 0.
int takeBackGameMove();
int replayGameMove();
