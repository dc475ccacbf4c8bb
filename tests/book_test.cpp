// Book table, book text, book move choice and learning, in process and as a program.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "board/random.h"
#include "book/book_choice.h"
#include "book/book_parser.h"
#include "book/data_files.h"
#include "book/learning.h"
#include "engine/think.h"
#include "platform/instance_marker.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

std::string currentText() { char text[kPositionTextSize]; return positionText(text); }

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

BookNode* linkedNode(uint32_t keyLow, uint32_t keyHigh, int side, const std::string& text) {
  BookNode* node = allocateBookNode(int(text.size()));
  node->weight = 16, node->size = 48 + int(text.size()), node->keyLow = keyLow, node->keyHigh = keyHigh;
  node->side = int8_t(side), node->isBook = 1, memcpy(node->text, text.c_str(), text.size() + 1);
  linkNode(node);
  return node;
}

// Every file bucket's nodes in file order, as low keys.
std::vector<uint32_t> chains() {
  std::vector<uint32_t> keys;
  for (uint32_t b = 0; b < uint32_t(kBookBuckets); ++b) {
    int count = 0;
    BookNode* const* nodes = fileBucketNodes(b, &count);
    for (int i = 0; i < count; ++i) keys.push_back(nodes[i]->keyLow);
  }
  return keys;
}

std::vector<std::string> listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

struct ScopedVariable {
  std::string name, saved;
  bool had;
  ScopedVariable(const char* variable, const char* value) : name(variable), had(getenv(variable)) {
    if (had) saved = getenv(variable);
    value ? setenv(variable, value, 1) : unsetenv(variable);  // nullptr unsets
  }
  ~ScopedVariable() { had ? setenv(name.c_str(), saved.c_str(), 1) : unsetenv(name.c_str()); }
};

// An empty table, the start position and a private directory per test.
struct Book : ::testing::Test {
  EngineDir engine;
  void SetUp() override { clearBookTable(); ASSERT_TRUE(setFen(kStartFen)); }
  void TearDown() override { bookNodeAllowance = -1; clearBookTable(); }
  std::string file(const char* name) const { return engine.path + "/" + name; }
  bool inBook(const char* moves) {
    return setFen(kStartFen) && playMoves(moves, true) && findNode() && findNode()->isBook && findNode()->weight == 16;
  }
  std::string parse(const std::string& content) {  // what reading content as the book text prints
    writeFile(file("Morvek.bk"), content);
    testing::internal::CaptureStdout(), parseBookText(file("Morvek.bk").c_str());
    return testing::internal::GetCapturedStdout();
  }
  std::string save() { EXPECT_EQ(saveLearningFile(file("out.dat").c_str()), 1); return readFile(file("out.dat")); }
  int load(const std::string& bytes) {
    clearBookTable(), writeFile(file("in.dat"), bytes);
    return loadLearning(fopen(file("in.dat").c_str(), "rb"));
  }
  DataFiles dataFiles(const std::string& learning, const std::string& fallback = "") const {
    DataFiles files{};
    snprintf(files.bookTextPath, kPathSize, "%s", file("Morvek.bk").c_str());
    snprintf(files.learningPath, kPathSize, "%s", learning.c_str());
    snprintf(files.fallbackPath, kPathSize, "%s", fallback.c_str());
    return files;
  }
};

template <typename F>
std::string stderrOf(F f) {  // what f writes to standard error
  testing::internal::CaptureStderr(), f();
  return testing::internal::GetCapturedStderr();
}

