#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "board/position.h"
#include "engine/clock.h"

namespace {

uint32_t fakeTicks = 0;  // milliseconds
int tickReads = 0;
uint32_t readFakeTicks() { ++tickReads; return fakeTicks; }

struct ClockTest : ::testing::Test {
  std::tuple<Clock, TimeControl, BudgetPlan, Position> saved{searchClock, timeControl, budgetPlan, pos};
  void SetUp() override { setTickSource(readFakeTicks); }
  void TearDown() override {
    setTickSource(nullptr);
    std::tie(searchClock, timeControl, budgetPlan, pos) = saved;
  }
  static int64_t doubled() { return doubleBudget(), searchClock.budget; }
  static std::pair<int64_t, int64_t> budgetAndDoubled() { const int64_t budget = searchClock.budget; return {budget, doubled()}; }
  static int stopsIn(int n, int stops = 0) {
    while (n-- > 0) stops += pollTime();
    return stops;
  }
};

TEST_F(ClockTest, SearchAndRemainingTimeGiveTheBudget) {
  // "st": seconds, the default for non-positive or 32-bit-wrapping products.
  for (const auto& row : {std::array<int, 2>{5, 500}, {0, 500}, {-7, 500}, {21474836, 2147483600}, {21474837, 500}}) {
    setSearchTime(row[0]);
    EXPECT_EQ(searchClock.budget, row[1]) << row[0];
  }
  // "time": 99% of the share of the moves to go (counted per side), at most the clock less 20 cs; 64-bit.
  struct Row { int ply, side; int64_t remaining, budget; };
  const Row rows[] = {{0, kWhite, 40000, 990}, {2, kWhite, 39000, 990}, {78, kWhite, 1000, 980}, {80, kWhite, 40000, 990},
      {0, kBlack, 41000, 990}, {1, kBlack, 40000, 990}, {5, kBlack, 39000, 990}, {77, kBlack, 3000, 990},
      {79, kBlack, 40000, 990}, {0, kWhite, 6000, 148}, {0, kWhite, 39, 0}, {0, kWhite, 4000000000000LL, 99000000000LL},
      {78, kWhite, INT64_MAX, INT64_MAX / 99 * 99 / 100}, {78, kWhite, 100000, 99000}, {78, kWhite, 100, 80},
      {78, kWhite, 20, 0}};
  for (int control : {-1, 40}) {  // "level 40 ..." keeps exactly that rule, increment or not
    if (control == 40) setTimeControl(40, 30000, 500);
    for (const Row& row : rows) {
      pos.gamePly = row.ply, pos.sideToMove = row.side;
      setRemainingTime(row.remaining);
      EXPECT_EQ(budgetAndDoubled(), std::make_pair(row.budget, 2 * row.budget)) << "ply " << row.ply << " side " << row.side;
    }
  }
}

// Every other control, alone and doubled. Reserve: 20 cs and the more of clock/40 and base/50. Sudden death:
// the rest over 45 - ply/4 moves (at least 20), 3/4 of the increment, no move more than a quarter of it.
TEST_F(ClockTest, EveryKindOfControlGivesABudgetTheClockAffords) {
  struct Row { int moves; int64_t base, inc; int ply; int64_t remaining, budget, doubled; };
  const Row rows[] = {
      {0, 6000, 0, 0, 6000, 129, 258},  {0, 6000, 0, 78, 1000, 33, 66},  // 5830 over 45 moves; the 40-move rule: 980
      {0, 6000, 0, 200, 1000, 43, 86},  {0, 0, 0, 200, 1000, 47, 94},    // a long endgame, with and without a base
      {0, 3000, 30, 40, 3000, 105, 210},                                 // 2905 / 35 + 22
      {0, 3000, 30, 100, 100, 5, 5},    {0, 3000, 30, 10, 100, 5, 5},    // more than a quarter of 20, doubled too
      {0, 0, 30, 100, 100, 19, 19},     {0, 6000, 0, 0, 20, 0, 0},
      {0, 6000, 0, 0, INT64_MAX, 68515199, 137030398},                   // a year's clock at most
      {20, 1000, 0, 0, 1000, 49, 98},   {20, 1000, 0, 40, 1000, 49, 98},
      {20, 1000, 0, 38, 1000, 955, 955}, {20, 1000, 0, 39, 1000, 955, 955},  // the last move before the control, both sides
      {20, 1000, 0, 36, 1000, 477, 477},  // two to go: half of what is usable at most
      {20, 6000, 0, 38, 1000, 860, 860},  // a larger base keeps more back
      {30, 6000, 100, 0, 3000, 174, 348}, {1, 6000, 0, 0, 500, 360, 360}};  // 99 + 75; every move the last
  for (const Row& row : rows) {
    setTimeControl(row.moves, row.base, row.inc);
    pos.gamePly = row.ply, pos.sideToMove = row.ply % 2 ? kBlack : kWhite;
    setRemainingTime(row.remaining);
    EXPECT_EQ(budgetAndDoubled(), std::make_pair(row.budget, row.doubled)) << row.moves << " moves, ply " << row.ply;
  }
  // "time" before the opponent's move: planned again for the think's ply, once.
  setTimeControl(20, 1000, 0);
  pos.gamePly = 37;
  setRemainingTime(1000);
  EXPECT_EQ(searchClock.budget, 477);
  pos.gamePly = 38;
  startClock();
  EXPECT_EQ(searchClock.budget, 955);
  searchClock.budget = 5;
  startClock();
  EXPECT_EQ(searchClock.budget, 5);
  // Everything at once, as UCI gives it; movesToGo 0 is sudden death.
  pos.gamePly = 0;
  for (const auto& u : {std::array<int64_t, 4>{6000, 0, 0, 129}, {1000, 100, 1, 955}, {4000, 0, 40, 99}}) {
    setClockBudget(u[0], u[1], u[2]);
    EXPECT_EQ(searchClock.budget, u[3]) << u[0] << " " << u[2];
  }
  // A fixed move time is not doubled past itself; "st" and a new game forget that ceiling.
  setMoveTime(50);
  EXPECT_EQ(doubled(), 50);
  setSearchTime(1);
  EXPECT_EQ(doubled(), 200);
  setMoveTime(50), resetBudget();
  EXPECT_EQ(doubled(), 1500);
}

TEST_F(ClockTest, LevelAndFractionalSecondsRead) {
  // A positive fraction of a second in centiseconds, rounded; -1 keeps the whole-second handling.
  const struct { const char* text; int64_t cs; } seconds[] = {
      {"+1.5", 150}, {".5", 50}, {"0.001", 1}, {"0.125", 13}, {"0.0", -1}, {"1.5x", -1}, {"5.", -1}, {"", -1}, {"1e2", -1}};
  for (const auto& c : seconds) EXPECT_EQ(fractionalSeconds(c.text), c.cs) << c.text;
  // "level MPS BASE INC": BASE in minutes or minutes:seconds, INC in seconds; refused, all kept as was.
  const struct { const char* text; bool read; int moves; int64_t base, inc; } levels[] = {
      {"40 5 0", true, 40, 30000, 0}, {"0 2:30 1\n", true, 0, 15000, 100}, {" 0 0:15 0.1", true, 0, 1500, 10},
      {"20 0.5 0", true, 20, 3000, 0}, {"0 1 2.5 extra", true, 0, 6000, 250}, {"0 0 5", true, 0, 0, 500},
      {"-1 5 0", false, 7, 7, 7}, {"40 5: 0", false, 7, 7, 7}, {"40 5 -2", false, 7, 7, 7}, {"40 5x 0", false, 7, 7, 7}};
  for (const auto& c : levels) {
    setTimeControl(7, 7, 7);
    EXPECT_EQ(applyLevel(c.text), c.read) << c.text;
    EXPECT_EQ(std::make_tuple(timeControl.movesPerControl, timeControl.baseCs, timeControl.incrementCs),
              std::make_tuple(c.moves, c.base, c.inc)) << c.text;
  }
}

TEST_F(ClockTest, PollReadsTheClockEvery4096CallsTheStopSticksAndWrapsAreSafe) {
  searchClock.budget = 100, fakeTicks = 123450;
  startClock();
  EXPECT_EQ(searchClock.searchStart, 12345u);
  fakeTicks += 990;  // 99 cs: not yet
  EXPECT_EQ(stopsIn(4096), 0);
  fakeTicks += 10, tickReads = 0;  // 100 cs: reached, seen at the next 4096th call
  EXPECT_TRUE(stopsIn(4095) == 0 && stopsIn(1) == 1 && stopsIn(10000) == 10000);
  EXPECT_EQ(tickReads, 1);  // the flag answers without reading the clock
  startClock();             // a new think clears it
  EXPECT_EQ(stopsIn(4096), 0);
  // A wrapped tick counter: 50 cs counted from the wrap, neither huge nor negative.
  fakeTicks = 0xFFFFFFF0u;
  startClock();
  fakeTicks = 500;  // a clock that steps back is caught up
  EXPECT_TRUE(stopsIn(4096) == 0 && elapsedTime() == 0);
  fakeTicks = 1500;
  EXPECT_TRUE(stopsIn(4096) == 1 && elapsedTime() == 100);
}

// Stop below 1.2 x elapsed, or at depth > 2 with a move under 80 and the saved budget under 1.5 x.
TEST_F(ClockTest, DeepeningStopsAtBothRulesBoundaries) {
  const struct { int64_t budget, saved; uint64_t elapsed; int depth, score, previous; bool stop; } rows[] = {
      {1200, 1200, 1000, 2, 0, 500, false}, {1200, 1200, 1001, 2, 0, 500, true},
      {2400, 1200, 800, 3, 0, 79, false},    {2400, 1200, 801, 3, 0, 79, true},
      {2400, 1200, 801, 3, -40, -119, true}, {2400, 1200, 801, 3, 0, 80, false}, {2400, 1200, 801, 2, 0, 0, false},
      {2400, 1200, 801, 3, 80, 0, false},    {2400, 1200, 801, 3, 79, 0, true}};  // a rise counts as a fall does
  for (const auto& r : rows) {
    searchClock.budget = r.budget, searchClock.savedBudget = r.saved;
    searchClock.searchStart = 5000, searchClock.now = 5000 + r.elapsed;
    EXPECT_EQ(shouldStopDeepening(r.depth, r.score, r.previous), r.stop) << r.budget << " " << r.elapsed;
  }
}

}  // namespace
