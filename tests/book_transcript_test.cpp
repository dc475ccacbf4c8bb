// The book and the learning file through the whole program: the engine in a
// private directory with a small book of its own.
#include <gtest/gtest.h>

#include <string>

#include "book/book_parser.h"
#include "book/learning.h"
#include "tests/book_test_support.h"
#include "tests/engine_process.h"

namespace {

const char* const kSmallBook = "# small book\ne2e4 e7e5 g1f3\nd2d4 d7d5\n";
const char* const kOffBookFen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";

struct BookTranscript : BookFixture {
  EngineDir dir;
  std::string learningPath() const { return dir.path + "/zivorur12.dat"; }
  void SetUp() override {
    BookFixture::SetUp();
    writeFile(dir.path + "/Morvek.bk", kSmallBook);
  }
  EngineRun run(const std::string& input) {
    EngineRun result = runEngine(dir, input);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    return result;
  }
  // The learning file this process writes for the same book.
  std::string expectedBookFile() {
    TempDir temp;
    writeFile(temp.file("Morvek.bk"), kSmallBook);
    clearBookTable();
    parseBookText(temp.file("Morvek.bk").c_str());
    std::string path = temp.file("expected.dat");
    EXPECT_EQ(saveLearningFile(path.c_str()), 1);
    return readFile(path);
  }
};

TEST_F(BookTranscript, BookPositionsReachTheLearningFileByteForByte) {
  EngineRun result = run("force\ne2e4\ne7e5\nquit\n");
  EXPECT_EQ(result.err, "");
  const std::string written = readFile(learningPath());
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written, expectedBookFile());
  // Once written, the learning file replaces the book text.
  writeFile(dir.path + "/Morvek.bk", "c2c4\n");
  run("quit\n");
  EXPECT_EQ(readFile(learningPath()), written);
}

TEST_F(BookTranscript, SearchResultEntersTheLearningFile) {
  run("st 1\nforce\nsetboard " + std::string(kOffBookFen) + "\ngo\nquit\n");
  clearBookTable();
  FILE* file = fopen(learningPath().c_str(), "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(loadLearning(file), 1);
  EXPECT_EQ(countBookNodes(), 6);  // five book positions and the searched one
  ASSERT_TRUE(setFen(kOffBookFen));
  BookNode* node = findNode();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->isBook, 0);
  EXPECT_EQ(node->weight, 0);
  EXPECT_EQ(node->side, kWhite);
  EXPECT_GE(node->depth, 0);
}

TEST_F(BookTranscript, SecondInstanceLeavesTheLearningFileAlone) {
  run("quit\n");
  const std::string before = readFile(learningPath());
  ASSERT_FALSE(before.empty());
  EngineProcess first = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(waitForOutput(first, "feature done=1\n", seen));
  // The second instance learns a search result but must not write it.
  run("st 1\nforce\nsetboard " + std::string(kOffBookFen) + "\ngo\nquit\n");
  EXPECT_EQ(readFile(learningPath()), before);
  sendInput(first, "quit\n");
  EngineRun firstRun = finishEngine(first);
  EXPECT_EQ(firstRun.exitCode, 0);
  EXPECT_EQ(readFile(learningPath()), before);  // the first learned nothing new
}

}  // namespace
