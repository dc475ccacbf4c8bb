// Search signature: iterative deepening to a fixed depth over the ten test
// positions, with a clock that never stops it. Prints the total node count
// (pollTime calls) and the speed. The node count changes only when the
// search's behaviour changes, never with the machine or the build type.
//
//   bench [depth] [--expect N | --expect-file FILE] [--watch-input] [--syzygy DIR] [--threads N]
//         [--search exact|strong]
//
// --watch-input makes the search look at standard input as the protocols do
// while they think (a line waiting is left there): the node count must stay,
// the speed shows what the look costs. --syzygy loads endgame tables: the
// node count must stay too (no bench position comes near them).
// --threads N searches with N threads: the time is the time to depth, the
// nodes all threads' (no signature then: they vary from run to run).
// With --expect the exit code is 1 when the node count differs from N;
// FILE holds lines "depth nodes" (the recorded signatures, # for comments),
// and "strong depth nodes" for the strong search.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/bench.h"
#include "engine/search_threads.h"
#include "search/search_clock.h"
#include "search/strong_search.h"
#include "search/tablebase.h"

namespace {

// The node count recorded for depth in a signature file, -1 if none.
long long recordedSignature(const char* path, int depth) {
  FILE* file = std::fopen(path, "r");
  if (!file) return -1;
  char text[256];
  long long found = -1;
  const bool strong = searchKind == kSearchStrong;
  while (std::fgets(text, sizeof text, file)) {
    int d = 0;
    long long nodes = 0;
    const char* row = text;
    if (strong != (std::strncmp(row, "strong ", 7) == 0)) continue;
    if (strong) row += 7;
    if (row[0] != '#' && std::sscanf(row, "%d %lld", &d, &nodes) == 2 && d == depth) found = nodes;
  }
  std::fclose(file);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  int depth = kBenchDepth;
  long long expected = -1;
  const char* signatureFile = nullptr;
  const char* syzygyPath = nullptr;  // tables loaded: the same nodes, probes never reached
  int threads = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--expect") == 0 && i + 1 < argc)
      expected = std::atoll(argv[++i]);
    else if (std::strcmp(argv[i], "--expect-file") == 0 && i + 1 < argc)
      signatureFile = argv[++i];
    else if (std::strcmp(argv[i], "--syzygy") == 0 && i + 1 < argc)
      syzygyPath = argv[++i];
    else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
      threads = setSearchThreads(std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--search") == 0 && i + 1 < argc)
      searchKind = std::strcmp(argv[++i], "strong") == 0 ? kSearchStrong : kSearchExact;
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

  prepareBench();
  if (syzygyPath) {
    char message[4200];
    loadTablebases(syzygyPath, message, sizeof message);
    std::fprintf(stderr, "%s\n", message);
    if (tablebasePieces == 0) return 2;
  }
  const BenchResult result = runBench(
      depth,
      [](int index, uint64_t nodes, Move best) {
        std::printf("position %2d: %12llu nodes  best %08x\n", index + 1, static_cast<unsigned long long>(nodes), best);
      },
      threads);
  if (result.refused) {
    std::fprintf(stderr, "bench: a position was refused\n");
    return 2;
  }
  const uint64_t totalNodes = result.nodes;
  const double totalSeconds = result.seconds, cpuSeconds = result.cpuSeconds;
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
