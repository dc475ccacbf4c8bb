// Learning: search results into the table, the game trend into book weights,
// and the learning file.
#include "book/learning.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "tests/book_test_support.h"

namespace {

BookNode* linkedNode(uint32_t keyLow, uint32_t keyHigh, int side, const char* text) {
  BookNode* node = allocateBookNode(int(strlen(text)));
  node->keyLow = keyLow;
  node->keyHigh = keyHigh;
  node->side = side;
  node->size = 48 + int(strlen(text));
  strcpy(node->text, text);
  linkNode(node);
  return node;
}

struct LearningFile : BookFixture {
  std::string save() {
    EXPECT_EQ(saveLearningFile(file("out.dat").c_str()), 1);
    return readFile(file("out.dat"));
  }
  int load(const std::string& bytes) {
    clearBookTable();
    writeFile(file("in.dat"), bytes);
    return loadLearning(fopen(file("in.dat").c_str(), "rb"));
  }
  // Every bucket's chain from the head, as key and text.
  static std::vector<std::string> chains() {
    std::vector<std::string> all;
    for (BookNode* head : bookTable.bucket)
      for (BookNode* n = head; n; n = n->next)
        all.push_back(std::to_string(n->keyLow) + ":" + n->text);
    return all;
  }
};

TEST_F(LearningFile, RecordLayoutByteForByte) {
  std::string text(60, 'x');
  BookNode* node = linkedNode(0x01020304u, 0xA0B0C0D0u, 1, text.c_str());
  node->score = -2;
  node->weight = 17;
  node->depth = 9;
  node->isBook = 1;
  std::string bytes = save();
  ASSERT_EQ(bytes.size(), 108u);
  const unsigned char header[40] = {
      0xFE, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 108, 0, 0, 0,
      1,    0,    0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1, 0xD0, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(bytes.substr(0, 40), std::string(reinterpret_cast<const char*>(header), 40));
  EXPECT_EQ(bytes.substr(40), text + std::string(8, '\0'));
}

TEST_F(LearningFile, EachLoadReversesChainsSoTwoRestoreThem) {
  linkedNode(0x00001234u, 1, 0, "first");  // three nodes of one bucket
  linkedNode(0x00011234u, 2, 1, "second");
  linkedNode(0x00021234u, 3, 0, "third text");
  linkedNode(0x00000007u, 4, 1, "alone");
  linkedNode(0xFFFFFFFFu, 5, 0, "end")->score = 999;
  const std::vector<std::string> original = chains();
  const std::string first = save();

  ASSERT_EQ(load(first), 1);
  EXPECT_EQ(chains(), (std::vector<std::string>{original[0], original[3], original[2],
                                                original[1], original[4]}));
  ASSERT_EQ(load(save()), 1);
  EXPECT_EQ(chains(), original);
  EXPECT_EQ(save(), first);
  EXPECT_EQ(findNodeByKey(0xFFFFFFFFu, 5, 0)->score, 999);
  EXPECT_EQ(load(""), 1);  // an empty file is an empty table
  EXPECT_EQ(countBookNodes(), 0);
}

TEST_F(LearningFile, MalformedRecordsAreRejectedWithoutReadingPastThem) {
  linkedNode(0x10u, 1, 0, "good");
  const std::string good = save();
  ASSERT_EQ(good.size(), 52u);
  auto withSize = [](std::string record, uint32_t size) {
    for (int i = 0; i < 4; ++i) record[16 + i] = char(size >> (8 * i));
    return record;
  };
  struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"short header", good + good.substr(0, 47)},
      {"size of 48", good + withSize(good, 48)},
      {"negative size", good + withSize(good, 0x80000000u)},
      {"size past the end of the file", good + withSize(good, 53)},
      {"truncated text", good + good.substr(0, 50)},
      {"text without its zero", good + withSize(std::string(40, '\0') + "abcdefghij", 50)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load(c.bytes), 0) << c.what;
    EXPECT_EQ(countBookNodes(), 1) << c.what;  // records before the error stay
  }
  // A zero anywhere within the record is enough.
  std::string tight = withSize(std::string(40, '\0') + "abcdefgh" + '\0', 49);
  EXPECT_EQ(load(tight), 1);
  EXPECT_EQ(save(), tight);
  // No memory for a record rejects the file.
  ASSERT_EQ(load(good + good), 1);
  bookNodeAllowance = 1;
  EXPECT_EQ(load(good + good), 0);
  EXPECT_EQ(countBookNodes(), 1);
}

