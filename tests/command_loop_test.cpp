// The engine driver: move text, the command loop on scripted input, and the program as a process.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <regex>

#include "engine/clock.h"
#include "engine/command_loop.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

// The clock state a test changes, put back after it.
struct ClockKept {
  Clock clock = searchClock;
  TimeControl control = timeControl;
  ~ClockKept() { searchClock = clock, timeControl = control, budgetPlan = BudgetPlan{-1, kNoCeiling}; }
};

// Text read and written back; "-" when refused (the move left alone). Anything after the move is
// ignored; no case folding but for the promotion letter, which defaults to the queen.
TEST(MoveText, ReadsLegalMovesAndWritesThemBack) {
  struct Case { const char* fen; const char* text; const char* back; Move castle = 0; };
  const char* const start = kStartFen, *const promotes = "k7/4P3/8/8/8/8/8/4K3 w";
  const char* const castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", *const blackCastles = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -";
  const Case cases[] = {
      {start, "e2e4", "e2e4"}, {start, "e2e4x", "e2e4"}, {start, "e2e5", "-"}, {start, "e2", "-"}, {start, "", "-"},
      {start, "E2E4", "-"}, {start, "e7e5", "-"}, {start, "o-o", "-"}, {promotes, "e7e8", "e7e8q"},
      {promotes, "e7e8N", "e7e8n"}, {promotes, "e7e8r", "e7e8r"}, {promotes, "e7e8k", "e7e8q"},
      {castles, "o-o", "e1g1", kCastleKingSide}, {castles, "e1g1", "e1g1", kCastleKingSide},
      {castles, "o-o-o", "e1c1", kCastleQueenSide}, {castles, "O-O", "-"}, {castles, "0-0", "-"}, {castles, "o-o-o-o", "-"},
      {blackCastles, "o-o-o", "e8c8", kCastleQueenSide}, {blackCastles, "o-o", "e8g8", kCastleKingSide},
      {"r3k2r/8/8/8/8/8/8/R3K2R w - -", "o-o", "-"},
      {"4k3/8/8/8/8/8/8/4R1K1 w - -", "g1g2", "-"}};  // black king in check: nothing is legal
  char buffer[8];
  for (const Case& c : cases) {
    ASSERT_TRUE(setFen(c.fen));
    Move move = 12345;
    const int read = parseMove(c.text, &move);
    EXPECT_EQ(read ? std::string(moveToText(move, buffer)) : "-", c.back) << c.fen << " " << c.text;
    EXPECT_EQ(read ? move & kCastleMask : move, read ? c.castle : 12345u) << c.text;
    EXPECT_EQ(searchPly, 0);
  }
  EXPECT_STREQ(moveToText(makeMoveWord(49, 56, kKnight) | kPromotion | kCapture, buffer), "b2a1n");
  EXPECT_STREQ(moveToText(0, buffer), "a8a8");  // the pass
}

TEST(ParseDecimal, FollowsAtoiButSaturates) {
  const struct { const char* text; long long value; } cases[] = {
      {"  -3", -3}, {"+7", 7}, {"12abc", 12}, {"abc", 0}, {"-", 0}, {"99999999999", 99999999999LL},
      {"99999999999999999999999", LLONG_MAX}, {"-99999999999999999999999", LLONG_MIN}};
  for (const auto& c : cases) EXPECT_EQ(parseDecimal(c.text), c.value) << c.text;
}

// What the transcripts cannot see: a replay entry lost from the record is not played as a pass.
TEST(CommandLoop, RedoNeverReplaysANullMove) {
  CommandLoop loop{};
  ASSERT_TRUE(setFen(kStartFen) && playMoves("e2e4", true));
  char undo[] = "undo\n", redo[] = "redo\n";
  handleLine(loop, undo);
  pos.moveHistory[1] = 0;
  PositionImage before;
  handleLine(loop, redo);
  EXPECT_TRUE(before.unchanged());
}

