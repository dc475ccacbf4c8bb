// The book and the learning file through the whole program: the engine in a
// private directory with a small book of its own.
#include "book/book_parser.h"
#include "book/learning.h"
#include "tests/book_test_support.h"
#include "tests/engine_process.h"

namespace {

const char* const kSmallBook = "# small book\ne2e4 e7e5 g1f3\nd2d4 d7d5\n";
// Off the book, and a mate in one that ends the search at once.
const std::string kOffBookGo = "force\nsetboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -\ngo\nquit\n";

struct BookTranscript : BookFixture {
  EngineDir engine;
  std::string learningPath() const { return engine.path + "/zivorur12.dat"; }
  void SetUp() override {
    BookFixture::SetUp();
    writeFile(engine.path + "/Morvek.bk", kSmallBook);
  }
  void run(const std::string& input) {
    EngineRun result = runEngine(engine, input);
    EXPECT_TRUE(!result.timedOut && result.exitCode == 0) << result.out;
    EXPECT_EQ(result.err, "");
  }
};

TEST_F(BookTranscript, BookPositionsReachTheLearningFileByteForByte) {
  run("force\ne2e4\ne7e5\nquit\n");
  const std::string written = readFile(learningPath());
  writeFile(file("Morvek.bk"), kSmallBook);  // the same table built here
  parseBookText(file("Morvek.bk").c_str());
  ASSERT_EQ(countBookNodes(), 5);
  ASSERT_EQ(saveLearningFile(file("expected.dat").c_str()), 1);
  EXPECT_EQ(written, readFile(file("expected.dat")));
  writeFile(engine.path + "/Morvek.bk", "c2c4\n");  // once written, the file replaces the book
  run("quit\n");
  EXPECT_EQ(readFile(learningPath()), written);
}

TEST_F(BookTranscript, SecondInstanceLearnsButNeverWrites) {
  run("quit\n");
  const std::string before = readFile(learningPath());
  EngineProcess first = launchEngine(engine);
  std::string seen;
  ASSERT_TRUE(waitForOutput(first, "feature done=1\n", seen));
  run(kOffBookGo);
  EXPECT_EQ(readFile(learningPath()), before);
  sendInput(first, "quit\n");
  EXPECT_EQ(finishEngine(first).exitCode, 0);
  EXPECT_EQ(readFile(learningPath()), before);

  run(kOffBookGo);  // alone again: the search result is kept
  ASSERT_EQ(loadLearning(fopen(learningPath().c_str(), "rb")), 1);
  ASSERT_TRUE(setFen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -"));
  BookNode* node = findNode();
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(node->isBook == 0 && node->weight == 0 && node->depth > 0);
  EXPECT_EQ(countBookNodes(), 6);
}

}  // namespace
