// Per-move time budget and the clock of the current think, in centiseconds.
#pragma once

#include <cstdint>

struct Clock {
  int64_t budget;       // time allowed for the current move
  int64_t savedBudget;  // budget before the early-game doubling of a think
  uint64_t searchStart; // centiseconds at the start of the think
  uint64_t now;         // last clock reading of the think
  uint64_t pollCount;   // pollTime calls of this think; doubles as node count
  bool stopFlag;        // budget used up; stays set until the next think
};

extern Clock searchClock;

// Centiseconds from the tick counter. Tests may replace the tick source.
uint64_t currentCentiseconds();
void setTickSource(uint32_t (*source)());  // nullptr restores the system counter

void setSearchTime(int seconds);           // "st"
// "time": remaining >= 0, centiseconds. The budget never plans to use more
// than the remaining time less kClockReserve.
void setRemainingTime(int64_t remaining);
constexpr int64_t kClockReserve = 20;
void resetBudget();
void startClock();
bool shouldStopDeepening(int depth, int score, int previousScore);
int64_t elapsedTime();

bool readClockAndTest();  // the slow half of pollTime

// Called at every node: reads the clock only once per 4096 calls.
inline bool pollTime() {
  searchClock.pollCount += 1;
  if ((searchClock.pollCount & 0xFFF) != 0 || searchClock.stopFlag) return searchClock.stopFlag;
  return readClockAndTest();
}