// "st" with a fraction is centiseconds, the doubling held to it; any other "st" whole seconds. "level" sets
// the control "time" counts against; a new game, not a refused set-up, puts the budget back to 7.5 s.
TEST(CommandLoop, FractionalSecondsAndLevelSetTheBudget) {
  const ClockKept kept;
  CommandLoop loop{};
  ASSERT_TRUE(setFen(kStartFen));
  const struct { const char* lines; int64_t budget, doubled; } cases[] = {
      {"st 0.5\n", 50, 50}, {"st 2.25\n", 225, 225}, {"st 1.0\n", 100, 200}, {"st 0\n", 500, 1000},
      {"st -0.5\n", 500, 1000}, {"st x\n", 500, 1000}, {"st 3\n", 300, 600}, {"st 1\n", 100, 200},
      {"st 99999999999\n", 500, 1000}, {"st -99999999999\n", 500, 1000}, {"st 0.001\n", 1, 1},
      {"level 40 1 0\ntime 6000\n", 148, 296}, {"level 0 1 0\ntime 6000\n", 129, 258},
      {"level 0 0:30 0.3\ntime 3000\n", 86, 172}, {"level 0 1 0\ntime 6000\nlevel 40 1 0\ntime 6000\n", 148, 296},
      {"level 0 1 0\ntime 6000\nnew\n", 750, 1500}, {"st 3\nsetboard 4k3/8/8/8/8/8/8/4K3 x\n", 300, 600},
      {"st 3\nsetboard 4k3/8/8/8/8/8/8/4K3 b\n", 750, 1500}};
  for (const auto& c : cases) {
    std::istringstream lines(c.lines);
    for (std::string line; std::getline(lines, line);) handleLine(loop, &(line += '\n')[0]);
    const int64_t budget = searchClock.budget;
    doubleBudget();
    EXPECT_TRUE(budget == c.budget && searchClock.budget == c.doubled) << c.lines << budget << " " << searchClock.budget;
    setTimeControl(40, 0, 0);
  }
}

// The output with each run of thinking lines (they start with their depth) shown as "..".
std::string withoutThinking(const std::string& out) {
  return std::regex_replace("\n" + out, std::regex("(\\n *\\d+ [^\\n]*)+"), "\n..").substr(1);
}