// Q K q k only with king, rook and right in place; after a pawn move the square next to its origin.
TEST_F(Book, PositionTextCarriesCastlingLettersAndThePawnSquare) {
  const struct { const char* fen; const char* moves; const char* text; } rows[] = {
      {kStartFen, "", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w QKqk"},
      {kStartFen, "e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk e1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w Kq -", "", "r3k2r/8/8/8/8/8/8/R3K2R w Kq"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQk -", "", "r3k2r/8/8/8/8/8/8/R3K2R b QKk"},
      {"4k2r/8/8/8/8/8/8/R3K3 w KQkq -", "", "4k2r/8/8/8/8/8/8/R3K3 w Qk"},  // rights without their rooks
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "e8d8", "r2k3r/8/8/8/8/8/8/R3K2R w QK"},
      {"4k3/4p3/8/8/8/8/8/4K3 b - -", "e7e5", "4k3/8/8/4p3/8/8/8/4K3 w - e8"},
      {"4k3/8/8/8/8/8/8/4K2R w K -", "h1h2", "4k3/8/8/8/8/8/7R/4K3 b"},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen) && playMoves(row.moves, true)) << row.fen;
    EXPECT_EQ(currentText(), row.text) << row.fen << " " << row.moves;
  }
}

TEST_F(Book, TextLinesErrorsAndTheBorrowedPosition) {
  std::string full = "e2e4", shuffle;
  full.resize(65533, ' ');  // fills one read: the rest is a line of its own
  for (int i = 0; i < kMaxGameMoves / 4; ++i) shuffle += "g1f3 g8f6 f3g1 f6g8 ";  // a full game record
  struct { std::string text, out; int nodes; const char* reached; } cases[] = {
      {"e2e4 e7e5 g1f3\ne2e4#e7e5,f1c4!!\nd2d4?;", "", 5, "e2e4 e7e5 f1c4"},
      {"1. e2e4 e7e5\n", "#error: line 1, lexem 1.\n", 0, ""},
      {"e2e4-e7e5 d2d4\n", "#error: line 1, lexem d2d4\n", 1, "e2e4"},  // what follows a move is no separator
      {"# c\n\n    \n   # x\ne2e4\n#\nd2d4 zz e7e5\n", "#error: line 2, lexem zz\n", 2, "d2d4"},
      {"e2e4 e2e4\nd2d4 d7d5\n\te2e4\n", "#error: line 1, lexem e2e4\n#error: line 3, lexem \te2e4\n", 3, "d2d4 d7d5"},
      {full + "e7e5\n" + full + "d2d4\n", "#error: line 2, lexem e7e5\n", 2, "d2d4"},
      {shuffle + "e2e4\n", "#error: line 1, lexem e2e4\n", 4, "g1f3 g8f6 f3g1"},
      {"e2e4 e7e5\r\n\r\n# note\r\nd2d4\r\n", "", 3, "e2e4"},
  };
  for (const auto& c : cases) {
    clearBookTable();
    EXPECT_EQ(parse(c.text), c.out) << c.text.substr(0, 40);
    EXPECT_TRUE(countBookNodes() == c.nodes && (!*c.reached || inBook(c.reached))) << c.text.substr(0, 40);
  }
  EXPECT_TRUE(setFen(kStartFen) && findNode() == nullptr);  // the start position never enters
  ASSERT_TRUE(playMoves("g1f3 d7d5 g2g3", true));
  pos.learnedThisGame = 1;
  const PositionImage before;  // the game's position is borrowed and given back
  EXPECT_EQ(parse("e2e4 e7e5\nc2c4 zz\n"), "#error: line 2, lexem zz\n");
  EXPECT_TRUE(before.unchanged());
  clearBookTable(), bookNodeAllowance = 2;
  EXPECT_TRUE(parse("e2e4 e7e5 g1f3 b8c6\nd2d4\n") == "" && countBookNodes() == 2);
  clearBookTable(), bookNodeAllowance = -1;
  EXPECT_EQ(parse(readFile(MORVEK_SOURCE_DIR "/data/Morvek.bk")), "");  // the shipped book
  EXPECT_TRUE(countBookNodes() > 5000 && inBook("d2d4") && inBook("e2e4 e7e5 g1f3 b8c6"));
}

