// Whole-program transcripts: scripted protocol input against the exact text
// on standard output and standard error.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/engine_process.h"

namespace {

const std::string kGreeting = "Morvek chess v1.0\nfeature setboard=1\nfeature done=1\n";

struct Transcript : ::testing::Test {
  EngineDir dir;
  EngineRun run(const std::string& input) {
    EngineRun result = runEngine(dir, input);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0) << input;
    return result;
  }
};

// After the greeting: silence unless asked, "#error: WORD" for a line that is
// no whole keyword or legal move, and nothing read after "quit".
TEST_F(Transcript, AnswersExactly) {
  const std::string longWord(1022, 'x');  // one read: the rest is a line of its own
  const struct { std::string input, out, err; } cases[] = {
      {"", "", ""},
      {"\n   \n\nquit\nst5\n", "", ""},
      {"protover 2\nprotover\n", "feature done=1\nfeature done=1\n", ""},
      {"st 5\nst5\nST 5\n  st   9  \nxboard\naccepted setboard\nlevel 40 5 0\nnewx\n", "",
       "#error: st5\n#error: ST\n#error: xboard\n#error: accepted\n#error: level\n#error: newx\n"},
      {"time\ntime -1\ntime 100\ntime abc\ntime 99999999999999\n", "", "#error time value\n#error time value\n"},
      {"deb 0\ndeb 11\ndeb x\ndeb\ndeb 3\ndeb 10\n", "", "#error\n#error\n#error\n#error\n"},
      {"e2e5\ne7e5\nE2E4\no-o\n", "", "#error: e2e5\n#error: e7e5\n#error: E2E4\n#error: o-o\n"},
      {longWord + "st5\n", "", "#error: " + longWord + "\n#error: st5\n"},
      // A set-up starts no thinking; the castling move proves the position.
      {"setboard 4k3/8/8/8/8/8/8/4K2R w K -\nsetboard\nsetboard xyz\nforce\no-o\ne8d8\n", "",
       "#error: setboard\n#error: setboard\n"},
      // Undo and redo survive a refused move; "new" empties the record.
      {"force\nundo\ne2e4\nundo\ne2e5\nredo\ne7e5\n", "", "#error: e2e5\n"},
      {"force\ne2e4\nundo\nnew\nforce\nredo\ne7e5\n", "", "#error: e7e5\n"},
      // Stalemate, or the user mates: "go" has nothing to play.
      {"setboard 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo\n", "", "#error: go\n"},
      {"setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - -\na1a8\ngo\n", "", "#error: go\n"},
  };
  for (const auto& c : cases) {
    const EngineRun result = run(c.input);
    EXPECT_EQ(result.out, kGreeting + c.out) << "input:\n" << c.input;
    EXPECT_EQ(result.err, c.err) << "input:\n" << c.input;
  }
}

TEST_F(Transcript, GoPlaysAndLeavesForceMode) {
  // A budget of 0 ends each think at its first clock reading.
  const EngineRun result = run("time 0\nforce\ngo\ntime 0\ng8f6\n");
  EXPECT_EQ(result.err, "");
  const std::regex twoMoves(kGreeting + "(?:[^\\n]*\\n)*move [a-h][1-8][a-h][1-8]\\n"
                            "(?:[^\\n]*\\n)*move [a-h][1-8][a-h][1-8]\\n(?:[^\\n]*\\n)*");
  EXPECT_TRUE(std::regex_match(result.out, twoMoves)) << result.out;
}

TEST_F(Transcript, OnlyTheFirstInstanceWritesTheLearningFileAndIgnoresInterrupts) {
  EngineProcess first = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(waitForOutput(first, kGreeting, seen));
  EXPECT_EQ(run("quit\n").out, kGreeting);
  EXPECT_FALSE(dir.has("zivorur12.dat"));
  kill(first.pid, SIGINT);
  ASSERT_TRUE(sendInput(first, "protover 2\nquit\n"));
  const EngineRun firstRun = finishEngine(first);
  EXPECT_EQ(firstRun.exitCode, 0);
  EXPECT_EQ(seen + firstRun.out, kGreeting + "feature done=1\n");
  EXPECT_TRUE(dir.has("zivorur12.dat"));
}

TEST_F(Transcript, ACrashedInstanceLeavesNoStaleMarker) {
  EngineProcess crashed = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(waitForOutput(crashed, kGreeting, seen));
  kill(crashed.pid, SIGKILL);
  finishEngine(crashed);
  run("quit\n");
  EXPECT_TRUE(dir.has("zivorur12.dat"));
}

}  // namespace
