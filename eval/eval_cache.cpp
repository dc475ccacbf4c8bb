#include "eval/eval_cache.h"

#include <cstdint>
#include <cstdlib>

#include "board/per_thread.h"
#include "board/position.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"

namespace {
EvalEntry firstThreadCache[kEvalCacheEntries];
PER_THREAD void* ownCacheBlock;  // what a helper's cache was carved from
}  // namespace

PER_THREAD EvalEntry* evalCache = firstThreadCache;

bool useEvalCacheOfThisThread() {
  // calloc hands fresh zeroed pages over as they are first touched, not all
  // at once; the cache starts at the block's first cache line.
  void* block = calloc(kEvalCacheEntries + 1, sizeof(EvalEntry));
  if (!block) return false;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + 63) & ~uintptr_t(63);
  evalCache = reinterpret_cast<EvalEntry*>(start);
  ownCacheBlock = block;
  return true;
}

void releaseEvalCacheOfThisThread() {
  free(ownCacheBlock);
  ownCacheBlock = nullptr;
  evalCache = nullptr;
}

namespace {

PER_THREAD uint32_t cacheGeneration = 1;
PER_THREAD uint32_t tablesSeen = 0;  // the piece-square tables the entries were computed with

inline BoardImage imageOfBoard() {
  const uint64_t(&w)[8] = pos.piecesOf[kWhite];
  const uint64_t(&b)[8] = pos.piecesOf[kBlack];
  BoardImage image;
  image.colour[kWhite] = pos.occupiedBy[kWhite];
  image.colour[kBlack] = pos.occupiedBy[kBlack];
  image.typeBit[0] = w[kPawn] | b[kPawn] | w[kBishop] | b[kBishop] | w[kQueen] | b[kQueen];
  image.typeBit[1] = w[kKnight] | b[kKnight] | w[kBishop] | b[kBishop] | w[kKing] | b[kKing];
  image.typeBit[2] = w[kRook] | b[kRook] | w[kQueen] | b[kQueen] | w[kKing] | b[kKing];
  return image;
}

inline bool sameBoard(const BoardImage& a, const BoardImage& b) {
  return ((a.colour[0] ^ b.colour[0]) | (a.colour[1] ^ b.colour[1]) | (a.typeBit[0] ^ b.typeBit[0]) |
          (a.typeBit[1] ^ b.typeBit[1]) | (a.typeBit[2] ^ b.typeBit[2])) == 0;
}

}  // namespace

int cachedEvaluate(int alpha, int beta) {
  // New piece-square tables: every stored entry stops answering.
  if (tablesSeen != pieceSquareGeneration) {
    tablesSeen = pieceSquareGeneration;
    invalidateEvalCache();
  }
  // The draw and the lazy exit cost less than a probe.
  if (evaluationIsCheap(alpha, beta)) return evaluate(alpha, beta);
  const BoardImage image = imageOfBoard();
  EvalEntry& e = evalCache[pos.keyLow & (kEvalCacheEntries - 1)];
  const int sign = pos.sideToMove == kWhite ? 1 : -1;
  if (e.generation == cacheGeneration && e.castleRights == pos.castleRights &&
      e.castled[0] == pos.castledCount[0] && e.castled[1] == pos.castledCount[1] &&
      sameBoard(e.board, image))
    return sign * e.whiteScore;
  const int score = evaluate(alpha, beta);
  e.board = image;
  e.generation = cacheGeneration;
  e.castleRights = pos.castleRights;
  e.castled[0] = pos.castledCount[0];
  e.castled[1] = pos.castledCount[1];
  e.whiteScore = sign * score;
  return score;
}

void invalidateEvalCache() {
  cacheGeneration += 1;
  // After four billion changes the numbers would come round again.
  if (cacheGeneration == 0) {
    for (uint32_t i = 0; i < kEvalCacheEntries; ++i) evalCache[i].generation = 0;
    cacheGeneration = 1;
  }
}
