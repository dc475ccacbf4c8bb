#include "book/learning.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <cerrno>

#include "board/score.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#define getpid _getpid
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

LearningMode learningMode = LearningMode::kOn;
bool learningFileChosen = false;
const char* const kLearningModeNames[] = {"on", "read-only", "off", nullptr};

namespace {

constexpr int kRecordOverhead = 48;
constexpr int32_t kLargestStoredDepth = 1000;  // far beyond any search
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

// Reads one record into a new linked node. The size must be exactly 48 plus
// the text length: a larger one would swallow the records after it.
LearningLoad readRecord(FILE* file, bool* atEnd) {
  unsigned char record[kLearningHeaderBytes + kPositionTextSize + 8];
  size_t got = fread(record, 1, kLearningHeaderBytes, file);
  *atEnd = got == 0 && !ferror(file);
  if (*atEnd) return kLearningLoaded;
  if (got < size_t(kLearningHeaderBytes)) return ferror(file) ? kLearningUnreadable : kLearningDamaged;
  int64_t size = int32_t(readLe32(record + 16));
  int64_t textLength = size - kRecordOverhead;
  if (textLength <= 0 || textLength >= kPositionTextSize) return kLearningDamaged;
  size_t rest = size_t(size) - kLearningHeaderBytes;
  if (fread(record + kLearningHeaderBytes, 1, rest, file) != rest)
    return ferror(file) ? kLearningUnreadable : kLearningDamaged;
  const unsigned char* text = record + kLearningHeaderBytes;
  if (text[textLength] != 0 || memchr(text, 0, size_t(textLength))) return kLearningDamaged;
  int32_t side = int32_t(readLe32(record + 8));
  int32_t isBook = int32_t(readLe32(record + 20));
  if ((side != 0 && side != 1) || (isBook != 0 && isBook != 1)) return kLearningDamaged;
  BookNode* node = allocateBookNode(int(textLength));
  if (!node) return kLearningUnreadable;  // out of memory: the file itself may be fine
  // Scores and depths are used in arithmetic by the search: keep them in the
  // range a search can produce.
  int32_t score = int32_t(readLe32(record + 0));
  node->score = score < -kInfinity ? -kInfinity : score > kInfinity ? kInfinity : score;
  node->weight = int32_t(readLe32(record + 4));
  node->side = int8_t(side);
  int32_t depth = int32_t(readLe32(record + 12));
  node->depth = depth < 0 ? 0 : depth > kLargestStoredDepth ? kLargestStoredDepth : depth;
  node->size = int32_t(size);
  node->isBook = int8_t(isBook);
  node->keyLow = readLe32(record + 32);
  node->keyHigh = readLe32(record + 36);
  memcpy(node->text, text, size_t(textLength) + 1);
  linkNode(node);
  return kLearningLoaded;
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

// A new file of its own beside path, created exclusively: never an existing
// file, never through a link, and never the one another writer is filling.
FILE* createTemporaryBeside(const char* path, char* name, size_t size) {
  static unsigned attempt = 0;
  for (int tries = 0; tries < 100; ++tries) {
    int n = snprintf(name, size, "%s.tmp.%ld.%u", path, long(getpid()), attempt++);
    if (n < 0 || size_t(n) >= size) {
      errno = ENAMETOOLONG;
      return nullptr;
    }
#ifdef _WIN32
    int fd = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
#ifdef _WIN32
    FILE* file = _fdopen(fd, "wb");
#else
    FILE* file = fdopen(fd, "wb");
#endif
    if (file) return file;
    int error = errno;
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
    remove(name);
    errno = error;
    return nullptr;
  }
  errno = EEXIST;
  return nullptr;
}

// Temporary files of writers that were killed before they could rename them
// would pile up, each the size of the table. Their names carry the writer's
// process id; a file whose process no longer exists is removed. Files of a
// live process are kept, whatever that process is.
void removeStaleTemporaries(const char* path) {
#ifdef _WIN32
  (void)path;
#else
  char directory[kPathSize];
  const char* slash = strrchr(path, '/');
  const char* base = slash ? slash + 1 : path;
  size_t directoryLength = slash ? size_t(slash - path) + 1 : 0;
  if (directoryLength + 2 > sizeof directory) return;
  memcpy(directory, path, directoryLength);
  directory[directoryLength] = '\0';
  char prefix[kPathSize];
  int prefixLength = snprintf(prefix, sizeof prefix, "%s.tmp.", base);
  if (prefixLength < 0 || size_t(prefixLength) >= sizeof prefix) return;
  DIR* listing = opendir(directoryLength ? directory : ".");
  if (!listing) return;
  while (const struct dirent* entry = readdir(listing)) {
    if (strncmp(entry->d_name, prefix, size_t(prefixLength)) != 0) continue;
    char* end = nullptr;
    long pid = strtol(entry->d_name + prefixLength, &end, 10);
    if (pid <= 0 || end == nullptr || *end != '.') continue;
    if (kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
    char stale[kPathSize];
    int n = snprintf(stale, sizeof stale, "%s%s", directory, entry->d_name);
    if (n > 0 && size_t(n) < sizeof stale) remove(stale);
  }
  closedir(listing);
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

LearningLoad readLearning(FILE* file) {
  static char buffer[1 << 16];
  setvbuf(file, buffer, _IOFBF, sizeof buffer);
  LearningLoad outcome = kLearningLoaded;
  int records = 0;
  for (bool atEnd = false; outcome == kLearningLoaded;) {
    outcome = readRecord(file, &atEnd);
    if (atEnd) break;
    ++records;
  }
  fclose(file);
  // An empty table is no book: the book text must be read.
  if (outcome == kLearningLoaded && records == 0) return kLearningEmpty;
  return outcome;
}

int loadLearning(FILE* file) {
  if (!file) return 0;
  return readLearning(file) == kLearningLoaded;
}

LearningLoad loadLearningFile(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) return errno == ENOENT || errno == ENOTDIR ? kLearningAbsent : kLearningUnreadable;
  return readLearning(file);
}

int writeLearning(FILE* file) {
  for (uint32_t b = 0; b < uint32_t(kBookBuckets); ++b) {
    int count = 0;
    BookNode* const* nodes = fileBucketNodes(b, &count);
    if (!nodes) return 0;
    for (int i = 0; i < count; ++i)
      if (!writeRecord(file, nodes[i])) return 0;
  }
  return 1;
}

void saveLearning(FILE* file) {
  if (!file) return;
  writeLearning(file);
  fclose(file);
}

int saveLearningFile(const char* path) {
  char temporary[kPathSize + 32];
  removeStaleTemporaries(path);
  FILE* file = createTemporaryBeside(path, temporary, sizeof temporary);
  if (!file) return 0;
  int written = writeLearning(file);
  written = fflush(file) == 0 && written;
  written = written && syncToDisk(file);
  int error = errno;
  written = fclose(file) == 0 && written;
  if (written && replaceFile(temporary, path)) return 1;
  if (written) error = errno;
  remove(temporary);
  errno = error ? error : EIO;
  return 0;
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
  node->side = int8_t(pos.sideToMove);
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
