#include "book/book_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "board/fen.h"
#include "board/position.h"

namespace {

constexpr int kFileRecordOverhead = 48;
constexpr size_t kNodeAlignment = 8;
[[maybe_unused]] constexpr size_t kHugePageBytes = size_t(2) << 20;
constexpr size_t kArenaChunkBytes = size_t(4) << 20;
constexpr uint32_t kNodesPerBucket = 1;  // average chain length before the buckets double
constexpr uint32_t kMostBuckets = uint32_t(1) << 30;

// Nodes live in large chunks instead of one allocation each: a big book then
// costs little more memory than its learning file.
struct ArenaChunk {
  ArenaChunk* previous;
  size_t used;
  size_t capacity;
};
constexpr size_t kChunkHeaderBytes = (sizeof(ArenaChunk) + 15) & ~size_t(15);

ArenaChunk* arena = nullptr;
BookNode* initialBuckets[kBookBuckets];
BookNode** fileBucketList = nullptr;
int fileBucketCapacity = 0;

// Large blocks on Linux come in huge pages where the system allows it: the
// table is read at random, and fewer, larger pages save most address
// translation misses.
void* allocateLarge(size_t bytes) {
#if defined(__linux__)
  if (bytes >= kHugePageBytes) {
    void* block = nullptr;
    if (posix_memalign(&block, kHugePageBytes, bytes) != 0) return nullptr;
    madvise(block, bytes, MADV_HUGEPAGE);
    return block;
  }
#endif
  return malloc(bytes);
}

void* takeArenaBytes(size_t bytes) {
  if (!arena || arena->capacity - arena->used < bytes) {
    size_t capacity = kArenaChunkBytes - kChunkHeaderBytes;
    if (capacity < bytes) capacity = bytes;
    void* block = allocateLarge(kChunkHeaderBytes + capacity);
    if (!block) return nullptr;
    ArenaChunk* chunk = static_cast<ArenaChunk*>(block);
    chunk->previous = arena;
    chunk->used = 0;
    chunk->capacity = capacity;
    arena = chunk;
  }
  void* at = reinterpret_cast<unsigned char*>(arena) + kChunkHeaderBytes + arena->used;
  arena->used += bytes;
  return at;
}

// Twice the buckets, each chain split in two in its own order, so nodes of
// one key keep their newest-first order. Without memory the chains simply
// grow longer.
void growBuckets() {
  uint32_t count = bookTable.bucketMask + 1;
  if (count >= kMostBuckets) return;
  void* block = allocateLarge(size_t(count) * 2 * sizeof(BookNode*));
  if (!block) return;
  memset(block, 0, size_t(count) * 2 * sizeof(BookNode*));
  BookNode** grown = static_cast<BookNode**>(block);
  uint32_t mask = count * 2 - 1;
  for (uint32_t b = 0; b < count; ++b) {
    BookNode** tail[2] = {&grown[b], &grown[b + count]};
    for (BookNode* node = bookTable.bucket[b]; node;) {
      BookNode* next = node->next;
      BookNode**& end = tail[(node->keyLow & mask) == b ? 0 : 1];
      node->next = nullptr;
      *end = node;
      end = &node->next;
      node = next;
    }
  }
  if (bookTable.bucket != initialBuckets) free(bookTable.bucket);
  bookTable.bucket = grown;
  bookTable.bucketMask = mask;
}

// Castling letters in the table's own order Q, K, q, k (in Chess960 the
// rooks' files, HAha); each only when king, rook and right are all in place.
int writeCastling(char* out) {
  if (pos.chess960) return writeChess960Castling(out);
  int n = 0;
  const int* piece = pos.pieceAt;
  const int* colour = pos.colourAt;
  auto stands = [&](Square sq, int type, int side) {
    return piece[sq] == type && colour[sq] == side;
  };
  if (stands(60, kKing, kWhite)) {
    if (stands(56, kRook, kWhite) && (pos.castleRights & kWhiteQueenSide)) out[n++] = 'Q';
    if (stands(63, kRook, kWhite) && (pos.castleRights & kWhiteKingSide)) out[n++] = 'K';
  }
  if (stands(4, kKing, kBlack)) {
    if (stands(0, kRook, kBlack) && (pos.castleRights & kBlackQueenSide)) out[n++] = 'q';
    if (stands(7, kRook, kBlack) && (pos.castleRights & kBlackKingSide)) out[n++] = 'k';
  }
  return n;
}

bool standsFor(const BookNode* node, const char* text) {
  return node->keyLow == pos.keyLow && node->keyHigh == pos.keyHigh &&
         node->side == pos.sideToMove && strcmp(node->text, text) == 0;
}

}  // namespace

BookTable bookTable = {initialBuckets, kBookBucketMask, 0, 0};
long bookNodeAllowance = -1;

