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

extern TableEntry* transTable[2];
