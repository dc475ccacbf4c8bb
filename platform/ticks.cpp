#include "platform/ticks.h"

#ifdef _WIN32

#include <windows.h>

uint32_t tickCount() { return uint32_t(GetTickCount()); }

#else

#include <time.h>

uint32_t tickCount() {
  // CLOCK_MONOTONIC: wall-clock adjustments must not shorten or stretch a think.
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
  return uint32_t(ms);
}

#endif