TEST_F(LearningFile, FailedSaveKeepsTheOldFile) {
  const std::string path = file("zivorur12.dat");
  const std::string temporary = path + ".tmp";
  for (int i = 0; i < 200; ++i) linkedNode(uint32_t(i), 1, 0, "a position text of some length");

  writeFile(path, "old");
  ASSERT_EQ(mkdir(temporary.c_str(), 0700), 0);  // no temporary file possible
  EXPECT_EQ(saveLearningFile(path.c_str()), 0);
  EXPECT_EQ(readFile(path), "old");
  rmdir(temporary.c_str());
  EXPECT_EQ(saveLearningFile(file("missing/zivorur12.dat").c_str()), 0);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A file size limit makes the write fail part way.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(saveLearningFile(path.c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failure must be reported";
  EXPECT_EQ(readFile(path), "old");
  EXPECT_NE(access(temporary.c_str(), F_OK), 0);

  ASSERT_EQ(saveLearningFile(path.c_str()), 1);
  EXPECT_EQ(readFile(path).size(), 200u * 78);
  EXPECT_NE(access(temporary.c_str(), F_OK), 0);
}

TEST_F(LearningFile, SearchResultsUpdateOrCreateNodes) {
  ASSERT_TRUE(playGameMoves("e2e4"));
  BookNode* book = newBookNode(currentText().c_str());
  book->weight = 18;
  linkNode(book);
  recordSearchResult(-250, 8);
  EXPECT_EQ(countBookNodes(), 1);
  EXPECT_EQ(book->score, -250);
  EXPECT_EQ(book->depth, 8);
  EXPECT_EQ(book->weight, 18);
  EXPECT_EQ(book->isBook, 1);

  ASSERT_TRUE(playGameMoves("g8f6"));
  recordSearchResult(75, 4);
  BookNode* searched = findNode();
  ASSERT_NE(searched, nullptr);
  EXPECT_EQ(searched->score, 75);
  EXPECT_EQ(searched->depth, 4);
  EXPECT_EQ(searched->weight, 0);
  EXPECT_EQ(searched->isBook, 0);
  EXPECT_EQ(searched->side, kWhite);
  EXPECT_EQ(searched->text, currentText());

  bookNodeAllowance = 0;  // out of memory: the result is dropped, nothing breaks
  ASSERT_TRUE(playGameMoves("c2c4"));
  recordSearchResult(1, 1);
  EXPECT_EQ(countBookNodes(), 2);
}

// The trend rule on constructed histories: nodes[n] for the position after
// move n, scores rising by step per ply, depth 3.
struct RisingScores : ::testing::Test {
  BookNode storage[kMaxGameMoves + 1] = {};
  BookNode* nodes[kMaxGameMoves + 1] = {};
  void history(int gamePly, int sideToMove, int step = 10) {
    pos.gamePly = gamePly;
    pos.sideToMove = sideToMove;
    pos.opponent = sideToMove ^ 1;
    for (int n = 1; n <= gamePly; ++n) {
      storage[n] = BookNode{};
      storage[n].side = (gamePly - n) % 2 == 0 ? sideToMove : sideToMove ^ 1;
      storage[n].depth = 3;
      storage[n].score = 100 + step * n;
      nodes[n] = &storage[n];
    }
  }
};

TEST_F(RisingScores, TrueExactlyAtItsLimits) {
  history(17, kWhite);
  EXPECT_TRUE(risingScores(kWhite, nodes));
  EXPECT_FALSE(risingScores(kBlack, nodes));  // black's latest position is ply 16
  history(16, kWhite);
  EXPECT_FALSE(risingScores(kWhite, nodes));
  history(18, kWhite);
  EXPECT_TRUE(risingScores(kBlack, nodes));
  history(0, kWhite);
  EXPECT_FALSE(risingScores(kWhite, nodes));

  struct {
    const char* what;
    int ply, depth, scoreFrom, delta;  // storage[ply] = storage[scoreFrom] + delta
    bool rising;
  } cases[] = {
      {"oldest examined, depth 3", 7, 3, 0, 0, true},
      {"oldest examined, depth 2", 7, 2, 0, 0, false},
      {"oldest compared, depth 2", 1, 2, 0, 0, true},
      {"oldest compared, depth 1", 1, 1, 0, 0, false},
      {"compared one below", 1, 3, 7, -1, true},
      {"compared equal", 1, 3, 7, 0, false},
      {"falls by 23 to the next", 13, 3, 15, 23, true},
      {"falls by 24 to the next", 13, 3, 15, 24, false},
  };
  for (const auto& c : cases) {
    history(17, kWhite, 100);
    storage[c.ply].depth = c.depth;
    if (c.scoreFrom) storage[c.ply].score = storage[c.scoreFrom].score + c.delta;
    EXPECT_EQ(risingScores(kWhite, nodes), c.rising) << c.what;
  }
  history(17, kWhite);
  nodes[4] = nullptr;  // never looked at
  EXPECT_TRUE(risingScores(kWhite, nodes));
  storage[9].side = kBlack;
  EXPECT_FALSE(risingScores(kWhite, nodes));
  history(17, kWhite);
  nodes[5] = nullptr;
  EXPECT_FALSE(risingScores(kWhite, nodes));
}

// learnGameResult over a real game whose positions all have nodes.
struct GameLearning : BookFixture {
  BookNode* node[kMaxGameMoves + 1] = {};
  // rising > 0: the side to move now gains; < 0: its opponent does.
  void play(int plies, int rising) {
    static const char* const kLine =
        "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1g5 e7e6 f2f4 d8b6 d1d2 b6b2 a1b1 "
        "b2a3 f4f5";
    std::string moves(kLine, size_t(plies) * 5 - 1);
    ASSERT_TRUE(playGameMoves(moves));
    int side = pos.sideToMove;
    for (int n = pos.gamePly; n >= 1; --n, side ^= 1) {
      uint64_t key = pos.keyHistory[n];
      node[n] = linkedNode(uint32_t(key), uint32_t(key >> 32), side, "t");
      node[n]->weight = 16;
      node[n]->depth = 5;
      node[n]->score = (side == pos.sideToMove ? rising : -rising) * 30 * n;
    }
  }
  void expectWeights(int engineDelta, bool marked) {
    for (int n = 1; n <= pos.gamePly; ++n)
      EXPECT_EQ(node[n]->weight, 16 + ((pos.gamePly - n) % 2 == 0 ? engineDelta : 0)) << n;
    EXPECT_EQ(pos.learnedThisGame, marked ? 1 : 0);
  }
};

TEST_F(GameLearning, EngineTurnsRiseOrFallOncePerGame) {
  play(18, 1);
  learnGameResult();
  expectWeights(1, true);
  learnGameResult();
  expectWeights(1, true);
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(pos.learnedThisGame, 0);
  clearBookTable();
  play(18, -1);
  learnGameResult();
  expectWeights(-1, true);
}

TEST_F(GameLearning, NoChangeWithoutTrendOrBeforeMoveSeventeen) {
  play(18, 0);
  learnGameResult();
  expectWeights(0, false);  // tried again at the next think
  ASSERT_TRUE(setFen(kStartFen));
  clearBookTable();
  play(16, 1);
  learnGameResult();
  expectWeights(0, false);
}

TEST_F(GameLearning, MissingNodeOnTheEngineTurnsChangesNothingButMarks) {
  // After 19 plies the trend reaches back to ply 3 only, so the position
  // after move 1 can be missing while the trend holds.
  play(19, 1);
  node[1]->side ^= 1;  // invisible to the lookup by key and side
  learnGameResult();
  node[1]->side ^= 1;
  expectWeights(0, true);
}

}  // namespace
