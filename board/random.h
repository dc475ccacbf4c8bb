// The engine's one pseudo-random generator: the classic C runtime linear
// congruential sequence, reproduced here so hash keys are the same everywhere.
#pragma once

#include <cstdint>

constexpr int kRandomMax = 0x7FFF;

void seedRandom(uint32_t seed);  // srand
int nextRandom();                // rand: 0..32767
