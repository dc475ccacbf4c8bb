// The deepening driver: the root list, the iterations up to a depth under
// the clock's rules, several lines when asked, and the move to play. Book,
// strength level and learning are the think's business, not this unit's.
#pragma once

#include "search/root_move.h"
#include "search/search_tables.h"
#include "search/strong_search.h"

// Fills rootMoves and the ply-0 list of moveStack with the legal root moves,
// each record scored by the static value after the move.
void buildRootList();
// One step of the best-first selection sort of the root records (and of the
// root moves and their ordering scores beside them).
void selectBestRoot(int first, int last);
// The root record of move; nullptr when it is no root move.
const RootMove* rootRecordOf(Move move);

// Readies tables, root list and tree; the number of root moves, 0 for none.
int prepareRoot();
// The budget of the search proper: saved, then doubled early in the game
// (within what the clock affords). deepen does it; a ponder search that
// becomes a timed one does it when it does.
void budgetSearchProper();
// Runs the iterations up to lastDepth (root list ready) and returns the move
// to play. With searchMoveCount > 0 only those of searchMoves that are root
// moves are searched (all of them when none is). Reads the lines wanted and
// the mate asked for from searchLimits. With threads above 1 the helpers
// (engine/search_threads.h) search beside it until it ends. kind: the
// exact search or the strong one.
Move deepen(int lastDepth, const Move* searchMoves = nullptr, int searchMoveCount = 0, int threads = 1,
            SearchKind kind = kSearchExact);

// After the move played is on the board: the reply the last deepening's
// principal line expects, when that is legal here; 0 otherwise.
Move expectedReply(Move played);
