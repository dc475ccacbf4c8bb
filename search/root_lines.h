// Several best lines at the root, and root moves a search passes over: the
// limits behind MultiPV and "go searchmoves". With one line and no moves
// left out, the search runs exactly as it always did.
#pragma once

#include "board/per_thread.h"
#include "board/position.h"
#include "search/root_move.h"
#include "search/search_tables.h"

constexpr int kMaxRootLines = 256;

// Root moves the current iteration passes over: those outside the moves the
// search was restricted to and, in the later passes of a several-line
// iteration, the moves of the lines already found.
extern PER_THREAD Move skippedRootMoves[kMaxRootMoves];
extern PER_THREAD int skippedRootCount;

inline bool rootMoveSkipped(Move move) {
  for (int i = 0; i < skippedRootCount; ++i)
    if (skippedRootMoves[i] == move) return true;
  return false;
}

// The best lines of the last completed iteration of the last think, best
// first (move, exact score from the root side's view, depth, line). One line
// after a single-line think; none after a book move or before any iteration.
extern RootMove rootLines[kMaxRootLines];
extern int rootLineCount;

// Hears of each completed iteration of a several-line think (rootLines
// holds it); the single-line think reports through newBestMoveListener.
extern void (*rootLinesListener)();

// Called at the root before each move it searches (1 for the first), when
// set: the interface may say which move is being searched.
extern PER_THREAD void (*currentMoveListener)(Move move, int number);