// The xboard loop on scripted input: silence unless asked, "#error: WORD" for a line that is no
// whole keyword or legal move, nothing read after "quit", and the moves it plays.
TEST(XboardLoop, AnswersExactly) {
  const ClockKept kept;
  const std::string longWord(1022, 'x');  // longer than the old reader's pieces: still one word
  const std::string shuffle = "g1f3\ng8f6\nf3g1\nf6g8\n", testPosition = std::string("setboard ") + kTestPositions[1];
  const std::string ponder = testPosition + "\nst 0.1\ngo\n", mate = "setboard " + std::string(kMateInOne) + "\n";
  const struct { std::string input, out, err; } cases[] = {
      {"", "", ""}, {"\n   \n\nquit\nst5\n", "", ""}, {"protover 2\nprotover\n", "feature done=1\nfeature done=1\n", ""},
      {"st 5\nst5\nST 5\n  st   9  \nxboard\naccepted setboard\nnewx\n", "",
       "#error: st5\n#error: ST\n#error: xboard\n#error: accepted\n#error: newx\n"},
      {"level 40 5 0\nlevel 0 2:30 1\nlevel 0 0:15 0.1\nlevel 20 0.5 0\nst 0.5\nst 2.25\nst -0.5\n", "", ""},
      {"level\nlevel 40 5\nlevel x 5 0\nlevel40 5 0\nLEVEL 40 5 0\n", "",
       "#error: level\n#error: level\n#error: level\n#error: level40\n#error: LEVEL\n"},
      {"time\ntime -1\ntime 0\ntime 100\ntime abc\ntime 99999999999999\n", "", "#error time value\n#error time value\n"},
      {"deb 0\ndeb 11\ndeb x\ndeb\ndeb 3\ndeb 10\n", "", "#error\n#error\n#error\n#error\n"},
      {"e2e5\ne7e5\nE2E4\no-o\n", "", "#error: e2e5\n#error: e7e5\n#error: E2E4\n#error: o-o\n"},
      {longWord + "st5\n", "", "#error: " + longWord + "st5\n"},
      {"xyz\n" + std::string(2 << 20, 'x') + "\nprotover 2\n", "feature done=1\n",
       "#error: xyz\n#error: line of 2097152 characters ignored: longer than 1048576 characters\n"},
      {std::string("protover\0 2\nst\xff 5\nprotover\n", 27), "feature done=1\n",
       "#error: line of 11 characters ignored: holds a zero byte\n#error: line of 5 characters ignored: is not UTF-8\n"},
      // A set-up starts no thinking (o-o proves it); undo and redo survive a refused move, not "new" or a new move.
      {"setboard 4k3/8/8/8/8/8/8/4K2R w K -\nsetboard\nsetboard xyz\nforce\no-o\ne8d8\n", "", "#error: setboard\n#error: setboard\n"},
      {"force\nundo\ne2e4\nundo\ne2e5\nredo\ne7e5\n", "", "#error: e2e5\n"},
      {"force\ne2e4\nundo\nnew\nforce\nredo\ne7e5\n", "", "#error: e7e5\n"}, {"force\ne2e4\ne7e5\nundo\nundo\ne2e4\nredo\ne7e5\n", "", ""},
      // Two thousand plies taken back, then a set-up: each move checked where it is.
      {"force\n" + repeated(shuffle, 500) + "e2e4\n" + repeated("undo\n", 1999) +
           "f3e5\nf6g4\nf3e5\nsetboard 4k3/8/8/8/8/8/8/4K2R w K -\ne1g1\ne8d8\nundo\nundo\ne1g1\ne8d8\ne1g1\n", "", "#error: f3e5\n#error: e1g1\n"},
      {"setboard 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo\n", "", "#error: go\n"}, {mate + "a1a8\ngo\n", "", "#error: go\n"},  // nothing to play
      // "\r\n" ends a line as "\n" does, on every platform; a lone "\r" stays, in the last line too.
      {"protover 2\r\nforce\r\ne2e4\r\nxyz\r\nst\r5\n\r\nquit\r\nst5\n", "feature done=1\n", "#error: xyz\n#error: st\r5\n"},
      {"force\nxyz\r", "", "#error: xyz\r\n"},
      // "go" plays and leaves force mode, as "new" does; a budget of 0 ends each think at once.
      {"time 0\nforce\ngo\ntime 0\ng8f6\n", "..\nmove e2e4\n..\nmove e4e5\n", ""}, {"force\nnew\ntime 0\ne2e4\n", "..\nmove e7e6\n", ""},
      // Past 400 plies the engine still answers; when its reply has no room left it says so.
      {"time 0\nforce\n" + repeated(shuffle, 150) + "g1f3\ng8f6\ngo\nf6g8\n", "..\nmove f3g1\n..\nmove g1h3\n", ""},
      {"time 0\nforce\n" + repeated(shuffle, kMaxGameMoves / 4 - 1) + "g1f3\ng8f6\ngo\nf6g8\ngo\n",
       "..\nmove f3g1\n..\nError (game record full): f6g8\n..\nError (game record full): go\n", "#error: go\n"},
      // After its move a "hard" engine searches on until the input ends; "easy", or neither, keeps it quiet.
      {"hard\n" + ponder, "..\nmove d8f6\n..\n", ""}, {"hard\neasy\n" + ponder, "..\nmove d8f6\n", ""}, {ponder, "..\nmove d8f6\n", ""},
      {testPosition + "\nst 1000\ngo\n?\nforce\n", "..\nmove d8f6\n", ""},  // "?": the best so far, not the full search's d8e7
      // Analysis answers "." at once, ends at "exit" and restarts after any other line, unless it ended on its own.
      {"analyze\n.\nexit\n.\n", "..\nstat01: 100 4096 5 19 20 e2e4\n", "#error: .\n"},
      {"analyze\ne2e4\nusermove e7e5\nundo\n.\nexit\n", "..\nstat01: 100 4096 4 18 20 g8f6\n", ""},
      {"analyze\n" + mate + ".\n.\nexit\n", "..\n" + repeated("stat01: 0 168 2 0 17 a1a8\n", 2), ""},
      {"setboard rnb1kbnr/pppp1ppp/8/4p3/7q/5P2/PPPPP1PP/RNBQKBNR w KQkq - 1 3\nanalyze\n.\nexit\n", "..\nstat01: 100 4096 5 0 1 g2g3\n", ""}};  // the only move
  for (const auto& c : cases) {
    setTimeControl(40, 0, 0);
    const std::string out = runLoopHere("easy\nnew\n" + c.input, secondPerReading);
    EXPECT_EQ(withoutThinking(out), c.out) << "input:\n" << c.input.substr(0, 300);
    EXPECT_EQ(lastLoopErrors(), c.err) << "input:\n" << c.input.substr(0, 300);
  }
}

