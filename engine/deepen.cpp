#include "engine/deepen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "board/position.h"
#include "engine/clock.h"
#include "engine/search_threads.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "search/root_lines.h"
#include "search/search.h"
#include "search/search_clock.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "search/strong_search.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

namespace {

constexpr int kDoublingPlies = 60;     // the budget doubles while fewer game moves were played
constexpr int kNullMoveMaterial = 14000;  // material besides the king each side needs

int rootMoveCount() { return listStart[1] - listStart[0]; }

// Better when found at a greater depth, or at equal depth with a greater score.
bool rootBetter(const RootMove& a, const RootMove& b) {
  return a.depth > b.depth || (a.depth == b.depth && a.score > b.score);
}

// The search ran without a search tree (its block could not be had), or
// stopped before it searched any allowed move: play the best root record of
// the moves it may play instead, which is a legal move all the same.
Move bestRootRecord() {
  int best = -1;
  for (int i = 0; i < rootMoveCount(); ++i)
    if (!rootMoveSkipped(rootMoves[i].move) && (best < 0 || rootBetter(rootMoves[i], rootMoves[best]))) best = i;
  return rootMoves[best < 0 ? 0 : best].move;
}

int runIteration(int depth) {
  iterationDepth = depth;
  return principalSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), rootLine, 0, 1});
}

// The strong search looks first in a window around the last iteration's
// score and widens it on the side that failed, falling back to the whole
// range once it has grown past a few pawns.
constexpr int kAspirationDepth = 5;
constexpr int kAspirationWindow = 250;
constexpr int kAspirationLimit = 4000;

int aspiredIteration(int depth, int lastScore) {
  if (!uses(kAspiration) || !strongSearchOn() || depth < kAspirationDepth || std::abs(lastScore) >= kMateThreshold) return runIteration(depth);
  iterationDepth = depth;
  int delta = kAspirationWindow;
  int alpha = lastScore - delta, beta = lastScore + delta;
  for (;;) {
    const int score = principalSearch(SearchArgs{alpha, beta, depth, inCheck(), rootLine, 0, 1});
    if (searchClock.stopFlag || (score > alpha && score < beta)) return score;
    delta += delta / 2;
    if (delta > kAspirationLimit) return runIteration(depth);
    if (score <= alpha)
      alpha = std::max(score - delta, -kInfinity);
    else
      beta = std::min(score + delta, kInfinity);
  }
}

// "searchmoves": the root moves outside searchMoves are passed over, unless
// none of them is a root move here. Returns the number of lines the think
// will look for: what was asked, never more than the moves it may play.
int restrictRootMoves(const Move* searchMoves, int searchMoveCount) {
  skippedRootCount = 0;
  int allowed = rootMoveCount();
  if (searchMoveCount > 0) {
    for (int i = 0; i < rootMoveCount(); ++i) {
      const Move m = rootMoves[i].move;
      bool found = false;
      for (int j = 0; j < searchMoveCount && !found; ++j) found = searchMoves[j] == m;
      if (!found) skippedRootMoves[skippedRootCount++] = m;
    }
    if (skippedRootCount == rootMoveCount()) skippedRootCount = 0;
    allowed = rootMoveCount() - skippedRootCount;
  }
  int wanted = searchLimits.lineCount < 1 ? 1 : searchLimits.lineCount;
  if (wanted > kMaxRootLines) wanted = kMaxRootLines;
  return wanted < allowed ? wanted : allowed;
}

int mateMovesOf(int score) { return (kInfinity - score + 1) / 2; }

// A mate ends the deepening: one for the side to move in every line (in a
// mate search, one in as many moves as asked or fewer, in the first line),
// or one against it in every line from depth 7 on (never in a mate search).
bool mateEndsDeepening(int best, int worst, int depth) {
  if (searchLimits.mateMoves > 0) return best > kMateThreshold && mateMovesOf(best) <= searchLimits.mateMoves;
  return worst > kMateThreshold || (best < -kMateThreshold && depth > 6);
}

RootMove depthLines[kMaxRootLines];  // the lines of the iteration under way

void hearNothing(const RootMove&, int, uint64_t) {}

// One iteration of a several-line think: pass after pass, each with the full
// window over the root moves the passes before left, so that every line's
// score is exact. The iteration's lines replace rootLines only when every
// pass completed. Returns the first line's score, *worst the last one's.
int searchLines(int depth, int wanted, int* worst) {
  const int base = skippedRootCount;
  void (*const listener)(const RootMove&, int, uint64_t) = newBestMoveListener;
  newBestMoveListener = hearNothing;
  int count = 0, first = 0;
  for (; count < wanted; ++count) {
    int score = runIteration(depth);
    if (!pollTime() && (score <= -kInfinity || score >= kInfinity)) score = runIteration(depth);
    if (searchClock.stopFlag) break;
    // The pass's best line is the one it stored last, at the front of the tree.
    const RootMove* record = rootRecordOf(frontRootMove());
    if (!record || rootMoveSkipped(record->move)) break;
    depthLines[count] = *record;
    if (count == 0) first = score;
    skippedRootMoves[skippedRootCount++] = record->move;
  }
  skippedRootCount = base;
  newBestMoveListener = listener;
  *worst = count > 0 ? depthLines[count - 1].score : first;
  if (count < wanted) {
    // Stopped in the first iteration: its first line, complete, is the best
    // there is, not a later pass's (the front of the tree now).
    if (count > 0 && rootLineCount == 0) storeRootLine(depthLines[0].line, depth, depthLines[0].score);
    return first;
  }
  // A later pass may find a little more than an earlier one (the tables
  // changed in between): best first all the same, equals in pass order.
  std::stable_sort(depthLines, depthLines + count,
                   [](const RootMove& a, const RootMove& b) { return a.score > b.score; });
  first = depthLines[0].score;
  *worst = depthLines[count - 1].score;
  // The next iteration starts with these lines, best first.
  for (int i = count - 1; i >= 0; --i) storeRootLine(depthLines[i].line, depth, depthLines[i].score);
  std::memcpy(rootLines, depthLines, sizeof(RootMove) * size_t(count));
  rootLineCount = count;
  if (rootLinesListener) rootLinesListener();
  return first;
}

