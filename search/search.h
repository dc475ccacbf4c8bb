// Principal and inner alpha-beta search over the one position.
#pragma once

#include "board/per_thread.h"
#include "board/position.h"
#include "board/score.h"
#include "search/root_move.h"
#include "search/draws_and_lines.h"
#include "search/search_tables.h"

// The history arrays hold every game move plus the search line, and the move
// stack one list per ply. A node at ply 97 may still test evasions (one more
// ply of makes), so two plies beyond the search limit must fit.
static_assert(kMaxGameMoves + kDeepestSearchPly + 2 <= kMaxHistory - 1,
              "game record too small for the deepest search line");
static_assert(kDeepestSearchPly + 3 <= kMaxPlies, "move stack too small for the deepest search line");
static_assert(kDeepestSearchPly + 2 < kMaxLine, "lines too short for the deepest search line");

struct SearchArgs {
  int alpha;
  int beta;
  int depth;
  int isInCheck;   // the side to move is in check
  Move* line;      // the caller's line buffer, indexed by absolute ply
  int noNull;      // the caller was a null move
  int followTree;  // this node lies on a stored principal line
};

extern PER_THREAD Move rootLine[kMaxLine];
extern PER_THREAD int iterationDepth;
extern PER_THREAD int nullMoveAllowed;

int principalSearch(SearchArgs args);
int innerSearch(SearchArgs args);
