#include "search/search.h"

#include <cstring>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/per_thread.h"
#include "book/book_table.h"
#include "eval/eval_cache.h"
#include "search/legal_move.h"
#include "search/draws_and_lines.h"
#include "search/move_picker.h"
#include "search/quiesce.h"
#include "search/root_lines.h"
#include "search/search_clock.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "search/strong_search.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

PER_THREAD Move rootLine[kMaxLine];
PER_THREAD int iterationDepth;
PER_THREAD int nullMoveAllowed;

namespace {

// Rows of the seventh rank as seen by each side (row 0 is rank 8).
constexpr int kSeventhRow[2] = {1, 6};
// Below this ply the game record is too short for the book to know anything useful.
constexpr int kBookProbePly = 4;

inline int listSize(int ply) { return listStart[ply + 1] - listStart[ply]; }

inline int pushesToSeventh(Move m, int side) {
  return movePiece(m) == kPawn && (moveTarget(m) >> 3) == kSeventhRow[side];
}

// First in both searches: when in check, count the evasions. Returns 1 with
// *score set when the node is decided by that count.
inline int countEvasions(int ply, int* singleReply, int* score) {
  if (!generateLegalMoves()) {
    *score = kInfinity - ply;
    return 1;
  }
  const int count = listSize(ply);
  if (count == 0) {
    *score = ply - kMatedAtZero;
    return 1;
  }
  *singleReply = count == 1;
  return 0;
}

inline void adjustDepth(SearchArgs& args, int ply) {
  if (args.isInCheck && args.depth <= 0)
    args.depth = 1;
  else if (!args.isInCheck && ply > 3 * iterationDepth)
    args.depth = 0;
}

// Right after the move: a child with depth left (or given check, which
// raises its depth to 1) reads the table slot first; a leaf stands pat on
// its evaluation.
inline void prefetchChildEntry(int depth) {
  if (depth > 1)
    prefetchTableEntry();
  else
    prefetchEvalEntry(pos.keyLow);
}

inline SearchArgs childArgs(int alpha, int beta, int depth, int isInCheck, Move* line, int noNull,
                            int followTree) {
  return SearchArgs{alpha, beta, depth, isInCheck, line, noNull, followTree};
}

// A root move searched by the strong search: the first with the open
// window, the rest with a null window first and again only when they rise.
int strongRootChild(int alpha, int beta, int depth, int givesCheck, Move* childLine, int legal) {
  if (legal > 1) {
    const int score = -strongSearch(-alpha - 1, -alpha, depth, givesCheck, childLine, false, false);
    if (score <= alpha || score >= beta) return score;
    childLine[1] = 0;
  }
  return -strongSearch(-beta, -alpha, depth, givesCheck, childLine, true, false);
}

}  // namespace

int principalSearch(SearchArgs args) {
  const int ply = searchPly;
  const int side = pos.sideToMove;
  int singleReply = 0;
  int score;

  // Evasion count: mate, king capture and the single-reply flag.
  if (ply > 0 && args.isInCheck && countEvasions(ply, &singleReply, &score)) return score;

  // Depth adjustment, picker reset, leaves and the clock.
  adjustDepth(args, ply);
  MovePicker picker{};
  picker.followTree = args.followTree;
  if (args.depth <= 0) return quiesce(args.alpha, args.beta);
  if (pollTime()) return 0;
  if (ply > kDeepestSearchPly) return cachedEvaluate(args.alpha, args.beta);

  // Draws, the endgame tables, then a value the book table may know.
  if (ply > 0 && isRepetition()) return 0;
  if (ply > 0 && tablesMayKnow() && probeTablesAfterZeroing(ply, &score)) return score;
  if (ply > kBookProbePly && !inNullMove) {
    int value;
    if (probeBook(args.alpha, args.depth, args.beta, &value)) return value;
  }

  // The hash move only orders here; moves of this ply.
  const Move prev = lastMove();
  int tableValue;
  probeTable(args.alpha, args.beta, args.depth, &tableValue, &picker.hashMove);
  if (ply > 0 && !generateMoves()) return kInfinity - ply;
  if (listSize(ply) == 0) return 0;

  // Move loop.
  Move childLine[kMaxLine];
  Move verifyLine[kMaxLine];
  int alpha = args.alpha;
  const int beta = args.beta;
  int legal = 0;
  Move best = 0;
  Move m;
  while (nextMove(picker, &m)) {
    if (ply == 0 && skippedRootCount != 0 && rootMoveSkipped(m)) continue;
    if (!makeLegalMove(m)) continue;
    prefetchChildEntry(args.depth);
    ++legal;
    if (ply == 0 && currentMoveListener) currentMoveListener(m, legal);
    const int givesCheck = inCheck();
    const int extension = (givesCheck + pushesToSeventh(m, side) + singleReply) > 0 ? 1 : 0;
    const int newDepth = args.depth - 1 + extension;
    const int fromTree = picker.fromTree;

    childLine[ply + 1] = 0;
    if (ply == 0 && strongSearchOn()) {
      score = strongRootChild(alpha, beta, newDepth, givesCheck, childLine, legal);
    } else if ((fromTree && legal == 1 && alpha == -kInfinity && beta == kInfinity) || newDepth <= 0) {
      score = -principalSearch(childArgs(-beta, -alpha, newDepth, givesCheck, childLine, 0, fromTree));
    } else {
      score = -innerSearch(childArgs(-alpha - 1, -alpha, newDepth, givesCheck, childLine, 0, fromTree));
      if (score > alpha && score < beta)
        score = -innerSearch(childArgs(-beta, -alpha, newDepth, givesCheck, childLine, 0, fromTree));
      // A fail low of the inner search is verified by the principal search.
      if (!args.isInCheck && score <= alpha) {
        verifyLine[ply + 1] = 0;
        score = -principalSearch(childArgs(-beta, -alpha, newDepth, givesCheck, verifyLine, 0, fromTree));
        if (score > alpha && score < beta) std::memcpy(childLine, verifyLine, sizeof childLine);
      }
    }
    unmakeMove(m);
    if (searchClock.stopFlag) return 0;

    if (score > alpha) {
      best = m;
      alpha = score;
      if (moveTarget(m) != moveTarget(prev)) bestAtPly[ply] = m;
      updateHistory(m, score, beta);
      if (ply == 0) recordRootMove(childLine, m, alpha, beta, args.depth);
      if (alpha < beta) {
        copyLine(childLine, args.line, m);
        pvAtPly[ply] = m;
      }
      if (args.followTree && ply == 0) {
        if (alpha >= beta) break;
        storeRootLine(args.line, args.depth, alpha);
      }
      if (alpha >= beta) break;
    }
  }

  // The result stored. The root is never stored: its list is the driver's.
  if (legal > 0) {
    if (ply > 0) storeTable(alpha, best, args.depth, beta);
    return alpha;
  }
  return args.isInCheck ? ply - kMatedAtZero : 0;
}