TEST_F(Book, ChoiceNeedsAStrictlyHigherDrawToReplace) {
  seedRandom(1);  // five draws: 41, 18467, 6334, 26500, 19169
  EXPECT_EQ(drawBookRandom(), ((((41ull << 15 ^ 18467) << 15 ^ 6334) << 15 ^ 26500) << 15) ^ 19169);
  // c2c4 leads to a search node: it draws nothing and sets no base.
  const struct { const char* move; int weight; } rows[3] = {{"c2c4", 0}, {"e2e4", 2}, {"d2d4", 10}};
  Move words[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(setFen(kStartFen) && parseMove(rows[i].move, &words[i]) && commitGameMove(words[i]));
    BookNode* node = linkedNode(pos.keyLow, pos.keyHigh, pos.sideToMove, currentText());
    node->weight = rows[i].weight, node->isBook = i > 0;
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
  node->score = -2, node->weight = 17, node->depth = 9;
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

TEST_F(Book, BadLearningFilesAreRefusedKeepingTheRecordsBeforeTheFault) {
  linkedNode(0x10u, 1, 0, "good");
  const std::string good = save(), zeros(40, '\0');
  auto withField = [](std::string record, int offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) record[offset + i] = char(value >> (8 * i));
    return record;
  };
  auto withSize = [&](std::string record, uint32_t size) { return withField(record, 16, size); };
  const struct { const char* what; std::string bytes; } damaged[] = {  // each after a good record
      {"short header", good.substr(0, 47)}, {"size of 48", withSize(good, 48)},
      {"negative size", withSize(good, 0x80000000u)}, {"size past the end of the file", withSize(good, 53)},
      {"text without its zero", withSize(zeros + "abcdefghij", 50)},
      {"size larger than the text", withSize(good, 60) + good + good},  // padding swallowing records
      {"size smaller than the text", withSize(zeros + "abcdefgh" + '\0', 49)},
      {"text of 256", withSize(zeros + std::string(256, 'a') + std::string(8, '\0'), 304)},
      {"side 2", withField(good, 8, 2)}, {"isBook -1", withField(good, 20, 0xFFFFFFFFu)}};
  for (const auto& c : damaged) {
    clearBookTable(), writeFile(file("in.dat"), good + c.bytes);
    EXPECT_TRUE(loadLearningFile(file("in.dat").c_str()) == kLearningDamaged && countBookNodes() == 1) << c.what;
  }
  EXPECT_EQ(loadLearningFile(file("missing.dat").c_str()), kLearningAbsent);
  mkdir(file("folder.dat").c_str(), 0755);  // opens, but cannot be read
  EXPECT_EQ(loadLearningFile(file("folder.dat").c_str()), kLearningUnreadable);
}

// Whatever state the learning file is in, nothing that could not be read is lost.
TEST_F(Book, LearningFileThatCannotBeUsedIsKeptAndTheFailureSaid) {
  linkedNode(0x10u, 1, 0, "learned");
  const std::string learned = save(), path = file("zivorur12.dat"), damaged = learned + learned.substr(0, 30);
  DataFiles files = dataFiles(path);
  writeFile(file("Morvek.bk"), "e2e4 e7e5\n");
  // content "-": none, "/": a folder; earlierAside: a .damaged exists already; allowance: nodes the table may make.
  struct { const char* what; std::string content; bool earlierAside; int allowance, nodes; bool saved; const char* err; } cases[] = {
      {"absent", "-", false, -1, 2, true, ""}, {"learned", learned, false, -1, 1, true, ""},
      {"empty", "", false, -1, 2, true, ""}, {"torn", damaged, false, -1, 2, true, "is damaged"},
      {"torn, an earlier one aside", damaged, true, -1, 2, true, "kept as"},
      {"a folder in its place", "/", false, -1, 2, false, "not saved"},
      {"no memory for it", learned + learned, false, 1, -1, false, "cannot read"}};
  for (const auto& c : cases) {
    for (const char* tail : {"", ".damaged", ".damaged.2"}) std::filesystem::remove_all(path + tail);
    if (c.content == "/") mkdir(path.c_str(), 0755);
    else if (c.content != "-") writeFile(path, c.content);
    if (c.earlierAside) writeFile(path + ".damaged", "earlier");
    clearBookTable(), bookNodeAllowance = c.allowance;
    const std::string err = stderrOf([&] {
      loadBookTable(files);
      EXPECT_TRUE(c.nodes < 0 || countBookNodes() == c.nodes) << c.what;
      EXPECT_EQ(saveBookTable(files), c.saved ? 1 : 0) << c.what;
    });
    bookNodeAllowance = -1;
    EXPECT_TRUE(err.find(c.err) != std::string::npos && (*c.err == '\0') == err.empty()) << c.what << ": " << err;
    const bool kept = c.content == "/" ? std::filesystem::is_directory(path) : readFile(path) == c.content;
    EXPECT_TRUE(c.saved ? load(readFile(path)) == 1 && countBookNodes() == c.nodes : kept) << c.what;
    const std::string aside = path + (c.earlierAside ? ".damaged.2" : ".damaged");
    EXPECT_TRUE(strstr(c.what, "torn") ? readFile(aside) == damaged : access(aside.c_str(), F_OK) != 0) << c.what;
  }
  // No path, a file unread or not kept aside, an unusable fallback.
  std::filesystem::remove_all(path);
  DataFiles none{}, unreadable = files, vanished = files, fallback = dataFiles(path, file("in.dat"));
  unreadable.learningState = kLearningUnreadable, vanished.learningState = kLearningDamaged;
  writeFile(file("in.dat"), damaged);
  const struct { DataFiles* files; bool load; std::string err; } messages[] = {
      {&none, false, "#error: learning not saved: there is no place to keep it\n"},
      {&unreadable, false, "#error: learning not saved: " + path + " could not be read at start-up\n"},
      {&vanished, false, "#error: learning not saved: the damaged " + path + " cannot be kept aside (No such file or directory)\n"},
      {&fallback, true, "#warning: the learning file " + file("in.dat") + " cannot be used\n"},
  };
  for (const auto& m : messages) {
    int saved = 0;
    EXPECT_EQ(stderrOf([&] { m.load ? loadBookTable(*m.files) : void(saved = saveBookTable(*m.files)); }), m.err);
    EXPECT_EQ(saved, 0);
  }
}

// An older version's file beside an installed program moves to the user's, removed once that is saved.
TEST_F(Book, LearningBesideAnInstalledProgramIsCarriedOverOnce) {
  linkedNode(0x10u, 1, 0, "learned");
  const std::string learned = save(), beside = file("zivorur12.dat"), user = file("user/zivorur12.dat");
  writeFile(file("Morvek.bk"), "e2e4 e7e5\n");
  // user: the user's file before ("-" none, "/" its directory a file); nodes: the table read.
  struct { const char* what; bool installed; std::string old, user; int nodes; bool carried; } cases[] = {
      {"installed", true, learned, "-", 1, true}, {"installed, the user's file empty", true, learned, "", 1, true},
      {"a build", false, learned, "-", 1, false}, {"the user's cannot be written", true, learned, "/", 1, false},
      {"the user has one", true, learned, learned + learned.substr(0, 48), -1, false},
      {"the old one damaged", true, learned.substr(0, 30), "-", 2, false}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(file("user"));
    if (c.user == "/") writeFile(file("user"), "");  // a file where its directory should be
    else std::filesystem::create_directories(file("user"));
    if (c.user != "-" && c.user != "/") writeFile(user, c.user);
    writeFile(beside, c.old);
    DataFiles files = dataFiles(user, beside);
    files.installed = c.installed;
    stderrOf([&] {
      loadBookTable(files);
      EXPECT_TRUE(c.nodes < 0 || countBookNodes() == c.nodes) << c.what;
      saveBookTable(files);
    });
    EXPECT_EQ(access(beside.c_str(), F_OK) != 0, c.carried) << c.what;
    EXPECT_EQ(c.carried ? readFile(user) : readFile(beside), c.carried ? learned : c.old) << c.what;
  }
}

// A save's temporary file is never an existing name (a link, a live writer's); a dead writer's is removed.
TEST_F(Book, SavesNeverShareOrFollowATemporaryName) {
  const std::string path = file("zivorur12.dat"), victim = file("victim");
  auto temporary = [&](pid_t pid, int k) { return path + ".tmp." + std::to_string(pid) + "." + std::to_string(k); };
  // A child saving rounds times under a file size limit; it exits with the number of saves that failed.
  auto saving = [&](int rounds, rlim_t limit) {
    const pid_t child = fork();
    if (child != 0) return child;
    const struct rlimit size = {limit, limit};
    signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &size);
    int failed = 0;
    for (int round = 0; round < rounds; ++round) failed += !saveLearningFile(path.c_str());
    _exit(failed);
  };
  auto failures = [](pid_t child) {
    int status = -1;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  writeFile(victim, "keep me");
  for (int k = 0; k < 50; ++k) symlink(victim.c_str(), temporary(getpid(), k).c_str());
  symlink(victim.c_str(), (path + ".tmp").c_str());
  writeFile(temporary(getppid(), 0), "another writer's");
  std::vector<std::string> after = listing(engine.path);
  after.insert(std::lower_bound(after.begin(), after.end(), std::string("zivorur12.dat")), "zivorur12.dat");
  const pid_t dead = saving(0, RLIM_INFINITY);
  ASSERT_EQ(failures(dead), 0);
  ASSERT_NE(std::filesystem::current_path().string(), engine.path);
  writeFile(temporary(dead, 3), "a dead writer's");
  for (int i = 0; i < 300; ++i) linkedNode(uint32_t(i), 1, 0, "first writer's table");
  ASSERT_EQ(saveLearningFile(path.c_str()), 1);
  EXPECT_EQ(readFile(victim), "keep me");
  EXPECT_EQ(listing(engine.path), after) << "temporary files left behind";
  // A write that fails part way is reported and keeps the old file.
  const std::string last = readFile(path);
  EXPECT_EQ(failures(saving(1, 1000)), 1) << "the failure must be reported";
  EXPECT_TRUE(readFile(path) == last && listing(engine.path) == after) << "temporary files left behind";
}

// An installed copy learns in the user's data directory even where it could write beside itself.
TEST_F(Book, DataFilesBesideTheProgramElseInTheUserDirectory) {
  const std::string program = engine.path + "/morvek", book = file("Morvek.bk"), learning = file("zivorur12.dat");
  const std::string userData = "|/home/u/.local/share/morvek/zivorur12.dat|" + learning, xdg = "|/x/data/morvek/zivorur12.dat|";
  const char* p = program.c_str();
  // installed: the install marker lies beside the program; data "": as if unset.
  const struct { bool unprivileged, installed; const char* program; const char* data; std::string expected; } cases[] = {
      {false, false, p, "/x/data", book + "|" + learning + "|"}, {true, false, p, "/x/data", book + xdg + learning},
      {true, false, p, "", book + userData}, {true, false, p, nullptr, book + userData},
      {true, false, p, "relative", book + userData}, {false, false, nullptr, "/x/data", xdg},
      {false, true, p, "/x/data", book + xdg + learning}, {false, true, p, "", book + userData}};
  const bool root = getuid() == 0;
  for (const auto& c : cases) {
    ScopedVariable data("XDG_DATA_HOME", c.data), home("HOME", "/home/u");
    if (c.installed) writeFile(file("Morvek.installed"), "");
    if (c.unprivileged && !root) chmod(engine.path.c_str(), 0555);
    const pid_t child = fork();
    if (child == 0) {  // unprivileged: as nobody when root, else in a read-only directory
      if (c.unprivileged && root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
      DataFiles files{};
      composeDataFiles(files, c.program);
      _exit(std::string(files.bookTextPath) + "|" + files.learningPath + "|" + files.fallbackPath == c.expected ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0), chmod(engine.path.c_str(), 0700);
    EXPECT_EQ(status, 0) << c.expected;
    std::filesystem::remove(file("Morvek.installed"));
  }
}

// Without a lock variable the lock is one per user; one that cannot be made is no other instance.
TEST_F(Book, DefaultInstanceLockIsOnePerUser) {
  char path[4096];
  const std::string user = "/tmp/morvek-" + std::to_string(getuid()) + ".lock", run = "/run/user/77/morvek.lock";
  const struct { const char* lock; const char* runtime; std::string expected; } cases[] = {  // "": as if unset
      {nullptr, nullptr, user}, {"", "", user}, {nullptr, "/run/user/77", run}, {"", "/run/user/77", run},
      {"/some/where.lock", "/run/user/77", "/some/where.lock"}};
  for (const auto& c : cases) {
    ScopedVariable lock("MORVEK_INSTANCE_LOCK", c.lock), runtime("XDG_RUNTIME_DIR", c.runtime);
    instanceLockPath(path, sizeof path);
    EXPECT_EQ(path, c.expected);
  }
  ScopedVariable lock("MORVEK_INSTANCE_LOCK", "/nonexistent-dir/x.lock");
  EXPECT_FALSE(createInstanceMarker());
}

// A real game whose positions all have nodes: only the engine's turns move.
TEST_F(Book, GameTrendMovesTheEngineTurnsOncePerGame) {
  const char* const line = "e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 c1g5 e7e6 f2f4 d8b6 d1d2 b6b2 a1b1 b2a3";
  // rising > 0: the mover gains; every third of its positions drops by fall - 60: 83 still learns, 84 not.
  struct { int rising, engineDelta, marked, fall; } cases[] = {{1, 1, 1, 0}, {-1, -1, 1, 0}, {0, 0, 0, 0},
                                                             {1, 1, 1, 83}, {1, 0, 0, 84}};
  for (const auto& c : cases) {
    clearBookTable();
    ASSERT_TRUE(setFen(kStartFen) && pos.learnedThisGame == 0 && playMoves(line, true));  // a new game learns again
    BookNode* node[kMaxGameMoves + 1] = {};
    for (int n = pos.gamePly, side = pos.sideToMove; n >= 1; --n, side ^= 1) {
      node[n] = linkedNode(uint32_t(pos.keyHistory[n]), uint32_t(pos.keyHistory[n] >> 32), side, "t");
      node[n]->depth = 5, node[n]->score = (side == pos.sideToMove ? c.rising : -c.rising) * 30 * n;
      if (side == pos.sideToMove && n % 6 == 0) node[n]->score -= c.fall;
    }
    for (int round = 0; round < 2; ++round) {  // the second changes nothing
      learnGameResult();
      for (int n = 1; n <= pos.gamePly; ++n)
        EXPECT_EQ(node[n]->weight, 16 + ((pos.gamePly - n) % 2 ? 0 : c.engineDelta)) << n;
      EXPECT_EQ(pos.learnedThisGame, c.marked) << c.rising;
    }
  }
}

// Where /proc/self/exe is missing a bare name is looked up as execvp does; a failed save ends with status 1.
TEST_F(Book, ABareNameIsFoundAsExecvpFindsItAndAFailedSaveIsSaid) {
  if (!engineLauncher().empty()) GTEST_SKIP() << "POSIX program paths only";
  std::filesystem::create_directories(engine.path + "/bin");
  symlink(engine.binary.c_str(), (engine.path + "/bin/linked").c_str());
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(engine.path.c_str()), 0);
  symlink((engine.path + "/bin/linked").c_str(), (engine.path + "/linked").c_str());
  const struct { std::string path, found; } lookups[] = {  // an empty entry: the working directory
      {"/nonexistent:" + engine.path + "/bin", engine.path + "/bin/linked"}, {"/nonexistent::/bin", "./linked"},
      {"/nonexistent:", "./linked"}, {"/nonexistent", "-"}};
  for (const auto& lookup : lookups) {
    ScopedVariable path("PATH", lookup.path.c_str());
    char found[kPathSize] = "";
    EXPECT_EQ(findInPath("linked", found) ? std::string(found) : "-", lookup.found) << lookup.path;
  }
  ASSERT_EQ(chdir(cwd.c_str()), 0);

  remove(file("zivorur12.dat").c_str());
  mkdir(file("zivorur12.dat").c_str(), 0755);
  EngineRun failed = runEngine(engine, "force\na2a3\nquit\n");
  EXPECT_TRUE(failed.exitCode == 1 && failed.err.find("learning not saved") != std::string::npos) << failed.err;
}

// "read-only" and "off" leave the learning file as it is; a file of one's own is read and written instead.
TEST_F(Book, LearningModesAndALearningFileOfItsOwn) {
  auto learnedAfter = [](const char* moves) {  // a searched position's record in the table
    return setFen(kStartFen) && playMoves(moves, true) && findNode() != nullptr && !findNode()->isBook;
  };
  writeFile(file("Morvek.bk"), "a2a3 h7h6\n");
  const std::string learned = file("zivorur12.dat"), own = file("own.dat");
  ASSERT_EQ(runEngine(engine, "st 0.1\nforce\nb2b3\ngo\nquit\n").exitCode, 0);
  auto inode = [](const std::string& path) { struct stat s; return stat(path.c_str(), &s) == 0 ? s.st_ino : 0; };
  const std::string before = readFile(learned);
  const ino_t written = inode(learned);
  auto untouched = [&] { return inode(learned) == written && readFile(learned) == before; };  // not even replaced
  ASSERT_TRUE(load(before) == 1 && countBookNodes() > 2);
  for (const char* mode : {"read-only", "off"}) {
    EXPECT_EQ(runEngine(engine, "st 0.1\nforce\nc2c3\ngo\nquit\n", 30000, {"--learning", mode}).exitCode, 0) << mode;
    EXPECT_TRUE(untouched()) << mode;
  }
  EXPECT_EQ(runEngine(engine, "quit\n", 30000, {"--learning", "frozen"}).exitCode, 2);

  // A file of its own, by option and by argument.
  const EngineRun byOption = runEngine(
      engine, "uci\nsetoption name Learning File value " + own + "\nposition startpos moves d2d3\ngo movetime 100\nquit\n");
  ASSERT_TRUE(byOption.exitCode == 0 && load(readFile(own)) == 1) << byOption.err;
  const int ownNodes = countBookNodes();
  EXPECT_EQ(runEngine(engine, "st 0.1\nforce\ne2e3\ngo\nquit\n", 30000, {"--learning-file", own}).exitCode, 0);
  EXPECT_TRUE(load(readFile(own)) == 1 && countBookNodes() == ownNodes + 1);
  EXPECT_TRUE(learnedAfter("d2d3") && learnedAfter("e2e3") && !learnedAfter("b2b3"));
  EXPECT_TRUE(untouched());
  // "<empty>" (an interface's empty string) is the default file again; too long a name is refused.
  const EngineRun back = runEngine(engine, "uci\nsetoption name Learning File value " + own + "\nsetoption name Learning File "
                                   "value <empty>\nposition startpos moves f2f3\ngo movetime 100\n"
                                   "setoption name Learning File value " + std::string(5000, 'x') + "\nquit\n");
  EXPECT_NE(back.out.find("info string Learning File not changed\n"), std::string::npos) << back.out;
  ASSERT_EQ(load(readFile(learned)), 1);
  EXPECT_TRUE(learnedAfter("f2f3") && learnedAfter("b2b3") && !learnedAfter("d2d3"));
  const std::string learnedBefore = readFile(learned);

  // In this process: "off" is the book text alone, "read-only" the file again and frozen.
  Session session{};
  session.files = dataFiles(learned), session.secondInstance = true;  // what this process learned stays out of the file
  ASSERT_EQ(load(learnedBefore), 1);
  setLearningMode(session, LearningMode::kOff);
  const std::string offTable = save();
  clearBookTable(), parse("a2a3 h7h6\n");
  EXPECT_EQ(offTable, save());
  setLearningMode(session, LearningMode::kReadOnly);
  EXPECT_EQ(save(), learnedBefore);
  SearchRequest request = gameMoveRequest();  // a game move's search learns only when on, even in memory
  request.useBook = false, request.lastDepth = 2;
  RootMove result;
  for (LearningMode mode : {LearningMode::kReadOnly, LearningMode::kOn}) {
    setLearningMode(session, mode);
    ASSERT_TRUE(setFen(kStartFen) && playMoves("g2g3", true));
    const int nodes = countBookNodes();
    ASSERT_EQ(think(result, request), 1);
    EXPECT_EQ(countBookNodes(), nodes + (mode == LearningMode::kOn)) << int(mode);
  }
  learningMode = LearningMode::kOn;
  EXPECT_EQ(readFile(learned), learnedBefore);
}

}  // namespace
