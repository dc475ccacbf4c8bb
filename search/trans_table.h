// Transposition tables: one per side to move, direct-mapped.
#pragma once

#include <cstdint>

#include "board/position.h"

struct TableEntry {
  uint32_t keyLow;
  uint32_t keyHigh;
  int32_t value;
  int32_t bound;  // 0 empty, 1 upper, 2 lower, 3 exact
  int32_t depth;
  Move move;
};
static_assert(sizeof(TableEntry) == 24, "table entry is six words");

constexpr int kTableBits = 19;
constexpr uint32_t kTableEntries = 1u << kTableBits;
constexpr uint32_t kTableMask = kTableEntries - 1;

enum : int { kBoundNone = 0, kBoundUpper = 1, kBoundLower = 2, kBoundExact = 3 };

extern TableEntry* transTable[2];

// 1 when the entry of the current position decides the node, with its score
// in *value. Writes *hashMove whenever the entry belongs to the position, even
// when it is too shallow to decide anything.
int probeTable(int alpha, int beta, int depth, int* value, Move* hashMove);

// Records a searched node; bestMove 0 means no move raised alpha.
void storeTable(int score, Move bestMove, int depth, int beta);

void clearTranspositionTables();

// Starts loading the entry of the current position, which probeTable will
// read a little later (an entry may straddle two cache lines).
inline void prefetchTableEntry() {
  const char* entry = reinterpret_cast<const char*>(&transTable[pos.sideToMove][pos.keyLow & kTableMask]);
  __builtin_prefetch(entry);
  __builtin_prefetch(entry + sizeof(TableEntry) - 1);
}
