#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/command_loop.h"
#include "platform/instance_marker.h"
#include "tests/test_support.h"

namespace {

TEST(ParseDecimal, FollowsAtoiButSaturates) {
  const struct { const char* text; long long value; } cases[] = {
      {"  -3", -3}, {"12abc", 12}, {"abc", 0}, {"-", 0}, {"99999999999", 99999999999LL},
      {"99999999999999999999999", LLONG_MAX}, {"-99999999999999999999999", LLONG_MIN}};
  for (const auto& c : cases) EXPECT_EQ(parseDecimal(c.text), c.value) << c.text;
}

TEST(DataPaths, SitBesideTheProgramAndAreNeverCut) {
  CommandLoop loop{};
  composeDataPaths(loop, "C:\\Games\\Morvek\\morvek.exe");
  EXPECT_STREQ(loop.learningPath, "C:\\Games\\Morvek\\zivorur12.dat");
  composeDataPaths(loop, "games/sub\\engines/morvek");  // the last backslash decides
  EXPECT_STREQ(loop.baseDirectory, "games/sub\\");
  composeDataPaths(loop, "morvek");
  EXPECT_STREQ(loop.bookTextPath, "Morvek.bk");
  // A directory cut to 1023 characters ends at its last separator within them.
  composeDataPaths(loop, ("/" + std::string(1500, 'd') + "/morvek").c_str());
  EXPECT_STREQ(loop.baseDirectory, "/");
  std::string deep;
  for (int i = 0; i < 210; ++i) deep += "abcd/";
  composeDataPaths(loop, (deep + "morvek").c_str());
  EXPECT_EQ(strlen(loop.baseDirectory), 1020u);
  EXPECT_EQ(std::string(loop.learningPath), std::string(loop.baseDirectory) + "zivorur12.dat");
}

TEST(InstanceMarker, AnUnusableLockFileIsNoOtherInstance) {
  setenv("MORVEK_INSTANCE_LOCK", "/nonexistent-dir/x.lock", 1);
  EXPECT_FALSE(createInstanceMarker());
  unsetenv("MORVEK_INSTANCE_LOCK");
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

}  // namespace
