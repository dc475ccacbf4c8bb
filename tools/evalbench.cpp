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
#include "eval/eval_setup.h"
#include "eval/evaluate.h"

namespace {

const char* const kTestPositions[10] = {
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
