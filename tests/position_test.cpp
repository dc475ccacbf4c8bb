#include <gtest/gtest.h>

#include "board/position.h"
#include "board/random.h"

namespace {

TEST(RandomGenerator, ReproducesTheClassicSequence) {
  seedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected) EXPECT_EQ(nextRandom(), value);
}

}  // namespace
