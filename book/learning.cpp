#include "book/learning.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kRecordOverhead = 48;
constexpr int kRisingSteps = 6;    // positions of one side that must rise
constexpr int kRisingSpan = 6;     // plies back to the position compared with
constexpr int kAllowedDrop = 24;   // largest fall between consecutive positions

uint32_t readLe32(const unsigned char* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void writeLe32(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Reads the whole file into one block; null on any failure.
unsigned char* readWholeFile(FILE* file, long* length) {
  if (fseek(file, 0, SEEK_END) != 0) return nullptr;
  long end = ftell(file);
  if (end < 0 || fseek(file, 0, SEEK_SET) != 0) return nullptr;
  unsigned char* block = static_cast<unsigned char*>(malloc(size_t(end) + 1));
  if (!block) return nullptr;
  if (end > 0 && fread(block, 1, size_t(end), file) != size_t(end)) {
    free(block);
    return nullptr;
  }
  *length = end;
  return block;
}

// Turns the records of the block into linked nodes; 0 at the first record
// that is truncated or malformed (nodes linked before it stay).
int linkRecords(const unsigned char* block, long length) {
  long offset = 0;
  while (offset < length) {
    long available = length - offset;
    if (available < kRecordOverhead) return 0;
    const unsigned char* record = block + offset;
    int32_t size = int32_t(readLe32(record + 16));
    if (int64_t(size) - kRecordOverhead <= 0) return 0;
    // A size running past the end of the file is a truncated record.
    if (size > available) return 0;
    // The text must end inside its own record.
    const unsigned char* text = record + kLearningHeaderBytes;
    const void* zero = memchr(text, 0, size_t(size - kLearningHeaderBytes));
    if (!zero) return 0;
    int textLength = int(static_cast<const unsigned char*>(zero) - text);
    BookNode* node = allocateBookNode(textLength);
    if (!node) return 0;
    node->score = int32_t(readLe32(record + 0));
    node->weight = int32_t(readLe32(record + 4));
    node->side = int32_t(readLe32(record + 8));
    node->depth = int32_t(readLe32(record + 12));
    node->size = size;
    node->isBook = int32_t(readLe32(record + 20));
    node->keyLow = readLe32(record + 32);
    node->keyHigh = readLe32(record + 36);
    memcpy(node->text, text, size_t(textLength) + 1);
    linkNode(node);
    offset += size;
  }
  return 1;
}

int writeRecord(FILE* file, const BookNode* node) {
  unsigned char header[kLearningHeaderBytes] = {};
  writeLe32(header + 0, uint32_t(node->score));
  writeLe32(header + 4, uint32_t(node->weight));
  writeLe32(header + 8, uint32_t(node->side));
  writeLe32(header + 12, uint32_t(node->depth));
  writeLe32(header + 16, uint32_t(node->size));
  writeLe32(header + 20, uint32_t(node->isBook));
  // next and reserved stay zero: a reader replaces them.
  writeLe32(header + 32, node->keyLow);
  writeLe32(header + 36, node->keyHigh);
  if (fwrite(header, 1, sizeof header, file) != sizeof header) return 0;
  size_t textBytes = strlen(node->text) + 1;
  if (fwrite(node->text, 1, textBytes, file) != textBytes) return 0;
  // The rest of the record (padding) is zeros.
  static const unsigned char kZeros[64] = {};
  size_t rest = size_t(node->size) - kLearningHeaderBytes - textBytes;
  while (rest > 0) {
    size_t chunk = rest < sizeof kZeros ? rest : sizeof kZeros;
    if (fwrite(kZeros, 1, chunk, file) != chunk) return 0;
    rest -= chunk;
  }
  return 1;
}

int syncToDisk(FILE* file) {
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

int replaceFile(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return rename(from, to) == 0;
#endif
}

}  // namespace

int loadLearning(FILE* file) {
  if (!file) return 0;
  long length = 0;
  unsigned char* block = readWholeFile(file, &length);
  fclose(file);
  if (!block) return 0;
  int complete = linkRecords(block, length);
  free(block);
  return complete;
}

int writeLearning(FILE* file) {
  for (BookNode* head : bookTable.bucket)
    for (BookNode* node = head; node; node = node->next)
      if (!writeRecord(file, node)) return 0;
  return 1;
}

void saveLearning(FILE* file) {
  if (!file) return;
  writeLearning(file);
  fclose(file);
}

int saveLearningFile(const char* path) {
  char temporary[1100];
  int n = snprintf(temporary, sizeof temporary, "%s.tmp", path);
  if (n < 0 || n >= int(sizeof temporary)) return 0;
  FILE* file = fopen(temporary, "wb");
  if (!file) return 0;
  int written = writeLearning(file);
  written = fflush(file) == 0 && written;
  written = written && syncToDisk(file);
  written = fclose(file) == 0 && written;
  if (!written || !replaceFile(temporary, path)) {
    remove(temporary);
    return 0;
  }
  return 1;
}

void recordSearchResult(int score, int depth) {
  BookNode* node = findNode();
  if (node) {
    node->score = score;
    node->depth = depth;
    return;
  }
  char text[kPositionTextSize];
  node = newBookNode(positionText(text));
  if (!node) return;  // out of memory: this result is not kept
  linkNode(node);
  node->score = score;
  node->weight = 0;
  node->side = pos.sideToMove;
  node->depth = depth;
  node->isBook = 0;
}

void collectGameNodes(BookNode* nodes[kMaxGameMoves + 1]) {
  int side = pos.sideToMove;
  nodes[0] = nullptr;
  for (int n = pos.gamePly; n >= 1; --n) {
    uint64_t key = pos.keyHistory[n];
    nodes[n] = findNodeByKey(uint32_t(key), uint32_t(key >> 32), side);
    side ^= 1;
  }
}

bool risingScores(int side, BookNode* const nodes[kMaxGameMoves + 1]) {
  int t = side == pos.sideToMove ? pos.gamePly : pos.gamePly - 1;
  if (t < 1) return false;
  int64_t previous = 0;
  for (int k = 0, n = t; n >= 1; ++k, n -= 2) {
    const BookNode* a = nodes[n];
    if (!a || a->side != side || a->depth <= 2) return false;
    if (n <= kRisingSpan) return false;
    const BookNode* b = nodes[n - kRisingSpan];
    if (!b || b->depth < 2) return false;
    if (!(b->score < a->score)) return false;
    // 64-bit: scores read from a file may be anything.
    if (k > 0 && !(int64_t(a->score) - kAllowedDrop < previous)) return false;
    previous = a->score;
    if (k + 1 == kRisingSteps) return true;
  }
  return false;
}

void learnGameResult() {
  if (pos.learnedThisGame) return;
  static BookNode* nodes[kMaxGameMoves + 1];
  collectGameNodes(nodes);
  int delta;
  if (risingScores(pos.sideToMove, nodes))
    delta = 1;
  else if (risingScores(pos.opponent, nodes))
    delta = -1;
  else
    return;  // tried again at the next think
  bool complete = true;
  for (int n = pos.gamePly; n >= 1; n -= 2)
    if (!nodes[n] || nodes[n]->side != pos.sideToMove) complete = false;
  if (complete)
    for (int n = pos.gamePly; n >= 1; n -= 2) nodes[n]->weight += delta;
  pos.learnedThisGame = 1;
}
