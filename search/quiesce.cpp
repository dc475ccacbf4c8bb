#include "search/quiesce.h"

#include "board/make_move.h"
#include "board/movegen.h"
#include "board/score.h"
#include "eval/eval_cache.h"
#include "search/move_picker.h"
#include "search/search_clock.h"
#include "search/search_tables.h"

namespace {

// Long capture lists in a hopeless position are sorted once instead of
// selected move by move: most of them will be searched anyway.
constexpr int kSortAbove = 20;

}  // namespace

int quiesce(int alpha, int beta) {
  // Clock, stand pat, ply limit.
  if (pollTime()) return 0;
  if (searchPly > selDepth) selDepth = searchPly;
  const int stand = cachedEvaluate(alpha, beta);
  if (stand > alpha) alpha = stand;
  if (stand >= beta) return alpha;
  const int ply = searchPly;
  if (ply > kDeepestSearchPly) return alpha;

  // Captures and promotions; the root keeps its own list.
  if (ply > 0 && !generateCaptures()) return kInfinity - ply;
  const int first = listStart[ply];
  int end = listStart[ply + 1];
  if (first == end) return alpha;

  // Capture scores and the largest victim.
  const Move prev = lastMove();
  int maxVictim = -kInfinity;
  for (int i = first; i < end; ++i) {
    const Move m = moveStack[i];
    moveScore[i] = captureScore(m, prev);
    if ((m & kCapture) && !(m & kEnPassant)) {
      const int victim = kPieceValue[pos.pieceAt[moveTarget(m)]];
      if (victim > maxVictim) maxVictim = victim;
    }
  }

  // A long list far below alpha is sorted at once; otherwise the best is
  // picked as the loop goes.
  int sorted = 0;
  if (end - first > kSortAbove &&
      pos.material[pos.sideToMove] - pos.material[pos.opponent] + maxVictim < alpha) {
    sortRange(first, end - 1);
    sorted = 1;
  }

  // The captures in turn. No legality test: an illegal capture is refuted by the child.
  for (int i = first; i < end; ++i) {
    if (!sorted) selectBest(i, end - 1);
    const Move m = moveStack[i];
    makeMove(m);
    prefetchEvalEntry(pos.keyLow);
    const int score = -quiesce(-beta, -alpha);
    unmakeMove(m);
    if (score > alpha) alpha = score;
    if (alpha >= beta) break;
    end = listStart[ply + 1];
  }
  return alpha;
}
