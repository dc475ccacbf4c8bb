#include "search/strong_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/score.h"
#include "book/book_table.h"
#include "eval/eval_cache.h"
#include "search/legal_move.h"
#include "search/move_picker.h"
#include "search/draws_and_lines.h"
#include "search/search_clock.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

SearchKind searchKind = kSearchExact;
const char* const kSearchKindNames[] = {"exact", "strong", nullptr};
PER_THREAD StrongTables* strongTables = nullptr;
PER_THREAD SearchKind activeSearch = kSearchExact;

namespace {

constexpr int kBookProbePly = 4;     // as the exact search: the book knows nothing useful earlier
constexpr int kPawn1 = 1000;          // a pawn in score units

// Margins, by remaining depth.
constexpr int kReverseFutilityDepth = 7;
constexpr int kReverseFutilityMargin = 800;
constexpr int kFutilityDepth = 8;
constexpr int kFutilityBase = 1000;
constexpr int kFutilityMargin = 1000;
constexpr int kLateMovePruningDepth = 8;
constexpr int kExchangePruningDepth = 6;
constexpr int kExchangeMarginPerPly = 2000;
constexpr int kQuietsRemembered = 64;

// Aspiration and ordering bands.
constexpr int kHashBand = 1 << 30;
constexpr int kGoodCaptureBand = 1 << 28;
constexpr int kKillerBand = 1 << 27;
constexpr int kCounterBand = (1 << 27) - 2;

struct ReductionTable {
  int8_t plies[64][64];
  ReductionTable() {
    for (int d = 0; d < 64; ++d)
      for (int m = 0; m < 64; ++m)
        plies[d][m] = d == 0 || m == 0 ? 0 : int8_t(0.75 + std::log(double(d)) * std::log(double(m)) / 2.25);
  }
};
const ReductionTable kReductions;

inline int pieceSquare(Move m) { return movePiece(m) * 64 + moveTarget(m); }
inline bool isQuiet(Move m) { return !(m & (kCapture | kPromotion)); }

// Mate scores count from the node in the table, from the root in the search.
inline int toTable(int score, int ply) {
  return score > kMateThreshold ? score + ply : score < -kMateThreshold ? score - ply : score;
}
inline int fromTable(int score, int ply) {
  return score > kMateThreshold ? score - ply : score < -kMateThreshold ? score + ply : score;
}

// The game's move plies back from the current position (1 = the last one);
// 0 before the record's start or for a null move.
inline Move movePliesBack(int plies) {
  const int index = pos.gamePly + searchPly - plies + 1;
  return index <= 0 ? 0 : pos.moveHistory[index];
}

inline void addStat(int16_t& entry, int bonus) {
  const int value = entry + bonus - entry * std::abs(bonus) / kStatLimit;
  entry = int16_t(std::clamp(value, -kStatLimit, kStatLimit));
}

int quietHistory(const StrongTables& t, int side, Move m, Move back1, Move back2) {
  int h = t.quiet[side][moveOrigin(m)][moveTarget(m)];
  if (!uses(kQuietOrdering)) return h;
  if (back1) h += t.followUp[side][0][pieceSquare(back1)][pieceSquare(m)];
  if (back2) h += t.followUp[side][1][pieceSquare(back2)][pieceSquare(m)];
  return h;
}

void creditQuiet(StrongTables& t, int side, Move m, Move back1, Move back2, int bonus) {
  addStat(t.quiet[side][moveOrigin(m)][moveTarget(m)], bonus);
  if (back1) addStat(t.followUp[side][0][pieceSquare(back1)][pieceSquare(m)], bonus);
  if (back2) addStat(t.followUp[side][1][pieceSquare(back2)][pieceSquare(m)], bonus);
}

// A quiet move caused a cutoff: it becomes a killer and the counter to the
// opponent's move; it gains and the quiets tried before it lose.
void rewardCutoff(StrongTables& t, int ply, int depth, Move best, const Move* tried, int triedCount) {
  const int side = pos.sideToMove;
  const Move back1 = movePliesBack(1), back2 = movePliesBack(2);
  if (t.killers[ply][0] != best) {
    t.killers[ply][1] = t.killers[ply][0];
    t.killers[ply][0] = best;
  }
  if (back1) t.counter[side][pieceSquare(back1)] = best;
  const int bonus = std::min(200 * depth, 2400);
  creditQuiet(t, side, best, back1, back2, bonus);
  for (int i = 0; i < triedCount; ++i) creditQuiet(t, side, tried[i], back1, back2, -bonus);
}

// Ordering scores of the node's whole list: the table's move, captures that
// do not lose material, killers, the counter move, quiet moves by their
// history, then losing captures.
void scoreMoves(const StrongTables& t, int ply, Move hashMove) {
  const int side = pos.sideToMove;
  const Move back1 = movePliesBack(1), back2 = movePliesBack(2);
  const Move counter = back1 && uses(kQuietOrdering) ? t.counter[side][pieceSquare(back1)] : 0;
  const Move prev = lastMove();
  for (int i = listStart[ply]; i < listStart[ply + 1]; ++i) {
    const Move m = moveStack[i];
    int s;
    if (m == hashMove)
      s = kHashBand;
    else if (!isQuiet(m))
      s = captureScore(m, prev) + (!uses(kExchange) || exchangeAtLeast(m, 0) ? kGoodCaptureBand : -kGoodCaptureBand);
    else if (uses(kQuietOrdering) && m == t.killers[ply][0])
      s = kKillerBand;
    else if (uses(kQuietOrdering) && m == t.killers[ply][1])
      s = kKillerBand - 1;
    else if (m == counter)
      s = kCounterBand;
    else
      s = quietHistory(t, side, m, back1, back2);
    moveScore[i] = s;
  }
}

int staticValue() { return cachedEvaluate(-kInfinity, kInfinity); }

}  // namespace

