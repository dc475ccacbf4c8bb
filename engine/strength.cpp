#include "engine/strength.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/random.h"
#include "engine/think.h"
#include "platform/console.h"
#include "search/search.h"
#include "search/search_clock.h"
#include "search/search_tables.h"

StrengthSetting strength = {false, kMaxElo};
int pauseStepMs = 10;

namespace {

// Anchors tuned by calibration games (README, "Strength levels"). Between
// two rows the node cap moves geometrically and the loss allowed linearly;
// the depth cap is the lower row's.
struct LevelRow {
  int elo;
  double nodes;  // 0 at the top row: no cap
  int lastDepth;
  int maxLossCp;
};
constexpr LevelRow kLevelRows[] = {
    {1000, 4096, 3, 250},
    {1200, 8192, 4, 200},
    {1400, 25000, 90, 150},
    {1600, 100000, 90, 90},
    {1800, 500000, 90, 40},
    {1900, 0, 90, 0},
};
constexpr int kRowCount = sizeof kLevelRows / sizeof kLevelRows[0];
// The row below the top stands for "no cap" as this many nodes when levels
// in between are worked out: about what a move gets at full strength.
constexpr double kFullStrengthNodes = 4000000;

// The scoring of the root moves after the search: this deep at most, and
// within this share of the level's nodes (at least kLeastScoringNodes).
constexpr int kScoringDepth = 3;
constexpr uint64_t kLeastScoringNodes = 20000;
// A limited move is not answered before this share of the budget has passed.
constexpr int kPausePercent = 50;

bool playedAtLevel = false;
bool learnedAtFullStrength = false;
bool stoppedByInput = false;
bool (*watchedInput)() = nullptr;

// Watches the input for the front end and remembers a stop it asked for:
// a move asked for is never held back by the pause.
bool watchInput() {
  const bool stop = watchedInput && watchedInput();
  if (stop) stoppedByInput = true;
  return stop;
}

// Exact score of root move i searched depth plies deep, from the root side's
// view; kNoScore when the clock or the node cap cut it short.
int scoreRootMove(Move m, int depth) {
  Move line[kMaxLine] = {};
  makeMove(m);
  const int givesCheck = inCheck();
  const int score = -principalSearch(SearchArgs{-kInfinity, kInfinity, depth - 1, givesCheck, line, 0, 0});
  unmakeMove(m);
  return searchClock.stopFlag ? kNoScore : score;
}

// Waits until kPausePercent of the budget has passed, the input asks for
// the move, or termination; the budget may grow meanwhile (a ponder hit).
void pause() {
  if (stoppedByInput || terminationRequested()) return;
  const uint64_t nodeLimit = searchLimits.nodeLimit;
  searchLimits.nodeLimit = 0;
  searchClock.stopFlag = false;
  while (!searchClock.stopFlag && elapsedTime() * 100 < searchClock.budget * kPausePercent) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseStepMs));
    readClockAndTest();
  }
  searchLimits.nodeLimit = nodeLimit;
}

}  // namespace

int clampElo(long long elo, bool* clamped) {
  *clamped = elo < kMinElo || elo > kMaxElo;
  return elo < kMinElo ? kMinElo : elo > kMaxElo ? kMaxElo : int(elo);
}

LevelLimits levelLimits(int elo) {
  bool clamped;
  elo = clampElo(elo, &clamped);
  if (elo >= kMaxElo) return LevelLimits{0, kLastIteration, 0};
  int i = 0;
  while (kLevelRows[i + 1].elo <= elo) ++i;
  const LevelRow& low = kLevelRows[i];
  const LevelRow& high = kLevelRows[i + 1];
  const double t = double(elo - low.elo) / double(high.elo - low.elo);
  const double highNodes = high.nodes > 0 ? high.nodes : kFullStrengthNodes;
  const double nodes = low.nodes * std::pow(highNodes / low.nodes, t);
  const int lossCp = int(std::lround(low.maxLossCp + t * (high.maxLossCp - low.maxLossCp)));
  return LevelLimits{uint64_t(nodes), low.lastDepth, lossCp * 10};
}

int chooseAmongScored(const int* scores, int count, int maxLoss) {
  int best = 0;
  for (int i = 1; i < count; ++i)
    if (scores[i] > scores[best]) best = i;
  if (scores[best] == kNoScore || maxLoss <= 0) return best;
  // A handicap of at most maxLoss: a move further below the best never wins.
  int chosen = best;
  int64_t chosenValue = INT64_MIN;
  for (int i = 0; i < count; ++i) {
    if (scores[i] == kNoScore) continue;
    const int64_t value = int64_t(scores[i]) + nextRandom() % (maxLoss + 1);
    if (value > chosenValue) {
      chosenValue = value;
      chosen = i;
    }
  }
  return chosen;
}

Move playAtLevel(int lastDepth) {
  playedAtLevel = true;
  const LevelLimits limits = levelLimits(strength.elo);
  const uint64_t savedNodeLimit = searchLimits.nodeLimit;
  watchedInput = searchLimits.onInputWaiting;
  searchLimits.onInputWaiting = watchedInput ? watchInput : nullptr;
  stoppedByInput = false;

  // The search, held to the level's work; the clock's rules still apply.
  if (limits.nodeLimit != 0 && (savedNodeLimit == 0 || limits.nodeLimit < savedNodeLimit))
    searchLimits.nodeLimit = limits.nodeLimit;
  const Move found = deepen(lastDepth < limits.lastDepth ? lastDepth : limits.lastDepth);
  Move chosen = found;

  // The choice among lines: every root move scored alike, the search's own
  // move counting as the best of them, then a handicap drawn for each.
  const int count = listStart[1] - listStart[0];
  if (limits.maxLoss > 0 && count > 1 && !stoppedByInput && !terminationRequested()) {
    // One ply short of what the search completed, and shallow.
    int depth = 1;
    for (int i = 0; i < count; ++i)
      if (rootMoves[i].move == found && rootMoves[i].depth - 1 > depth) depth = rootMoves[i].depth - 1;
    if (depth > kScoringDepth) depth = kScoringDepth;
    const uint64_t allowance = limits.nodeLimit / 2 > kLeastScoringNodes ? limits.nodeLimit / 2 : kLeastScoringNodes;
    searchClock.stopFlag = false;
    searchLimits.nodeLimit = searchClock.pollCount + allowance;
    iterationDepth = depth;
    static int scores[kMaxRootMoves];
    static Move moves[kMaxRootMoves];
    int scored = 0;
    moves[scored] = found;
    scores[scored++] = scoreRootMove(found, depth);
    for (int i = 0; i < count; ++i) {
      const Move m = moveStack[listStart[0] + i];
      if (m == found) continue;
      moves[scored] = m;
      scores[scored++] = searchClock.stopFlag ? kNoScore : scoreRootMove(m, depth);
    }
    if (scores[0] != kNoScore) {
      for (int i = 1; i < scored; ++i)
        if (scores[i] > scores[0]) scores[0] = scores[i];
      chosen = moves[chooseAmongScored(scores, scored, limits.maxLoss)];
    }
  }

  searchLimits.nodeLimit = savedNodeLimit;
  pause();
  searchLimits.onInputWaiting = watchedInput;
  return chosen;
}

void noteFullStrengthLearning() { learnedAtFullStrength = true; }

bool learnedNothingAtLevel() { return playedAtLevel && !learnedAtFullStrength; }
