// The engine's one time source: a millisecond tick counter that wraps at
// 2^32 like the system tick counter the time rules were written for.
#pragma once

#include <cstdint>

uint32_t tickCount();  // milliseconds since an arbitrary start, truncated to 32 bits