bool prepareStrongTables() {
  if (!strongTables) strongTables = static_cast<StrongTables*>(malloc(sizeof(StrongTables)));
  if (strongTables) memset(strongTables, 0, sizeof(StrongTables));
  return strongTables != nullptr;
}

void releaseStrongTables() {
  free(strongTables);
  strongTables = nullptr;
}

bool nullMoveFits(int side) {
  return pos.material[side] - kPieceValue[kKing] - pos.pieceCount[side][kPawn] * kPieceValue[kPawn] > 0;
}

int lateMoveReduction(int depth, int moveNumber, bool quiet, bool pvNode, bool inCheck, bool givesCheck,
                      int history) {
  if (!uses(kLateReductions) || !quiet || inCheck || givesCheck || depth < 3 || moveNumber < 2) return 0;
  int r = kReductions.plies[std::min(depth, 63)][std::min(moveNumber, 63)];
  if (pvNode) --r;
  r -= history / (kStatLimit / 2);
  return std::clamp(r, 0, depth - 2);
}

int strongQuiesce(int alpha, int beta) {
  if (pollTime()) return 0;
  const int ply = searchPly;
  if (ply > selDepth) selDepth = ply;
  const int stand = cachedEvaluate(alpha, beta);
  if (stand >= beta || ply > kDeepestSearchPly) return stand;
  if (stand > alpha) alpha = stand;

  if (!generateCaptures()) return kInfinity - ply;
  const Move prev = lastMove();
  const int first = listStart[ply];
  for (int i = first; i < listStart[ply + 1]; ++i) moveScore[i] = captureScore(moveStack[i], prev);

  int best = stand;
  for (int i = first; i < listStart[ply + 1]; ++i) {
    selectBest(i, listStart[ply + 1] - 1);
    const Move m = moveStack[i];
    if (uses(kExchange) && !(m & kPromotion) && !exchangeAtLeast(m, 0)) continue;
    if (!makeLegalMove(m)) continue;
    prefetchEvalEntry(pos.keyLow);
    const int score = -strongQuiesce(-beta, -alpha);
    unmakeMove(m);
    if (score > best) {
      best = score;
      if (score > alpha) alpha = score;
      if (alpha >= beta) break;
    }
  }
  return best;
}

