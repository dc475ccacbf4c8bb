#include "board/position.h"

#include "board/per_thread.h"
#include "board/random.h"

PER_THREAD Position pos;
PER_THREAD int searchPly;
PER_THREAD int listStart[kMaxPlies + 1];
PER_THREAD Move moveStack[kMoveStackSize];
PER_THREAD int moveScore[kMoveStackSize];
uint64_t pieceKey[2][8][64];
int chess960Rules = 0;

const char* const kSquareName[64] = {
    "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8", "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7",
    "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6", "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5",
    "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4", "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3",
    "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2", "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1"};

Move lastMove() {
  int index = pos.gamePly + searchPly;
  return index == 0 ? 0 : pos.moveHistory[index];
}

namespace {

// The squares from a to b, both included, on one row.
uint64_t squaresBetween(Square a, Square b) {
  const Square low = a < b ? a : b, high = a < b ? b : a;
  return ((uint64_t(2) << high) - 1) & ~((uint64_t(1) << low) - 1);
}

}  // namespace

void setCastlingPath(int index, Square kingSquare, Square rookSquare, bool chess960) {
  const int row = kingSquare & ~7;
  CastlingPath& c = pos.castling[index];
  c.rookSquare = rookSquare;
  c.kingTarget = row + ((index & 1) ? 6 : 2);
  c.rookTarget = row + ((index & 1) ? 5 : 3);
  c.moveTarget = chess960 ? rookSquare : c.kingTarget;
  const uint64_t themselves = (uint64_t(1) << kingSquare) | (uint64_t(1) << rookSquare);
  c.kingPath = squaresBetween(kingSquare, c.kingTarget);
  c.mustBeEmpty = (c.kingPath | squaresBetween(rookSquare, c.rookTarget)) & ~themselves;
  pos.castleKingSquare[index >> 1] = kingSquare;
}

void initKeys() {
  // The keys must come from the generator's initial state whatever ran
  // before (the learning file stores positions by these keys).
  seedRandom(1);
  for (int side = 0; side < 2; ++side) {
    for (int type = kPawn; type <= kKing; ++type) {
      for (int sq = 0; sq < 64; ++sq) {
        uint64_t k = uint64_t(nextRandom());
        for (int i = 0; i < 4; ++i) k = (k << 15) ^ uint64_t(nextRandom());
        pieceKey[side][type][sq] = k;
      }
    }
  }
}
