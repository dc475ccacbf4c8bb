// Move choice: book attempt, then iterative deepening.
#pragma once

#include "search/root_move.h"
#include "search/search_tables.h"

constexpr int kFirstIteration = 2;
constexpr int kLastIteration = 90;

// What a think may use besides the clock: the book and the depth of its
// last iteration; whether its result is learned (a game move is, an
// analysis is not); and whether it plays at the strength level when one is
// set (a game move does, an analysis does not; such a move is never learned).
struct ThinkRequest {
  bool useBook;
  int lastDepth;
  bool learn;
  bool atLevel;
};
constexpr ThinkRequest kGameThink = {true, kLastIteration, true, true};
constexpr ThinkRequest kAnalysisThink = {false, kLastIteration, false, false};

// "go searchmoves": the root moves a think may play, allowedRootCount of
// them; 0 (the default) for every move. The caller sets and clears it.
extern Move allowedRootMoves[kMaxRootMoves];
extern int allowedRootCount;

// 1 with result.move set, 0 when the side to move has no legal move.
// Leaves the position, gamePly and searchPly as it found them. The best
// lines it found are in rootLines (search/root_lines.h).
int think(RootMove& result, const ThinkRequest& request = kGameThink);
// The last think played from the book; its result is then bookMoveRecord's.
extern bool thinkUsedBook;
// A root move's record as the book plays it: depth 0, the move as its line,
// the score the learning has for the position after it, else its static value.
RootMove bookMoveRecord(Move move);

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
// The budget of the search proper: saved, then doubled early in the game
// (within what the clock affords). deepen does it; a ponder search that
// becomes a timed one does it when it does.
void budgetSearchProper();
Move deepen(int lastDepth);

// After the think's move played is on the board: the reply its principal
// line expects, when that is legal here; 0 otherwise.
Move expectedReply(Move played);
