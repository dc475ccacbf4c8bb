// Move choice: book attempt, then iterative deepening.
#pragma once

#include "search/root_move.h"

// 1 with result.move set, 0 when the side to move has no legal move.
// Leaves the position, gamePly and searchPly as it found them.
int think(RootMove& result);
