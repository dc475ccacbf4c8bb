// The strong search: the exact search's root and driver with, below the
// root, the pruning and reductions today's strong engines share. The exact
// search stays what the levels, the bench signature and the transcripts
// were measured with; this one is chosen by the "Search" option.
#pragma once

#include <cstdint>

#include "board/per_thread.h"
#include "board/position.h"
#include "search/search_tables.h"

// The techniques, each measured on its own (tools/sprt); a build may leave
// some out through MORVEK_STRONG_WITHOUT.
enum StrongTechnique : unsigned {
  kTableCutoffs = 1,       // transposition-table cutoffs away from the principal line
  kNullMove = 2,           // adaptive null-move reduction
  kLateReductions = 4,     // logarithmic late-move reductions, less for good history
  kReverseFutility = 8,    // a node far above beta returns its static value
  kFutility = 16,          // quiet moves that cannot reach alpha are skipped
  kLateMovePruning = 32,   // quiet moves beyond a count are skipped
  kExchange = 64,          // static exchange orders captures and prunes losing ones
  kAspiration = 128,       // root windows around the last score
  kQuietOrdering = 256,    // killers, counter moves and continuation history
  kIterativeReduction = 512,  // a node without a table move searched a ply less
};
#ifndef MORVEK_STRONG_WITHOUT
#define MORVEK_STRONG_WITHOUT 0
#endif
constexpr bool uses(StrongTechnique technique) { return (MORVEK_STRONG_WITHOUT & technique) == 0; }

enum SearchKind : int { kSearchExact = 0, kSearchStrong = 1 };
// The search the option chose; set between searches.
extern SearchKind searchKind;
// The search the calling thread runs now: the deepening sets it (a strength
// level always searches exactly) and the helpers take it from their root.
extern PER_THREAD SearchKind activeSearch;
extern const char* const kSearchKindNames[];  // by SearchKind, then nullptr

// Quiet-move statistics of one thread, kept for one move choice. Histories
// are bounded to +-kStatLimit by their update.
constexpr int kStatLimit = 16384;
constexpr int kPieceSquares = 8 * 64;  // piece field by target
struct StrongTables {
  int16_t quiet[2][64][64];                                 // side, origin, target
  int16_t followUp[2][2][kPieceSquares][kPieceSquares];     // side, plies back - 1, earlier move, this move
  Move killers[kMaxSearchPly + 1][2];
  Move counter[2][kPieceSquares];                           // side, the opponent's last move
  int staticEval[kMaxSearchPly + 1];
};
extern PER_THREAD StrongTables* strongTables;

// The calling thread's tables, taken the first time and cleared; false when
// the memory cannot be had (that thread then searches exactly).
bool prepareStrongTables();
void releaseStrongTables();
// Whether the calling thread's searches below the root are the strong ones.
inline bool strongSearchOn() { return activeSearch == kSearchStrong && strongTables != nullptr; }

// A node below the root. pvNode: an open window whose line is wanted in line
// (indexed by ply); otherwise beta == alpha + 1.
int strongSearch(int alpha, int beta, int depth, int isInCheck, Move* line, bool pvNode, bool afterNull);
// Captures and promotions, losing captures left out.
int strongQuiesce(int alpha, int beta);

// The policies, for the tests.
// A null move is tried only by a side with a piece besides king and pawns.
bool nullMoveFits(int side);
// Plies a move is searched less: only quiet moves, never in check or when
// giving check; history in the side's own units (up to kStatLimit).
int lateMoveReduction(int depth, int moveNumber, bool quiet, bool pvNode, bool inCheck, bool givesCheck,
                      int history);
