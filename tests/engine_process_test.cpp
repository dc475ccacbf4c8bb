// The child-process runner itself: a program started through a launcher,
// and the "\r\n" line ends of a text-mode program read as "\n".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "tests/engine_process.h"

namespace {

// Sets an environment variable for one test and restores the old value.
struct ScopedVariable {
  std::string name;
  bool had;
  std::string old;
  ScopedVariable(const char* variable, const char* value) : name(variable) {
    const char* previous = getenv(variable);
    had = previous != nullptr;
    if (had) old = previous;
    if (value)
      setenv(variable, value, 1);
    else
      unsetenv(variable);
  }
  ~ScopedVariable() {
    if (had)
      setenv(name.c_str(), old.c_str(), 1);
    else
      unsetenv(name.c_str());
  }
};

// Stands in for a Windows program: CRLF lines, one of them cut between its
// '\r' and its '\n' across two writes, a lone '\r' inside a line, and its
// first argument echoed back.
const char* const kFakeProgram =
    "#!/bin/sh\n"
    "printf 'self %s\\r\\n' \"$0\"\n"
    "printf 'half\\r'\n"
    "sleep 0.2\n"
    "printf '\\nlone\\rcr\\r\\n'\n"
    "printf 'err\\r\\n' >&2\n";

struct LauncherTest : ::testing::Test {
  std::string scratch, program;
  void SetUp() override {
    char pattern[] = "/tmp/morvek-fake-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = pattern;
    program = scratch + "/fake.exe";
    std::ofstream(program) << kFakeProgram;
    chmod(program.c_str(), 0755);
  }
  void TearDown() override { std::filesystem::remove_all(scratch); }
};

TEST_F(LauncherTest, LaunchedProgramGetsItsCopyAndPlainLineEnds) {
  ScopedVariable binary("MORVEK_ENGINE_BINARY", program.c_str());
  ScopedVariable launcher("MORVEK_ENGINE_LAUNCHER", "sh");  // found through PATH
  EngineDir dir;
  EXPECT_EQ(dir.binary, dir.path + "/fake.exe");
  EngineProcess engine = launchEngine(dir);
  std::string seen;
  // Matches although the program wrote "cr\r\n".
  ASSERT_TRUE(waitForOutput(engine, "cr\n", seen, 5000)) << seen;
  EngineRun run = finishEngine(engine);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(seen + run.out, "self " + dir.binary + "\nhalf\nlone\rcr\n");
  EXPECT_EQ(run.err, "err\n");
}

TEST_F(LauncherTest, WithoutLauncherTheOutputIsUntouched) {
  ScopedVariable binary("MORVEK_ENGINE_BINARY", program.c_str());
  ScopedVariable launcher("MORVEK_ENGINE_LAUNCHER", nullptr);
  EngineDir dir;
  EngineRun run = runEngine(dir, "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "self " + dir.binary + "\r\nhalf\r\nlone\rcr\r\n");
  EXPECT_EQ(run.err, "err\r\n");
}

}  // namespace
