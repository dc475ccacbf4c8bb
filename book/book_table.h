// The table of known positions: opening book and learned search results.
// Each node is also the record of the learning file (see learning.h).
#pragma once

#include <cstdint>

// The learning file lists nodes by the low 16 bits of their key, newest
// first within each of these file buckets; the table itself starts with as
// many buckets and doubles them as it fills, so chains stay short for any
// book size.
constexpr int kBookBuckets = 65536;
constexpr uint32_t kBookBucketMask = 0xFFFF;
constexpr int kPositionTextSize = 256;  // positionText buffer, terminating zero included

struct BookNode {
  int32_t score;   // last search score here, side to move's view
  int32_t weight;  // book preference: 16 from the book text, 0 from a search
  int32_t depth;   // depth of the search that produced score
  int32_t size;    // length of the file record: 48 + text length
  uint32_t keyLow;
  uint32_t keyHigh;
  uint32_t linkOrder;  // when it was linked: newer nodes come first in a bucket
  int8_t side;         // side to move
  int8_t isBook;       // 1 when the position came from the book text
  BookNode* next;      // next node of the same bucket
  char* text;  // position text; stored in the same allocation, after the node
};

struct BookTable {
  BookNode** bucket;    // bucketMask + 1 chain heads, newest node first
  uint32_t bucketMask;  // 2^k - 1, at least kBookBucketMask
  uint32_t nodeCount;
  uint32_t nextLinkOrder;
};

extern BookTable bookTable;

// Test hook: when not negative, the number of node allocations that may
// still succeed; lets tests exercise the out-of-memory path.
extern long bookNodeAllowance;

// Identity text of the current position; buffer holds kPositionTextSize bytes.
char* positionText(char* buffer);

// The chain that holds every node of keyLow, newest first.
inline BookNode* bookChain(uint32_t keyLow) { return bookTable.bucket[keyLow & bookTable.bucketMask]; }

// Asks the processor to fetch the chain head of keyLow ahead of its use.
inline void prefetchBookChain(uint32_t keyLow) {
#if defined(__GNUC__)
  __builtin_prefetch(&bookTable.bucket[keyLow & bookTable.bucketMask]);
#else
  (void)keyLow;
#endif
}

BookNode* findNode();
BookNode* findNodeByKey(uint32_t keyLow, uint32_t keyHigh, int side);
// A new, unlinked book node for the current position, or null when memory
// for it cannot be obtained (the table then simply stops growing).
BookNode* newBookNode(const char* text);
// A zeroed node with room for a text of textLength characters, or null.
BookNode* allocateBookNode(int textLength);
void linkNode(BookNode* node);
void clearBookTable();
int countBookNodes();
// The nodes of file bucket fileBucket (0..65535) in file order, newest
// first; *count of them. The list lives until the next call; null when
// memory for it cannot be obtained.
BookNode* const* fileBucketNodes(uint32_t fileBucket, int* count);
// 1 with *value set when the table supplies a score for the current position.
int probeBook(int alpha, int depth, int beta, int* value);
