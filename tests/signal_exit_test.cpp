// Signals that xboard really sends on Linux: SIGINT while the engine works,
// and SIGTERM right after "quit". Neither may kill the engine or cost it the
// learning file.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "tests/engine_process.h"

namespace {

const char* const kLearningFile = "zivorur12.dat";

// Started and past its feature lines, so the signal handlers are in place.
EngineProcess startedEngine(const EngineDir& dir) {
  EngineProcess engine = launchEngine(dir);
  std::string seen;
  EXPECT_TRUE(waitForOutput(engine, "feature done=1\n", seen));
  return engine;
}

TEST(SignalExit, TerminationAfterQuitOrAloneStillSavesLearning) {
  if (!engineLauncher().empty()) GTEST_SKIP() << "POSIX signals only";
  // xboard's own order: "quit", then SIGTERM at once.
  {
    EngineDir dir;
    EngineProcess engine = startedEngine(dir);
    ASSERT_TRUE(sendInput(engine, "force\ne2e4\nquit\n"));
    kill(engine.pid, SIGTERM);
    EngineRun run = finishEngine(engine);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(dir.has(kLearningFile));
  }
  // SIGTERM alone while the engine waits for input.
  {
    EngineDir dir;
    EngineProcess engine = startedEngine(dir);
    kill(engine.pid, SIGTERM);
    EngineRun run = finishEngine(engine);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(dir.has(kLearningFile));
  }
}

TEST(SignalExit, InterruptIsIgnored) {
  if (!engineLauncher().empty()) GTEST_SKIP() << "POSIX signals only";
  EngineDir dir;
  EngineProcess engine = startedEngine(dir);
  kill(engine.pid, SIGINT);
  ASSERT_TRUE(sendInput(engine, "st 0\nsetboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -\ngo\n"));
  std::string seen;
  EXPECT_TRUE(waitForOutput(engine, "move a1a8\n", seen));
  ASSERT_TRUE(sendInput(engine, "quit\n"));
  EXPECT_EQ(finishEngine(engine).exitCode, 0);
}

}  // namespace
