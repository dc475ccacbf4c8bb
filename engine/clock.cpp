#include "engine/clock.h"

#include <cstdint>

#include "board/position.h"
TimeControl timeControl = {40, 0, 0};
BudgetPlan budgetPlan = {-1, kNoCeiling};
int64_t moveOverheadCs = 0;

namespace {

// The 40-move control, and a clock without "level", keep their rule exactly as it was.
constexpr int kClassicControl = 40;
// Sudden death: the game is expected to last this many more moves at first,
// one less for every two played, but never fewer than the floor: a long
// endgame must still find time on the clock.
constexpr int kMovesLeftAtStart = 45;
constexpr int kMovesLeftFloor = 20;
// Larger clocks lose more to the interface's latency and the poll interval.
constexpr int64_t kReserveShare = 40;
// Every move, however quick, costs a few milliseconds: a share of the base
// time is never planned, so a game of hundreds of moves still ends in time.
constexpr int64_t kBaseReserveShare = 50;
// In sudden death no single move, doubled or not, takes more than this share of the clock.
constexpr int64_t kMoveShare = 4;
// Inputs past a year of centiseconds are taken as that: the arithmetic below stays in range.
constexpr int64_t kLongestClock = 100LL * 3600 * 24 * 366;

int64_t clampClock(int64_t cs) { return cs < 0 ? 0 : cs > kLongestClock ? kLongestClock : cs; }

// The clock less the lag of the moves it must last.
int64_t lessLag(int64_t remaining, int moves) {
  const int64_t lag = moveOverheadCs * moves;
  return remaining > lag ? remaining - lag : 0;
}

// Most of the increment comes back after the move; a quarter of it covers the latency.
int64_t incrementShare(int64_t increment) { return clampClock(increment) * 3 / 4; }

// Never planned: 20 cs, and 1/40 of the clock or 1/50 of the base time,
// whichever is more.
int64_t clockReserve(int64_t remaining) {
  int64_t reserve = remaining / kReserveShare;
  if (reserve < timeControl.baseCs / kBaseReserveShare) reserve = timeControl.baseCs / kBaseReserveShare;
  return kClockReserve + reserve;
}

// movesToGo moves until the next control: 99% of the share, plus most of the
// increment; only the last move before the control may take all of the
// clock but the reserve, any other at most half of that, doubled or not.
void planControl(int64_t remaining, int64_t increment, int movesToGo) {
  remaining = lessLag(clampClock(remaining), movesToGo);
  int64_t reserve = clockReserve(remaining);
  int64_t afford = remaining > reserve ? remaining - reserve : 0;
  int64_t ceiling = movesToGo == 1 ? afford : afford / 2;
  int64_t budget = remaining / movesToGo * 99 / 100 + incrementShare(increment);
  searchClock.budget = budget < ceiling ? budget : ceiling;
  budgetPlan.ceiling = ceiling;
}

// Sudden death, with or without increment: the clock less a reserve, spread
// over the moves the game may still last, plus most of the increment.
void planSuddenDeath(int64_t remaining, int64_t increment) {
  int movesLeft = kMovesLeftAtStart - pos.gamePly / 4;  // gamePly / 2 own moves played
  if (movesLeft < kMovesLeftFloor) movesLeft = kMovesLeftFloor;
  remaining = lessLag(clampClock(remaining), movesLeft);
  int64_t reserve = clockReserve(remaining);
  int64_t usable = remaining > reserve ? remaining - reserve : 0;
  int64_t ceiling = usable / kMoveShare;
  int64_t budget = usable / movesLeft + incrementShare(increment);
  searchClock.budget = budget < ceiling ? budget : ceiling;
  budgetPlan.ceiling = ceiling;
}

// Moves to go under an N-move control, counted from the ply of the think:
// gamePly / 2 is the number of moves the side to move has made.
int movesToControl(int movesPerControl) { return movesPerControl - (pos.gamePly / 2) % movesPerControl; }

void planFromRemaining(int64_t remaining) {
  if (timeControl.movesPerControl == 0)
    planSuddenDeath(remaining, timeControl.incrementCs);
  else
    planControl(remaining, timeControl.incrementCs, movesToControl(timeControl.movesPerControl));
}

void forgetPlan() {
  budgetPlan.pendingRemaining = -1;
  budgetPlan.ceiling = kNoCeiling;
}

}  // namespace


void setSearchTime(int seconds) {
  // 32-bit product that wraps like the protocol's original arithmetic; a
  // wrapped (negative) product falls back to the default.
  int32_t product = int32_t(uint32_t(seconds) * 100u);
  searchClock.budget = product > 0 ? product : 500;
  forgetPlan();
}

void setTimeControl(int movesPerControl, int64_t baseCs, int64_t incrementCs) {
  timeControl.movesPerControl = movesPerControl > 0 ? movesPerControl : 0;
  timeControl.baseCs = clampClock(baseCs);
  timeControl.incrementCs = clampClock(incrementCs);
}