// A killed instance leaves no stale marker; while any other runs, even once the first has ended, a
// later one is second and writes no learning file; an interrupt ends none.
TEST(Transcript, InstanceMarkerAndInterrupts) {
  EngineDir dir;
  auto start = [&](EngineProcess& process) {
    std::string seen;
    return waitForText(process = launchEngine(dir), kGreeting, seen);
  };
  EngineProcess crashed, first, second;
  ASSERT_TRUE(start(crashed));
  kill(crashed.pid, SIGKILL);
  finishEngine(crashed);
  ASSERT_TRUE(start(first) && start(second));
  kill(first.pid, SIGINT);
  ASSERT_TRUE(sendInput(first, "protover 2\nquit\n"));
  const EngineRun firstRun = finishEngine(first);
  EXPECT_TRUE(firstRun.exitCode == 0 && firstRun.out == "feature done=1\n" && dir.has("zivorur12.dat")) << firstRun.out;
  std::remove((dir.path + "/zivorur12.dat").c_str());
  EXPECT_EQ(runEngine(dir, "quit\n").out, kGreeting);  // the second still runs
  EXPECT_TRUE(finishEngine(second).exitCode == 0 && !dir.has("zivorur12.dat"));
  EXPECT_TRUE(runEngine(dir, "quit\n").exitCode == 0 && dir.has("zivorur12.dat"));  // alone again
}

// SIGTERM (xboard's after "quit"), SIGHUP and a closed output pipe all end the run, a search
// too, only after the learning file is saved.
TEST(Transcript, TheInterfaceGoingAwayStillSavesLearning) {
  if (!engineLauncher().empty()) GTEST_SKIP() << "POSIX signals and pipes only";
  EngineDir dir;
  const struct { int signal; bool thinking; } rows[] = {{SIGTERM, false}, {SIGTERM, true}, {SIGHUP, false}, {SIGHUP, true}, {0, false}};
  for (const auto& row : rows) {
    std::remove((dir.path + "/zivorur12.dat").c_str());
    EngineProcess engine = launchEngine(dir);
    std::string seen;
    ASSERT_TRUE(waitForText(engine, kGreeting, seen) && sendInput(engine, "force\ne2e4\n"));
    ASSERT_TRUE(!row.thinking || step(engine, seen, "st 30\ngo\n", "\n 5 "));
    if (row.signal) kill(engine.pid, row.signal);
    else close(engine.output), engine.output = -1;
    ASSERT_TRUE(row.signal || sendInput(engine, "protover 2\nscore\nquit\n"));
    const EngineRun rest = finishEngine(engine, 10000, row.signal != 0);  // after a signal only it can end the run
    EXPECT_EQ(rest.exitCode, 0) << row.signal << " " << row.thinking;  // also -1 on a timeout
    EXPECT_EQ(countOf(seen + rest.out, "move "), row.thinking ? 1u : 0u) << seen + rest.out;
    EXPECT_TRUE(dir.has("zivorur12.dat")) << row.signal << " " << row.thinking;
  }
}

// "hard": a hit plays at once, a miss as if nothing ran. "time" while pondering counts from before the
// expected move (40 to go: 2000 cs give 49); 80 cs pondered are credited; a hit is not carried into the next ponder.
TEST(Pondering, HitsMissesAndTheTimeGivenMeanwhile) {
  const std::string hit = "..\nmove g1f3\n..\nmove f1c4\n..\n";  // pondering again after the hit
  const struct { const char* lines; int pondered; std::string out; const char* errors; int64_t budget; } rows[] = {
      {"time 2000\nb8c6\n", 1, hit, "", 49}, {"time 2000\nd8e7\n", 1, "..\nmove g1f3\n..\nmove b1c3\n..\n", "", 49},
      {"time 2000\nb8c6\n", 800, hit, "", 0},
      {"time 2000\notim 300\nb8c6\na1a1\neasy\nd7d6\n", 1, "..\nmove g1f3\n..\nmove f1c4\n..\nmove b1c3\n",
       "#error: otim\n#error: a1a1\n", 0}};
  for (const auto& row : rows) {
    const std::string output =
        runLoopHere("new\nforce\ne2e4\ne7e5\nhard\ntime 600\ngo\n", millisecondPerReading, row.lines, row.pondered);
    EXPECT_EQ(withoutThinking(output), row.out) << row.lines;
    EXPECT_EQ(lastLoopErrors(), row.errors) << row.lines;
    int depth = 0, score = 0, centiseconds = 0;  // of the thinking line before the last move
    std::istringstream(output.substr(output.rfind('\n', output.rfind("\nmove ") - 1) + 1)) >> depth >> score >> centiseconds;
    EXPECT_TRUE(!row.budget || searchClock.budget == row.budget) << row.lines << searchClock.budget;
    EXPECT_TRUE(row.pondered == 1 || centiseconds > 80) << output;
  }
}

}  // namespace
