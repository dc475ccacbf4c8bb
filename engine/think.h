// Move choice: book attempt, then iterative deepening.
#pragma once

#include "search/root_move.h"

constexpr int kFirstIteration = 2;
constexpr int kLastIteration = 90;

// 1 with result.move set, 0 when the side to move has no legal move.
// Leaves the position, gamePly and searchPly as it found them.
int think(RootMove& result);

// Fills rootMoves and the ply-0 list of moveStack with the legal root moves,
// each record scored by the static value after the move.
void buildRootList();
// One step of the best-first selection sort of the root records (and of the
// root moves and their ordering scores beside them).
void selectBestRoot(int first, int last);

// The parts of think, for tools that search without book or learning:
// prepareRoot readies tables, root list and tree (the number of root moves,
// 0 for none); deepen runs the iterations up to lastDepth under the clock's
// rules and returns the move to play.
int prepareRoot();
Move deepen(int lastDepth);