char* positionText(char* buffer) {
  static const char kLetters[2][8] = {{' ', 'P', 'N', 'B', 'R', 'Q', 'K', ' '},
                                      {' ', 'p', 'n', 'b', 'r', 'q', 'k', ' '}};
  int n = 0;
  // 1. Placement, as in FEN.
  for (int row = 0; row < 8; ++row) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      Square sq = row * 8 + file;
      if (pos.pieceAt[sq] == kNone) {
        ++empty;
        continue;
      }
      if (empty) buffer[n++] = char('0' + empty);
      empty = 0;
      buffer[n++] = kLetters[pos.colourAt[sq] & 1][pos.pieceAt[sq] & 7];
    }
    if (empty) buffer[n++] = char('0' + empty);
    if (row < 7) buffer[n++] = '/';
  }
  // 2. Side to move.
  buffer[n++] = ' ';
  buffer[n++] = pos.sideToMove == kWhite ? 'w' : 'b';
  // 3. Castling field.
  buffer[n++] = ' ';
  int letters = writeCastling(buffer + n);
  n += letters;
  if (!letters) buffer[n++] = '-';
  // 4. Pawn field: one row from the origin of the last pawn move, towards the
  //    mover's own side; it tells positions apart, it is no en-passant square.
  buffer[n++] = ' ';
  Move last = lastMove();
  if (last != 0 && movePiece(last) == kPawn) {
    Square sq = moveOrigin(last) + (pos.sideToMove == kWhite ? -8 : 8);
    buffer[n++] = kSquareName[sq][0];
    buffer[n++] = kSquareName[sq][1];
  } else {
    buffer[n++] = '-';
  }
  // 5. Trailing blanks and dashes go.
  while (n > 0 && (buffer[n - 1] == ' ' || buffer[n - 1] == '-')) --n;
  buffer[n] = '\0';
  return buffer;
}

BookNode* findNode() {
  char text[kPositionTextSize];
  bool haveText = false;
  for (BookNode* node = bookChain(pos.keyLow); node; node = node->next) {
    if (node->keyLow != pos.keyLow || node->keyHigh != pos.keyHigh || node->side != pos.sideToMove)
      continue;
    // The text is built only once a node agrees on key and side.
    if (!haveText) {
      positionText(text);
      haveText = true;
    }
    if (standsFor(node, text)) return node;
  }
  return nullptr;
}

BookNode* findNodeByKey(uint32_t keyLow, uint32_t keyHigh, int side) {
  for (BookNode* node = bookChain(keyLow); node; node = node->next)
    if (node->keyLow == keyLow && node->keyHigh == keyHigh && node->side == side) return node;
  return nullptr;
}

BookNode* allocateBookNode(int textLength) {
  if (textLength < 0 || textLength >= kPositionTextSize) return nullptr;
  if (bookNodeAllowance == 0) return nullptr;
  if (bookNodeAllowance > 0) --bookNodeAllowance;
  size_t bytes = (sizeof(BookNode) + size_t(textLength) + 1 + kNodeAlignment - 1) &
                 ~(kNodeAlignment - 1);
  void* block = takeArenaBytes(bytes);
  if (!block) return nullptr;
  memset(block, 0, bytes);
  BookNode* node = static_cast<BookNode*>(block);
  node->text = reinterpret_cast<char*>(node + 1);
  return node;
}

BookNode* newBookNode(const char* text) {
  int length = int(strlen(text));
  BookNode* node = allocateBookNode(length);
  if (!node) return nullptr;
  node->score = 0;
  node->weight = 16;
  node->side = int8_t(pos.sideToMove);
  node->depth = 0;
  node->size = kFileRecordOverhead + length;
  node->isBook = 1;
  node->next = nullptr;
  node->keyLow = pos.keyLow;
  node->keyHigh = pos.keyHigh;
  memcpy(node->text, text, size_t(length) + 1);
  return node;
}

void linkNode(BookNode* node) {
  if (bookTable.nodeCount >= (bookTable.bucketMask + 1) * kNodesPerBucket) growBuckets();
  BookNode*& head = bookTable.bucket[node->keyLow & bookTable.bucketMask];
  node->next = head;
  node->linkOrder = bookTable.nextLinkOrder++;
  head = node;
  ++bookTable.nodeCount;
}

void clearBookTable() {
  while (arena) {
    ArenaChunk* previous = arena->previous;
    free(arena);
    arena = previous;
  }
  if (bookTable.bucket != initialBuckets) free(bookTable.bucket);
  memset(initialBuckets, 0, sizeof initialBuckets);
  bookTable = BookTable{initialBuckets, kBookBucketMask, 0, 0};
  free(fileBucketList);
  fileBucketList = nullptr;
  fileBucketCapacity = 0;
}

int countBookNodes() { return int(bookTable.nodeCount); }

BookNode* const* fileBucketNodes(uint32_t fileBucket, int* count) {
  *count = 0;
  int chains = int((bookTable.bucketMask + 1) / kBookBuckets);
  int total = 0;
  for (int c = 0; c < chains; ++c)
    for (BookNode* node = bookTable.bucket[fileBucket + uint32_t(c) * kBookBuckets]; node;
         node = node->next)
      ++total;
  if (total > fileBucketCapacity || !fileBucketList) {
    int capacity = total * 2 + 16;
    void* grown = realloc(fileBucketList, sizeof(BookNode*) * size_t(capacity));
    if (!grown) return nullptr;
    fileBucketList = static_cast<BookNode**>(grown);
    fileBucketCapacity = capacity;
  }
  int n = 0;
  for (int c = 0; c < chains; ++c)
    for (BookNode* node = bookTable.bucket[fileBucket + uint32_t(c) * kBookBuckets]; node;
         node = node->next)
      fileBucketList[n++] = node;
  // Each chain is newest first already; several are merged by link order.
  if (chains > 1)
    std::sort(fileBucketList, fileBucketList + n,
              [](const BookNode* a, const BookNode* b) { return a->linkOrder > b->linkOrder; });
  *count = n;
  return fileBucketList;
}

int probeBook(int alpha, int depth, int beta, int* value) {
  BookNode* node = findNode();
  if (!node) return 0;
  if (node->depth >= depth) {
    *value = node->score;
    return 1;
  }
  if (!node->isBook) return 0;
  // An unsearched book position counts as roughly level: -16..16.
  if (alpha >= 16) {
    *value = alpha;
    return 1;
  }
  if (beta <= -16) {
    *value = beta;
    return 1;
  }
  return 0;
}
