// The book and the learning file through the whole program: the engine in a
// private directory with a small book of its own.
#include "book/book_parser.h"
#include "book/learning.h"
#include "tests/book_test_support.h"
#include "tests/engine_process.h"

namespace {

const char* const kSmallBook = "# small book\ne2e4 e7e5 g1f3\nd2d4 d7d5\n";
// Off the book, and a mate in one that ends the search at once.
const char* const kOffBookFen = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -";

struct BookTranscript : BookFixture {
  EngineDir engine;
  std::string learningPath() const { return engine.path + "/zivorur12.dat"; }
  void SetUp() override {
    BookFixture::SetUp();
    writeFile(engine.path + "/Morvek.bk", kSmallBook);
  }
  void run(const std::string& input) {
    EngineRun result = runEngine(engine, input);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
  }
};

TEST_F(BookTranscript, BookPositionsReachTheLearningFileByteForByte) {
  run("force\ne2e4\ne7e5\nquit\n");
  const std::string written = readFile(learningPath());
  // The same table written by this process.
  writeFile(file("Morvek.bk"), kSmallBook);
  parseBookText(file("Morvek.bk").c_str());
  ASSERT_EQ(countBookNodes(), 5);
  ASSERT_EQ(saveLearningFile(file("expected.dat").c_str()), 1);
  EXPECT_EQ(written, readFile(file("expected.dat")));
  // Once written, the learning file replaces the book text.
  writeFile(engine.path + "/Morvek.bk", "c2c4\n");
  run("quit\n");
  EXPECT_EQ(readFile(learningPath()), written);
}

TEST_F(BookTranscript, SecondInstanceLearnsButNeverWrites) {
  run("quit\n");
  const std::string before = readFile(learningPath());
  ASSERT_FALSE(before.empty());
  EngineProcess first = launchEngine(engine);
  std::string seen;
  ASSERT_TRUE(waitForOutput(first, "feature done=1\n", seen));
  run("force\nsetboard " + std::string(kOffBookFen) + "\ngo\nquit\n");
  EXPECT_EQ(readFile(learningPath()), before);
  sendInput(first, "quit\n");
  EXPECT_EQ(finishEngine(first).exitCode, 0);
  EXPECT_EQ(readFile(learningPath()), before);

  // Alone again, the engine keeps its search result in the file.
  run("force\nsetboard " + std::string(kOffBookFen) + "\ngo\nquit\n");
  FILE* learned = fopen(learningPath().c_str(), "rb");
  ASSERT_NE(learned, nullptr);
  ASSERT_EQ(loadLearning(learned), 1);
  EXPECT_EQ(countBookNodes(), 6);
  ASSERT_TRUE(setFen(kOffBookFen));
  BookNode* node = findNode();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->isBook, 0);
  EXPECT_EQ(node->weight, 0);
  EXPECT_GT(node->depth, 0);
}

}  // namespace
