#include "board/random.h"

namespace {
uint32_t state = 1;
}

void seedRandom(uint32_t seed) { state = seed; }

int nextRandom() {
  state = state * 214013u + 2531011u;
  return int((state >> 16) & 0x7FFF);
}
