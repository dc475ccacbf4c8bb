// Principal and inner alpha-beta search over the one position.
#pragma once

#include "board/position.h"
#include "search/root_move.h"

// Fixed score values, from the side to move's view.
constexpr int kInfinity = 1000000;      // bound of the root window
constexpr int kMateThreshold = 999900;  // beyond this a score is a forced mate
constexpr int kMatedAtZero = 999999;    // mated at ply p scores p - kMatedAtZero
constexpr int kRootSideDraw = -8;       // contempt for the root side in innerSearch
// Deepest ply at which a node still searches; deeper nodes only evaluate.
constexpr int kDeepestSearchPly = 96;

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

extern Move rootLine[kMaxLine];
extern int iterationDepth;
extern int rootSide;
extern int nullMoveAllowed;
extern int inNullMove;
// The deepest ply the current think has reached (quiescence included).
extern int selDepth;

int principalSearch(SearchArgs args);
int innerSearch(SearchArgs args);
// 1 when the current position is a draw by repetition or by 50 reversible plies.
int isRepetition();
// Writes move at the current ply of line, followed by the child's line.
void copyLine(const Move* childLine, Move* line, Move move);
