// The budget rules: how "st", "time", "level", UCI's clock words and a new
// game set the per-move budget, and when the deepening of a think stops.
#pragma once

#include <cstdint>

// The clock record and the search's stop test (pollTime) live with the search.
#include "search/search_clock.h"

// The kind of clock the game is played with: movesPerControl moves in
// baseCs, repeating, or sudden death (movesPerControl 0); incrementCs is
// added after every move. Kept across games until the next "level".
struct TimeControl {
  int movesPerControl;
  int64_t baseCs;
  int64_t incrementCs;
};

// A budget that depends on the game ply is worked out when the think starts:
// "time" arrives before the opponent's move does. pendingRemaining < 0: none.
// ceiling: the most the early-game doubling may raise the budget to.
struct BudgetPlan {
  int64_t pendingRemaining;
  int64_t ceiling;
};

extern TimeControl timeControl;
extern BudgetPlan budgetPlan;
// Time every move loses outside the search (the interface's and the
// network's lag), in centiseconds: kept back for this move and for every
// move the plan spreads the clock over. UCI's "Move Overhead"; 0 by default.
extern int64_t moveOverheadCs;
constexpr int64_t kNoCeiling = INT64_MAX;

void setSearchTime(int seconds);           // "st" with whole seconds
// "level MPS BASE INC": movesPerControl 0 is sudden death; base and increment in centiseconds.
void setTimeControl(int movesPerControl, int64_t baseCs, int64_t incrementCs);
// "time": remaining >= 0, centiseconds, under the control set by setTimeControl
// (40 moves unless told otherwise). The budget never plans to use more than
// the remaining time less kClockReserve.
void setRemainingTime(int64_t remaining);
// Everything at once (UCI "go wtime ... movestogo"): movesToGo > 0 counts to
// that control, 0 is sudden death with the increment.
void setClockBudget(int64_t remaining, int64_t incrementCs, int movesToGo);
// A fixed time per move that the doubling may not exceed ("st 0.5", "movetime").
void setMoveTime(int64_t centiseconds);
constexpr int64_t kClockReserve = 20;
void resetBudget();
// The start of a think: a budget that waited for the ply of the think is
// planned now, then the search's clock starts (startSearchClock).
void startClock();
// The early-game doubling, held to what the clock affords.
void doubleBudget();

// Protocol words. "st": centiseconds for a positive number with a fraction
// ("0.5", "2.25"), -1 for anything that keeps the whole-second handling.
int64_t fractionalSeconds(const char* text);
// "level" arguments as one text ("40 5 0", "0 2:30 1", "0 0:15 0.1"); false,
// and nothing set, when they do not read as a time control.
bool applyLevel(const char* arguments);
bool shouldStopDeepening(int depth, int score, int previousScore);
