#include "search/trans_table.h"

#include <cstdlib>
#include <cstring>

#include "platform/memory.h"

TableEntry* transTable[2];
uint32_t tableMask = kTableMask;
long tableAllocationAllowance = -1;

namespace {

TableEntry& entryOfPosition() { return transTable[pos.sideToMove][pos.keyLow & tableMask]; }

// Search threads read and write the same entries without a lock. Each half
// of an entry moves whole; a read that mixes halves of two writes matches the
// position only if both writes were of it, since each half holds key bits.
using EntryWord = uint64_t __attribute__((may_alias));
static_assert(sizeof(TableEntry) == 2 * sizeof(EntryWord), "an entry is two words");

TableEntry loadEntry(const TableEntry& slot) {
  const EntryWord* words = reinterpret_cast<const EntryWord*>(&slot);
  const uint64_t halves[2] = {__atomic_load_n(&words[0], __ATOMIC_RELAXED),
                              __atomic_load_n(&words[1], __ATOMIC_RELAXED)};
  TableEntry e;
  memcpy(&e, halves, sizeof e);
  return e;
}

void saveEntry(TableEntry& slot, const TableEntry& e) {
  uint64_t halves[2];
  memcpy(halves, &e, sizeof halves);
  EntryWord* words = reinterpret_cast<EntryWord*>(&slot);
  __atomic_store_n(&words[0], halves[0], __ATOMIC_RELAXED);
  __atomic_store_n(&words[1], halves[1], __ATOMIC_RELAXED);
}

TableEntry* allocateTable(uint64_t entries) {
  if (tableAllocationAllowance == 0) return nullptr;
  if (tableAllocationAllowance > 0) --tableAllocationAllowance;
  return static_cast<TableEntry*>(calloc(size_t(entries), sizeof(TableEntry)));
}

}  // namespace

int probeTable(int alpha, int beta, int depth, int* value, Move* hashMove) {
  const TableEntry e = loadEntry(entryOfPosition());
  if (e.keyTop != (pos.keyLow >> kTableBits) || e.keyHigh != pos.keyHigh) return 0;
  *hashMove = e.move;
  if (e.depth < depth) return 0;
  switch (e.bound) {
    case kBoundUpper:
      if (e.value > alpha) return 0;
      break;
    case kBoundLower:
      if (e.value < beta) return 0;
      break;
    case kBoundExact:
      break;
    default:
      return 0;
  }
  *value = e.value;
  return 1;
}

int findTableEntry(TableEntry* entry) {
  *entry = loadEntry(entryOfPosition());
  return entry->bound != kBoundNone && entry->keyTop == (pos.keyLow >> kTableBits) && entry->keyHigh == pos.keyHigh;
}

void storeTable(int score, Move bestMove, int depth, int beta) {
  TableEntry& slot = entryOfPosition();
  TableEntry e = loadEntry(slot);
  int bound = bestMove == 0 ? kBoundUpper : (score < beta ? kBoundExact : kBoundLower);
  // Priority depth + 2 * bound: an exact entry is worth two plies more than an
  // upper bound. Equal priority replaces, whatever position holds the slot.
  if (e.bound != kBoundNone && e.depth + 2 * e.bound > depth + 2 * bound) return;
  e.keyTop = pos.keyLow >> kTableBits;
  e.keyHigh = pos.keyHigh;
  e.value = score;
  e.bound = uint32_t(bound);
  e.depth = depth;
  e.move = bestMove;
  saveEntry(slot, e);
}

void clearTranspositionTables() {
  for (TableEntry* table : transTable) {
    if (table) memset(table, 0, sizeof(TableEntry) * (size_t(tableMask) + 1));
  }
}

uint64_t tableMegabytes() { return (uint64_t(tableMask) + 1) * 2 * sizeof(TableEntry) >> 20; }

int resizeTranspositionTables(uint64_t megabytes) {
  uint64_t entries = (uint64_t(1) << 20) / (2 * sizeof(TableEntry));  // a table's share of 1 MB
  for (uint64_t mb = 1; mb * 2 <= megabytes && mb * 2 <= kMaxTableMegabytes; mb *= 2) entries *= 2;
  if (entries == uint64_t(tableMask) + 1) return 1;
  // What the old tables free comes back only after the new ones are had.
  if (2 * entries * sizeof(TableEntry) > availableMemory()) return 0;
  TableEntry* fresh[2] = {allocateTable(entries), allocateTable(entries)};
  if (!fresh[0] || !fresh[1]) {
    free(fresh[0]);
    free(fresh[1]);
    return 0;
  }
  // Touched now, a byte a page, so that the system hands the pages over here
  // and not in the first search (a plain clearing of fresh zeroed memory
  // may be left out by the compiler).
  for (int side = 0; side < 2; ++side) {
    volatile char* bytes = reinterpret_cast<volatile char*>(fresh[side]);
    for (size_t i = 0; i < size_t(entries) * sizeof(TableEntry); i += 4096) bytes[i] = 0;
    free(transTable[side]);
    transTable[side] = fresh[side];
  }
  tableMask = uint32_t(entries - 1);
  return 1;
}

int tableFullness() {
  constexpr uint32_t kSample = 500;
  int used = 0;
  for (const TableEntry* table : transTable)
    for (uint32_t i = 0; table && i < kSample; ++i) used += loadEntry(table[i]).bound != kBoundNone;
  return used;
}

void initKeysAndTables() {
  initKeys();
  for (TableEntry*& table : transTable) {
    table = static_cast<TableEntry*>(calloc(size_t(tableMask) + 1, sizeof(TableEntry)));
    if (!table) abort();
  }
}
