// The budget rules: how "st", "time" and a new game set the per-move budget,
// and when the deepening of a think stops.
#pragma once

#include <cstdint>

// The clock record and the search's stop test (pollTime) live with the search.
#include "search/search_clock.h"

void setSearchTime(int seconds);           // "st"
// "time": remaining >= 0, centiseconds. The budget never plans to use more
// than the remaining time less kClockReserve.
void setRemainingTime(int64_t remaining);
constexpr int64_t kClockReserve = 20;
void resetBudget();
bool shouldStopDeepening(int depth, int score, int previousScore);
