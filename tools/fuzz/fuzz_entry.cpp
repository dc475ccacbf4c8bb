#include "tools/fuzz/fuzz_entry.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "board/position.h"
#include "board/position_check.h"
#include "book/book_choice.h"
#include "book/book_parser.h"
#include "book/book_table.h"
#include "book/learning.h"
#include "engine/clock.h"
#include "engine/command_loop.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "search/trans_table.h"

namespace {

// A think resets the poll count to zero; a count still at this value after
// a line means the line started no search.
constexpr uint64_t kNoThink = uint64_t(1) << 62;
// Each think clears the transposition tables: a few per input keep the
// target fast enough to explore.
constexpr int kMaxThinks = 2;
constexpr int kWalkPlies = 12;
constexpr int kTextPositions = 3;  // learned positions set up by their text

char scratch[256];

#ifdef _WIN32
void removeScratch() { _rmdir(scratch); }
char* makeScratch(char* pattern) {
  return _mktemp_s(pattern, strlen(pattern) + 1) == 0 && _mkdir(pattern) == 0 ? pattern : nullptr;
}
#else
void removeScratch() { rmdir(scratch); }
char* makeScratch(char* pattern) { return mkdtemp(pattern); }
#endif

std::string scratchFile(const char* name) { return std::string(fuzzScratchDirectory()) + "/" + name; }

bool writeBytes(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

std::string readBytes(const std::string& path) {
  std::string bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

// The game state a move must leave as it found it once unmade: everything
// before the game record, and the record itself up to the current ply.
struct RootState {
  unsigned char head[offsetof(Position, moveHistory)];
  Move record[kMaxHistory];
  int ply;
  void take() {
    memcpy(head, &pos, sizeof head);
    ply = pos.gamePly + searchPly;
    memcpy(record, pos.moveHistory, sizeof(Move) * size_t(ply + 1));
  }
  bool same() const {
    return memcmp(head, &pos, sizeof head) == 0 && ply == pos.gamePly + searchPly &&
           memcmp(record, pos.moveHistory, sizeof(Move) * size_t(ply + 1)) == 0;
  }
};

// Every legal move of the current ply: made, checked, evaluated, answered by
// a generation one ply deeper, unmade, and its text read back.
bool checkEveryMove() {
  static Move list[kMaxListMoves];
  RootState before;
  before.take();
  generateCaptures();
  evaluate(-1000000, 1000000);
  evaluate(-20, 20);  // a narrow window takes the lazy exits
  if (!generateLegalMoves()) return before.same();
  const int count = listStart[searchPly + 1] - listStart[searchPly];
  if (count < 0 || count > kMaxListMoves) return false;
  memcpy(list, moveStack + listStart[searchPly], sizeof(Move) * size_t(count));
  for (int i = 0; i < count; ++i) {
    const Move m = list[i];
    makeMove(m);
    bool ok = positionIsConsistent();
    // A legal move never leaves the mover's own king attacked.
    ok = ok && !sideAttacks(pos.sideToMove, pos.kingSquare[pos.opponent]);
    evaluate(-1000000, 1000000);
    generateMoves();
    unmakeMove(m);
    if (!ok || !before.same()) return false;
    char text[16];
    Move back = 0;
    if (!parseMove(moveToText(m, text), &back) || back != m) return false;
  }
  return before.same();
}

// What a think does with the table before it searches: the book choice
// among the root moves and the probe of the root position.
void consultBook() {
  if (!generateLegalMoves()) return;
  if (listStart[1] > listStart[0]) pickBookMove(listStart[0], listStart[1] - 1);
  int value = 0;
  probeBook(-1000, 3, 1000, &value);
  recordSearchResult(value, 3);
}

}  // namespace

const char* fuzzScratchDirectory() {
  if (scratch[0] == '\0') {
    const char* base = getenv("TMPDIR");
    if (!base || !*base) base = getenv("TEMP");
    if (!base || !*base) base = "/tmp";
    snprintf(scratch, sizeof scratch, "%s/morvek-fuzz-XXXXXX", base);
    if (!makeScratch(scratch)) abort();
    atexit(removeScratch);
  }
  return scratch;
}

void initFuzzEngine() {
  // Moves and thinking lines are of no interest, and writing them costs.
  #ifdef _WIN32
  if (!freopen("NUL", "w", stdout)) abort();
#else
  if (!freopen("/dev/null", "w", stdout)) abort();
#endif
  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
}

bool fuzzCommandStream(const uint8_t* data, size_t size) {
  CommandLoop loop{};
  // Unused by single lines, but pointed away from anything real all the same.
  snprintf(loop.files.baseDirectory, sizeof loop.files.baseDirectory, "%s/", fuzzScratchDirectory());
  snprintf(loop.files.bookTextPath, sizeof loop.files.bookTextPath, "%s%s",
           loop.files.baseDirectory, kBookFileName);
  snprintf(loop.files.learningPath, sizeof loop.files.learningPath, "%s%s",
           loop.files.baseDirectory, kLearningFileName);
  loop.secondInstance = true;
  loop.forceMode = false;
  clearBookTable();
  searchPly = 0;
  if (!setupFromFen(kStartFen)) return false;

  bool ok = true;
  int thinks = 0;
  std::string line;
  size_t at = 0;
  while (at < size) {
    // Whole lines, as the input reader hands them out (the fuzz inputs are
    // far shorter than its limit).
    const uint8_t* newline = static_cast<const uint8_t*>(memchr(data + at, '\n', size - at));
    const size_t n = newline ? size_t(newline - (data + at)) + 1 : size - at;
    line.assign(reinterpret_cast<const char*>(data + at), n);
    at += n;
    searchClock.budget = 0;
    budgetPlan.pendingRemaining = -1;  // a "time" under "level" would plan again at the think
    searchClock.pollCount = kNoThink;
    const bool more = handleLine(loop, &line[0]);
    // Every command ends with the game at the root and the board intact.
    if (searchPly != 0 || !positionIsConsistent()) {
      ok = false;
      break;
    }
    if (!more) break;
    if (searchClock.pollCount != kNoThink && ++thinks == kMaxThinks) break;
  }
  clearBookTable();
  return ok;
}

bool fuzzPositionWalk(const uint8_t* data, size_t size) {
  const uint8_t* newline = static_cast<const uint8_t*>(memchr(data, '\n', size));
  const size_t textLength = newline ? size_t(newline - data) : size;
  std::string text(reinterpret_cast<const char*>(data), textLength);
  const uint8_t* steer = newline ? newline + 1 : data + size;
  const uint8_t* end = data + size;

  searchPly = 0;
  if (!setupFromFen(kStartFen)) return false;
  RootState start;
  start.take();
  if (!setupFromFen(text.c_str())) return start.same();  // refused: nothing changed
  if (!positionIsConsistent()) return false;

  RootState root;
  root.take();
  Move walk[kWalkPlies];
  int plies = 0;
  bool ok = true;
  for (;;) {
    if (!checkEveryMove()) {
      ok = false;
      break;
    }
    if (plies == kWalkPlies || steer == end || !generateLegalMoves()) break;
    const int count = listStart[searchPly + 1] - listStart[searchPly];
    if (count == 0) break;
    walk[plies] = moveStack[listStart[searchPly] + *steer++ % count];
    makeMove(walk[plies++]);
  }
  while (plies > 0) unmakeMove(walk[--plies]);
  return ok && root.same();
}

bool fuzzBookText(const uint8_t* data, size_t size) {
  const std::string path = scratchFile("book.txt");
  if (!writeBytes(path, data, size)) return false;
  clearBookTable();
  searchPly = 0;
  if (!setupFromFen(kStartFen)) return false;
  static Position before;
  before = pos;
  parseBookText(path.c_str());
  remove(path.c_str());
  // The parser borrows the position and must give it back unchanged.
  bool ok = searchPly == 0 && memcmp(&before, &pos, sizeof pos) == 0;
  for (uint32_t b = 0; b < uint32_t(kBookBuckets) && ok; ++b) {
    int count = 0;
    BookNode* const* nodes = fileBucketNodes(b, &count);
    for (int i = 0; i < count && ok; ++i) {
      const BookNode* node = nodes[i];
      const size_t length = strlen(node->text);
      ok = length < size_t(kPositionTextSize) && node->size == 48 + int(length) &&
           node->isBook == 1 && node->weight == 16 && (node->side & ~1) == 0;
    }
  }
  clearBookTable();
  return ok;
}

bool fuzzLearningFile(const uint8_t* data, size_t size) {
  const std::string input = scratchFile("input.dat");
  const std::string saved = scratchFile("saved.dat");
  if (!writeBytes(input, data, size)) return false;
  clearBookTable();
  const int complete = loadLearning(fopen(input.c_str(), "rb"));
  remove(input.c_str());
  const int count = countBookNodes();

  // The loaded table in use: the start position and a few learned ones.
  searchPly = 0;
  if (!setupFromFen(kStartFen)) return false;
  consultBook();
  int tried = 0;
  for (uint32_t b = 0; b < uint32_t(kBookBuckets) && tried < kTextPositions; ++b) {
    int listed = 0;
    BookNode* const* nodes = fileBucketNodes(b, &listed);
    static char text[kPositionTextSize * 4];
    for (int i = 0; i < listed && tried < kTextPositions; ++i, ++tried) {
      snprintf(text, sizeof text, "%s", nodes[i]->text);
      if (setupFromFen(text)) consultBook();
    }
  }
  setupFromFen(kStartFen);
  const int used = countBookNodes();  // the probes may have added results

  // A save must keep every node; loading links each record at the head of
  // its chain, so chains come back reversed and only a second round trip
  // restores the first file byte for byte. An empty file is refused.
  bool ok = saveLearningFile(saved.c_str()) == 1;
  const std::string first = readBytes(saved);
  if (complete && used == count && first.size() != size) ok = false;
  for (int round = 0; round < 2 && ok; ++round) {
    clearBookTable();
    ok = loadLearning(fopen(saved.c_str(), "rb")) == (used > 0) && countBookNodes() == used &&
         saveLearningFile(saved.c_str()) == 1;
  }
  if (ok && readBytes(saved) != first) ok = false;
  remove(saved.c_str());
  clearBookTable();
  return ok;
}
