// Syzygy endgame tables, probed through the Fathom library: the one unit
// that knows the library. With no tables loaded nothing here is called
// from the search (tablebasePieces stays 0).
#pragma once

#include <cstddef>

#include "board/attacks.h"
#include "board/position.h"

// Table results in the search's units: far above any evaluation, far
// below the mate scores (a found mate still counts as mate).
constexpr int kTableWin = 800000;

// The most pieces (kings included) the loaded tables cover; 0 when none.
extern int tablebasePieces;
// The root lies in the tables: the root moves were cut to those that keep
// the best result, and rootTableScore is that result from the root side's view.
extern bool rootInTables;
extern int rootTableScore;

// False in a build without the library (the Windows cross build).
bool tablebasesBuiltIn();

// Loads the tables of the directories in path (separated by ':', ';' on
// Windows); an empty path or "<empty>" unloads them. message gets one line
// without newline saying how many pieces the tables cover.
void loadTablebases(const char* path, char* message, size_t messageSize);

// The halfmove clock of a position set up from a FEN (its fifth field), so
// the root knows how far the fifty-move rule has run.
void noteSetupFen(const char* fen);

// The search's probe: after a capture, promotion or pawn move (a fresh
// fifty-move count) in a position the tables cover, 1 with *value set to
// its win/draw/loss result at this ply.
int probeTablesAfterZeroing(int ply, int* value);
inline bool tablesMayKnow() {
  return tablebasePieces > 0 && __builtin_popcountll(occupiedSquares()) <= tablebasePieces;
}

// At the root, after the legal moves are in moveStack[listStart[0]..]:
// when the tables cover the position, keeps only the moves the
// distance-to-zeroing tables rank best (the result kept within the
// fifty-move rule; underpromotions added where only they keep it).
void keepTableRootMoves();

// The score the thinking output shows for a root score: the tables' result
// unless the search found a mate.
int shownRootScore(int score);
