#include "engine/bench.h"

#include <chrono>
#include <ctime>

#include "board/attacks.h"
#include "board/fen.h"
#include "engine/clock.h"
#include "engine/session.h"
#include "engine/deepen.h"
#include "eval/eval_setup.h"
#include "search/search_tables.h"
#include "search/trans_table.h"

namespace {

void hearNothing(const RootMove&, int, uint64_t) {}

}  // namespace

void prepareBench() {
  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
}

BenchResult runBench(int depth, void (*onPosition)(int index, uint64_t nodes, Move best), int threads) {
  BenchResult result = {0, 0, 0, false};
  void (*const listener)(const RootMove&, int, uint64_t) = newBestMoveListener;
  newBestMoveListener = hearNothing;
  // Processor time too: on a shared machine the wall clock undersells the speed.
  const std::clock_t cpuStart = std::clock();
  for (int n = 0; n < 10; ++n) {
    searchPly = 0;
    if (!setupFromFen(kTestPositions[n])) {
      result.refused = true;
      break;
    }
    startClock();
    searchClock.budget = int64_t(1) << 40;  // the clock never ends an iteration
    const auto start = std::chrono::steady_clock::now();
    Move best = 0;
    if (prepareRoot() > 0) best = deepen(depth, nullptr, 0, threads, searchKind);
    result.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint64_t nodes = searchNodes();
    result.nodes += nodes;
    if (onPosition) onPosition(n, nodes, best);
  }
  result.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  newBestMoveListener = listener;
  return result;
}
