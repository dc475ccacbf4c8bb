#include <gtest/gtest.h>

#include "board/position.h"
#include "engine/clock.h"

namespace {

uint32_t fakeTicks = 0;  // milliseconds
int tickReads = 0;
uint32_t readFakeTicks() { ++tickReads; return fakeTicks; }

struct ClockTest : ::testing::Test {
  Clock savedClock = searchClock;
  Position savedPos = pos;
  void SetUp() override { setTickSource(readFakeTicks); }
  void TearDown() override { setTickSource(nullptr); searchClock = savedClock; pos = savedPos; }
  int stopsIn(int n) {
    int stops = 0;
    while (n-- > 0) stops += pollTime();
    return stops;
  }
};

TEST_F(ClockTest, SearchAndRemainingTimeGiveTheBudget) {
  // "st": seconds, the default for non-positive or 32-bit-wrapping products.
  const int seconds[][2] = {{5, 500}, {0, 500}, {-7, 500}, {21474836, 2147483600}, {21474837, 500}};
  for (const auto& row : seconds) {
    setSearchTime(row[0]);
    EXPECT_EQ(searchClock.budget, row[1]) << row[0];
  }
  // "time": 99% of the share of the moves to go, which the sides count
  // differently, but never more than the clock less its 20 cs reserve;
  // 64-bit, so huge values stay positive.
  struct Row { int ply, side; int64_t remaining, budget; };
  const Row rows[] = {{0, kWhite, 40000, 990},   {2, kWhite, 39000, 990},   {78, kWhite, 1000, 980},
                      {80, kWhite, 40000, 990},  {0, kBlack, 41000, 990},   {1, kBlack, 40000, 990},
                      {5, kBlack, 39000, 990},   {77, kBlack, 3000, 990},   {79, kBlack, 40000, 990},
                      {0, kWhite, 6000, 148},    {0, kWhite, 39, 0},        {0, kWhite, 4000000000000LL, 99000000000LL},
                      {78, kWhite, INT64_MAX, INT64_MAX / 99 * 99 / 100},
                      {78, kWhite, 100000, 99000}, {78, kWhite, 100, 80}, {78, kWhite, 20, 0}};
  for (const Row& row : rows) {
    pos.gamePly = row.ply;
    pos.sideToMove = row.side;
    setRemainingTime(row.remaining);
    EXPECT_EQ(searchClock.budget, row.budget) << "ply " << row.ply << " side " << row.side;
  }
}

TEST_F(ClockTest, PollReadsTheClockEvery4096CallsTheStopSticksAndWrapsAreSafe) {
  searchClock.budget = 100;
  fakeTicks = 123450;
  startClock();
  EXPECT_EQ(searchClock.searchStart, 12345u);
  fakeTicks += 990;  // 99 cs: not yet
  EXPECT_EQ(stopsIn(4096), 0);
  fakeTicks += 10;  // 100 cs: reached, seen at the next 4096th call
  tickReads = 0;
  EXPECT_EQ(stopsIn(4095), 0);
  EXPECT_EQ(stopsIn(1), 1);
  EXPECT_EQ(stopsIn(10000), 10000);
  EXPECT_EQ(tickReads, 1);  // the flag answers without reading the clock
  startClock();             // a new think clears it
  EXPECT_EQ(stopsIn(4096), 0);
  // A wrapped tick counter: 50 cs counted from the wrap, neither huge nor negative.
  fakeTicks = 0xFFFFFFF0u;
  startClock();
  fakeTicks = 500;
  EXPECT_EQ(stopsIn(4096), 0);
  EXPECT_EQ(elapsedTime(), 0);
  fakeTicks = 1500;
  EXPECT_EQ(stopsIn(4096), 1);
  EXPECT_EQ(elapsedTime(), 100);
}

// Stop when the budget is below 1.2 times the elapsed time, or at depth > 2 when the score
// moved by less than 80 and the budget before doubling is below 1.5 times; equality goes on.
TEST_F(ClockTest, DeepeningStopsAtBothRulesBoundaries) {
  const struct { int64_t budget, saved; uint64_t elapsed; int depth, score, previous; bool stop; } rows[] = {
      {1200, 1200, 1000, 2, 0, 500, false}, {1200, 1200, 1001, 2, 0, 500, true},
      {2400, 1200, 800, 3, 0, 79, false},    {2400, 1200, 801, 3, 0, 79, true},
      {2400, 1200, 801, 3, -40, -119, true}, {2400, 1200, 801, 3, 0, 80, false},
      {2400, 1200, 801, 2, 0, 0, false}};
  for (const auto& r : rows) {
    searchClock.budget = r.budget;
    searchClock.savedBudget = r.saved;
    searchClock.searchStart = 5000;
    searchClock.now = 5000 + r.elapsed;
    EXPECT_EQ(shouldStopDeepening(r.depth, r.score, r.previous), r.stop) << r.budget << " " << r.elapsed;
  }
}

}  // namespace
