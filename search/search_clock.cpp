#include "search/search_clock.h"

#include "board/per_thread.h"
#include "platform/console.h"
#include "platform/input.h"
#include "platform/ticks.h"

PER_THREAD Clock searchClock = {750, 750, 0, 0, 0, false};
PER_THREAD SearchLimits searchLimits = {0, nullptr, 0, 0, 0};

PER_THREAD bool helperThread = false;
std::atomic<bool> helpersStop{false};
std::atomic<uint64_t> helperNodes{0};

static uint32_t (*tickSource)() = tickCount;
// The tick of the start of the think, for the millisecond limit and reports.
static uint32_t startTick;

void setTickSource(uint32_t (*source)()) { tickSource = source ? source : tickCount; }

uint64_t currentCentiseconds() { return uint64_t(tickSource() / 10u); }

void startSearchClock() {
  startTick = tickSource();
  searchClock.now = searchClock.searchStart = uint64_t(startTick / 10u);
  searchClock.pollCount = 0;
  searchClock.stopFlag = false;
}

// The nodes of this helper already added to helperNodes.
static PER_THREAD uint64_t publishedNodes;

void startHelperClock() {
  searchClock.pollCount = publishedNodes = 0;
  searchClock.stopFlag = false;
}

void publishHelperNodes() {
  helperNodes.fetch_add(searchClock.pollCount - publishedNodes, std::memory_order_relaxed);
  publishedNodes = searchClock.pollCount;
}

int64_t elapsedTime() { return int64_t(searchClock.now - searchClock.searchStart); }

int64_t elapsedMilliseconds() { return int64_t(uint32_t(tickSource() - startTick)); }

bool readClockAndTest() {
  if (helperThread) {
    publishHelperNodes();
    searchClock.stopFlag = helpersStop.load(std::memory_order_relaxed);
    return searchClock.stopFlag;
  }
  const uint32_t tick = tickSource();
  searchClock.now = uint64_t(tick / 10u);
  // The tick counter wrapped: count the elapsed time from the wrap.
  if (searchClock.now < searchClock.searchStart) searchClock.searchStart = searchClock.now;
  // One system call at most, and only when someone watches the input: with
  // nothing waiting the search goes on exactly as without the watch.
  bool stop = terminationRequested() ||
              (searchLimits.onInputWaiting && inputLineWaiting() && searchLimits.onInputWaiting());
  if (stop || elapsedTime() >= searchClock.budget ||
      (searchLimits.nodeLimit != 0 && searchNodes() >= searchLimits.nodeLimit) ||
      (searchLimits.moveTimeMs != 0 && int64_t(uint32_t(tick - startTick)) >= searchLimits.moveTimeMs)) {
    searchClock.stopFlag = true;
    return true;
  }
  return false;
}
