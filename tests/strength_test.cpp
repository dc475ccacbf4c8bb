// Strength levels: limits, the choice among scored moves, limited thinks and learning.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "board/random.h"
#include "board/score.h"
#include "book/book_table.h"
#include "book/learning.h"
#include "engine/strength.h"
#include "engine/think.h"
#include "search/search_clock.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

TEST(StrengthLevels, LevelsClampAndWeakenStepByStep) {
  const struct { long long elo; int level; bool clamped; } rows[] = {
      {-5, kMinElo, true}, {kMinElo - 1, kMinElo, true}, {kMinElo, kMinElo, false}, {1555, 1555, false},
      {kMaxElo, kMaxElo, false}, {kMaxElo + 1, kMaxElo, true}, {1LL << 40, kMaxElo, true}};
  for (const auto& r : rows) {
    bool clamped = !r.clamped;
    EXPECT_EQ(clampElo(r.elo, &clamped), r.level) << r.elo;
    EXPECT_EQ(clamped, r.clamped) << r.elo;
  }
  // The top level is full strength; each step down takes work away or allows a larger loss, never the reverse.
  LevelLimits above = levelLimits(kMaxElo);
  EXPECT_TRUE(above.nodeLimit == 0 && above.lines == 1 && above.maxLoss == 0 && levelLimits(kMaxElo - 1).nodeLimit > 0);
  for (int elo = kMaxElo - 1; elo >= kMinElo - 50; above = levelLimits(elo--)) {
    const LevelLimits here = levelLimits(elo);
    EXPECT_TRUE((above.nodeLimit == 0 || here.nodeLimit <= above.nodeLimit) && here.lines >= above.lines &&
                here.maxLoss >= above.maxLoss) << elo;
  }
  // Anchors and levels between: nodes geometric, the loss linear in centipawns kept in thousandths, the lower row's lines.
  const struct { int elo; uint64_t nodes; int lines, loss; } anchors[] = {
      {1000, 35000, 6, 1800}, {1300, 84852, 5, 1350}, {1500, 244948, 4, 900}, {1850, 2828427, 2, 100}};
  for (const auto& a : anchors) {
    const LevelLimits l = levelLimits(a.elo);
    EXPECT_EQ(std::make_tuple(l.nodeLimit, l.lines, l.maxLoss), std::make_tuple(a.nodes, a.lines, a.loss)) << a.elo;
  }
}

TEST(StrengthLevels, TheChoiceStaysWithinTheLossAllowed) {
  const struct { std::vector<int> scores; int maxLoss; std::set<int> allowed; } rows[] = {
      {{100, 50, -900}, 100, {0, 1}}, {{-1, 0, 3}, 3, {1, 2}}, {{50, 100, 90}, 0, {1}},  // the loss allowed, not a point more
      {{kNoScore, 10, kNoScore, 5}, 300, {1, 3}}, {{kNoScore, kNoScore}, 300, {0}},     // unscored moves never
      {{-kMatedAtZero + 5, 999990, -20}, 400, {1}}, {{7}, 500, {0}}};                   // a mate against the rest
  seedRandom(1);
  for (const auto& r : rows) {
    std::set<int> seen;
    for (int draw = 0; draw < 400; ++draw) seen.insert(chooseAmongScored(r.scores.data(), int(r.scores.size()), r.maxLoss));
    EXPECT_EQ(seen, r.allowed) << r.scores[0] << " " << r.maxLoss;  // each allowed move comes up too
  }
}

// One centisecond per reading: a limited think's pause ends by readings, not real time.
uint32_t fakeMilliseconds = 0;
uint32_t steppingTicks() { return fakeMilliseconds += 10; }

// The learning table as the file would hold it.
std::string learningBytes() {
  char* data = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&data, &size);
  if (file) writeLearning(file), fclose(file);
  const std::string bytes(data ? data : "", data ? size : 0);
  free(data);
  return bytes;
}

// At every level: a legal move (none where none is), the game as found, nothing
// learned, no answer before half the budget, the mate played, the queen saved.
TEST(StrengthLevels, LimitedThinksPlayLegalMovesAndLearnNothing) {
  struct Row { const char* fen; const char* fromOrMove; };  // nullptr: any move; "": none
  std::vector<Row> rows = {{kMateInOne, "a1a8"}, {"4k3/8/8/4p3/3Q4/8/8/4K3 w - - 0 1", "d4"},
                           {"7k/8/8/8/8/8/6q1/7K w - - 0 1", "h1g2"}, {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", ""}};
  for (const char* fen : kTestPositions) rows.push_back({fen, nullptr});
  const StrengthSetting saved = strength;
  setTickSource(steppingTicks);
  pauseStepMs = 0;
  for (const int elo : {kMinElo, 1200, 1400, 1600, 1800})
    for (const Row& row : rows)
      for (int repeat = 0; repeat < (row.fromOrMove && *row.fromOrMove ? 4 : 1); ++repeat) {
        strength = StrengthSetting{true, elo};
        ASSERT_TRUE(setFen(row.fen));
        clearBookTable();
        const std::string learned = learningBytes();
        const PositionImage before(sizeof(Position));
        searchClock.budget = 60;
        RootMove result{};
        const int found = think(result, gameMoveRequest());
        EXPECT_TRUE(before.unchanged() && learningBytes() == learned) << row.fen;
        EXPECT_EQ(found, row.fromOrMove && !*row.fromOrMove ? 0 : 1) << row.fen << " at " << elo;
        if (!found) continue;
        char text[8] = "";
        Move parsed = 0;
        EXPECT_TRUE(result.move != 0 && parseMove(moveToText(result.move, text), &parsed) == 1 && parsed == result.move &&
                    std::string(text).find(row.fromOrMove ? row.fromOrMove : "") == 0 &&
                    elapsedTime() * 2 >= searchClock.budget) << row.fen << " at " << elo << ": " << text;
      }
  setTickSource(nullptr);
  pauseStepMs = 10;
  strength = saved;
}

// Only limited play leaves the learning file absent; a full-strength move in the run is saved.
TEST(StrengthLevels, LimitedGamesWriteNoLearning) {
  const std::string fen = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 9";
  const std::string xboardMove = "setboard " + fen + "\nst 0.3\ngo\n";
  const std::string uciGame = "uci\nsetoption name UCI_LimitStrength value true\nposition fen " + fen + "\ngo wtime 3000 btime 3000\n";
  const std::string uciFull = "setoption name UCI_LimitStrength value false\nposition fen " + fen + " moves c4d5\ngo wtime 3000 btime 3000\n";
  const struct { std::vector<std::string> args; std::string input; const char* played; bool written; } rows[] = {
      {{"--elo", "1400"}, xboardMove, "move ", false}, {{}, xboardMove, "move ", true}, {{}, uciGame, "bestmove ", false},
      {{}, uciGame + uciFull, "bestmove ", true}, {{"--elo", "1900"}, xboardMove, "move ", false}};  // the top level is limited too
  for (const auto& r : rows) {
    EngineDir dir;
    const EngineRun run = runEngine(dir, r.input, 30000, r.args);
    EXPECT_TRUE(run.exitCode == 0 && run.out.find(r.played) != std::string::npos) << run.out;
    EXPECT_EQ(dir.has("zivorur12.dat"), r.written) << r.input;
  }
}

}  // namespace
