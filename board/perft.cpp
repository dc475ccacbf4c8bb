#include "board/perft.h"

#include "board/make_move.h"
#include "board/movegen.h"

namespace {

inline bool isQueenPromotion(Move m) { return (m & kPromotion) && movePiece(m) == kQueen; }

inline Move withPiece(Move m, int type) { return (m & ~kPieceMask) | (Move(type) << 12); }

uint64_t leavesBelow(int depth, bool allPromotions, void (*onRootMove)(Move, uint64_t)) {
  if (!generateLegalMoves()) return 0;
  const int first = listStart[searchPly];
  const int last = listStart[searchPly + 1];
  if (depth == 1 && !onRootMove) {  // bulk counting: the list is the answer
    uint64_t count = uint64_t(last - first);
    if (allPromotions)
      for (int i = first; i < last; ++i)
        if (isQueenPromotion(moveStack[i])) count += 2;
    return count;
  }
  uint64_t total = 0;
  for (int i = first; i < last; ++i) {
    const Move move = moveStack[i];
    const int variants = allPromotions && isQueenPromotion(move) ? 3 : 1;
    const int pieces[3] = {kQueen, kRook, kBishop};
    for (int v = 0; v < variants; ++v) {
      const Move m = v == 0 ? move : withPiece(move, pieces[v]);
      makeMove(m);
      const uint64_t count = depth > 1 ? leavesBelow(depth - 1, allPromotions, nullptr) : 1;
      unmakeMove(m);
      if (onRootMove) onRootMove(m, count);
      total += count;
    }
  }
  return total;
}

}  // namespace

uint64_t countLeaves(int depth, bool allPromotions, void (*onRootMove)(Move, uint64_t)) {
  return leavesBelow(depth, allPromotions, onRootMove);
}
