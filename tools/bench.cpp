// Search signature: iterative deepening to a fixed depth over the ten test
// positions, with a clock that never stops it. Prints the total node count
// (pollTime calls) and the speed. The node count changes only when the
// search's behaviour changes, never with the machine or the build type.
//
//   bench [depth] [--expect N | --expect-file FILE] [--watch-input] [--syzygy DIR]
//
// --watch-input makes the search look at standard input as the protocols do
// while they think (a line waiting is left there): the node count must stay,
// the speed shows what the look costs. --syzygy loads endgame tables: the
// node count must stay too (no bench position comes near them).
// With --expect the exit code is 1 when the node count differs from N;
// FILE holds lines "depth nodes" (the recorded signatures, # for comments).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "engine/clock.h"
#include "engine/command_loop.h"
#include "engine/think.h"
#include "eval/eval_setup.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

namespace {

// The node count recorded for depth in a signature file, -1 if none.
long long recordedSignature(const char* path, int depth) {
  FILE* file = std::fopen(path, "r");
  if (!file) return -1;
  char text[256];
  long long found = -1;
  while (std::fgets(text, sizeof text, file)) {
    int d = 0;
    long long nodes = 0;
    if (text[0] != '#' && std::sscanf(text, "%d %lld", &d, &nodes) == 2 && d == depth) found = nodes;
  }
  std::fclose(file);
  return found;
}

constexpr int kDefaultDepth = 8;

// The thinking lines would drown the summary: send them to /dev/null.
int silenceStdout() {
  fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  FILE* sink = fopen("/dev/null", "w");
  if (sink) {
    dup2(fileno(sink), STDOUT_FILENO);
    fclose(sink);
  }
  return saved;
}

void restoreStdout(int saved) {
  fflush(stdout);
  if (saved >= 0) {
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int depth = kDefaultDepth;
  long long expected = -1;
  const char* signatureFile = nullptr;
  const char* syzygyPath = nullptr;  // tables loaded: the same nodes, probes never reached
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--expect") == 0 && i + 1 < argc)
      expected = std::atoll(argv[++i]);
    else if (std::strcmp(argv[i], "--expect-file") == 0 && i + 1 < argc)
      signatureFile = argv[++i];
    else if (std::strcmp(argv[i], "--syzygy") == 0 && i + 1 < argc)
      syzygyPath = argv[++i];
    else if (std::strcmp(argv[i], "--watch-input") == 0)
      searchLimits.onInputWaiting = [] { return false; };
    else
      depth = std::atoi(argv[i]);
  }
  if (signatureFile) {
    expected = recordedSignature(signatureFile, depth);
    if (expected < 0) {
      std::fprintf(stderr, "bench: no signature for depth %d in %s\n", depth, signatureFile);
      return 2;
    }
  }
  if (depth < 2 || depth > 90) {
    std::fprintf(stderr, "bench: depth must be 2..90\n");
    return 2;
  }

  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
  if (syzygyPath) {
    char message[4200];
    loadTablebases(syzygyPath, message, sizeof message);
    std::fprintf(stderr, "%s\n", message);
    if (tablebasePieces == 0) return 2;
  }

  uint64_t totalNodes = 0;
  double totalSeconds = 0;
  // Processor time too: on a shared machine the wall clock undersells the speed.
  const std::clock_t cpuStart = std::clock();
  for (int n = 0; n < 10; ++n) {
    searchPly = 0;
    if (!setupFromFen(kTestPositions[n])) {
      std::fprintf(stderr, "bench: position %d refused\n", n + 1);
      return 2;
    }
    startClock();
    searchClock.budget = int64_t(1) << 40;  // the clock never ends an iteration
    const auto start = std::chrono::steady_clock::now();
    const int saved = silenceStdout();
    Move best = 0;
    if (prepareRoot() > 0) best = deepen(depth);
    restoreStdout(saved);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    totalNodes += searchClock.pollCount;
    totalSeconds += seconds;
    std::printf("position %2d: %12llu nodes  best %08x\n", n + 1,
                static_cast<unsigned long long>(searchClock.pollCount), best);
  }
  const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double rate = totalSeconds > 0 ? double(totalNodes) / totalSeconds : 0;
  const double cpuRate = cpuSeconds > 0 ? double(totalNodes) / cpuSeconds : 0;
  std::printf("depth %d: %llu nodes in %.2f s (%.2f s processor), %.0f nodes per second (%.0f per processor second)\n",
              depth, static_cast<unsigned long long>(totalNodes), totalSeconds, cpuSeconds, rate, cpuRate);
  std::printf("Bench: %llu\n", static_cast<unsigned long long>(totalNodes));
  if (expected >= 0 && static_cast<unsigned long long>(expected) != totalNodes) {
    std::fprintf(stderr, "bench: node count %llu differs from the signature %lld\n",
                 static_cast<unsigned long long>(totalNodes), expected);
    return 1;
  }
  return 0;
}
