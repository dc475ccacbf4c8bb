// Search signature: iterative deepening to a fixed depth over the ten test
// positions, with a clock that never stops it. Prints the total node count
// (pollTime calls) and the speed. The node count changes only when the
// search's behaviour changes, never with the machine or the build type.
//
//   bench [depth] [--expect N | --expect-file FILE]
//
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
#include "engine/think.h"
#include "eval/eval_setup.h"

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

const char* const kBenchPositions[10] = {
    "r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0",
    "r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12",
    "2r2b1r/p1qk1ppp/2p1pn2/1B6/Pp6/4PP2/1PQB1P1P/2R2RK1 w - - 0 16 ",
    "r5k1/7p/1Rp2rp1/2Pp4/P2Qp3/4PqP1/3R1P1P/6K1 w - - 0 38",
    "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2",
    "rnbqkbnr/ppp1pppp/8/8/2pP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3",
    "r1b1kb1r/ppp1n3/3q4/4pp2/4Q1p1/3B4/PPPP1PP1/R1B1NRK1 w kq - 0 15",
    "4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63",
    "r3kb1r/ppp1pppp/2n2n2/q7/2BP2b1/2N5/PPP1NPPP/R1BQK2R w KQkq - 5 7 ",
    "r3kb1r/ppp1pppp/2n2n2/q4b2/2BP4/2N2P2/PPP1N1PP/R1BQK2R w KQkq - 1 8 ",
};

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
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--expect") == 0 && i + 1 < argc)
      expected = std::atoll(argv[++i]);
    else if (std::strcmp(argv[i], "--expect-file") == 0 && i + 1 < argc)
      signatureFile = argv[++i];
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

  uint64_t totalNodes = 0;
  double totalSeconds = 0;
  // Processor time too: on a shared machine the wall clock undersells the speed.
  const std::clock_t cpuStart = std::clock();
  for (int n = 0; n < 10; ++n) {
    searchPly = 0;
    if (!setupFromFen(kBenchPositions[n])) {
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
