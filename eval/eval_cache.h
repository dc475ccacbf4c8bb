// A table of full evaluations for the search: positions recur through
// transpositions and re-searches, and a full evaluation costs far more than
// the comparison of a whole board. An entry answers only for the very board
// it was computed on (every piece, castling state and the piece-square
// tables in force), so its answers are those of evaluate() itself.
#pragma once

#include <cstdint>

constexpr int kEvalCacheBits = 16;
constexpr uint32_t kEvalCacheEntries = 1u << kEvalCacheBits;

// evaluate(alpha, beta), taken from the table when the position's full
// evaluation is stored there. Unlike evaluate it leaves lastEvalBreakdown
// and the attack maps alone on a hit.
int cachedEvaluate(int alpha, int beta);

// Every stored entry stops answering; run whenever the piece-square tables change.
void invalidateEvalCache();
