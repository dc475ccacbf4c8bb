// Transposition tables: one per side to move, direct-mapped.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int kTableBits = 19;
// The default size, 16 MB for both tables; UCI's Hash may change it.
constexpr uint32_t kTableEntries = 1u << kTableBits;
constexpr uint32_t kTableMask = kTableEntries - 1;
// Hash: megabytes for both tables, a power of two from 1 to 65536 (2^15 to
// 2^31 entries a table).
constexpr uint64_t kDefaultTableMegabytes = 16;
constexpr uint64_t kMaxTableMegabytes = 65536;

// Four entries to a cache line. The slot's index is the low bits of keyLow
// (kTableBits at the default size) and only keyLow >> kTableBits is stored:
// a smaller table checks a few key bits less. Depths are far below 2^16.
struct TableEntry {
  uint32_t keyHigh;
  Move move;
  int32_t value;
  uint32_t keyTop : 32 - kTableBits;  // keyLow >> kTableBits
  uint32_t bound : 2;                 // 0 empty, 1 upper, 2 lower, 3 exact
  int32_t depth : kTableBits - 2;
};
static_assert(sizeof(TableEntry) == 16, "table entry is four words");

enum : int { kBoundNone = 0, kBoundUpper = 1, kBoundLower = 2, kBoundExact = 3 };

extern TableEntry* transTable[2];
extern uint32_t tableMask;  // entries of one table, less one

// Tables of megabytes (both together, rounded down to a power of two, at
// least 1 MB); 1 when they are in place, 0 when the memory could not be had
// and the previous tables stay.
int resizeTranspositionTables(uint64_t megabytes);
// Megabytes of both tables now.
uint64_t tableMegabytes();
// Test hook: when not negative, how many table allocations may still succeed.
extern long tableAllocationAllowance;

// 1 when the entry of the current position decides the node, with its score
// in *value. Writes *hashMove whenever the entry belongs to the position, even
// when it is too shallow to decide anything.
int probeTable(int alpha, int beta, int depth, int* value, Move* hashMove);

// 1 with the entry of the current position in *entry, 0 when the slot holds another.
int findTableEntry(TableEntry* entry);

// Records a searched node; bestMove 0 means no move raised alpha.
void storeTable(int score, Move bestMove, int depth, int beta);

void clearTranspositionTables();

// Per mille of the entries in use, from the first thousand of each table.
int tableFullness();

// Start-up: the hash keys (board), then both tables; a failed allocation
// stops the process.
void initKeysAndTables();

// Starts loading the entry of the current position, which probeTable will
// read a little later.
inline void prefetchTableEntry() { __builtin_prefetch(&transTable[pos.sideToMove][pos.keyLow & tableMask]); }