int innerSearch(SearchArgs args) {
  const int ply = searchPly;
  const int side = pos.sideToMove;
  int singleReply = 0;
  int score;

  // Evasion count.
  if (ply > 0 && args.isInCheck && countEvasions(ply, &singleReply, &score)) return score;

  // Even a mate at this ply could not reach beta.
  if (ply > 0 && ply - kMatedAtZero >= args.beta) return args.beta;

  // Depth adjustment, picker reset, leaves and the clock.
  adjustDepth(args, ply);
  MovePicker picker{};
  picker.followTree = args.followTree;
  if (args.depth <= 0) return quiesce(args.alpha, args.beta);
  if (pollTime()) return 0;
  if (ply > kDeepestSearchPly) return cachedEvaluate(args.alpha, args.beta);

  // Draws with contempt for the root side, endgame tables, book, table cutoff.
  if (ply > 0 && isRepetition()) return pos.sideToMove == rootSide ? kRootSideDraw : 0;
  if (ply > 0 && tablesMayKnow() && probeTablesAfterZeroing(ply, &score)) return score;
  if (ply > kBookProbePly && !inNullMove) {
    int value;
    if (probeBook(args.alpha, args.depth, args.beta, &value)) return value;
  }
  int tableValue;
  if (probeTable(args.alpha, args.beta, args.depth, &tableValue, &picker.hashMove)) return tableValue;

  // Mate threat and the child line.
  const Move prev = lastMove();
  int mateThreat = 0;
  Move childLine[kMaxLine];
  const int beta = args.beta;

  // Null move.
  if (nullMoveAllowed && !args.noNull && !args.isInCheck && ply >= 1 &&
      !(args.depth >= 4 && cachedEvaluate(beta - 501, beta - 500) < beta - 500)) {
    listStart[ply + 1] = listStart[ply];
    makeMove(0);
    prefetchTableEntry();
    const int savedNull = inNullMove;
    inNullMove = 1;
    childLine[ply + 1] = 0;
    const int value = -innerSearch(childArgs(-beta, -beta + 1, args.depth - 3, 0, childLine, 1, 0));
    unmakeMove(0);
    inNullMove = savedNull;
    if (value >= beta) return beta;
    if (value < -kMateThreshold && beta > -kMateThreshold) mateThreat = 1;
  }

  // The moves of this ply; none is mate or stalemate.
  if (ply > 0 && !generateMoves()) return kInfinity - ply;
  if (listSize(ply) == 0) return 0;

  // Move loop with late-move reductions.
  int alpha = args.alpha;
  int legal = 0;
  Move best = 0;
  Move m;
  while (nextMove(picker, &m)) {
    if (!makeLegalMove(m)) continue;
    prefetchChildEntry(args.depth);
    ++legal;
    const int givesCheck = inCheck();
    const int seventh = pushesToSeventh(m, side);
    const int full = givesCheck || seventh;
    const int extension = (givesCheck + seventh + mateThreat + singleReply) > 0 ? 1 : 0;
    const int newDepth = args.depth - 1 + extension;
    const int fromTree = picker.fromTree;

    childLine[ply + 1] = 0;
    if (legal <= 3 || full || newDepth <= 0) {
      score = -innerSearch(childArgs(-beta, -alpha, newDepth, givesCheck, childLine, 0, fromTree));
    } else {
      score = -innerSearch(childArgs(-alpha - 1, -alpha, newDepth - 1, givesCheck, childLine, 0, fromTree));
      if (score > alpha)
        score = -innerSearch(childArgs(-beta, -alpha, newDepth, givesCheck, childLine, 0, fromTree));
    }
    unmakeMove(m);
    if (searchClock.stopFlag) return 0;

    if (score > alpha) {
      best = m;
      alpha = score;
      if (moveTarget(m) != moveTarget(prev)) bestAtPly[ply] = m;
      updateHistory(m, score, beta);
      if (alpha >= beta) break;
      copyLine(childLine, args.line, m);
      pvAtPly[ply] = m;
    }
  }

  // The result, stored when a move was legal; else mate or stalemate.
  if (legal > 0) {
    storeTable(alpha, best, args.depth, beta);
    return alpha;
  }
  return args.isInCheck ? ply - kMatedAtZero : 0;
}
