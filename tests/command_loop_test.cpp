#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/make_move.h"
#include "engine/clock.h"
#include "engine/command_loop.h"
#include "platform/instance_marker.h"
#include "tests/test_support.h"

namespace {

struct CommandLoopTest : ::testing::Test {
  CommandLoop loop{};
  void SetUp() override { ASSERT_TRUE(setFen(kStartFen)); }
  // Runs one protocol line; false after "quit".
  bool send(const char* text) {
    char line[kLineSize];
    snprintf(line, sizeof line, "%s\n", text);
    return handleLine(loop, line);
  }
};

TEST(ParseDecimal, FollowsAtoiWithoutOverflow) {
  EXPECT_EQ(parseDecimal("5"), 5);
  EXPECT_EQ(parseDecimal("  -3"), -3);
  EXPECT_EQ(parseDecimal("12abc"), 12);
  EXPECT_EQ(parseDecimal("abc"), 0);
  EXPECT_EQ(parseDecimal("-"), 0);
  EXPECT_EQ(parseDecimal("99999999999"), 99999999999LL);
  EXPECT_EQ(parseDecimal("99999999999999999999999"), LLONG_MAX);
  EXPECT_EQ(parseDecimal("-99999999999999999999999"), LLONG_MIN);
}

TEST(DataPaths, DirectoryOfTheProgramPath) {
  CommandLoop loop{};
  composeDataPaths(loop, "C:\\Games\\Morvek\\morvek.exe");
  EXPECT_STREQ(loop.bookTextPath, "C:\\Games\\Morvek\\Morvek.bk");
  EXPECT_STREQ(loop.learningPath, "C:\\Games\\Morvek\\zivorur12.dat");
  composeDataPaths(loop, "/usr/games/morvek");
  EXPECT_STREQ(loop.bookTextPath, "/usr/games/Morvek.bk");
  composeDataPaths(loop, "morvek");
  EXPECT_STREQ(loop.bookTextPath, "Morvek.bk");
  EXPECT_STREQ(loop.learningPath, "zivorur12.dat");
  // The last backslash decides even when a slash follows it.
  composeDataPaths(loop, "games/sub\\engines/morvek");
  EXPECT_STREQ(loop.baseDirectory, "games/sub\\");
  composeDataPaths(loop, nullptr);
  EXPECT_STREQ(loop.bookTextPath, "Morvek.bk");
}

TEST(DataPaths, LongProgramPathIsCutButTheFileNameIsWhole) {
  std::string path = "/" + std::string(1500, 'd') + "/morvek";
  CommandLoop loop{};
  composeDataPaths(loop, path.c_str());
  // Cut to 1023 characters, the separator after the first: the root remains.
  EXPECT_STREQ(loop.baseDirectory, "/");
  std::string deep;
  for (int i = 0; i < 210; ++i) deep += "abcd/";
  composeDataPaths(loop, (deep + "morvek").c_str());
  EXPECT_EQ(strlen(loop.baseDirectory), 1020u);  // the last slash within 1023
  std::string learning = loop.learningPath;
  EXPECT_EQ(learning.substr(learning.size() - 14), "/zivorur12.dat");
}

TEST(InstanceMarker, SecondHolderIsToldAndTheLockPathCanBeRedirected) {
  char path[256];
  snprintf(path, sizeof path, "/tmp/morvek-marker-test-%d.lock", int(getpid()));
  setenv("MORVEK_INSTANCE_LOCK", path, 1);
  char chosen[256];
  instanceLockPath(chosen, sizeof chosen);
  EXPECT_STREQ(chosen, path);
  EXPECT_FALSE(createInstanceMarker());  // first: takes the lock
  EXPECT_TRUE(createInstanceMarker());   // a second holder finds it taken
  setenv("MORVEK_INSTANCE_LOCK", "/nonexistent-dir/x.lock", 1);
  EXPECT_FALSE(createInstanceMarker());  // an unusable lock file is no other instance
  unsetenv("MORVEK_INSTANCE_LOCK");
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  std::string savedRuntime = runtime ? runtime : "";
  setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
  instanceLockPath(chosen, sizeof chosen);
  EXPECT_STREQ(chosen, "/run/user/77/morvek.lock");
  if (runtime) setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1); else unsetenv("XDG_RUNTIME_DIR");
  unlink(path);
}

