// The engine's benchmark: the ten test positions searched to a fixed depth
// with a clock that never stops an iteration, without book or learning. Its
// node count is the search's signature: the same on every run and machine.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int kBenchDepth = 8;

struct BenchResult {
  uint64_t nodes;     // pollTime calls over all positions
  double seconds;     // wall clock
  double cpuSeconds;  // processor time
  bool refused;       // a position could not be set up
};

// Attack tables, hash keys and evaluation tables, as start-up makes them.
void prepareBench();
// Searches each position to depth (2..90); onPosition, when set, hears of
// each (0-based index, its nodes, the move found). The search prints no
// thinking lines meanwhile. With threads above 1 (helpers started by
// setSearchThreads) the nodes are all threads' and vary from run to run.
BenchResult runBench(int depth, void (*onPosition)(int index, uint64_t nodes, Move best), int threads = 1);
