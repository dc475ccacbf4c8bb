#include "search/draws_and_lines.h"

#include "search/search_tables.h"

PER_THREAD int rootSide;

namespace {

constexpr int kFiftyPlies = 50;

}  // namespace

int isRepetition() {
  const int n = pos.gamePly + searchPly;
  if (n - 1 < 4) return 0;
  const uint64_t key = currentKey();
  int matches = 0;
  for (int j = 0; n - j >= 1; ++j) {
    if (j > 0 && pos.keyHistory[n - j] == key) {
      // Inside the search line one earlier occurrence is enough; before the
      // root it takes a third occurrence.
      if (++matches == 2 || n - j >= pos.gamePly) return 1;
    }
    const Move mv = pos.moveHistory[n - j];
    if (mv == 0 || (mv & (kPromotion | kCapture | kCastleMask)) || movePiece(mv) == kPawn) return 0;
    if (j + 1 >= kFiftyPlies) return 1;
  }
  return 0;
}

void copyLine(const Move* childLine, Move* line, Move move) {
  const int ply = searchPly;
  line[ply] = move;
  int i = ply + 1;
  for (; i < kDeepestSearchPly && childLine[i] != 0; ++i) line[i] = childLine[i];
  line[i] = 0;
}
