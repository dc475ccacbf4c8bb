// A table of full evaluations for the search: positions recur through
// transpositions and re-searches, and a full evaluation costs far more than
// the comparison of a whole board. An entry answers only for the very board
// it was computed on (every piece, castling state and the piece-square
// tables in force), so its answers are those of evaluate() itself.
#pragma once

#include <cstdint>

#include "board/per_thread.h"

constexpr int kEvalCacheBits = 16;
constexpr uint32_t kEvalCacheEntries = 1u << kEvalCacheBits;

// The board as five square sets: both colours and the three bits of the type number.
struct BoardImage {
  uint64_t colour[2];
  uint64_t typeBit[3];
};

struct alignas(64) EvalEntry {
  BoardImage board;
  uint32_t generation;  // 0 never matches: the table starts out empty
  int32_t castleRights;
  int32_t castled[2];
  int32_t whiteScore;  // white's score minus black's
};
static_assert(sizeof(EvalEntry) == 64, "one cache line per entry");

// The cache of this thread: the process's first thread has one from the
// start, a search helper takes its own (useEvalCacheOfThisThread).
extern PER_THREAD EvalEntry* evalCache;
// A zeroed cache for the calling helper; false when the memory cannot be had.
bool useEvalCacheOfThisThread();
// Gives a helper's cache back as the helper ends.
void releaseEvalCacheOfThisThread();

// Starts loading the entry of the current position ahead of cachedEvaluate.
inline void prefetchEvalEntry(uint32_t keyLow) { __builtin_prefetch(&evalCache[keyLow & (kEvalCacheEntries - 1)]); }

// evaluate(alpha, beta), taken from the table when the position's full
// evaluation is stored there. Unlike evaluate it leaves lastEvalBreakdown
// and the attack maps alone on a hit.
int cachedEvaluate(int alpha, int beta);

// Every stored entry stops answering; done by itself whenever the
// piece-square tables are prepared anew.
void invalidateEvalCache();
