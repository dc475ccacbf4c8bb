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
    EXPECT_EQ(result.exitCode, 0);
    return result;
  }
  // Expects the greeting and then exactly out and err.
  void expectExactly(const std::string& input, const std::string& out, const std::string& err) {
    EngineRun result = run(input);
    EXPECT_EQ(result.out, kGreeting + out) << "input:\n" << input;
    EXPECT_EQ(result.err, err) << "input:\n" << input;
  }
};

int countMoveLines(const std::string& out) {
  static const std::regex moveLine("^move [a-h][1-8][a-h][1-8][nbrq]?$");
  int count = 0;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    if (std::regex_match(out.substr(start, end - start), moveLine)) ++count;
    start = end + 1;
  }
  return count;
}

TEST_F(Transcript, GreetingThenSilenceUntilQuitOrEndOfInput) {
  expectExactly("quit\n", "", "");
  expectExactly("", "", "");
  expectExactly("\n   \n\nquit\nst5\n", "", "");  // nothing read after quit
}

TEST_F(Transcript, ProtoverAnswersOnlyDone) {
  expectExactly("protover 2\nprotover\n", "feature done=1\nfeature done=1\n", "");
}

TEST_F(Transcript, KeywordsMatchExactlyElseTheWordIsAnError) {
  expectExactly("st 5\nst5\nST 5\n  st   9  \nxboard\naccepted setboard\nlevel 40 5 0\nnewx\n",
                "", "#error: st5\n#error: ST\n#error: xboard\n#error: accepted\n#error: level\n"
                "#error: newx\n");
}

TEST_F(Transcript, TimeNeedsANonNegativeValue) {
  expectExactly("time\ntime -1\ntime 100\ntime abc\ntime 99999999999999\n", "",
                "#error time value\n#error time value\n");
}

TEST_F(Transcript, DebRefusesNumbersOutsideTheTable) {
  expectExactly("deb 0\ndeb 11\ndeb x\ndeb\ndeb 3\ndeb 10\n", "",
                "#error\n#error\n#error\n#error\n");
}

TEST_F(Transcript, IllegalAndMalformedMovesAreErrors) {
  expectExactly("e2e5\ne7e5\nE2E4\ne2\no-o\n", "",
                "#error: e2e5\n#error: e7e5\n#error: E2E4\n#error: e2\n#error: o-o\n");
}

TEST_F(Transcript, SetboardIsSilentUnlessRejected) {
  // A valid set-up starts no thinking; the castling move proves the position.
  expectExactly("setboard 4k3/8/8/8/8/8/8/4K2R w K -\nsetboard\nsetboard xyz\nforce\no-o\ne8d8\n", "",
                "#error: setboard\n#error: setboard\n");
}

TEST_F(Transcript, UndoRedoSurviveARefusedMove) {
  // e7e5 is legal only once e2e4 stands again.
  expectExactly("force\nundo\ne2e4\nundo\ne2e5\nredo\ne7e5\n", "", "#error: e2e5\n");
  expectExactly("force\ne2e4\nundo\nzzzz\nredo\ne7e5\n", "", "#error: zzzz\n");
  // "new" empties the record: nothing to replay.
  expectExactly("force\ne2e4\nundo\nnew\nforce\nredo\ne7e5\n", "", "#error: e7e5\n");
}

TEST_F(Transcript, NoLegalMoveMeansNoAnswer) {
  // Stalemate: "go" has nothing to play.
  expectExactly("setboard 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo\n", "", "#error: go\n");
  // The user mates: the engine stays silent.
  expectExactly("setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - -\na1a8\ngo\n", "", "#error: go\n");
}

TEST_F(Transcript, GoPlaysAMoveAndLeavesForceMode) {
  // A budget of 0 ends each think at its first clock reading.
  EngineRun result = run("time 0\nforce\ngo\ntime 0\ng8f6\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.compare(0, kGreeting.size(), kGreeting), 0);
  EXPECT_EQ(countMoveLines(result.out), 2) << result.out;
}

TEST_F(Transcript, ScoreAnswersWithTheStaticValue) {
  EngineRun result = run("score\n");
  EXPECT_TRUE(std::regex_match(result.out, std::regex(kGreeting + "# -?[0-9]+\n"))) << result.out;
  EXPECT_EQ(result.err, "");
}

TEST_F(Transcript, LongLinesArriveInPieces) {
  // 1022 characters per read: the rest of the line is a line of its own.
  std::string word(1022, 'x');
  expectExactly(word + "st5\n", "", "#error: " + word + "\n#error: st5\n");
}

TEST_F(Transcript, OnlyTheFirstInstanceWritesTheLearningFile) {
  EngineProcess first = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(waitForOutput(first, kGreeting, seen));
  ASSERT_FALSE(dir.has("zivorur12.dat"));

  EngineRun second = run("quit\n");
  EXPECT_EQ(second.out, kGreeting);
  EXPECT_FALSE(dir.has("zivorur12.dat"));

  // An interrupt from the interface does not end the engine.
  kill(first.pid, SIGINT);
  ASSERT_TRUE(sendInput(first, "protover 2\nquit\n"));
  EngineRun firstRun = finishEngine(first);
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
  EXPECT_FALSE(dir.has("zivorur12.dat"));

  run("quit\n");
  EXPECT_TRUE(dir.has("zivorur12.dat"));
}

}  // namespace
