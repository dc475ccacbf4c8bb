// How much memory the system could still hand over. A big allocation can
// succeed on paper (Linux promises memory it may not have) and then end the
// process when its pages are touched: the tables ask here first.
#pragma once

#include <cstdint>

// Bytes of physical memory available now; UINT64_MAX when the system cannot say.
uint64_t availableMemory();
