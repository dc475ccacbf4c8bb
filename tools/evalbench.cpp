// Full evaluations per second over a fixed set of positions: the ten test
// positions of "deb" and positions reached by random legal play from a fixed seed.
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "engine/command_loop.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "search/trans_table.h"

namespace {

// A snapshot of the position: copying the record is the simplest way to
// revisit a position without replaying its moves.
std::vector<Position> collectPositions() {
  std::vector<Position> positions;
  for (const char* fen : kTestPositions)
    if (setupFromFen(fen)) positions.push_back(pos);
  uint32_t state = 12345;
  for (int game = 0; game < 20; game++) {
    setupFromFen(kStartFen);
    for (int ply = 0; ply < 120; ply++) {
      const int count = generateLegalMoves();
      if (count == 0) break;
      state = state * 1664525u + 1013904223u;
      commitGameMove(moveStack[listStart[0] + (state >> 8) % count]);
      if (ply % 6 == 5) positions.push_back(pos);
    }
  }
  return positions;
}

}  // namespace

int main() {
  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
  const std::vector<Position> positions = collectPositions();

  const int rounds = 20000000 / int(positions.size()) / 10;
  long long evaluations = 0, checksum = 0;
  // Processor time as well as wall time: the machine may be shared.
  double seconds = 0, cpuSeconds = 0;
  for (const Position& p : positions) {
    pos = p;
    prepareEvaluation();
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < rounds; i++) checksum += evaluate(-1000000, 1000000);
    cpuSeconds += double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    evaluations += rounds;
  }
  std::printf("positions %zu, evaluations %lld, checksum %lld\n", positions.size(), evaluations,
              checksum);
  std::printf("%.0f evaluations per second (processor time), %.0f (wall time)\n",
              evaluations / cpuSeconds, evaluations / seconds);
  return 0;
}
