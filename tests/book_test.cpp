// Book table, book text, book move choice and learning, in process and as a program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <vector>

#include "board/make_move.h"
#include "board/move_text.h"
#include "board/random.h"
#include "book/book_choice.h"
#include "book/book_parser.h"
#include "book/data_files.h"
#include "book/learning.h"
#include "platform/instance_marker.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

std::string currentText() {
  char text[kPositionTextSize];
  return positionText(text);
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

BookNode* linkedNode(uint32_t keyLow, uint32_t keyHigh, int side, const std::string& text) {
  BookNode* node = allocateBookNode(int(text.size()));
  node->weight = 16;
  node->size = 48 + int(text.size());
  node->keyLow = keyLow;
  node->keyHigh = keyHigh;
  node->side = int8_t(side);
  node->isBook = 1;
  memcpy(node->text, text.c_str(), text.size() + 1);
  linkNode(node);
  return node;
}

// Every file bucket's nodes in file order, as keys.
std::vector<uint32_t> chains() {
  std::vector<uint32_t> keys;
  for (uint32_t b = 0; b < uint32_t(kBookBuckets); ++b) {
    int count = 0;
    BookNode* const* nodes = fileBucketNodes(b, &count);
    for (int i = 0; i < count; ++i) keys.push_back(nodes[i]->keyLow);
  }
  return keys;
}

// The names in a directory, sorted.
std::vector<std::string> listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// composeDataFiles in a child process, as an unprivileged user (nobody when
// the tests run as root, else with the program's directory made read-only)
// or as the tester: "book|learning|fallback".
std::string composedFor(const std::string& programDirectory, bool unprivileged, const char* programFile) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe";
  const bool root = getuid() == 0;
  if (unprivileged && !root) chmod(programDirectory.c_str(), 0555);
  pid_t child = fork();
  if (child == 0) {
    if (unprivileged && root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
    DataFiles files{};
    composeDataFiles(files, programFile);
    const std::string out = std::string(files.bookTextPath) + "|" + files.learningPath + "|" + files.fallbackPath;
    _exit(write(fds[1], out.data(), out.size()) == ssize_t(out.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, size_t(n));
  close(fds[0]);
  waitpid(child, nullptr, 0);
  if (unprivileged && !root) chmod(programDirectory.c_str(), 0700);
  return out;
}

// Sets an environment variable for the scope, empty for unset.
struct ScopedVariable {
  std::string name, saved;
  bool had;
  ScopedVariable(const char* variable, const std::string& value) : name(variable) {
    const char* old = getenv(variable);
    had = old != nullptr;
    saved = old ? old : "";
    if (value.empty()) unsetenv(variable);
    else setenv(variable, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (had) setenv(name.c_str(), saved.c_str(), 1);
    else unsetenv(name.c_str());
  }
};

// An empty table, the start position and a private directory per test.
struct Book : ::testing::Test {
  EngineDir engine;
  void SetUp() override { clearBookTable(); ASSERT_TRUE(setFen(kStartFen)); }
  void TearDown() override { bookNodeAllowance = -1; clearBookTable(); }
  std::string file(const char* name) const { return engine.path + "/" + name; }
  bool inBook(const char* moves) {
    return setFen(kStartFen) && playMoves(moves, true) && findNode() && findNode()->isBook == 1 &&
           findNode()->weight == 16;
  }
  // Parses content as a book file; returns what went to standard output.
  std::string parse(const std::string& content) {
    writeFile(file("Morvek.bk"), content);
    testing::internal::CaptureStdout();
    parseBookText(file("Morvek.bk").c_str());
    return testing::internal::GetCapturedStdout();
  }
  std::string save() {
    EXPECT_EQ(saveLearningFile(file("out.dat").c_str()), 1);
    return readFile(file("out.dat"));
  }
  int load(const std::string& bytes) {
    clearBookTable();
    writeFile(file("in.dat"), bytes);
    return loadLearning(fopen(file("in.dat").c_str(), "rb"));
  }
};

TEST_F(Book, TextLinesErrorsAndTheBorrowedPosition) {
  std::string full = "e2e4", shuffle;
  full.resize(65533, ' ');  // fills one read: the rest is a line of its own
  for (int i = 0; i < kMaxGameMoves / 4; ++i) shuffle += "g1f3 g8f6 f3g1 f6g8 ";  // a full game record
  // reached: a line whose last position must be in the book.
  struct { std::string text, out; int nodes; const char* reached; } cases[] = {
      {"e2e4 e7e5 g1f3\ne2e4#e7e5,f1c4!!\nd2d4?;", "", 5, "e2e4 e7e5 f1c4"},
      {"1. e2e4 e7e5\n", "#error: line 1, lexem 1.\n", 0, ""},
      {"# c\n\n    \n   # x\ne2e4\n#\nd2d4 zz e7e5\n", "#error: line 2, lexem zz\n", 2, "d2d4"},
      {"e2e4 e2e4\nd2d4 d7d5\n\te2e4\n",
       "#error: line 1, lexem e2e4\n#error: line 3, lexem \te2e4\n", 3, "d2d4 d7d5"},
      {full + "e7e5\n" + full + "d2d4\n", "#error: line 2, lexem e7e5\n", 2, "d2d4"},
      {shuffle + "e2e4\n", "#error: line 1, lexem e2e4\n", 4, "g1f3 g8f6 f3g1"},
      {"e2e4 e7e5\r\n\r\n# note\r\nd2d4\r\n", "", 3, "e2e4"},
  };
  for (const auto& c : cases) {
    clearBookTable();
    EXPECT_EQ(parse(c.text), c.out) << c.text.substr(0, 40);
    EXPECT_EQ(countBookNodes(), c.nodes) << c.text.substr(0, 40);
    EXPECT_TRUE(!*c.reached || inBook(c.reached)) << c.reached;
  }
  EXPECT_EQ(currentText(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk e1");  // e2e4
  ASSERT_TRUE(setFen(kStartFen));
  EXPECT_EQ(findNode(), nullptr);  // the start position never enters

  ASSERT_TRUE(playMoves("g1f3 d7d5 g2g3", true));
  pos.learnedThisGame = 1;
  const PositionImage before;
  EXPECT_EQ(parse("e2e4 e7e5\nc2c4 zz\n"), "#error: line 2, lexem zz\n");
  EXPECT_TRUE(before.unchanged());
  clearBookTable();
  bookNodeAllowance = 2;
  EXPECT_EQ(parse("e2e4 e7e5 g1f3 b8c6\nd2d4\n"), "");
  EXPECT_EQ(countBookNodes(), 2);
}

// The book's quicker move reading must agree with parseMove on every text:
// each origin and target of the side to move, castling and promotion texts,
// over positions of random play (checks, pins and en passant among them).
TEST_F(Book, BookMovesAreReadAsParseMoveReadsThem) {
  srand(7);
  const char* const extras[] = {"o-o", "o-o-o", "e7e8n", "a2a1r", "e1g1x"};
  int positions = 0;
  for (int game = 0; game < 4; ++game) {
    ASSERT_TRUE(setFen(kStartFen));
    for (int ply = 0; ply < 60; ++ply, ++positions) {
      std::vector<std::string> texts(std::begin(extras), std::end(extras));
      for (Square from = 0; from < 64; ++from)
        if (pos.pieceAt[from] != kNone && pos.colourAt[from] == pos.sideToMove)
          for (Square to = 0; to < 64; ++to)
            texts.push_back(std::string(kSquareName[from], 2) + std::string(kSquareName[to], 2) + "b");
      Move played = 0;
      for (const std::string& text : texts) {
        Move fast = 1, slow = 1;
        const int readFast = parseBookMove(text.c_str(), &fast);
        const int readSlow = parseMove(text.c_str(), &slow);
        ASSERT_EQ(readFast, readSlow) << text << " in " << currentText();
        ASSERT_EQ(fast, slow) << text << " in " << currentText();
        if (readFast && (played == 0 || rand() % 8 == 0)) played = fast;
      }
      if (played == 0 || !commitGameMove(played)) break;
    }
  }
  EXPECT_GT(positions, 200);
}

TEST_F(Book, ShippedTextParsesWithoutAnError) {
  EXPECT_EQ(parse(readFile(MORVEK_SOURCE_DIR "/data/Morvek.bk")), "");
  EXPECT_TRUE(countBookNodes() > 5000 && inBook("d2d4") && inBook("e2e4 e7e5 g1f3 b8c6"));
}

TEST_F(Book, ProbeTrustsDepthOrTheLevelBandOfTheSamePositionText) {
  ASSERT_TRUE(playMoves("e2e4", true));
  BookNode* node = linkedNode(pos.keyLow, pos.keyHigh, pos.sideToMove, currentText());
  node->score = 321;
  node->depth = 5;
  int v = 0;
  EXPECT_TRUE(probeBook(-50, 5, 50, &v) && v == 321 && !probeBook(-50, 6, 50, &v));
  EXPECT_TRUE(probeBook(16, 6, 99, &v) && v == 16 && !probeBook(15, 6, 99, &v));
  EXPECT_TRUE(probeBook(-99, 6, -16, &v) && v == -16 && !probeBook(-99, 6, -15, &v));
  // A search result on a book position replaces its score and its depth and
  // keeps what makes it a book position.
  recordSearchResult(-45, 7);
  EXPECT_TRUE(node->score == -45 && node->depth == 7 && node->weight == 16 && node->isBook == 1);
  EXPECT_EQ(countBookNodes(), 1);
  EXPECT_TRUE(probeBook(-50, 7, 50, &v) && v == -45);
  node->isBook = 0;  // a search result answers only by depth
  EXPECT_FALSE(probeBook(16, 8, 99, &v));
  ASSERT_TRUE(setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b Kkq -"));  // same key
  EXPECT_FALSE(probeBook(-50, 1, 50, &v));
}

TEST_F(Book, ChoiceNeedsAStrictlyHigherDrawToReplace) {
  seedRandom(1);  // five draws: 41, 18467, 6334, 26500, 19169
  EXPECT_EQ(drawBookRandom(), ((((41ull << 15 ^ 18467) << 15 ^ 6334) << 15 ^ 26500) << 15) ^ 19169);
  // c2c4 leads to a search node: it draws nothing and sets no base.
  const char* const moves[3] = {"c2c4", "e2e4", "d2d4"};
  const int weights[3] = {0, 2, 10};
  Move words[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(setFen(kStartFen) && parseMove(moves[i], &words[i]) && commitGameMove(words[i]));
    BookNode* node = linkedNode(pos.keyLow, pos.keyHigh, pos.sideToMove, currentText());
    node->weight = weights[i];
    node->isBook = i > 0;
  }
  ASSERT_TRUE(setFen(kStartFen));
  const int first = listStart[0];  // the root list: just these moves
  std::copy(words, words + 3, moveStack + first);
  for (uint32_t seed = 1; seed <= 300; ++seed) {  // about one in 24 ties
    seedRandom(seed);
    const uint64_t lightest = drawBookRandom() % 16, heavier = drawBookRandom() % 24;
    const int next = nextRandom();
    seedRandom(seed);
    EXPECT_EQ(pickBookMove(first, first + 2), heavier > lightest ? words[2] : words[1]) << seed;
    EXPECT_EQ(nextRandom(), next) << "draws used, seed " << seed;
  }
  EXPECT_EQ(pickBookMove(first, first), 0u);  // no book move at all
}

TEST_F(Book, LearningRecordsRoundTripByteForByteAndTwoLoadsRestoreEachChain) {
  BookNode* node = linkedNode(0x01020304u, 0xA0B0C0D0u, 1, std::string(60, 'x'));
  node->score = -2;
  node->weight = 17;
  node->depth = 9;
  for (uint32_t key : {0x00011234u, 0x00021234u, 0x00031234u}) linkedNode(key, 1, 0, "one bucket");
  const unsigned char header[40] = {
      0xFE, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 108, 0, 0, 0,
      1,    0,    0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1, 0xD0, 0xC0, 0xB0, 0xA0};
  const std::string first = save();
  EXPECT_EQ(first.substr(0, 108), std::string(reinterpret_cast<const char*>(header), 40) +
                                      std::string(60, 'x') + std::string(8, '\0'));
  const std::vector<uint32_t> original = chains();
  ASSERT_EQ(load(first), 1);
  EXPECT_EQ(chains(), (std::vector<uint32_t>{original[0], original[3], original[2], original[1]}));
  ASSERT_EQ(load(save()), 1);
  EXPECT_EQ(chains(), original);
  EXPECT_EQ(save(), first);
}

// A table grown far beyond 65536 buckets still lists each 16-bit bucket
// newest first, as the file has always been written, and finds the newest
// of equal keys first.
TEST_F(Book, GrownTableKeepsTheFileOrderAndTheNewestFirst) {
  std::vector<std::vector<uint32_t>> model(kBookBuckets);
  uint32_t x = 1;
  for (uint32_t i = 0; i < 150000; ++i) {
    x = x * 1103515245u + 12345u;
    const uint32_t key = i % 5 == 0 ? x & 0x3FFFF : x;  // many keys come again
    linkedNode(key, i, 0, "t");
    model[key & 0xFFFF].insert(model[key & 0xFFFF].begin(), i);
    ASSERT_EQ(findNodeByKey(key, i, 0)->keyHigh, i);
  }
  EXPECT_GT(bookTable.bucketMask, 4u * kBookBucketMask);
  auto listed = [] {
    std::vector<uint32_t> order;
    for (uint32_t b = 0; b < uint32_t(kBookBuckets); ++b) {
      int count = 0;
      BookNode* const* nodes = fileBucketNodes(b, &count);
      for (int i = 0; i < count; ++i) order.push_back(nodes[i]->keyHigh);
    }
    return order;
  };
  std::vector<uint32_t> expected;
  for (const auto& bucket : model) expected.insert(expected.end(), bucket.begin(), bucket.end());
  EXPECT_EQ(listed(), expected);
  const std::string first = save();
  ASSERT_EQ(load(first), 1);
  ASSERT_EQ(load(save()), 1);
  EXPECT_EQ(listed(), expected);
  EXPECT_EQ(save(), first);
}

TEST_F(Book, BadLearningFilesAreRefusedKeepingTheRecordsBeforeTheFault) {
  linkedNode(0x10u, 1, 0, "good");
  const std::string good = save();
  auto withField = [](std::string record, int offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) record[offset + i] = char(value >> (8 * i));
    return record;
  };
  auto withSize = [&](std::string record, uint32_t size) { return withField(record, 16, size); };
  const std::string longText = withSize(std::string(40, '\0') + std::string(256, 'a') + std::string(8, '\0'), 304);
  struct { const char* what; std::string bytes; LearningLoad result; int nodes; } cases[] = {
      {"empty", "", kLearningEmpty, 0},
      {"one record", good, kLearningLoaded, 1},
      {"short header", good + good.substr(0, 47), kLearningDamaged, 1},
      {"size of 48", good + withSize(good, 48), kLearningDamaged, 1},
      {"negative size", good + withSize(good, 0x80000000u), kLearningDamaged, 1},
      {"size past the end of the file", good + withSize(good, 53), kLearningDamaged, 1},
      {"truncated text", good + good.substr(0, 50), kLearningDamaged, 1},
      {"text without its zero", good + withSize(std::string(40, '\0') + "abcdefghij", 50), kLearningDamaged, 1},
      // A size beyond the text would swallow the records after it as padding.
      {"size larger than the text", good + withSize(good, 60) + good + good, kLearningDamaged, 1},
      {"size smaller than the text", good + withSize(std::string(40, '\0') + "abcdefgh" + '\0', 49), kLearningDamaged, 1},
      {"text of 256", good + longText, kLearningDamaged, 1},
      {"side 2", good + withField(good, 8, 2), kLearningDamaged, 1},
      {"isBook -1", good + withField(good, 20, 0xFFFFFFFFu), kLearningDamaged, 1},
  };
  for (const auto& c : cases) {
    clearBookTable();
    writeFile(file("in.dat"), c.bytes);
    EXPECT_EQ(loadLearningFile(file("in.dat").c_str()), c.result) << c.what;
    EXPECT_EQ(countBookNodes(), c.nodes) << c.what;
  }
  EXPECT_EQ(loadLearningFile(file("missing.dat").c_str()), kLearningAbsent);
  EXPECT_EQ(loadLearning(fopen(file("missing.dat").c_str(), "rb")), 0);
  mkdir(file("folder.dat").c_str(), 0755);  // opens, but cannot be read
  EXPECT_EQ(loadLearningFile(file("folder.dat").c_str()), kLearningUnreadable);
  clearBookTable();
  bookNodeAllowance = 1;  // no memory for the second record
  writeFile(file("in.dat"), good + good);
  EXPECT_EQ(loadLearningFile(file("in.dat").c_str()), kLearningUnreadable);
  EXPECT_EQ(countBookNodes(), 1);
  bookNodeAllowance = -1;

  // Scores and depths the search could not have made are brought into its range.
  const struct { uint32_t score, depth; int32_t readScore, readDepth; } ranges[] = {
      {0x80000000u, 0xFFFFFFFFu, -1000000, 0}, {0x7FFFFFFFu, 0x7FFFFFFFu, 1000000, 1000},
      {uint32_t(-999999), 1000, -999999, 1000}};
  for (const auto& r : ranges) {
    EXPECT_EQ(load(withField(withField(good, 0, r.score), 12, r.depth)), 1);
    ASSERT_EQ(countBookNodes(), 1);
    EXPECT_EQ(bookChain(0x10u)->score, r.readScore);
    EXPECT_EQ(bookChain(0x10u)->depth, r.readDepth);
  }
}

// What start-up reads and exit writes for each state of the learning file:
// nothing that could not be read is lost.
TEST_F(Book, LearningFileThatCannotBeUsedIsKeptAndTheFailureSaid) {
  linkedNode(0x10u, 1, 0, "learned");
  const std::string learned = save();
  DataFiles files{};
  snprintf(files.bookTextPath, kPathSize, "%s", file("Morvek.bk").c_str());
  snprintf(files.learningPath, kPathSize, "%s", file("zivorur12.dat").c_str());
  writeFile(file("Morvek.bk"), "e2e4 e7e5\n");
  const std::string path = file("zivorur12.dat");
  const std::string damaged = learned + learned.substr(0, 30);
  // aside: the content expected in zivorur12.dat.damaged (and .damaged.2 when
  // an earlier one is already there); saved: the table was written.
  struct { const char* what; std::string content; bool folder, earlierAside; int nodes; bool saved; const char* err; } cases[] = {
      {"absent", "", false, false, 2, true, ""},
      {"learned", learned, false, false, 1, true, ""},
      {"empty", "\1", false, false, 2, true, ""},
      {"torn", damaged, false, false, 2, true, "is damaged"},
      {"torn, an earlier one aside", damaged, false, true, 2, true, "kept as"},
      {"a folder in its place", "", true, false, 2, false, "not saved"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(path);
    for (const char* aside : {".damaged", ".damaged.2"}) std::filesystem::remove(path + aside);
    if (c.folder) mkdir(path.c_str(), 0755);
    if (!c.content.empty()) writeFile(path, c.content == "\1" ? "" : c.content);
    if (c.earlierAside) writeFile(path + ".damaged", "earlier");
    clearBookTable();
    testing::internal::CaptureStderr();
    loadBookTable(files);
    EXPECT_EQ(countBookNodes(), c.nodes) << c.what;
    const int saved = saveBookTable(files);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(saved, c.saved ? 1 : 0) << c.what;
    EXPECT_NE(err.find(c.err), std::string::npos) << c.what << ": " << err;
    EXPECT_EQ(*c.err == '\0', err.empty()) << c.what << ": " << err;
    if (c.saved) {
      EXPECT_EQ(load(readFile(path)), 1) << c.what;
      EXPECT_EQ(countBookNodes(), c.nodes) << c.what;
    }
    if (c.folder) {
      EXPECT_TRUE(std::filesystem::is_directory(path));
    }
    const std::string aside = path + (c.earlierAside ? ".damaged.2" : ".damaged");
    EXPECT_EQ(access(aside.c_str(), F_OK) == 0, strstr(c.what, "torn") != nullptr) << c.what;
    if (strstr(c.what, "torn")) {
      EXPECT_EQ(readFile(aside), damaged);
    }
  }
  // Start-up without memory for the file: the file is left as it was.
  std::filesystem::remove_all(path);
  writeFile(path, learned + learned);
  clearBookTable();
  bookNodeAllowance = 1;
  testing::internal::CaptureStderr();
  loadBookTable(files);
  EXPECT_EQ(saveBookTable(files), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read"), std::string::npos);
  EXPECT_EQ(readFile(path), learned + learned);
}

// Each save writes a temporary file of its own: two writers at once never
// tear the file, and no existing name (a link, a stale file) is written through.
TEST_F(Book, SavesNeverShareOrFollowATemporaryName) {
  const std::string path = file("zivorur12.dat");
  const std::string victim = file("victim");
  writeFile(victim, "keep me");
  for (int k = 0; k < 50; ++k)
    symlink(victim.c_str(), (path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(k)).c_str());
  symlink(victim.c_str(), (path + ".tmp").c_str());
  // A writer killed before its rename left its file; a live one's stays.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string killed = "zivorur12.dat.tmp." + std::to_string(gone) + ".0";
  writeFile(file(killed.c_str()), "killed writer");
  writeFile(path + ".tmp." + std::to_string(getppid()) + ".0", "live writer");
  std::vector<std::string> after = listing(engine.path);
  after.erase(std::find(after.begin(), after.end(), killed));
  after.push_back("zivorur12.dat");
  std::sort(after.begin(), after.end());
  for (int i = 0; i < 300; ++i) linkedNode(uint32_t(i), 1, 0, "first writer's table");
  ASSERT_EQ(saveLearningFile(path.c_str()), 1);
  EXPECT_EQ(readFile(victim), "keep me");
  EXPECT_EQ(listing(engine.path), after) << "temporary files left behind";

  std::string tables[2];
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    clearBookTable();
    for (int i = 0; i < 300 + 100 * w; ++i) linkedNode(uint32_t(i * 7 + w), 2, w, w ? "second" : "first");
    tables[w] = save();
    std::filesystem::remove(file("out.dat"));
    writers[w] = fork();
    if (writers[w] == 0) {
      int failed = 0;
      for (int round = 0; round < 100; ++round) failed += !saveLearningFile(path.c_str());
      _exit(failed ? 1 : 0);
    }
  }
  for (pid_t writer : writers) {
    int status = -1;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    EXPECT_EQ(status, 0);
  }
  const std::string last = readFile(path);
  EXPECT_TRUE(last == tables[0] || last == tables[1]) << "a torn file of " << last.size() << " bytes";
  EXPECT_EQ(listing(engine.path), after);
}

TEST_F(Book, FailedLearningSaveKeepsTheOldFile) {
  const std::string path = file("zivorur12.dat");
  for (int i = 0; i < 200; ++i) linkedNode(uint32_t(i), 1, 0, "a position text of some length");
  writeFile(path, "old");
  pid_t child = fork();
  if (child == 0) {  // a file size limit makes the write fail part way
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(saveLearningFile(path.c_str()) == 0 ? 0 : 1);
  }
  int status = 1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "the failure must be reported";
  EXPECT_EQ(readFile(path), "old");
  std::vector<std::string> kept = {std::filesystem::path(engine.binary).filename().string(), "zivorur12.dat"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(listing(engine.path), kept);
}

// The program's directory as the path gives it (a backslash separates only
// on Windows; a path is never cut), and where each data file is found.
TEST_F(Book, DataFilesBesideTheProgramElseInTheUserDirectoryNeverCut) {
  const std::string deep = "/" + std::string(1500, 'd') + "/";
  const struct { std::string program, directory; bool fits; } paths[] = {
      {"C:\\Games\\sub/morvek.exe", "C:\\Games\\sub/", true},
      {"/opt/a\\b/morvek", "/opt/a\\b/", true},
      {"morvek", "", true},
      {deep + "morvek", deep, true},
      {"/" + std::string(kPathSize, 'd') + "/morvek", "", false},
  };
  char directory[kBaseDirectorySize];
  for (const auto& p : paths) {
    EXPECT_EQ(programDirectory(p.program.c_str(), directory), p.fits) << p.program.substr(0, 30);
    EXPECT_EQ(directory, p.directory) << p.program.substr(0, 30);
  }

  const std::string program = engine.path + "/morvek", beside = engine.path + "/";
  const std::string book = beside + "Morvek.bk", learning = beside + "zivorur12.dat";
  const struct { bool unprivileged; const char* program; const char* data; const char* home; std::string expected; } cases[] = {
      {false, program.c_str(), "/x/data", "/home/u", book + "|" + learning + "|"},
      {true, program.c_str(), "/x/data", "/home/u", book + "|/x/data/morvek/zivorur12.dat|" + learning},
      {true, program.c_str(), "", "/home/u", book + "|/home/u/.local/share/morvek/zivorur12.dat|" + learning},
      {true, program.c_str(), "relative", "/home/u", book + "|/home/u/.local/share/morvek/zivorur12.dat|" + learning},
      {false, nullptr, "/x/data", "/home/u", "|/x/data/morvek/zivorur12.dat|"},
  };
  for (const auto& c : cases) {
    ScopedVariable data("XDG_DATA_HOME", c.data), home("HOME", c.home);
    EXPECT_EQ(composedFor(engine.path, c.unprivileged, c.program), c.expected) << c.unprivileged << " " << c.data;
  }
}

// With no lock variable set the lock is one per user, never in the working
// directory; a lock that cannot be made is no other instance.
TEST_F(Book, DefaultInstanceLockIsOnePerUser) {
  char path[4096];
  const std::string perUser = "/tmp/morvek-" + std::to_string(getuid()) + ".lock";
  const struct { const char* lock; const char* runtime; std::string expected; } cases[] = {
      {"", "", perUser},
      {"", "/run/user/77", "/run/user/77/morvek.lock"},
      {"/some/where.lock", "/run/user/77", "/some/where.lock"},
  };
  for (const auto& c : cases) {
    ScopedVariable lock("MORVEK_INSTANCE_LOCK", c.lock), runtime("XDG_RUNTIME_DIR", c.runtime);
    instanceLockPath(path, sizeof path);
    EXPECT_EQ(path, c.expected);
  }
  ScopedVariable lock("MORVEK_INSTANCE_LOCK", "/nonexistent-dir/x.lock");
  EXPECT_FALSE(createInstanceMarker());
}

// Constructed histories, white to move: after move n depth 3, score 100 + 100 n.
TEST_F(Book, RisingScoresHoldExactlyAtTheirLimits) {
  static BookNode made[kMaxGameMoves + 1];
  BookNode* nodes[kMaxGameMoves + 1] = {};
  // At ply: the depth (-1: no node, -2: the other side's) and the score of scoreFrom + delta.
  struct { int gamePly, side, ply, depth, scoreFrom, delta; bool rising; } cases[] = {
      {17, kWhite, 0, 3, 0, 0, true},     {16, kWhite, 0, 3, 0, 0, false},
      {17, kBlack, 0, 3, 0, 0, false},  // black's latest position is ply 16
      {17, kWhite, 7, 3, 0, 0, true},     {17, kWhite, 7, 2, 0, 0, false},  // oldest examined
      {17, kWhite, 1, 2, 0, 0, true},     {17, kWhite, 1, 1, 0, 0, false},  // oldest compared
      {17, kWhite, 1, 3, 7, -1, true},    {17, kWhite, 1, 3, 7, 0, false},
      {17, kWhite, 13, 3, 15, 23, true},  {17, kWhite, 13, 3, 15, 24, false},  // fall to next
      {17, kWhite, 5, -1, 0, 0, false},   {17, kWhite, 9, -2, 0, 0, false},
  };
  for (const auto& c : cases) {
    pos.gamePly = c.gamePly;
    for (int n = 1; n <= c.gamePly; ++n) {
      made[n] = BookNode{100 + 100 * n, 16, 3, 0, 0, 0, 0, int8_t((c.gamePly - n) % 2), 0, nullptr, nullptr};
      nodes[n] = &made[n];
    }
    if (c.ply) made[c.ply].depth = c.depth;
    if (c.scoreFrom) made[c.ply].score = made[c.scoreFrom].score + c.delta;
    if (c.depth == -1) nodes[c.ply] = nullptr;
    if (c.depth == -2) made[c.ply].side = kBlack;
    EXPECT_EQ(risingScores(c.side, nodes), c.rising) << c.gamePly << " " << c.ply;
  }
}

// A real game whose positions all have nodes: only the engine's turns move.
TEST_F(Book, GameTrendMovesTheEngineTurnsOncePerGame) {
  static const char* const kLine =
      "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1g5 e7e6 f2f4 d8b6 d1d2 b6b2 a1b1 b2a3";
  // rising > 0: the side to move gains; < 0: its opponent does.
  struct { int rising, engineDelta, marked; } cases[] = {{1, 1, 1}, {-1, -1, 1}, {0, 0, 0}};
  for (const auto& c : cases) {
    clearBookTable();
    // A new game learns again.
    ASSERT_TRUE(setFen(kStartFen) && pos.learnedThisGame == 0 && playMoves(kLine, true));
    BookNode* node[kMaxGameMoves + 1] = {};
    for (int n = pos.gamePly, side = pos.sideToMove; n >= 1; --n, side ^= 1) {
      const uint64_t key = pos.keyHistory[n];
      node[n] = linkedNode(uint32_t(key), uint32_t(key >> 32), side, "t");
      node[n]->depth = 5;
      node[n]->score = (side == pos.sideToMove ? c.rising : -c.rising) * 30 * n;
    }
    for (int round = 0; round < 2; ++round) {  // the second changes nothing
      learnGameResult();
      for (int n = 1; n <= pos.gamePly; ++n)
        EXPECT_EQ(node[n]->weight, 16 + ((pos.gamePly - n) % 2 ? 0 : c.engineDelta)) << n;
      EXPECT_EQ(pos.learnedThisGame, c.marked) << c.rising;
    }
  }
}

// The engine in the test's directory with a small book of its own; the
// second-instance rule is in the transcript tests.
TEST_F(Book, TheProgramWritesTheTableBuiltHereAndLearnsSearchesOffTheBook) {
  const char* const kSmallBook = "# small book\ne2e4 e7e5 g1f3\nd2d4 d7d5\n";
  const char* const kMateInOne = "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -";  // off the book, quick
  const std::string learned = file("zivorur12.dat");
  const std::string search = std::string("force\nsetboard ") + kMateInOne + "\ngo\nquit\n";
  auto run = [&](const std::string& input) {
    EngineRun result = runEngine(engine, input);
    EXPECT_TRUE(!result.timedOut && result.exitCode == 0 && result.err.empty()) << result.err;
  };
  writeFile(file("Morvek.bk"), kSmallBook);
  run("force\ne2e4\ne7e5\nquit\n");
  const std::string written = readFile(learned);
  EXPECT_EQ(parse(kSmallBook), "");  // the same table built here
  ASSERT_EQ(countBookNodes(), 5);
  EXPECT_EQ(save(), written);

  writeFile(file("Morvek.bk"), "c2c4\n");  // the file now replaces the book text
  run(search);
  ASSERT_EQ(load(readFile(learned)), 1);
  ASSERT_TRUE(countBookNodes() == 6 && setFen(kMateInOne) && findNode());
  EXPECT_TRUE(findNode()->isBook == 0 && findNode()->weight == 0 && findNode()->depth > 0);
}

// An instance started while any other runs is a second one and never
// writes, even when the first has ended meanwhile.
TEST_F(Book, EveryRunningInstanceMakesALaterOneSecond) {
  const std::string kGreeting = "Morvek chess v1.0\nfeature setboard=1\nfeature done=1\n";
  auto start = [&](EngineProcess& engine) {
    engine = launchEngine(this->engine);
    std::string seen;
    return waitForOutput(engine, kGreeting, seen);
  };
  EngineProcess first, second, third;
  ASSERT_TRUE(start(first) && start(second));
  EXPECT_EQ(finishEngine(first).exitCode, 0);
  EXPECT_TRUE(engine.has("zivorur12.dat"));  // the first writes
  remove(file("zivorur12.dat").c_str());
  ASSERT_TRUE(start(third));  // the second still runs
  EXPECT_EQ(finishEngine(third).exitCode, 0);
  EXPECT_EQ(finishEngine(second).exitCode, 0);
  EXPECT_FALSE(engine.has("zivorur12.dat"));
  EXPECT_EQ(runEngine(engine, "quit\n").exitCode, 0);  // alone again: it writes
  EXPECT_TRUE(engine.has("zivorur12.dat"));
}

// Started by a bare name through PATH or through a link, from a long path or
// from another directory, the engine reads and writes beside its real
// program file and nowhere else; an empty learning file gives way to the
// book, and a save that fails is said and ends with status 1.
TEST_F(Book, TheProgramKeepsItsFilesBesideItselfAndSaysWhenItCannotSave) {
  if (!engineLauncher().empty()) GTEST_SKIP() << "POSIX program paths only";
  // The book is tried at random, so its answer is not certain; the saved
  // table holding the book's two positions is.
  const std::string kBook = "a2a3 h7h6\n";
  EngineDir work;  // the working directory, holding nothing of the engine
  std::filesystem::remove(work.binary);
  work.lockPath = engine.lockPath;
  std::string deep = engine.path;
  while (deep.size() < 1200) deep += "/a-directory-name-of-some-length";
  std::filesystem::create_directories(deep);
  std::filesystem::create_directories(engine.path + "/bin");
  symlink(engine.binary.c_str(), (engine.path + "/bin/linked").c_str());
  std::filesystem::copy_file(engine.binary, deep + "/morvek");
  writeFile(deep + "/Morvek.bk", kBook);
  const char* const oldPath = getenv("PATH");
  struct { const char* what; std::string programDirectory, argument, path; } cases[] = {
      {"bare name through PATH", engine.path, "morvek", engine.path},
      {"bare name of a link", engine.path, "linked", engine.path + "/bin"},
      {"long path", deep, deep + "/morvek", ""},
  };
  for (const auto& c : cases) {
    ScopedVariable path("PATH", c.path.empty() ? std::string(oldPath ? oldPath : "") : c.path + ":" + (oldPath ? oldPath : ""));
    writeFile(c.programDirectory + "/Morvek.bk", kBook);
    remove((c.programDirectory + "/zivorur12.dat").c_str());
    work.binary = c.argument;
    EngineRun run = runEngine(work, "force\na2a3\ngo\nquit\n");
    EXPECT_EQ(run.exitCode, 0) << c.what << run.err;
    EXPECT_EQ(load(readFile(c.programDirectory + "/zivorur12.dat")), 1) << c.what;
    EXPECT_GE(countBookNodes(), 2) << c.what << ": the book was not read";
    EXPECT_TRUE(listing(work.path).empty()) << c.what << ": " << listing(work.path)[0];
  }
  EXPECT_FALSE(engine.has("zivorur12.dat") && access((deep + "/zivorur12.dat").c_str(), F_OK) != 0);

  writeFile(file("Morvek.bk"), kBook);
  writeFile(file("zivorur12.dat"), "");
  EngineRun empty = runEngine(engine, "force\na2a3\ngo\nquit\n");
  EXPECT_TRUE(empty.exitCode == 0 && empty.err.empty()) << empty.err;
  EXPECT_EQ(load(readFile(file("zivorur12.dat"))), 1);
  EXPECT_EQ(countBookNodes(), 2) << "a2a3 and h7h6";

  remove(file("zivorur12.dat").c_str());
  mkdir(file("zivorur12.dat").c_str(), 0755);
  EngineRun failed = runEngine(engine, "force\na2a3\nquit\n");
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.err.find("learning not saved"), std::string::npos) << failed.err;
  EXPECT_TRUE(std::filesystem::is_directory(file("zivorur12.dat")));
}

}  // namespace
