#include "search/trans_table.h"

#include <cstdlib>
#include <cstring>

TableEntry* transTable[2];

namespace {

TableEntry& entryOfPosition() { return transTable[pos.sideToMove][pos.keyLow & kTableMask]; }

}  // namespace

int probeTable(int alpha, int beta, int depth, int* value, Move* hashMove) {
  const TableEntry& e = entryOfPosition();
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

void storeTable(int score, Move bestMove, int depth, int beta) {
  TableEntry& e = entryOfPosition();
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
}

void clearTranspositionTables() {
  for (TableEntry* table : transTable) {
    if (table) memset(table, 0, sizeof(TableEntry) * kTableEntries);
  }
}

int tableFullness() {
  constexpr uint32_t kSample = 500;
  int used = 0;
  for (const TableEntry* table : transTable)
    for (uint32_t i = 0; table && i < kSample; ++i) used += table[i].bound != kBoundNone;
  return used;
}

void initKeysAndTables() {
  initKeys();
  for (TableEntry*& table : transTable) {
    table = static_cast<TableEntry*>(calloc(kTableEntries, sizeof(TableEntry)));
    if (!table) abort();
  }
}
