#include "engine/strength.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/random.h"
#include "platform/console.h"
#include "search/search_clock.h"
#include "search/root_lines.h"

StrengthSetting strength = {false, kMaxElo};
int pauseStepMs = 10;

namespace {

// Anchors tuned by calibration games (docs/strength.md). Between
// two rows the node cap moves geometrically and the loss allowed linearly;
// the number of lines is the lower row's. No row caps the depth: levels
// held to four plies or fewer played far below their numbers.
struct LevelRow {
  int elo;
  double nodes;  // 0 at the top row: no cap
  int lines;
  int maxLossCp;
};
constexpr LevelRow kLevelRows[] = {
    {1000, 35000, 6, 180},
    {1200, 60000, 5, 150},
    {1400, 120000, 4, 120},
    {1600, 500000, 3, 60},
    {1800, 2000000, 2, 20},
    {1900, 0, 1, 0},
};
constexpr int kRowCount = sizeof kLevelRows / sizeof kLevelRows[0];
// The row below the top stands for "no cap" as this many nodes when levels
// in between are worked out: about what a move gets at full strength.
constexpr double kFullStrengthNodes = 4000000;

// A limited move is not answered before this share of the budget has passed.
constexpr int kPausePercent = 50;

bool playedAtLevel = false;
bool learnedAtFullStrength = false;
bool stoppedByInput = false;
bool (*watchedInput)() = nullptr;
SearchLimits savedLimits;  // the think's own, while the level's are in force

// Watches the input for the front end and remembers a stop it asked for:
// a move asked for is never held back by the pause.
bool watchInput() {
  const bool stop = watchedInput && watchedInput();
  if (stop) stoppedByInput = true;
  return stop;
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
  if (elo >= kMaxElo) return LevelLimits{0, 1, 0};
  int i = 0;
  while (kLevelRows[i + 1].elo <= elo) ++i;
  const LevelRow& low = kLevelRows[i];
  const LevelRow& high = kLevelRows[i + 1];
  const double t = double(elo - low.elo) / double(high.elo - low.elo);
  const double highNodes = high.nodes > 0 ? high.nodes : kFullStrengthNodes;
  const double nodes = low.nodes * std::pow(highNodes / low.nodes, t);
  const int lossCp = int(std::lround(low.maxLossCp + t * (high.maxLossCp - low.maxLossCp)));
  return LevelLimits{uint64_t(nodes), low.lines, lossCp * 10};
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

void beginLevelSearch(const LevelLimits& level) {
  playedAtLevel = true;
  savedLimits = searchLimits;
  watchedInput = savedLimits.onInputWaiting;
  searchLimits.onInputWaiting = watchedInput ? watchInput : nullptr;
  stoppedByInput = false;
  if (level.nodeLimit != 0 && (savedLimits.nodeLimit == 0 || level.nodeLimit < savedLimits.nodeLimit))
    searchLimits.nodeLimit = level.nodeLimit;
  searchLimits.lineCount = level.lines;
}

Move endLevelSearch(const LevelLimits& level, Move found) {
  // The choice among the lines of the last complete iteration, each with
  // its exact score, best first.
  Move chosen = found;
  if (level.maxLoss > 0 && rootLineCount > 1 && !stoppedByInput && !terminationRequested()) {
    int scores[kMaxRootLines];
    for (int i = 0; i < rootLineCount; ++i) scores[i] = rootLines[i].score;
    chosen = rootLines[chooseAmongScored(scores, rootLineCount, level.maxLoss)].move;
  }
  searchLimits = savedLimits;
  searchLimits.onInputWaiting = watchInput;
  pause();
  searchLimits.onInputWaiting = savedLimits.onInputWaiting;
  return chosen;
}

void noteFullStrengthLearning() { learnedAtFullStrength = true; }

bool learnedNothingAtLevel() { return playedAtLevel && !learnedAtFullStrength; }

bool learnedThisRun() { return learnedAtFullStrength; }
