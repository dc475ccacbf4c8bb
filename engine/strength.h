// Strength levels: a level on the UCI_Elo scale turned into a limit of work
// (nodes) and a choice among the best lines the search returns.
// The search itself knows nothing of levels; with the limit off nothing here
// runs and the engine plays at full strength.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/search_clock.h"

constexpr int kMinElo = 1000;
constexpr int kMaxElo = 1900;  // full strength, as measured

// What one level allows. nodeLimit 0: no cap; lines: the best root lines
// the search looks for (MultiPV), among which the move is chosen; maxLoss
// (the engine's score units, a pawn is 1000): how far below the best a
// chosen line may score; each line's handicap is drawn from 0..maxLoss.
struct LevelLimits {
  uint64_t nodeLimit;
  int lines;
  int maxLoss;
};

struct StrengthSetting {
  bool limited;
  int elo;
};

extern StrengthSetting strength;
// Milliseconds slept between the clock readings of the pause; tests shorten it.
extern int pauseStepMs;

// The level's limits; elo is clamped to kMinElo..kMaxElo first.
LevelLimits levelLimits(int elo);
// elo within kMinElo..kMaxElo; *clamped says whether it had to move.
int clampElo(long long elo, bool* clamped);

// A limited think, as the think asks the level around its deepening:
// beginLevelSearch holds the search to the level's work and number of lines
// (the clock's rules still apply) and watches the input for a move asked
// for; endLevelSearch chooses among the lines found and does not answer
// before a natural share of the budget has passed (unless told to move).
// Returns a legal root move: found, or another of the lines.
void beginLevelSearch(const LevelLimits& level);
Move endLevelSearch(const LevelLimits& level, Move found);

// A full-strength think learned from its search.
void noteFullStrengthLearning();
// True when this run chose moves at a limited level and never at full
// strength: it learned nothing, so its learning file is left as it was.
bool learnedNothingAtLevel();
// True once a full-strength search was learned in this run.
bool learnedThisRun();

// The choice among scored lines: the index of the greatest score plus a
// handicap drawn (nextRandom) from 0..maxLoss, so never one more than
// maxLoss below the best. scores[i] may be kNoScore (not scored: never
// chosen unless nothing else is). Exposed for the tests.
constexpr int kNoScore = -2000000;
int chooseAmongScored(const int* scores, int count, int maxLoss);