TEST_F(CommandLoopTest, KeywordsMatchOnlyWhole) {
  send("st 5");
  EXPECT_EQ(searchClock.budget, 500);
  send("st5");
  send("ST 7");
  EXPECT_EQ(searchClock.budget, 500);
  send("  st   7  extra");
  EXPECT_EQ(searchClock.budget, 700);
  send("st");  // no argument counts as 0: the default
  EXPECT_EQ(searchClock.budget, 500);
  EXPECT_TRUE(send("quitter"));
  EXPECT_FALSE(send("  quit now"));
}

TEST_F(CommandLoopTest, TimeRejectsMissingAndNegativeValues) {
  EXPECT_TRUE(send("time 6000"));
  EXPECT_EQ(searchClock.budget, 148);
  send("time -5");
  send("time");
  EXPECT_EQ(searchClock.budget, 148);
  send("time abc");  // a non-number counts as 0
  EXPECT_EQ(searchClock.budget, 0);
  send("time 400000000000");  // beyond 32 bits
  EXPECT_EQ(searchClock.budget, 9900000000LL);
  send("time 99999999999999999999999");  // saturates: still a positive budget
  EXPECT_GT(searchClock.budget, 0);
  send("new");
  EXPECT_EQ(searchClock.budget, 750);
}

TEST_F(CommandLoopTest, ForceModeUntilNew) {
  send("force");
  send("e2e4");  // played without an answer
  EXPECT_EQ(pos.gamePly, 1);
  EXPECT_TRUE(loop.forceMode);
  send("new");
  EXPECT_FALSE(loop.forceMode);
  EXPECT_EQ(pos.gamePly, 0);
}

TEST_F(CommandLoopTest, UndoAndRedoWalkTheGameRecord) {
  send("force");
  send("undo");  // nothing to take back at the start
  EXPECT_EQ(pos.gamePly, 0);
  send("e2e4");
  uint64_t afterE4 = currentKey();
  send("e7e5");
  uint64_t afterE5 = currentKey();
  send("undo");
  send("undo");
  EXPECT_EQ(pos.gamePly, 0);
  send("redo");
  EXPECT_EQ(currentKey(), afterE4);
  // A refused text runs the generator at this ply; the replay must survive it.
  send("d7d4");
  send("redo");
  EXPECT_EQ(pos.gamePly, 2);
  EXPECT_EQ(currentKey(), afterE5);
  send("redo");  // nothing left to replay
  EXPECT_EQ(pos.gamePly, 2);
  EXPECT_EQ(searchPly, 0);

  // A new move after undo discards the replay chain.
  send("undo");
  send("d7d5");
  send("redo");
  EXPECT_EQ(pos.gamePly, 2);
  EXPECT_EQ(pos.moveHistory[0], 2u);
}

TEST_F(CommandLoopTest, RedoNeverReplaysANullMove) {
  send("force");
  send("e2e4");
  send("undo");
  pos.moveHistory[1] = 0;  // a replay entry lost
  uint64_t key = currentKey();
  send("redo");
  EXPECT_EQ(pos.gamePly, 0);
  EXPECT_EQ(pos.sideToMove, kWhite);
  EXPECT_EQ(currentKey(), key);
}

TEST_F(CommandLoopTest, DebSetsTestPositionsOrLeavesThePosition) {
  send("force");
  send("e2e4");
  uint64_t key = currentKey();
  send("deb 11");
  send("deb");
  EXPECT_EQ(currentKey(), key);
  EXPECT_EQ(pos.gamePly, 1);
  for (int n = 1; n <= 10; ++n) {
    std::string line = "deb " + std::to_string(n);
    setSearchTime(1);
    send(line.c_str());
    EXPECT_EQ(searchClock.budget, 750) << n;  // every test position is accepted
  }
  EXPECT_TRUE(loop.forceMode);  // set-ups leave force mode alone
}

}  // namespace
