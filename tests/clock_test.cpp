#include <gtest/gtest.h>

#include "board/position.h"
#include "engine/clock.h"

namespace {

uint32_t fakeTicks = 0;
int tickReads = 0;
uint32_t readFakeTicks() {
  ++tickReads;
  return fakeTicks;
}

struct ClockTest : ::testing::Test {
  Clock savedClock;
  int savedPly, savedSide;
  void SetUp() override {
    savedClock = searchClock;
    savedPly = pos.gamePly;
    savedSide = pos.sideToMove;
    setTickSource(readFakeTicks);
    tickReads = 0;
  }
  void TearDown() override {
    setTickSource(nullptr);
    searchClock = savedClock;
    pos.gamePly = savedPly;
    pos.sideToMove = savedSide;
  }
  int64_t budgetAfterTime(int ply, int side, int64_t remaining) {
    pos.gamePly = ply;
    pos.sideToMove = side;
    setRemainingTime(remaining);
    return searchClock.budget;
  }
  void setElapsed(uint64_t elapsed) {
    searchClock.searchStart = 5000;
    searchClock.now = 5000 + elapsed;
  }
};

TEST_F(ClockTest, SearchTimeIsSecondsWithDefaultForNonPositive) {
  setSearchTime(5);
  EXPECT_EQ(searchClock.budget, 500);
  setSearchTime(30);
  EXPECT_EQ(searchClock.budget, 3000);
  searchClock.budget = 1;
  setSearchTime(0);
  EXPECT_EQ(searchClock.budget, 500);
  setSearchTime(-7);
  EXPECT_EQ(searchClock.budget, 500);
  // 21474837 * 100 wraps past the signed 32-bit range: default again.
  setSearchTime(21474837);
  EXPECT_EQ(searchClock.budget, 500);
  setSearchTime(21474836);
  EXPECT_EQ(searchClock.budget, 2147483600);
}

TEST_F(ClockTest, MovesToGoDifferForTheTwoSides) {
  struct Row { int ply, side; int64_t movesToGo; };
  const Row rows[] = {{0, kWhite, 40}, {2, kWhite, 39}, {78, kWhite, 1},  {80, kWhite, 40},
                      {0, kBlack, 41}, {1, kBlack, 40}, {3, kBlack, 40},  {5, kBlack, 39},
                      {77, kBlack, 3}, {79, kBlack, 40}};
  // With a remaining time of 1000 per move to go the budget is 990 exactly
  // when the moves to go are right.
  for (const Row& row : rows)
    EXPECT_EQ(budgetAfterTime(row.ply, row.side, 1000 * row.movesToGo), 990)
        << "ply " << row.ply << " side " << row.side;
}

TEST_F(ClockTest, RemainingTimeTruncatesAndNeverOverflows) {
  EXPECT_EQ(budgetAfterTime(0, kWhite, 6000), 148);
  EXPECT_EQ(budgetAfterTime(78, kWhite, 100), 99);
  EXPECT_EQ(budgetAfterTime(0, kWhite, 39), 0);
  EXPECT_EQ(budgetAfterTime(0, kWhite, 0), 0);
  // Beyond what 32-bit arithmetic could hold: must stay a large positive budget.
  EXPECT_EQ(budgetAfterTime(78, kWhite, 2147483647), int64_t(2147483647) * 99 / 100);
  EXPECT_EQ(budgetAfterTime(0, kWhite, 4000000000000LL), 99000000000LL);
  EXPECT_EQ(budgetAfterTime(78, kWhite, INT64_MAX), INT64_MAX / 99 * 99 / 100);
}

TEST_F(ClockTest, ResetBudgetRestoresTheDefault) {
  setSearchTime(30);
  resetBudget();
  EXPECT_EQ(searchClock.budget, 750);
}

TEST_F(ClockTest, PollReadsTheClockOncePer4096CallsAndStopsForGood) {
  fakeTicks = 123450;
  searchClock.budget = 0;
  startClock();
  EXPECT_EQ(searchClock.searchStart, 12345u);
  EXPECT_EQ(searchClock.pollCount, 0u);
  EXPECT_EQ(tickReads, 1);
  for (int i = 1; i < 4096; ++i) ASSERT_FALSE(pollTime()) << i;
  EXPECT_EQ(tickReads, 1);
  EXPECT_TRUE(pollTime());  // 4096th: a budget of 0 is used up at once
  EXPECT_EQ(tickReads, 2);
  for (int i = 0; i < 10000; ++i) ASSERT_TRUE(pollTime());
  EXPECT_EQ(tickReads, 2);  // the flag answers without reading the clock

  startClock();  // a new think clears the flag
  EXPECT_FALSE(searchClock.stopFlag);
  EXPECT_FALSE(pollTime());
}

TEST_F(ClockTest, PollStopsWhenTheBudgetIsReached) {
  searchClock.budget = 100;
  fakeTicks = 0;
  startClock();
  fakeTicks = 990;  // 99 cs
  for (int i = 0; i < 4096; ++i) ASSERT_FALSE(pollTime());
  fakeTicks = 1000;  // 100 cs: reached
  for (int i = 0; i < 4095; ++i) ASSERT_FALSE(pollTime());
  EXPECT_TRUE(pollTime());
  EXPECT_EQ(elapsedTime(), 100);
}

TEST_F(ClockTest, WrappedTickCounterRestartsElapsedTime) {
  searchClock.budget = 100;
  fakeTicks = 0xFFFFFFF0u;
  startClock();
  fakeTicks = 500;  // wrapped: 50 cs counted from the wrap, not a huge or negative value
  for (int i = 0; i < 4096; ++i) ASSERT_FALSE(pollTime());
  EXPECT_EQ(searchClock.searchStart, 50u);
  EXPECT_EQ(elapsedTime(), 0);
  fakeTicks = 1500;
  for (int i = 0; i < 4095; ++i) ASSERT_FALSE(pollTime());
  EXPECT_TRUE(pollTime());
  EXPECT_EQ(elapsedTime(), 100);
}

TEST_F(ClockTest, DeepeningStopsByWholeBudgetOrStableScore) {
  searchClock.savedBudget = 1000;
  searchClock.budget = 2000;  // doubled early in the game
  setElapsed(1700);           // 2000 < 2040
  EXPECT_TRUE(shouldStopDeepening(2, 0, 5000));
  setElapsed(1600);  // first rule lets it go on (2000 < 1920 is false)
  EXPECT_FALSE(shouldStopDeepening(3, 100, 0));
  EXPECT_FALSE(shouldStopDeepening(3, 0, 80));    // moved by exactly 80: not stable
  EXPECT_TRUE(shouldStopDeepening(3, 0, 79));     // stable and 1000 < 2400
  EXPECT_TRUE(shouldStopDeepening(3, -40, -100)); // stable either way round
  EXPECT_FALSE(shouldStopDeepening(2, 0, 0));     // stable rule needs depth > 2

  searchClock.budget = searchClock.savedBudget = 1200;
  setElapsed(1000);  // 1200 equals 1.2 * 1000: does not stop
  EXPECT_FALSE(shouldStopDeepening(2, 0, 0));
  setElapsed(800);  // 1200 equals 1.5 * 800: does not stop
  EXPECT_FALSE(shouldStopDeepening(5, 0, 0));
  setElapsed(801);
  EXPECT_TRUE(shouldStopDeepening(5, 0, 0));
}

}  // namespace
