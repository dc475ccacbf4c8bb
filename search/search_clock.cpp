#include "search/search_clock.h"

#include "platform/console.h"
#include "platform/input.h"
#include "platform/ticks.h"

Clock searchClock = {750, 750, 0, 0, 0, false};
SearchLimits searchLimits = {0, nullptr};

static uint32_t (*tickSource)() = tickCount;

void setTickSource(uint32_t (*source)()) { tickSource = source ? source : tickCount; }

uint64_t currentCentiseconds() { return uint64_t(tickSource() / 10u); }

void startSearchClock() {
  searchClock.now = searchClock.searchStart = currentCentiseconds();
  searchClock.pollCount = 0;
  searchClock.stopFlag = false;
}

int64_t elapsedTime() { return int64_t(searchClock.now - searchClock.searchStart); }

bool readClockAndTest() {
  searchClock.now = currentCentiseconds();
  // The tick counter wrapped: count the elapsed time from the wrap.
  if (searchClock.now < searchClock.searchStart) searchClock.searchStart = searchClock.now;
  // One system call at most, and only when someone watches the input: with
  // nothing waiting the search goes on exactly as without the watch.
  bool stop = terminationRequested() ||
              (searchLimits.onInputWaiting && inputLineWaiting() && searchLimits.onInputWaiting());
  if (stop || elapsedTime() >= searchClock.budget ||
      (searchLimits.nodeLimit != 0 && searchClock.pollCount >= searchLimits.nodeLimit)) {
    searchClock.stopFlag = true;
    return true;
  }
  return false;
}
