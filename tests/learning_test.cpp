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

BookNode* linkedNode(uint32_t keyLow, uint32_t keyHigh, int side, const std::string& text) {
  BookNode* node = allocateBookNode(int(text.size()));
  node->keyLow = keyLow;
  node->keyHigh = keyHigh;
  node->side = side;
  node->size = 48 + int(text.size());
  memcpy(node->text, text.c_str(), text.size() + 1);
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
      for (BookNode* n = head; n; n = n->next) all.push_back(std::to_string(n->keyLow) + n->text);
    return all;
  }
};

TEST_F(LearningFile, RecordLayoutByteForByte) {
  BookNode* node = linkedNode(0x01020304u, 0xA0B0C0D0u, 1, std::string(60, 'x'));
  node->score = -2;
  node->weight = 17;
  node->depth = 9;
  node->isBook = 1;
  const unsigned char header[40] = {
      0xFE, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 108, 0, 0, 0,
      1,    0,    0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1, 0xD0, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(save(), std::string(reinterpret_cast<const char*>(header), 40) +
                        std::string(60, 'x') + std::string(8, '\0'));
}

TEST_F(LearningFile, EachLoadReversesChainsSoTwoRestoreThem) {
  linkedNode(0x00001234u, 1, 0, "first");  // three nodes of one bucket
  linkedNode(0x00011234u, 2, 1, "second");
  linkedNode(0x00021234u, 3, 0, "third text");
  linkedNode(0xFFFFFFFFu, 5, 0, "end")->score = 999;
  const std::vector<std::string> original = chains();
  const std::string first = save();
  ASSERT_EQ(load(first), 1);
  EXPECT_EQ(chains(), (std::vector<std::string>{original[2], original[1], original[0], original[3]}));
  ASSERT_EQ(load(save()), 1);
  EXPECT_EQ(chains(), original);
  EXPECT_EQ(save(), first);
  EXPECT_EQ(findNodeByKey(0xFFFFFFFFu, 5, 0)->score, 999);
}

TEST_F(LearningFile, BadFilesAreRefusedKeepingTheRecordsBeforeTheFault) {
  linkedNode(0x10u, 1, 0, "good");
  const std::string good = save();
  auto withSize = [](std::string record, uint32_t size) {
    for (int i = 0; i < 4; ++i) record[16 + i] = char(size >> (8 * i));
    return record;
  };
  const std::string zeroAtEnd = withSize(std::string(40, '\0') + "abcdefgh" + '\0', 49);
  struct {
    const char* what;
    std::string bytes;
    int result, nodes;
  } cases[] = {
      {"empty", "", 1, 0},
      {"two records", good + good, 1, 2},
      {"short header", good + good.substr(0, 47), 0, 1},
      {"size of 48", good + withSize(good, 48), 0, 1},
      {"negative size", good + withSize(good, 0x80000000u), 0, 1},
      {"size past the end of the file", good + withSize(good, 53), 0, 1},
      {"truncated text", good + good.substr(0, 50), 0, 1},
      {"text without its zero", good + withSize(std::string(40, '\0') + "abcdefghij", 50), 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load(c.bytes), c.result) << c.what;
    EXPECT_EQ(countBookNodes(), c.nodes) << c.what;
  }
  ASSERT_EQ(load(good + zeroAtEnd), 1);  // a zero as the record's last byte is enough
  EXPECT_EQ(save(), zeroAtEnd + good);  // bucket 0 first
  clearBookTable();
  EXPECT_EQ(loadLearning(fopen(file("missing.dat").c_str(), "rb")), 0);
  bookNodeAllowance = 1;  // no memory for the second record
  EXPECT_EQ(load(good + good), 0);
  EXPECT_EQ(countBookNodes(), 1);
}

TEST_F(LearningFile, FailedSaveKeepsTheOldFile) {
  const std::string path = file("zivorur12.dat");
  for (int i = 0; i < 200; ++i) linkedNode(uint32_t(i), 1, 0, "a position text of some length");
  writeFile(path, "old");
  EXPECT_EQ(saveLearningFile(file("missing/zivorur12.dat").c_str()), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // a file size limit makes the write fail part way
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(saveLearningFile(path.c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "failure must be reported";
  EXPECT_EQ(readFile(path), "old");
  EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);
  ASSERT_EQ(saveLearningFile(path.c_str()), 1);
  EXPECT_EQ(readFile(path).size(), 200u * 78);
}

TEST_F(LearningFile, SearchResultsUpdateOrCreateNodes) {
  BookNode* book = addNode("e2e4", 18);
  recordSearchResult(-250, 8);
  EXPECT_EQ(countBookNodes(), 1);
  EXPECT_TRUE(book->score == -250 && book->depth == 8 && book->weight == 18 && book->isBook == 1);
  ASSERT_TRUE(playGameMoves("g8f6"));
  recordSearchResult(75, 4);
  BookNode* searched = findNode();
  ASSERT_NE(searched, nullptr);
  EXPECT_TRUE(searched->score == 75 && searched->depth == 4 && searched->weight == 0 &&
              searched->isBook == 0 && searched->side == kWhite);
  bookNodeAllowance = 0;  // out of memory: the result is dropped, nothing breaks
  ASSERT_TRUE(playGameMoves("c2c4"));
  recordSearchResult(1, 1);
  EXPECT_EQ(countBookNodes(), 2);
}

// The trend rule on constructed histories, white to move: nodes[n] for the
// position after move n, depth 3, scores 100 + 100 n.
TEST_F(LearningFile, RisingScoresHoldExactlyAtTheirLimits) {
  static BookNode storage[kMaxGameMoves + 1];
  BookNode* nodes[kMaxGameMoves + 1] = {};
  struct {
    const char* what;
    int gamePly, side, ply, depth, scoreFrom, delta;  // depth -1: no node, -2: wrong side
    bool rising;
  } cases[] = {
      {"17 plies", 17, kWhite, 0, 3, 0, 0, true},
      {"16 plies", 16, kWhite, 0, 3, 0, 0, false},
      {"black's latest is ply 16", 17, kBlack, 0, 3, 0, 0, false},
      {"black after 18 plies", 18, kBlack, 0, 3, 0, 0, true},
      {"oldest examined, depth 3", 17, kWhite, 7, 3, 0, 0, true},
      {"oldest examined, depth 2", 17, kWhite, 7, 2, 0, 0, false},
      {"oldest compared, depth 2", 17, kWhite, 1, 2, 0, 0, true},
      {"oldest compared, depth 1", 17, kWhite, 1, 1, 0, 0, false},
      {"compared one below", 17, kWhite, 1, 3, 7, -1, true},
      {"compared equal", 17, kWhite, 1, 3, 7, 0, false},
      {"falls by 23 to the next", 17, kWhite, 13, 3, 15, 23, true},
      {"falls by 24 to the next", 17, kWhite, 13, 3, 15, 24, false},
      {"no node where none is looked at", 17, kWhite, 4, -1, 0, 0, true},
      {"no node where one is compared", 17, kWhite, 5, -1, 0, 0, false},
      {"a node of the other side's position", 17, kWhite, 9, -2, 0, 0, false},
  };
  for (const auto& c : cases) {
    pos.gamePly = c.gamePly;
    for (int n = 1; n <= c.gamePly; ++n) {
      storage[n] = BookNode{};
      storage[n].side = (c.gamePly - n) % 2 == 0 ? kWhite : kBlack;
      storage[n].depth = 3;
      storage[n].score = 100 + 100 * n;
      nodes[n] = &storage[n];
    }
    if (c.ply) storage[c.ply].depth = c.depth;
    if (c.scoreFrom) storage[c.ply].score = storage[c.scoreFrom].score + c.delta;
    if (c.depth == -1) nodes[c.ply] = nullptr;
    if (c.depth == -2) storage[c.ply].side = kBlack;
    EXPECT_EQ(risingScores(c.side, nodes), c.rising) << c.what;
  }
}

// learnGameResult over a real game whose positions all have nodes.
TEST_F(LearningFile, GameTrendMovesTheEngineTurnsOncePerGame) {
  static const char* const kLine =
      "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1g5 e7e6 f2f4 d8b6 d1d2 b6b2 a1b1 b2a3 "
      "f4f5";
  struct {
    int plies, rising;  // > 0: the side to move gains; < 0: its opponent does
    bool hideFirst;     // the position after move 1 lacks its node
    int engineDelta, marked;
  } cases[] = {{18, 1, false, 1, 1}, {18, -1, false, -1, 1}, {18, 0, false, 0, 0},
               {19, 1, true, 0, 1}};  // the trend reaches back to ply 3 only
  for (const auto& c : cases) {
    clearBookTable();
    ASSERT_TRUE(setFen(kStartFen) && playGameMoves(std::string(kLine, c.plies * 5 - 1)));
    BookNode* node[kMaxGameMoves + 1] = {};
    for (int n = pos.gamePly, side = pos.sideToMove; n >= 1; --n, side ^= 1) {
      node[n] = linkedNode(uint32_t(pos.keyHistory[n]), uint32_t(pos.keyHistory[n] >> 32),
                           side ^ (n == 1 && c.hideFirst), "t");
      node[n]->weight = 16;
      node[n]->depth = 5;
      node[n]->score = (side == pos.sideToMove ? c.rising : -c.rising) * 30 * n;
    }
    for (int round = 0; round < 2; ++round) {  // the second changes nothing
      learnGameResult();
      for (int n = 1; n <= pos.gamePly; ++n)
        EXPECT_EQ(node[n]->weight, 16 + ((pos.gamePly - n) % 2 ? 0 : c.engineDelta)) << n;
      EXPECT_EQ(pos.learnedThisGame, c.marked) << c.plies << " " << c.rising;
    }
  }
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(pos.learnedThisGame, 0);  // a new game learns again
}

}  // namespace
