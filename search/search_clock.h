// The search's stop test: the clock of the current think, the limits it was
// given, and the questions asked every 4096 polls (time up? node limit
// reached? termination asked for? a line waiting for whoever watches input?).
#pragma once

#include <atomic>
#include <cstdint>

#include "board/per_thread.h"

struct Clock {
  int64_t budget;       // time allowed for the current move
  int64_t savedBudget;  // budget before the early-game doubling of a think
  uint64_t searchStart; // centiseconds at the start of the think
  uint64_t now;         // last clock reading of the think
  uint64_t pollCount;   // pollTime calls of this think; doubles as node count
  bool stopFlag;        // budget used up; stays set until the next think
};

extern PER_THREAD Clock searchClock;

// What a think may be told besides its budget. Both stay as set until
// changed; the protocols set them around the thinks that need them.
struct SearchLimits {
  uint64_t nodeLimit;  // stop once this many polls were made (checked every 4096); 0 for none
  // Set while someone watches standard input during a search: called when a
  // line is waiting, answers true to stop the search.
  bool (*onInputWaiting)();
  int lineCount;       // best root lines wanted (MultiPV); 0 or 1: the one line of a game move
  int mateMoves;       // deepen until a mate in this many moves or fewer; 0: any mate ends it
  int64_t moveTimeMs;  // milliseconds from the start of the think at which it stops; 0: none
};

extern PER_THREAD SearchLimits searchLimits;

// A parallel think: its helper threads read neither clock nor input. They
// stop when the think's own thread says so and add their nodes to its count.
extern PER_THREAD bool helperThread;
extern std::atomic<bool> helpersStop;
extern std::atomic<uint64_t> helperNodes;

// Nodes of the think under way, all its threads' together.
inline uint64_t searchNodes() { return searchClock.pollCount + helperNodes.load(std::memory_order_relaxed); }

// A helper's clock at the start of its search, and its last nodes counted.
void startHelperClock();
void publishHelperNodes();

// Centiseconds from the tick counter. Tests may replace the tick source.
uint64_t currentCentiseconds();
void setTickSource(uint32_t (*source)());  // nullptr restores the system counter

// The start of a think: time, poll count and stop flag afresh.
void startSearchClock();
int64_t elapsedTime();
// Milliseconds since the start of the think, read from the clock now.
int64_t elapsedMilliseconds();

bool readClockAndTest();  // the slow half of pollTime

// Called at every node: reads the clock only once per 4096 calls.
inline bool pollTime() {
  searchClock.pollCount += 1;
  if ((searchClock.pollCount & 0xFFF) != 0 || searchClock.stopFlag) return searchClock.stopFlag;
  return readClockAndTest();
}