// The move to play: a several-line think's first line of its last complete
// iteration; otherwise the front of the tree, the root move of the last line
// stored, as always, which is then the one line the think leaves.
Move chosenMove(int wanted) {
  if (wanted > 1 && rootLineCount > 0) return rootLines[0].move;
  const Move front = frontRootMove();
  const Move move = front != 0 && !rootMoveSkipped(front) ? front : bestRootRecord();
  rootLines[0] = *rootRecordOf(move);
  rootLineCount = 1;
  return move;
}

}  // namespace

const RootMove* rootRecordOf(Move move) {
  for (int i = 0; i < rootMoveCount(); ++i)
    if (rootMoves[i].move == move) return &rootMoves[i];
  return nullptr;
}

void buildRootList() {
  std::memset(rootMoves, 0, sizeof rootMoves);
  // A position whose opponent king stands in check has no legal move to play:
  // the only "move" the generator could offer would capture a king.
  if (!generateLegalMoves()) listStart[1] = listStart[0];
  // Unreachable in real games, but a FEN can pack more moves than records.
  if (rootMoveCount() > kMaxRootMoves) listStart[1] = listStart[0] + kMaxRootMoves;
  // In the endgame tables only the moves that keep their best result stay.
  if (tablebasePieces > 0) keepTableRootMoves();
  for (int i = 0; i < rootMoveCount(); ++i) {
    const Move m = moveStack[listStart[0] + i];
    RootMove& record = rootMoves[i];
    record.move = m;
    makeMove(m);
    record.depth = 0;
    record.bound = kBoundExact;
    record.score = -evaluate(-kInfinity, kInfinity);
    unmakeMove(m);
  }
}

void selectBestRoot(int first, int last) {
  int best = first;
  for (int j = first + 1; j <= last; ++j)
    if (rootBetter(rootMoves[j], rootMoves[best])) best = j;
  if (best == first) return;
  std::swap(rootMoves[first], rootMoves[best]);
  std::swap(moveStack[listStart[0] + first], moveStack[listStart[0] + best]);
  std::swap(moveScore[listStart[0] + first], moveScore[listStart[0] + best]);
}

int prepareRoot() {
  helperNodes.store(0, std::memory_order_relaxed);
  prepareEvaluation();
  clearSearchTables();

  // The legal root moves, each scored by its static value.
  buildRootList();
  const int count = rootMoveCount();
  rootLineCount = 0;
  selDepth = 0;
  if (count == 0) return 0;
  rootSide = pos.sideToMove;

  // Order the root records and seed the tree with them; every
  // node goes in at the front, so the root list runs worst first.
  for (int i = 0; i < count; ++i) selectBestRoot(i, count - 1);
  if (allocateSearchTree()) seedSearchTree();
  return count;
}

void budgetSearchProper() {
  searchClock.savedBudget = searchClock.budget;
  if (pos.gamePly < kDoublingPlies) doubleBudget();
}

Move deepen(int lastDepth, const Move* searchMoves, int searchMoveCount, int threads, SearchKind kind) {
  // Without the memory of its tables the strong search would be the exact one.
  activeSearch = kind == kSearchStrong && prepareStrongTables() ? kSearchStrong : kSearchExact;
  // Null moves only while both sides keep enough material; a fresh root line.
  nullMoveAllowed = pos.material[kWhite] - kPieceValue[kKing] > kNullMoveMaterial &&
                    pos.material[kBlack] - kPieceValue[kKing] > kNullMoveMaterial;
  std::memset(rootLine, 0, sizeof rootLine);
  budgetSearchProper();
  const int wanted = restrictRootMoves(searchMoves, searchMoveCount);
  startHelpers(threads);

  // Iterative deepening.
  int lastScore = 0;
  for (int depth = kFirstIteration;;) {
    if (pollTime()) break;
    int score, worst;
    if (wanted > 1) {
      score = searchLines(depth, wanted, &worst);
    } else {
      score = aspiredIteration(depth, lastScore);
      // A score on the window's edge is no result: search the depth once more.
      if (!pollTime() && (score <= -kInfinity || score >= kInfinity)) score = runIteration(depth);
      worst = score;
    }
    if (mateEndsDeepening(score, worst, depth)) break;
    if (shouldStopDeepening(depth, score, lastScore)) break;
    ++depth;
    lastScore = score;
    if (depth > lastDepth) break;
  }
  stopHelpers();
  searchClock.budget = searchClock.savedBudget;

  // The move to play. Without a tree block the best root record stands in.
  const Move move = chosenMove(wanted);
  skippedRootCount = 0;
  return move;
}

Move expectedReply(Move played) {
  // The records of the last think end with the first empty one.
  for (int i = 0; i < kMaxRootMoves && rootMoves[i].move != 0; ++i) {
    if (rootMoves[i].move != played || rootMoves[i].line[0] != played) continue;
    if (rootMoves[i].line[1] == 0) return 0;
    char text[16];
    Move reply = 0;
    return parseMove(moveToText(rootMoves[i].line[1], text), &reply) ? reply : 0;
  }
  return 0;
}
