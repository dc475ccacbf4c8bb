// Learning: search results into the table, the game trend into book weights,
// and the learning file.
#include "book/learning.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "tests/book_test_support.h"

namespace {

// Eighteen plies reaching eighteen different positions.
const char* const kGameLine =
    "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1g5 e7e6 f2f4 d8b6 d1d2 b6b2 a1b1 b2a3";

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

std::string saveToString(const TempDir& dir, const char* name) {
  std::string path = dir.file(name);
  FILE* f = fopen(path.c_str(), "wb");
  saveLearning(f);
  return readFile(path);
}

int loadFromString(const TempDir& dir, const std::string& bytes) {
  std::string path = dir.file("in.dat");
  writeFile(path, bytes);
  return loadLearning(fopen(path.c_str(), "rb"));
}

// Chain of each bucket as (keyHigh, text) from the head.
std::vector<std::string> chains() {
  std::vector<std::string> all;
  for (int b = 0; b < kBookBuckets; ++b)
    for (BookNode* n = bookTable.bucket[b]; n; n = n->next)
      all.push_back(std::to_string(b) + ":" + std::to_string(n->keyHigh) + ":" + n->text);
  return all;
}

using LearningFile = BookFixture;

TEST_F(LearningFile, RecordLayoutByteForByte) {
  std::string text(60, 'x');
  BookNode* node = linkedNode(0x01020304u, 0xA0B0C0D0u, 1, text.c_str());
  node->score = -2;
  node->weight = 17;
  node->depth = 9;
  node->isBook = 1;
  TempDir dir;
  std::string bytes = saveToString(dir, "out.dat");
  ASSERT_EQ(bytes.size(), 108u);
  const unsigned char expected[40] = {
      0xFE, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 108, 0, 0, 0,
      1,    0,    0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1, 0xD0, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(bytes.substr(0, 40), std::string(reinterpret_cast<const char*>(expected), 40));
  EXPECT_EQ(bytes.substr(40, 60), text);
  EXPECT_EQ(bytes.substr(100), std::string(8, '\0'));  // terminating zero and padding
}

TEST_F(LearningFile, SaveLoadSaveRoundTripsAndTwoLoadsRestoreChainOrder) {
  // Three nodes share bucket 0x1234; two others stand alone.
  linkedNode(0x00001234u, 1, 0, "first");
  linkedNode(0x00011234u, 2, 1, "second");
  linkedNode(0x00021234u, 3, 0, "third text");
  linkedNode(0x00000007u, 4, 1, "alone");
  BookNode* last = linkedNode(0xFFFFFFFFu, 5, 0, "end");
  last->score = 999;
  last->depth = 12;
  std::vector<std::string> original = chains();
  TempDir dir;
  std::string first = saveToString(dir, "a.dat");

  clearBookTable();
  ASSERT_EQ(loadFromString(dir, first), 1);
  std::vector<std::string> once = chains();
  ASSERT_EQ(once.size(), original.size());
  EXPECT_EQ(once[0], original[0]);  // bucket 7, then 0x1234 reversed
  EXPECT_EQ(once[1], original[3]);
  EXPECT_EQ(once[2], original[2]);
  EXPECT_EQ(once[3], original[1]);
  EXPECT_EQ(once[4], original[4]);
  std::string second = saveToString(dir, "b.dat");
  EXPECT_EQ(second.size(), first.size());

  clearBookTable();
  ASSERT_EQ(loadFromString(dir, second), 1);
  EXPECT_EQ(chains(), original);
  EXPECT_EQ(saveToString(dir, "c.dat"), first);
  BookNode* reloaded = findNodeByKey(0xFFFFFFFFu, 5, 0);
  ASSERT_NE(reloaded, nullptr);
  EXPECT_EQ(reloaded->score, 999);
  EXPECT_EQ(reloaded->depth, 12);
}

TEST_F(LearningFile, SingleNodeBucketsSaveTheSameBytesAfterALoad) {
  ASSERT_TRUE(playGameMoves("e2e4"));
  recordSearchResult(40, 6);
  ASSERT_TRUE(playGameMoves("e7e5"));
  recordSearchResult(-15, 7);
  TempDir dir;
  std::string bytes = saveToString(dir, "a.dat");
  clearBookTable();
  ASSERT_EQ(loadFromString(dir, bytes), 1);
  EXPECT_EQ(saveToString(dir, "b.dat"), bytes);
  EXPECT_EQ(findNode()->score, -15);
}

TEST_F(LearningFile, EmptyFileIsAValidEmptyTable) {
  TempDir dir;
  EXPECT_EQ(loadFromString(dir, ""), 1);
  EXPECT_EQ(countBookNodes(), 0);
}

TEST_F(LearningFile, MalformedRecordsAreRejectedWithoutReadingPastThem) {
  linkedNode(0x10u, 1, 0, "good");
  TempDir dir;
  const std::string good = saveToString(dir, "good.dat");
  ASSERT_EQ(good.size(), 52u);
  auto withSize = [&](std::string record, uint32_t size) {
    for (int i = 0; i < 4; ++i) record[16 + i] = char(size >> (8 * i));
    return record;
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"short header", good + good.substr(0, 47)},
      {"size of exactly 48", good + withSize(good, 48)},
      {"negative size", good + withSize(good, 0x80000000u)},
      {"size past the end of the file", good + withSize(good, 53)},
      {"truncated text", good + good.substr(0, 50)},
      {"text without its zero", good + withSize(std::string(40, '\0') + "abcdefghij", 50)},
  };
  for (const Case& c : cases) {
    clearBookTable();
    EXPECT_EQ(loadFromString(dir, c.bytes), 0) << c.what;
    EXPECT_EQ(countBookNodes(), 1) << c.what;  // the records before the error stay
  }
  // A zero within the record is enough, with any padding after it.
  clearBookTable();
  std::string tight = withSize(std::string(40, '\0') + "abcdefgh" + '\0', 49);
  EXPECT_EQ(loadFromString(dir, tight), 1);
  EXPECT_EQ(saveToString(dir, "tight.dat"), tight);
}

TEST_F(LearningFile, NoMemoryForARecordRejectsTheFile) {
  linkedNode(0x10u, 1, 0, "a");
  linkedNode(0x11u, 1, 0, "b");
  TempDir dir;
  std::string bytes = saveToString(dir, "a.dat");
  clearBookTable();
  bookNodeAllowance = 1;
  EXPECT_EQ(loadFromString(dir, bytes), 0);
  EXPECT_EQ(countBookNodes(), 1);
}

TEST_F(LearningFile, SafeSaveReplacesTheFileOnlyWhenComplete) {
  TempDir dir;
  std::string path = dir.file("zivorur12.dat");
  writeFile(path, "old learning");
  linkedNode(0x10u, 1, 0, "new");
  ASSERT_EQ(saveLearningFile(path.c_str()), 1);
  EXPECT_EQ(readFile(path).size(), 51u);
  EXPECT_EQ(access((path + ".tmp").c_str(), F_OK), -1);

  // The temporary file cannot be created: the old file stays.
  writeFile(path, "old learning");
  ASSERT_EQ(mkdir((path + ".tmp").c_str(), 0700), 0);
  EXPECT_EQ(saveLearningFile(path.c_str()), 0);
  EXPECT_EQ(readFile(path), "old learning");
  rmdir((path + ".tmp").c_str());

  EXPECT_EQ(saveLearningFile(dir.file("missing/zivorur12.dat").c_str()), 0);
}

TEST_F(LearningFile, WriteErrorMidwayKeepsTheOldFile) {
  TempDir dir;
  std::string path = dir.file("zivorur12.dat");
  writeFile(path, "old learning");
  for (int i = 0; i < 200; ++i) linkedNode(uint32_t(i), 1, 0, "a position text of some length");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file size limit makes the write fail part way.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(saveLearningFile(path.c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write must be reported";
  EXPECT_EQ(readFile(path), "old learning");
  EXPECT_EQ(access((path + ".tmp").c_str(), F_OK), -1);
}

using SearchResults = BookFixture;

TEST_F(SearchResults, BookPositionKeepsWeightAndBookMark) {
  ASSERT_TRUE(playGameMoves("e2e4"));
  BookNode* node = newBookNode(currentText().c_str());
  node->weight = 18;
  linkNode(node);
  recordSearchResult(-250, 8);
  EXPECT_EQ(countBookNodes(), 1);
  EXPECT_EQ(node->score, -250);
  EXPECT_EQ(node->depth, 8);
  EXPECT_EQ(node->weight, 18);
  EXPECT_EQ(node->isBook, 1);
}

TEST_F(SearchResults, NewPositionIsASearchNodeWithoutWeight) {
  ASSERT_TRUE(playGameMoves("d2d4 g8f6"));
  recordSearchResult(75, 4);
  BookNode* node = findNode();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->score, 75);
  EXPECT_EQ(node->depth, 4);
  EXPECT_EQ(node->weight, 0);
  EXPECT_EQ(node->isBook, 0);
  EXPECT_EQ(node->side, kWhite);
  EXPECT_STREQ(node->text, currentText().c_str());
  bookNodeAllowance = 0;  // out of memory: nothing kept, nothing broken
  ASSERT_TRUE(playGameMoves("c2c4"));
  recordSearchResult(1, 1);
  EXPECT_EQ(countBookNodes(), 1);
}

// Rising-score rule on constructed histories: nodes[n] for the position
// after move n, scores rising by step per ply.
struct RisingScores : ::testing::Test {
  BookNode storage[kMaxGameMoves + 1] = {};
  BookNode* nodes[kMaxGameMoves + 1] = {};
  void SetUp() override { pos.learnedThisGame = 0; }
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

TEST_F(RisingScores, SixRisingPositionsFromPlySeventeen) {
  history(17, kWhite);
  EXPECT_TRUE(risingScores(kWhite, nodes));
  EXPECT_FALSE(risingScores(kBlack, nodes));  // black's latest is ply 16
  history(16, kWhite);
  EXPECT_FALSE(risingScores(kWhite, nodes));
  history(18, kWhite);
  EXPECT_TRUE(risingScores(kBlack, nodes));  // t = 17
  history(30, kBlack);
  EXPECT_TRUE(risingScores(kBlack, nodes));
}

TEST_F(RisingScores, DepthsAtTheirLimits) {
  history(17, kWhite);
  storage[7].depth = 2;  // the oldest examined position needs more than 2
  EXPECT_FALSE(risingScores(kWhite, nodes));
  storage[7].depth = 3;
  storage[1].depth = 2;  // the oldest compared position needs 2
  EXPECT_TRUE(risingScores(kWhite, nodes));
  storage[1].depth = 1;
  EXPECT_FALSE(risingScores(kWhite, nodes));
  storage[1].depth = 2;
  nodes[4] = nullptr;  // never looked at
  EXPECT_TRUE(risingScores(kWhite, nodes));
  nodes[5] = nullptr;
  EXPECT_FALSE(risingScores(kWhite, nodes));
}

TEST_F(RisingScores, EachScoreAboveTheOneSixPliesBefore) {
  history(17, kWhite);
  storage[1].score = storage[7].score - 1;  // the oldest pair
  EXPECT_TRUE(risingScores(kWhite, nodes));
  storage[1].score = storage[7].score;
  EXPECT_FALSE(risingScores(kWhite, nodes));
}

TEST_F(RisingScores, FallBetweenConsecutivePositionsUnderTwentyFour) {
  history(17, kWhite, 100);
  storage[13].score = storage[15].score + 23;  // falls by 23 towards ply 15
  EXPECT_TRUE(risingScores(kWhite, nodes));
  storage[13].score = storage[15].score + 24;
  EXPECT_FALSE(risingScores(kWhite, nodes));
}

TEST_F(RisingScores, WrongSideOrMissingNodeEndsTheTest) {
  history(17, kWhite);
  storage[9].side = kBlack;
  EXPECT_FALSE(risingScores(kWhite, nodes));
  history(17, kWhite);
  nodes[17] = nullptr;
  EXPECT_FALSE(risingScores(kWhite, nodes));
  history(0, kWhite);
  EXPECT_FALSE(risingScores(kWhite, nodes));
}

// learnGameResult over a real game whose positions all have nodes.
struct GameLearning : BookFixture {
  BookNode* node[kMaxGameMoves + 1] = {};
  void play(const char* moves, int rising) {
    ASSERT_TRUE(playGameMoves(moves));
    int side = pos.sideToMove;
    for (int n = pos.gamePly; n >= 1; --n) {
      uint64_t key = pos.keyHistory[n];
      node[n] = linkedNode(uint32_t(key), uint32_t(key >> 32), side, "t");
      node[n]->weight = 16;
      node[n]->depth = 5;
      // rising > 0: the side to move now gains; < 0: its opponent does.
      bool engineTurn = side == pos.sideToMove;
      node[n]->score = (engineTurn ? rising : -rising) * 30 * n;
      side ^= 1;
    }
  }
  void expectWeights(int engineDelta) {
    for (int n = 1; n <= pos.gamePly; ++n) {
      bool engineTurn = (pos.gamePly - n) % 2 == 0;
      EXPECT_EQ(node[n]->weight, 16 + (engineTurn ? engineDelta : 0)) << "ply " << n;
    }
  }
};

TEST_F(GameLearning, EngineRisingRaisesItsTurnsOncePerGame) {
  play(kGameLine, 1);
  learnGameResult();
  expectWeights(1);
  EXPECT_EQ(pos.learnedThisGame, 1);
  learnGameResult();
  expectWeights(1);
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(pos.learnedThisGame, 0);
}

TEST_F(GameLearning, OpponentRisingLowersTheEngineTurns) {
  play(kGameLine, -1);
  learnGameResult();
  expectWeights(-1);
  EXPECT_EQ(pos.learnedThisGame, 1);
}

TEST_F(GameLearning, NoTrendChangesNothingAndTriesAgainLater) {
  play(kGameLine, 0);
  learnGameResult();
  expectWeights(0);
  EXPECT_EQ(pos.learnedThisGame, 0);
}

TEST_F(GameLearning, NothingChangesBeforeTheSeventeenthMove) {
  play("e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1g5 e7e6 f2f4 d8b6 d1d2 b6b2", 1);
  learnGameResult();
  expectWeights(0);
  EXPECT_EQ(pos.learnedThisGame, 0);
}

TEST_F(GameLearning, MissingNodeOnTheEngineTurnsChangesNothingButMarks) {
  // After 19 plies the trend test looks no further back than ply 3, so the
  // engine-turn position after move 1 can be missing while the trend holds.
  play((std::string(kGameLine) + " f4f5").c_str(), 1);
  node[1]->side ^= 1;  // invisible to the lookup by key and side
  learnGameResult();
  node[1]->side ^= 1;
  expectWeights(0);
  EXPECT_EQ(pos.learnedThisGame, 1);
}

}  // namespace
