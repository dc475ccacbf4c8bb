// Opening books in the Polyglot ".bin" format: 16-byte entries (key, move,
// weight, learn; all big-endian) sorted by key. The file is only read, a
// few entries at a time, so a book of any size costs no memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"

struct PolyglotEntry {
  uint64_t key;
  uint16_t move;  // to file, to row, from file, from row, promotion (3 bits each)
  uint16_t weight;
  uint32_t learn;
};

constexpr int kPolyglotEntrySize = 16;
// More entries than any position has legal moves; further ones are not read.
constexpr int kMaxPolyglotMoves = 256;

// The Polyglot key of the current position.
uint64_t polyglotKey();

// Entry bytes in and out of the file's order.
PolyglotEntry decodePolyglotEntry(const unsigned char* bytes);
void encodePolyglotEntry(const PolyglotEntry& entry, unsigned char* bytes);

// The legal move among moveStack[first..last] that an entry's move stands
// for (castling is written king takes rook, e1h1); 0 when none.
Move polyglotMove(uint16_t raw, int first, int last);

// Opens the book at path in place of the one open (if any). Whatever
// happens, message gets one line without newline: the entry count, or why
// the file is not used (missing, unreadable, a size that is no multiple of
// 16, keys out of order). 1 when the book is open.
int openPolyglotBook(const char* path, char* message, size_t messageSize);
void closePolyglotBook();
bool polyglotBookOpen();

// The entries of key in file order, at most capacity; -1 when the file
// could not be read (the book is then closed).
int polyglotEntries(uint64_t key, PolyglotEntry* entries, int capacity);

// Index of the entry drawn in proportion to the weights (draw % total
// weight); entries of weight 0 are never drawn. -1 when all weigh 0.
int drawPolyglotEntry(const PolyglotEntry* entries, int count, uint64_t draw);

// A book move for the current position among the root moves
// moveStack[first..last], drawn by weight with the engine's generator; 0
// when the book has none.
Move pickPolyglotMove(int first, int last);
