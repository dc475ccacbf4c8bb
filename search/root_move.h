// One record per root move: what the root search found for it.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int kMaxLine = 100;

struct RootMove {
  int32_t score;  // from the root side's view
  int32_t bound;  // 3 exact, 2 lower bound
  int32_t depth;  // iteration that found the score; 0 before any
  Move line[kMaxLine];
  Move move;
};
