// Replays every stored fuzz input (the seed corpora and the inputs that once
// broke the engine) through the fuzz targets' own entry points, so a fixed
// fault stays fixed in every build, sanitized or not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define fileno _fileno
constexpr const char* kNullDevice = "NUL";
#else
#include <unistd.h>
constexpr const char* kNullDevice = "/dev/null";
#endif

#include "board/fen.h"
#include "book/book_table.h"
#include "engine/clock.h"
#include "tests/test_support.h"
#include "tools/fuzz/fuzz_entry.h"

namespace fs = std::filesystem;

namespace {

struct FuzzTarget {
  const char* name;
  bool (*entry)(const uint8_t*, size_t);
};

const FuzzTarget kTargets[] = {
    {"commands", fuzzCommandStream},
    {"position", fuzzPositionWalk},
    {"book", fuzzBookText},
    {"learning", fuzzLearningFile},
};

// Names the target in the test's parameter text.
void PrintTo(const FuzzTarget& target, std::ostream* out) { *out << target.name; }

std::vector<fs::path> storedInputs(const fs::path& directory) {
  std::vector<fs::path> files;
  if (!fs::is_directory(directory)) return files;
  for (const auto& entry : fs::directory_iterator(directory))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string readInput(const fs::path& path) {
  std::string bytes;
  FILE* file = fopen(path.string().c_str(), "rb");
  if (!file) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

// Runs one input with the engine's standard output and error silenced (moves,
// thinking lines, "#error" answers), keeping the test's own output readable.
bool runQuietly(const FuzzTarget& target, const std::string& bytes) {
  fflush(stdout);
  fflush(stderr);
  const int savedOut = dup(fileno(stdout));
  const int savedErr = dup(fileno(stderr));
  FILE* sink = fopen(kNullDevice, "w");
  if (sink) {
    dup2(fileno(sink), fileno(stdout));
    dup2(fileno(sink), fileno(stderr));
  }
  const bool ok = target.entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  fflush(stdout);
  fflush(stderr);
  dup2(savedOut, fileno(stdout));
  dup2(savedErr, fileno(stderr));
  close(savedOut);
  close(savedErr);
  if (sink) fclose(sink);
  return ok;
}

class FuzzRegression : public ::testing::TestWithParam<FuzzTarget> {
 protected:
  void SetUp() override {
    initEngineOnce();
    savedClock = searchClock;
  }
  // The targets leave the book empty and the clock at a zero budget.
  void TearDown() override {
    searchClock = savedClock;
    clearBookTable();
    setFen(kStartFen);
  }
  Clock savedClock;
};

TEST_P(FuzzRegression, StoredInputsKeepTheInvariants) {
  const FuzzTarget& target = GetParam();
  const fs::path source(MORVEK_SOURCE_DIR);
  const auto seeds = storedInputs(source / "tools/fuzz/corpus" / target.name);
  const auto found = storedInputs(fs::path(MORVEK_TEST_DATA) / "fuzz" / target.name);
  EXPECT_FALSE(seeds.empty()) << "no seed corpus for " << target.name;
  for (const auto* list : {&seeds, &found})
    for (const fs::path& path : *list)
      EXPECT_TRUE(runQuietly(target, readInput(path))) << path.string();
}

// Inputs too plain to store as files: nothing at all, and a lone zero byte.
TEST_P(FuzzRegression, EmptyAndZeroInputs) {
  const FuzzTarget& target = GetParam();
  EXPECT_TRUE(runQuietly(target, std::string()));
  EXPECT_TRUE(runQuietly(target, std::string(1, '\0')));
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
