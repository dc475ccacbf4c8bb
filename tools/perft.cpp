// Counts the leaves of the legal move tree, the move generator's check.
//   perft [--all-promotions] [--divide] <depth> [fen]
//   perft --suite <epd-file> [--max-depth N] [--max-count N] [--depth N] [--quiet]
//         [--all-promotions]
// --chess960 reads the positions with Chess960 castling (Shredder-FEN or
// X-FEN); --depth runs one depth of each suite line, --quiet prints only the
// wrong counts and the summary.
// The generator lists only queen and knight promotions; --all-promotions adds
// the rook and bishop ones so that published counts can be reproduced.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/move_text.h"
#include "board/perft.h"
#include "board/position.h"
#include "search/trans_table.h"

namespace {

bool allPromotions = false;
bool quiet = false;

void printRootMove(Move move, uint64_t leaves) {
  char text[8];
  printf("%s %" PRIu64 "\n", moveToText(move, text), leaves);
}

uint64_t perft(int depth, bool divide = false) {
  return countLeaves(depth, allPromotions, divide ? printRootMove : nullptr);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int runSuite(const char* path, int onlyDepth, int maxDepth, unsigned long long maxCount) {
  FILE* file = fopen(path, "r");
  if (!file) {
    fprintf(stderr, "perft: cannot read %s\n", path);
    return 2;
  }
  char line[1024];
  int failures = 0;
  int lineNumber = 0;
  int counts = 0;
  uint64_t leaves = 0;
  const auto suiteStart = std::chrono::steady_clock::now();
  while (fgets(line, sizeof line, file)) {
    ++lineNumber;
    char* fields = strchr(line, ';');
    if (!fields) continue;
    std::string fen(line, fields);
    if (!setupFromFen(fen.c_str())) {
      printf("line %d: FEN refused: %s\n", lineNumber, fen.c_str());
      ++failures;
      continue;
    }
    for (char* field = fields; field; field = strchr(field + 1, ';')) {
      int depth = 0;
      unsigned long long expected = 0;
      if (sscanf(field, ";D%d %llu", &depth, &expected) != 2) continue;
      if ((maxDepth > 0 && depth > maxDepth) || (maxCount > 0 && expected > maxCount)) continue;
      if (onlyDepth > 0 && depth != onlyDepth) continue;
      auto start = std::chrono::steady_clock::now();
      uint64_t count = perft(depth);
      bool ok = count == expected;
      if (!ok) ++failures;
      ++counts;
      leaves += count;
      if (ok && quiet) continue;
      printf("line %d depth %d: %" PRIu64 " %s (expected %llu, %.2f s)\n", lineNumber, depth, count,
             ok ? "ok" : "WRONG", expected, secondsSince(start));
    }
  }
  fclose(file);
  const double seconds = secondsSince(suiteStart);
  printf("%d counts, %" PRIu64 " leaves in %.2f s (%.1f M leaves/s)\n", counts, leaves, seconds,
         seconds > 0 ? leaves / seconds / 1e6 : 0.0);
  printf("%s\n", failures ? "FAILED" : "all counts match");
  return failures ? 1 : 0;
}

int usage() {
  fprintf(stderr,
          "usage: perft [--chess960] [--all-promotions] [--divide] <depth> [fen]\n"
          "       perft [--chess960] --suite <epd-file> [--max-depth N] [--max-count N] [--depth N]\n"
          "             [--quiet] [--all-promotions]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool divideRoot = false;
  const char* suite = nullptr;
  int maxDepth = 0;
  int onlyDepth = 0;
  unsigned long long maxCount = 0;  // skip expected counts above it
  int depth = -1;
  std::string fen;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--all-promotions") == 0) {
      allPromotions = true;
    } else if (strcmp(arg, "--chess960") == 0) {
      chess960Rules = 1;
    } else if (strcmp(arg, "--quiet") == 0) {
      quiet = true;
    } else if (strcmp(arg, "--depth") == 0 && i + 1 < argc) {
      onlyDepth = atoi(argv[++i]);
    } else if (strcmp(arg, "--divide") == 0) {
      divideRoot = true;
    } else if (strcmp(arg, "--suite") == 0 && i + 1 < argc) {
      suite = argv[++i];
    } else if (strcmp(arg, "--max-depth") == 0 && i + 1 < argc) {
      maxDepth = atoi(argv[++i]);
    } else if (strcmp(arg, "--max-count") == 0 && i + 1 < argc) {
      maxCount = strtoull(argv[++i], nullptr, 10);
    } else if (depth < 0 && !suite) {
      depth = atoi(arg);
    } else {
      // The rest of the words form the FEN, so it may be given unquoted.
      if (!fen.empty()) fen += ' ';
      fen += arg;
    }
  }

  initAttackTables();
  initKeysAndTables();
  if (suite) return runSuite(suite, onlyDepth, maxDepth, maxCount);
  if (depth < 1) return usage();
  if (!setupFromFen(fen.empty() ? kStartFen : fen.c_str())) {
    fprintf(stderr, "perft: FEN refused\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  uint64_t count = perft(depth, divideRoot);
  double seconds = secondsSince(start);
  printf("perft %d: %" PRIu64 " leaves in %.2f s (%.1f M leaves/s)\n", depth, count, seconds,
         seconds > 0 ? count / seconds / 1e6 : 0.0);
  return 0;
}
