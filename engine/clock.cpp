#include "engine/clock.h"

#include <cstdint>

#include "board/position.h"

void setSearchTime(int seconds) {
  // 32-bit product that wraps like the protocol's original arithmetic; a
  // wrapped (negative) product falls back to the default.
  int32_t product = int32_t(uint32_t(seconds) * 100u);
  searchClock.budget = product > 0 ? product : 500;
}

void setRemainingTime(int64_t remaining) {
  // Moves to go until the next control; the two sides count differently.
  int ply = pos.gamePly;
  int movesToGo = pos.sideToMove == kWhite ? 40 - ((ply / 2) % 40) : 40 - (((ply - 2) / 2) % 38);
  // 64-bit, and capped, so that a huge remaining time cannot overflow into a
  // negative budget.
  int64_t share = remaining / movesToGo;
  if (share > INT64_MAX / 99) share = INT64_MAX / 99;
  searchClock.budget = share * 99 / 100;
  // With one move to go that would be 99% of the clock, less than the clock
  // polling interval and the interface's latency: the move would end after
  // the flag fell. Keep a fixed reserve on the clock.
  int64_t ceiling = remaining - kClockReserve;
  if (searchClock.budget > ceiling) searchClock.budget = ceiling > 0 ? ceiling : 0;
}

void resetBudget() { searchClock.budget = 750; }

bool shouldStopDeepening(int depth, int score, int previousScore) {
  double elapsed = double(elapsedTime());
  if (double(searchClock.budget) < 1.2 * elapsed) return true;
  int64_t change = int64_t(previousScore) - score;
  if (change < 0) change = -change;
  if (depth > 2 && change < 80 && double(searchClock.savedBudget) < 1.5 * elapsed) return true;
  return false;
}