int strongSearch(int alpha, int beta, int depth, int isInCheck, Move* line, bool pvNode, bool afterNull) {
  const int ply = searchPly;
  const int side = pos.sideToMove;
  StrongTables& t = *strongTables;
  if (isInCheck && depth <= 0) depth = 1;
  if (depth <= 0) return strongQuiesce(alpha, beta);
  if (pollTime()) return 0;
  if (ply > kDeepestSearchPly) return cachedEvaluate(alpha, beta);
  if (ply > selDepth) selDepth = ply;

  // Draws, the endgame tables, a value the book table may know; no mate
  // here can beat one already found nearer the root.
  if (isRepetition()) return side == rootSide ? kRootSideDraw : 0;
  int score;
  if (tablesMayKnow() && probeTablesAfterZeroing(ply, &score)) return score;
  if (ply > kBookProbePly && !inNullMove) {
    int value;
    if (probeBook(alpha, depth, beta, &value)) return value;
  }
  alpha = std::max(alpha, ply - kMatedAtZero);
  beta = std::min(beta, kMatedAtZero - ply - 1);
  if (alpha >= beta) return alpha;

  // The table: a cutoff away from the principal line, else its move.
  TableEntry entry;
  Move hashMove = 0;
  int tableValue = 0;
  const bool tableHit = findTableEntry(&entry);
  if (tableHit) {
    hashMove = entry.move;
    tableValue = fromTable(entry.value, ply);
    if (uses(kTableCutoffs) && !pvNode && entry.depth >= depth &&
        (entry.bound == kBoundExact || (entry.bound == kBoundLower && tableValue >= beta) ||
         (entry.bound == kBoundUpper && tableValue <= alpha)))
      return tableValue;
  }

  // The static value, sharpened by the table's bound where that fits.
  int staticEval = -kInfinity;
  if (!isInCheck) {
    staticEval = staticValue();
    if (tableHit && std::abs(tableValue) < kMateThreshold &&
        ((entry.bound == kBoundLower && tableValue > staticEval) || (entry.bound == kBoundUpper && tableValue < staticEval)))
      staticEval = tableValue;
  }
  t.staticEval[ply] = staticEval;
  const bool improving = !isInCheck && ply >= 2 && staticEval > t.staticEval[ply - 2];

  Move childLine[kMaxLine];
  if (!pvNode && !isInCheck && std::abs(beta) < kMateThreshold) {
    // Reverse futility: far enough above beta that a shallow search would not fall.
    if (uses(kReverseFutility) && depth <= kReverseFutilityDepth && staticEval - kReverseFutilityMargin * (depth - improving) >= beta)
      return staticEval;

    // Null move, reduced more at depth and further above beta.
    if (uses(kNullMove) && !afterNull && staticEval >= beta && nullMoveFits(side)) {
      const int reduction = 3 + depth / 4 + std::min((staticEval - beta) / (2 * kPawn1), 3);
      listStart[ply + 1] = listStart[ply];
      makeMove(0);
      prefetchTableEntry();
      const int savedNull = inNullMove;
      inNullMove = 1;
      childLine[ply + 1] = 0;
      const int value = -strongSearch(-beta, -beta + 1, depth - reduction, 0, childLine, false, true);
      unmakeMove(0);
      inNullMove = savedNull;
      if (searchClock.stopFlag) return 0;
      if (value >= beta) return value >= kMateThreshold ? beta : value;
    }
  }

  // Without a move from the table, a node deep enough is searched a ply less.
  if (uses(kIterativeReduction) && depth >= 4 && hashMove == 0) --depth;

  if (!generateMoves()) return kInfinity - ply;
  scoreMoves(t, ply, hashMove);
  const int first = listStart[ply], end = listStart[ply + 1];
  const Move back1 = movePliesBack(1), back2 = movePliesBack(2);

  int best = -kInfinity;
  Move bestMove = 0;
  int legal = 0, quietsTried = 0;
  Move tried[kQuietsRemembered];
  int triedCount = 0;
  const int lateMoveLimit = (3 + depth * depth) / (improving ? 1 : 2);
  for (int i = first; i < end; ++i) {
    selectBest(i, end - 1);
    const Move m = moveStack[i];
    const bool quiet = isQuiet(m);
    const bool mayPrune = !isInCheck && best > -kMateThreshold && legal > 0;
    // Captures that lose more than the depth allows.
    if (uses(kExchange) && mayPrune && !quiet && depth <= kExchangePruningDepth && !(m & kPromotion) &&
        !exchangeAtLeast(m, -kExchangeMarginPerPly * depth))
      continue;
    const int history = quiet ? quietHistory(t, side, m, back1, back2) : 0;
    if (!makeLegalMove(m)) continue;
    const int givesCheck = inCheck();
    // Late quiet moves, and quiet moves that cannot lift a hopeless node;
    // not those that give check.
    if (mayPrune && quiet && !givesCheck &&
        ((uses(kLateMovePruning) && depth <= kLateMovePruningDepth && quietsTried >= lateMoveLimit) ||
         (uses(kFutility) && depth <= kFutilityDepth && staticEval + kFutilityBase + kFutilityMargin * depth <= alpha))) {
      unmakeMove(m);
      continue;
    }
    prefetchTableEntry();
    ++legal;
    if (quiet) ++quietsTried;
    const int newDepth = depth - 1 + givesCheck;

    childLine[ply + 1] = 0;
    score = -kInfinity;
    const int reduction = lateMoveReduction(depth, legal, quiet, pvNode, isInCheck, givesCheck, history);
    if (legal > 1 || !pvNode) {
      score = -strongSearch(-alpha - 1, -alpha, newDepth - reduction, givesCheck, childLine, false, false);
      if (score > alpha && reduction > 0)
        score = -strongSearch(-alpha - 1, -alpha, newDepth, givesCheck, childLine, false, false);
    }
    if (pvNode && (legal == 1 || (score > alpha && score < beta))) {
      childLine[ply + 1] = 0;
      score = -strongSearch(-beta, -alpha, newDepth, givesCheck, childLine, true, false);
    }
    unmakeMove(m);
    if (searchClock.stopFlag) return 0;

    if (score > best) {
      best = score;
      if (score > alpha) {
        bestMove = m;
        alpha = score;
        if (pvNode) copyLine(childLine, line, m);
        if (alpha >= beta) {
          if (quiet) rewardCutoff(t, ply, depth, m, tried, triedCount);
          break;
        }
      }
    }
    if (quiet && triedCount < kQuietsRemembered) tried[triedCount++] = m;
  }

  if (legal == 0) return isInCheck ? ply - kMatedAtZero : 0;
  storeTable(toTable(best, ply), bestMove, depth, toTable(beta, ply));
  return best;
}
