// The engine driver: move text, command loop helpers, and whole-program
// transcripts of scripted input against the exact standard output and error.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "board/move_text.h"
#include "engine/command_loop.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

// Text read in a position and written back; "-" when refused (and the move
// left alone). Characters after the move are ignored; no case folding but
// for the promotion letter, which defaults to the queen.
TEST(MoveText, ReadsLegalMovesAndWritesThemBack) {
  struct Case { const char* fen; const char* text; const char* back; Move castle = 0; };
  const char* const castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
  const char* const promotes = "k7/4P3/8/8/8/8/8/4K3 w";
  const Case cases[] = {
      {kStartFen, "e2e4", "e2e4"}, {kStartFen, "e2e4x", "e2e4"}, {kStartFen, "g1f3", "g1f3"},
      {kStartFen, "e2e5", "-"}, {kStartFen, "e2", "-"}, {kStartFen, "", "-"}, {kStartFen, "E2E4", "-"},
      {kStartFen, "e2E4", "-"}, {kStartFen, "e7e5", "-"}, {kStartFen, "o-o", "-"}, {kStartFen, "go", "-"},
      {promotes, "e7e8", "e7e8q"}, {promotes, "e7e8N", "e7e8n"}, {promotes, "e7e8r", "e7e8r"},
      {promotes, "e7e8b", "e7e8b"}, {promotes, "e7e8k", "e7e8q"},
      {castles, "o-o", "e1g1", kCastleKingSide}, {castles, "e1g1", "e1g1", kCastleKingSide},
      {castles, "o-o-o", "e1c1", kCastleQueenSide}, {castles, "O-O", "-"}, {castles, "0-0", "-"},
      {castles, "o-o-o-o", "-"}, {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "o-o-o", "e8c8", kCastleQueenSide},
      {"r3k2r/8/8/8/8/8/8/R3K2R w - -", "o-o", "-"},
      {"4k3/8/8/8/8/8/8/4R1K1 w - -", "g1g2", "-"},  // black king in check: nothing is legal
  };
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
      {"  -3", -3}, {"12abc", 12}, {"abc", 0}, {"-", 0}, {"99999999999", 99999999999LL},
      {"99999999999999999999999", LLONG_MAX}, {"-99999999999999999999999", LLONG_MIN}};
  for (const auto& c : cases) EXPECT_EQ(parseDecimal(c.text), c.value) << c.text;
}

// Only what the transcripts cannot see: a replay entry lost from the record
// must not be played as a pass.
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

const std::string kGreeting = "Morvek chess v1.0\nfeature setboard=1\nfeature done=1\n";

struct Transcript : ::testing::Test {
  EngineDir dir;
  EngineRun run(const std::string& input) {
    EngineRun result = runEngine(dir, input);
    EXPECT_EQ(result.exitCode, 0) << input;  // also -1 on a timeout
    return result;
  }
};

// After the greeting: silence unless asked, "#error: WORD" for a line that is
// no whole keyword or legal move, and nothing read after "quit".
TEST_F(Transcript, AnswersExactly) {
  const std::string longWord(1022, 'x');  // one read: the rest is a line of its own
  const struct { std::string input, out, err; } cases[] = {
      {"", "", ""}, {"\n   \n\nquit\nst5\n", "", ""},
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
  // A budget of 0 ends each think at its first clock reading: exactly two moves.
  const EngineRun result = run("time 0\nforce\ngo\ntime 0\ng8f6\n");
  const std::string other = "(?:(?!move )[^\\n]*\\n)*", move = "move [a-h][1-8][a-h][1-8]\\n";
  EXPECT_TRUE(std::regex_match(result.out, std::regex(kGreeting + other + move + other + move + other))) << result.out;
  EXPECT_EQ(result.err, "");
}

// A killed instance leaves no stale marker; of two running instances only the
// first writes the learning file, and an interrupt does not end it.
TEST_F(Transcript, InstanceMarkerAndInterrupts) {
  EngineProcess crashed = launchEngine(dir), first;
  std::string seen;
  ASSERT_TRUE(waitForOutput(crashed, kGreeting, seen));
  kill(crashed.pid, SIGKILL);
  finishEngine(crashed);
  first = launchEngine(dir);
  seen.clear();
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

// xboard follows "quit" with SIGTERM at once: it ends the input, not the
// process, so the learning file is still saved.
TEST_F(Transcript, TerminationWithoutQuitStillSavesLearning) {
  if (!engineLauncher().empty()) GTEST_SKIP() << "POSIX signals only";
  EngineProcess engine = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(waitForOutput(engine, kGreeting, seen) && sendInput(engine, "force\ne2e4\n"));
  kill(engine.pid, SIGTERM);
  EXPECT_EQ(finishEngine(engine).exitCode, 0);  // also -1 on a timeout
  EXPECT_TRUE(dir.has("zivorur12.dat"));
}

}  // namespace
