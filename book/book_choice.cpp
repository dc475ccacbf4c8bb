#include "book/book_choice.h"

#include <cstring>

#include "board/make_move.h"
#include "board/random.h"

namespace {

constexpr int64_t kBaseRange = 16;  // the lightest candidate draws from 0..15

BookCandidate candidates[kMaxBookCandidates];

}  // namespace

uint64_t drawBookRandom() {
  uint64_t r = uint64_t(nextRandom());
  for (int i = 0; i < 4; ++i) r = (r << 15) ^ uint64_t(nextRandom());
  return r;
}

int bookCandidates(int first, int last, BookCandidate* list) {
  int count = 0;
  char text[kPositionTextSize];
  for (int i = first; i <= last; ++i) {
    Move m = moveStack[i];
    makeMove(m);
    bool haveText = false;
    for (BookNode* node = bookChain(pos.keyLow); node; node = node->next) {
      if (node->keyLow != pos.keyLow || node->keyHigh != pos.keyHigh ||
          node->side != pos.sideToMove)
        continue;
      if (!haveText) {
        positionText(text);
        haveText = true;
      }
      // Beyond capacity further pairs are dropped rather than overrun the list.
      if (strcmp(node->text, text) == 0 && count < kMaxBookCandidates)
        list[count++] = BookCandidate{node, m};
    }
    unmakeMove(m);
  }
  return count;
}

Move pickBookMove(int first, int last) {
  int count = bookCandidates(first, last, candidates);
  if (count == 0) return 0;
  int64_t leastWeight = INT64_MAX;
  for (int i = 0; i < count; ++i)
    if (candidates[i].node->isBook && candidates[i].node->weight < leastWeight)
      leastWeight = candidates[i].node->weight;
  int64_t best = -1;
  Move chosen = 0;
  for (int i = 0; i < count; ++i) {
    const BookNode* node = candidates[i].node;
    if (!node->isBook) continue;  // search results are no book moves
    uint64_t r = drawBookRandom();
    uint64_t range = uint64_t(int64_t(node->weight) - leastWeight + kBaseRange);
    int64_t v = int64_t(r % range);
    // A later candidate must draw strictly more: ties keep the root order.
    if (v > best) {
      best = v;
      chosen = candidates[i].move;
    }
  }
  return chosen;
}