void setRemainingTime(int64_t remaining) {
  forgetPlan();
  if (timeControl.movesPerControl != kClassicControl) {
    // Planned now and again when the think starts, after the opponent's move.
    planFromRemaining(remaining);
    budgetPlan.pendingRemaining = clampClock(remaining);
    return;
  }
  // Moves to go until the next control; the two sides count differently.
  int ply = pos.gamePly;
  int movesToGo = pos.sideToMove == kWhite ? 40 - ((ply / 2) % 40) : 40 - (((ply - 2) / 2) % 38);
  // 64-bit, and capped, so that a huge remaining time cannot overflow into a
  // negative budget.
  int64_t share = remaining / movesToGo;
  if (share > INT64_MAX / 99) share = INT64_MAX / 99;
  searchClock.budget = share * 99 / 100;
  // With one move to go that would be 99% of the clock, less than the clock
  // polling interval and the interface's latency: the move would end after
  // the flag fell. Keep a fixed reserve on the clock.
  int64_t ceiling = remaining - kClockReserve;
  if (searchClock.budget > ceiling) searchClock.budget = ceiling > 0 ? ceiling : 0;
}

void setClockBudget(int64_t remaining, int64_t incrementCs, int movesToGo) {
  forgetPlan();
  if (movesToGo > 0)
    planControl(remaining, incrementCs, movesToGo);
  else
    planSuddenDeath(remaining, incrementCs);
}

void setMoveTime(int64_t centiseconds) {
  forgetPlan();
  searchClock.budget = clampClock(centiseconds);
  budgetPlan.ceiling = searchClock.budget;
}

void resetBudget() {
  searchClock.budget = 750;
  forgetPlan();
}

void doubleBudget() {
  int64_t doubled = 2 * searchClock.budget;
  int64_t ceiling = budgetPlan.ceiling > searchClock.budget ? budgetPlan.ceiling : searchClock.budget;
  searchClock.budget = doubled < ceiling ? doubled : ceiling;
}

void startClock() {
  if (budgetPlan.pendingRemaining >= 0) {
    planFromRemaining(budgetPlan.pendingRemaining);
    budgetPlan.pendingRemaining = -1;
  }
  startSearchClock();
}

bool shouldStopDeepening(int depth, int score, int previousScore) {
  double elapsed = double(elapsedTime());
  if (double(searchClock.budget) < 1.2 * elapsed) return true;
  int64_t change = int64_t(previousScore) - score;
  if (change < 0) change = -change;
  if (depth > 2 && change < 80 && double(searchClock.savedBudget) < 1.5 * elapsed) return true;
  return false;
}

namespace {

// Digits with an optional fraction, times unitCs centiseconds, rounded to the
// nearest; advances *text past them. False when no digit is there.
bool readAmount(const char** text, int64_t unitCs, int64_t* cs, bool* hasFraction) {
  const char* p = *text;
  int64_t whole = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits)
    if (whole < kLongestClock) whole = whole * 10 + (*p - '0');
  double fraction = 0, scale = 0.1;
  *hasFraction = false;
  if (*p == '.') {
    for (++p; *p >= '0' && *p <= '9'; ++p, ++digits, scale /= 10) {
      fraction += (*p - '0') * scale;
      if (*p != '0') *hasFraction = true;
    }
  }
  if (digits == 0) return false;
  int64_t value = whole > kLongestClock / unitCs ? kLongestClock : whole * unitCs + int64_t(fraction * double(unitCs) + 0.5);
  *cs = clampClock(value);
  *text = p;
  return true;
}

bool atWordEnd(const char* p) { return *p == '\0' || *p == ' ' || *p == '\n'; }

const char* skipBlanks(const char* p) {
  while (*p == ' ' || *p == '\n') ++p;
  return p;
}

}  // namespace

int64_t fractionalSeconds(const char* text) {
  if (*text == '+') ++text;
  int64_t cs = 0;
  bool hasFraction = false;
  if (!readAmount(&text, 100, &cs, &hasFraction) || !atWordEnd(text) || !hasFraction) return -1;
  return cs > 0 ? cs : 1;  // asked for a positive time, however small
}

bool applyLevel(const char* arguments) {
  const char* p = skipBlanks(arguments);
  // Moves per control: a whole number, 0 for sudden death.
  int64_t moves = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits)
    if (moves <= 100000) moves = moves * 10 + (*p - '0');
  if (digits == 0 || moves > 100000 || !atWordEnd(p)) return false;
  // Base: minutes, or minutes:seconds.
  p = skipBlanks(p);
  int64_t base = 0, seconds = 0, increment = 0;
  bool fraction = false;
  if (!readAmount(&p, 6000, &base, &fraction)) return false;
  if (*p == ':') {
    ++p;
    if (!readAmount(&p, 100, &seconds, &fraction)) return false;
  }
  if (!atWordEnd(p)) return false;
  // Increment: seconds.
  p = skipBlanks(p);
  if (!readAmount(&p, 100, &increment, &fraction) || !atWordEnd(p)) return false;
  setTimeControl(int(moves), base + seconds, increment);
  return true;
}
