// Replays every stored fuzz input (seed corpora, inputs that once broke the engine), in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "book/book_table.h"
#include "engine/clock.h"
#include "tests/test_support.h"
#include "tools/fuzz/fuzz_entry.h"

namespace fs = std::filesystem;

namespace {

struct FuzzTarget { const char* name; bool (*entry)(const uint8_t*, size_t); };

const FuzzTarget kTargets[] = {{"commands", fuzzCommandStream}, {"position", fuzzPositionWalk},
                               {"book", fuzzBookText}, {"learning", fuzzLearningFile}};

struct FuzzRegression : ::testing::TestWithParam<FuzzTarget> {
  Clock savedClock;
  void SetUp() override { initEngineOnce(); savedClock = searchClock; }
  // The targets leave the book empty and the clock at a zero budget.
  void TearDown() override { searchClock = savedClock; clearBookTable(); setFen(kStartFen); }
  // The engine's moves, thinking lines and "#error" answers go to captures.
  bool replay(const std::string& bytes) {
    testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
    const bool ok = GetParam().entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr();
    return ok;
  }
};

TEST_P(FuzzRegression, StoredAndEmptyInputsKeepTheInvariants) {
  const fs::path corpus = fs::path(MORVEK_SOURCE_DIR) / "tools/fuzz/corpus" / GetParam().name;
  EXPECT_TRUE(fs::is_directory(corpus) && !fs::is_empty(corpus)) << "no seed corpus for " << GetParam().name;
  std::vector<std::string> files{""};  // "": the empty input
  std::error_code missing;              // not every target has inputs that once broke it
  for (const fs::path& dir : {corpus, fs::path(MORVEK_TEST_DATA) / "fuzz" / GetParam().name})
    for (const auto& entry : fs::directory_iterator(dir, missing))
      if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  for (const std::string& path : files) EXPECT_TRUE(replay(path.empty() ? "" : readFile(path))) << path;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
