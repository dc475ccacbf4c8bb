// Analysis through the real binary, as UCI interfaces ask for it: several
// lines, the table size, restricted and mate searches, the info fields and
// the conformance points strict match runners check; and "morvek bench".
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/session.h"
#include "platform/memory.h"
#include "search/trans_table.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

// One "info" line with a score, its fields as numbers and words.
struct Info {
  int depth = -1, seldepth = -1, multipv = 0, hashfull = -1;
  std::string scoreKind;  // "cp" or "mate"
  int score = 0;
  long long time = -1, nodes = -1, nps = -1;
  std::vector<std::string> pv;
};

// A "go" as seen in the output: its scored info lines and its bestmove, and
// every line in order.
struct Go {
  std::vector<Info> infos;
  std::vector<std::string> lines;
  std::string best;
};

Info parseInfo(const std::string& line) {
  Info info;
  std::istringstream words(line);
  std::string word;
  words >> word;
  while (words >> word) {
    if (word == "depth") words >> info.depth;
    else if (word == "seldepth") words >> info.seldepth;
    else if (word == "multipv") words >> info.multipv;
    else if (word == "hashfull") words >> info.hashfull;
    else if (word == "time") words >> info.time;
    else if (word == "nodes") words >> info.nodes;
    else if (word == "nps") words >> info.nps;
    else if (word == "score") words >> info.scoreKind >> info.score;
    else if (word == "pv")
      for (std::string move; words >> move;) info.pv.push_back(move);
  }
  return info;
}

// The output after "uciok", cut into one Go per bestmove.
std::vector<Go> goes(const std::string& out) {
  std::vector<Go> result(1);
  std::istringstream lines(out.substr(out.find("uciok\n") + 6));
  for (std::string line; std::getline(lines, line);) {
    result.back().lines.push_back(line);
    if (line.rfind("info depth", 0) == 0 && line.find(" score ") != std::string::npos)
      result.back().infos.push_back(parseInfo(line));
    if (line.rfind("bestmove ", 0) == 0) {
      result.back().best = line.substr(9, line.find(' ', 9) - 9);
      result.emplace_back();
    }
  }
  result.pop_back();
  return result;
}

size_t countLines(const Go& go, const std::string& start) {
  return size_t(std::count_if(go.lines.begin(), go.lines.end(),
                              [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

// Each test's engine has the shipped book beside it.
struct Analysis : ::testing::Test {
  EngineDir dir;
  Analysis() {
    std::filesystem::copy_file(MORVEK_SOURCE_DIR "/data/Morvek.bk", dir.path + "/Morvek.bk");
  }
  std::vector<Go> run(const std::string& input, std::string* err = nullptr) {
    const EngineRun result = runEngine(dir, "uci\n" + input, 60000);
    EXPECT_EQ(result.exitCode, 0) << input;
    if (err) *err = result.err;
    return goes(result.out);
  }
};

// The lines of a MultiPV search, one block per depth: lines 1..k in order,
// every depth complete before the next, distinct moves, and bestmove the
// first line of the last block, which repeats the last depth at the end.
std::vector<std::vector<Info>> checkBlocks(const Go& go, size_t lines) {
  std::vector<std::vector<Info>> blocks;
  for (const Info& info : go.infos) {
    if (info.multipv == 1) blocks.emplace_back();
    EXPECT_FALSE(blocks.empty());
    if (blocks.empty()) break;
    EXPECT_EQ(info.multipv, int(blocks.back().size()) + 1);
    if (!blocks.back().empty()) {
      EXPECT_EQ(info.depth, blocks.back()[0].depth);
    }
    blocks.back().push_back(info);
  }
  for (size_t b = 0; b < blocks.size(); ++b) {
    EXPECT_EQ(blocks[b].size(), lines) << "block " << b;
    std::set<std::string> moves;
    for (size_t i = 0; i < blocks[b].size(); ++i) {
      EXPECT_TRUE(moves.insert(blocks[b][i].pv.at(0)).second) << "a move twice at depth " << blocks[b][i].depth;
      if (b > 0 && i == 0 && b + 1 < blocks.size()) {
        EXPECT_EQ(blocks[b][0].depth, blocks[b - 1][0].depth + 1);
      }
      if (b > 0 && b + 1 == blocks.size()) {
        EXPECT_EQ(blocks[b][i].pv, blocks[b - 1][i].pv);
        EXPECT_EQ(blocks[b][i].score, blocks[b - 1][i].score);
      }
    }
  }
  if (!blocks.empty()) {
    EXPECT_EQ(go.best, blocks.back()[0].pv.at(0));
  }
  return blocks;
}

// A mate reads as greater than any centipawn score.
long long order(const Info& info) {
  if (info.scoreKind == "mate") return info.score > 0 ? 1000000 - info.score : -1000000 - info.score;
  return info.score;
}

TEST_F(Analysis, MultiPvReportsTheBestLinesInOrder) {
  const struct {
    const char* fen;
    size_t lines;
    std::vector<std::set<std::string>> expected;  // the moves each leading line may start with
    long long gap;                                // the least lead of line 1 over line 2, centipawns
  } rows[] = {
      // Rook takes queen, far ahead of the back-rank capture; Stockfish agrees.
      {"6k1/5ppp/3n4/8/1q6/8/5PPP/1R2R1K1 w - - 0 1", 3, {{"b1b4"}, {"e1e8"}}, 300},
      // Only the exchange saves the game; every other line loses the rook.
      {"6k1/5ppp/8/8/1q6/8/1r3PPP/1R2R1K1 w - - 0 1", 3, {{"e1e8"}, {"b1c1", "b1a1", "b1d1"}}, 800},
      // A mate in one comes first, as a mate.
      {"r5k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", 3, {{"a1a8"}}, 0},
      // Two legal moves: two lines, whatever was asked.
      {"k7/8/7p/8/8/8/1R6/K7 b - - 0 1", 2, {{"a8a7", "h6h5"}, {"a8a7", "h6h5"}}, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fen);
    const std::vector<Go> result = run(std::string("setoption name MultiPV value 3\nposition fen ") + row.fen + "\ngo depth 6\n");
    ASSERT_EQ(result.size(), 1u);
    const auto blocks = checkBlocks(result[0], row.lines);
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks.back()[0].depth, 6);
    const std::vector<Info>& last = blocks.back();
    for (size_t i = 0; i < row.expected.size(); ++i)
      EXPECT_EQ(row.expected[i].count(last[i].pv[0]), 1u) << "line " << i + 1 << " " << last[i].pv[0];
    for (size_t i = 1; i < last.size(); ++i) EXPECT_GE(order(last[i - 1]), order(last[i]));
    if (row.gap >= 0) {
      EXPECT_GE(order(last[0]) - order(last[1]), row.gap);
    }
    if (std::string(row.fen).rfind("r5k1", 0) == 0) {
      EXPECT_EQ(last[0].scoreKind + " " + std::to_string(last[0].score), "mate 1");
      EXPECT_EQ(last[1].scoreKind, "cp");
    }
  }
}

// Stopped before its first iteration had all its lines, a several-line
// search still ends with a scored line, the one of the move it plays.
TEST_F(Analysis, MultiPvStoppedEarlyStillSaysItsLine) {
  const std::vector<Go> result = run(std::string("setoption name MultiPV value 3\nposition fen ") + kTestPositions[0] + "\ngo nodes 1\n");
  ASSERT_EQ(result.size(), 1u);
  ASSERT_EQ(result[0].infos.size(), 1u);
  EXPECT_EQ(result[0].infos[0].depth, 2);
  EXPECT_EQ(result[0].infos[0].multipv, 1);
  EXPECT_EQ(result[0].infos[0].pv.at(0), result[0].best);
}

// The lines of today's engine (before MultiPV existed) for "go depth 7":
// depth, score, nodes and line of each report. MultiPV 1, set back after
// a MultiPV 3 search, must give exactly these.
TEST_F(Analysis, MultiPvOneKeepsTheSearchOfOneLine) {
  const std::string fen = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1BBPPP/R2QK2R w KQ - 0 9";
  const std::vector<std::string> today = {
#include "tests/data/multipv1_depth7.inc"
  };
  const std::vector<Go> result = run("setoption name MultiPV value 3\nposition fen " + fen +
                                     "\ngo depth 4\nsetoption name MultiPV value 1\ngo depth 7\n");
  ASSERT_EQ(result.size(), 2u);
  std::vector<std::string> seen;
  for (const Info& info : result[1].infos) {
    EXPECT_EQ(info.multipv, 0);
    std::string text = std::to_string(info.depth) + " " + info.scoreKind + " " + std::to_string(info.score) + " " +
                       std::to_string(info.nodes);
    for (const std::string& move : info.pv) text += " " + move;
    seen.push_back(text);
  }
  ASSERT_FALSE(seen.empty());
  seen.pop_back();  // the last line before bestmove is new: the end of the search again
  EXPECT_EQ(seen, today);
}

// Hash: a smaller table fills sooner and changes the search; the default
// size searches as before; refused values leave the table as it was.
TEST_F(Analysis, HashSizesAndBadValues) {
  const std::string search = "position fen " + std::string(kTestPositions[1]) + "\ngo depth 7\n";
  std::string err;
  const std::vector<Go> result =
      run(search + "setoption name Hash value 1\n" + search + "setoption name Hash value 64\n" + search +
              "setoption name Hash value 16\nsetoption name Clear Hash\n" + search +
              "setoption name Hash value 0\nsetoption name Hash value -3\nsetoption name Hash value 12x\n"
              "setoption name Hash value 65537\nsetoption name Hash\n" + search +
              "setoption name Hash value 100\n" + search,
          &err);
  EXPECT_EQ(err, "");
  ASSERT_EQ(result.size(), 6u);
  const Info byDefault = result[0].infos.back(), one = result[1].infos.back(), big = result[2].infos.back();
  const Info again = result[3].infos.back(), refused = result[4].infos.back(), hundred = result[5].infos.back();
  EXPECT_NE(one.nodes, byDefault.nodes);
  EXPECT_GT(one.hashfull, big.hashfull);
  EXPECT_GT(byDefault.hashfull, big.hashfull);
  EXPECT_EQ(again.nodes, byDefault.nodes);
  EXPECT_EQ(refused.nodes, byDefault.nodes);
  EXPECT_EQ(hundred.nodes, big.nodes);  // 100 MB rounds down to 64
  const std::string bad = "info string Hash must be a whole number from 1 to 65536";
  EXPECT_EQ(countLines(result[4], bad), 5u);
  EXPECT_EQ(countLines(result[5], "info string Hash 64 MB, rounded down to a power of two"), 1u);
  for (const Go& go : result) EXPECT_EQ(countLines(go, "info string unknown option"), 0u);
}

// Memory that cannot be had keeps the tables in place.
TEST(HashTables, ASizeThatCannotBeHadKeepsThePreviousTables) {
  initEngineOnce();
  TableEntry* const before[2] = {transTable[0], transTable[1]};
  const uint32_t mask = tableMask;
  for (const long allowance : {0L, 1L}) {
    tableAllocationAllowance = allowance;
    EXPECT_EQ(resizeTranspositionTables(64), 0);
    EXPECT_EQ(tableMask, mask);
    EXPECT_EQ(transTable[0], before[0]);
    EXPECT_EQ(transTable[1], before[1]);
  }
  tableAllocationAllowance = -1;
  // More than the machine has: refused before anything is allocated, where
  // the system would promise it and end the process once it is touched.
  if (availableMemory() < (uint64_t(64) << 30)) {
    EXPECT_EQ(resizeTranspositionTables(65536), 0);
    EXPECT_EQ(tableMask, mask);
    EXPECT_EQ(transTable[0], before[0]);
  }
  ASSERT_EQ(resizeTranspositionTables(3), 1);
  EXPECT_EQ(tableMegabytes(), 2u);
  EXPECT_EQ(tableMask, (1u << 16) - 1);
  ASSERT_EQ(resizeTranspositionTables(16), 1);
  EXPECT_EQ(tableMask, kTableMask);
}

// searchmoves: only the moves given, illegal ones said and passed over.
TEST_F(Analysis, SearchMovesRestrictTheRoot) {
  const std::string position = "position fen 6k1/5ppp/3n4/8/1q6/8/5PPP/1R2R1K1 w - - 0 1\n";
  const struct {
    std::string go;
    std::set<std::string> allowed;
    size_t lines, ignored;
  } rows[] = {
      {"go depth 5 searchmoves h2h3", {"h2h3"}, 1, 0},
      {"go depth 5 searchmoves e1e8 g2g3", {"e1e8", "g2g3"}, 1, 0},
      {"go searchmoves e1e8 e2e4 g2g3 depth 5", {"e1e8", "g2g3"}, 1, 1},
      {"go depth 5 searchmoves e2e4", {"b1b4"}, 1, 1},  // nothing legal: every move
      {"setoption name MultiPV value 3\ngo depth 5 searchmoves h2h3 g2g3", {"h2h3", "g2g3"}, 2, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.go);
    const std::vector<Go> result = run(position + row.go + "\n");
    ASSERT_EQ(result.size(), 1u);
    const Go& go = result[0];
    EXPECT_EQ(row.allowed.count(go.best), 1u) << go.best;
    for (const Info& info : go.infos) EXPECT_TRUE((row.ignored == 1 && row.allowed.size() == 1) || row.allowed.count(info.pv.at(0)) == 1) << info.pv[0];
    if (row.lines > 1) checkBlocks(go, row.lines);
    EXPECT_EQ(countLines(go, "info string searchmoves: e2e4 is no legal move here, ignored"), row.ignored);
    if (row.allowed.size() == 1 && *row.allowed.begin() == "b1b4") {
      EXPECT_EQ(countLines(go, "info string searchmoves: no legal move given, searching every move"), 1u);
    }
  }
}

// "go mate N" ends with the mate it was asked for, however long that takes
// without a clock; a longer mate does not end it early.
TEST_F(Analysis, GoMateFindsTheMate) {
  const struct {
    const char* fen;
    const char* go;
    std::string score;
    std::set<std::string> keys;  // the first moves of the shortest mates (Stockfish)
  } rows[] = {
      {"3k4/8/2K5/8/8/8/8/7R w - - 0 1", "go mate 2", "mate 2", {"h1e1"}},
      {"k7/8/8/3K4/8/8/8/6Q1 w - - 0 1", "go mate 3", "mate 3", {"d5c6", "g1g7"}},
      {"3k4/8/2K5/8/8/8/8/7R w - - 0 1", "go mate 5", "mate 2", {"h1e1"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.go);
    const std::vector<Go> result = run(std::string("position fen ") + row.fen + "\n" + row.go + "\n");
    ASSERT_EQ(result.size(), 1u);
    const Info& last = result[0].infos.back();
    EXPECT_EQ(last.scoreKind + " " + std::to_string(last.score), row.score);
    EXPECT_EQ(row.keys.count(result[0].best), 1u) << result[0].best;
  }
}

// Every go says a score before its bestmove: a book move (with its own info
// string), a search, a position without moves. The line right before
// bestmove is the end of the search: its time and nodes are the latest, its
// line starts with the move; time is in milliseconds, nps comes from it.
TEST_F(Analysis, EveryBestmoveFollowsAScoredInfoLine) {
  std::string input = "position startpos\n";
  for (int i = 0; i < 8; ++i) input += "go movetime 250\n";
  input += "setoption name OwnBook value false\n";
  for (int i = 0; i < 8; ++i) input += "go movetime " + std::to_string(60 + 7 * i) + "\n";
  input += "position fen 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo depth 3\nposition fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - moves a1a8\ngo\n";
  const std::vector<Go> result = run(input);
  ASSERT_EQ(result.size(), 18u);
  int books = 0, notTens = 0;
  for (size_t g = 0; g < 16; ++g) {
    SCOPED_TRACE(g);
    const Go& go = result[g];
    ASSERT_GE(go.lines.size(), 2u);
    const std::string& last = go.lines[go.lines.size() - 2];
    ASSERT_EQ(last.rfind("info depth ", 0), 0u) << last;
    const Info end = parseInfo(last);
    EXPECT_EQ(end.pv.at(0), go.best);
    for (const Info& info : go.infos) {
      EXPECT_LE(info.time, end.time);
      EXPECT_LE(info.nodes, end.nodes);
      EXPECT_GE(info.seldepth, info.depth);
      EXPECT_TRUE(info.hashfull >= 0 && info.hashfull <= 1000);
      EXPECT_EQ(info.nps, info.nodes * 1000 / std::max(info.time, 1LL));
    }
    if (countLines(go, "info string book move") == 1) {
      ++books;
      EXPECT_EQ(go.lines.size(), 3u);
      EXPECT_EQ(go.lines[0], "info string book move");
      EXPECT_EQ(end.depth, 0);
      EXPECT_EQ(end.scoreKind, "cp");
      EXPECT_EQ(end.pv.size(), 1u);
    } else {
      EXPECT_GE(end.depth, 2);
      if (end.time % 10 != 0) ++notTens;
    }
  }
  EXPECT_GE(books, 1);    // each think draws; one in twenty skips the book at the start
  EXPECT_GE(notTens, 1);  // a real millisecond clock, not centiseconds times ten
  EXPECT_EQ(result[16].lines, (std::vector<std::string>{"info depth 0 score cp 0", "bestmove 0000"}));
  EXPECT_EQ(result[17].lines, (std::vector<std::string>{"info depth 0 score mate 0", "bestmove 0000"}));
}

// movetime T: the engine's own clock ends each think at T less a margin
// (10 + T/40 ms) and no deepening rule ends it sooner. A loaded machine may hold a
// process back past any deadline: the lower bound must hold for nearly
// every think, the upper one for the median, and no think runs wild.
TEST_F(Analysis, MovetimeThinksItsTimeAndNoLonger) {
  std::string input = "setoption name OwnBook value false\n";
  const int moveTime = 250, count = 12;
  // Pawn endings: iterations end often, so the deepening rules of a game
  // clock would stop between 70 and 190 ms.
  const char* const fens[2] = {"8/5pk1/6p1/8/8/6P1/5PK1/8 w - - 0 1", "8/2p2pk1/3p2p1/8/8/3P2P1/2P2PK1/8 w - - 0 1"};
  for (int i = 0; i < count; ++i) input += "position fen " + std::string(fens[i % 2]) + "\ngo movetime 250\n";
  const std::vector<Go> result = run(input);
  ASSERT_EQ(result.size(), size_t(count));
  std::vector<long long> times;
  std::string text;
  for (const Go& go : result) {
    times.push_back(parseInfo(go.lines[go.lines.size() - 2]).time);
    text += " " + std::to_string(times.back());
  }
  const long long earliest = moveTime - (10 + moveTime / 40) - 10;
  EXPECT_GE(std::count_if(times.begin(), times.end(), [&](long long t) { return t >= earliest; }), count - 2) << text;
  std::sort(times.begin(), times.end());
  EXPECT_LE(times[count / 2], moveTime) << text;
  EXPECT_LT(times.back(), 2 * moveTime) << text;
}

// currmove: never in the first second, at most once a second after it; a
// short search has none.
TEST_F(Analysis, CurrentMoveOnlyAfterTheFirstSecond) {
  EngineProcess engine = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(sendInput(engine, "uci\nposition startpos moves e2e4\ngo depth 5\ngo infinite\n"));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(waitForText(engine, "info currmove ", seen, 0, 20000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  ASSERT_TRUE(waitForText(engine, "info currmove ", seen, seen.find("info currmove ") + 1, 20000));
  ASSERT_TRUE(sendInput(engine, "stop\nquit\n"));
  const EngineRun rest = finishEngine(engine);
  const std::vector<Go> result = goes(seen + rest.out);
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(countLines(result[0], "info currmove"), 0u);
  const long long ms = parseInfo(result[1].lines[result[1].lines.size() - 2]).time;
  const size_t currmoves = countLines(result[1], "info currmove");
  EXPECT_GE(currmoves, 2u);
  EXPECT_LE(currmoves, size_t(ms / 1000));
  for (const std::string& line : result[1].lines)
    if (line.rfind("info currmove", 0) == 0) {
      EXPECT_TRUE(std::regex_match(line, std::regex("info currmove [a-h][1-8][a-h][1-8] currmovenumber [1-9][0-9]*"))) << line;
    }
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Analysis searches learn nothing: the learning file comes out as a run
// without any search writes it; a game move still changes it.
TEST_F(Analysis, AnalysisWritesNoLearning) {
  const std::string position = "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 e8g8\n";
  const std::string learning = dir.path + "/zivorur12.dat";
  run(position);
  const std::string untouched = fileBytes(learning);
  ASSERT_FALSE(untouched.empty());
  std::remove(learning.c_str());
  run("setoption name OwnBook value false\n" + position +
      "setoption name MultiPV value 3\ngo movetime 200\nsetoption name MultiPV value 1\n"
      "go movetime 200 searchmoves h2h3\ngo mate 1 movetime 200\ngo infinite\nstop\n");
  EXPECT_EQ(fileBytes(learning), untouched);
  std::remove(learning.c_str());
  run("setoption name OwnBook value false\n" + position + "go movetime 200\n");
  EXPECT_NE(fileBytes(learning), untouched);
}

// "morvek bench [DEPTH]": the signature as its last line, in the form
// OpenBench reads (a number before "nodes", a number before "nps").
// The recorded node count at depth, from tools/bench_signature.txt.
long long recordedSignature(int depth) {
  std::ifstream file(MORVEK_SOURCE_DIR "/tools/bench_signature.txt");
  for (std::string line; std::getline(file, line);)
    if (line.rfind(std::to_string(depth) + " ", 0) == 0) return std::stoll(line.substr(line.find(' ') + 1));
  return -2;
}

TEST(BenchCommand, PrintsTheSignatureLast) {
  const struct {
    std::string arguments;
    int status;
    long long nodes;
  } rows[] = {{" bench", 0, recordedSignature(8)}, {" bench 5", 0, recordedSignature(5)}, {" bench 1", 2, -1}, {" bench x", 2, -1}};
  for (const auto& row : rows) {
#ifndef NDEBUG
    if (row.arguments == " bench") continue;  // depth 8 is for optimised builds: the sanitizers' takes minutes
#endif
    FILE* pipe = popen((std::string(MORVEK_BINARY) + row.arguments + " 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.status) << row.arguments;
    if (row.nodes < 0) continue;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(out, match, std::regex("\\n([0-9]+) nodes ([0-9]+) nps\\n$"))) << out;
    EXPECT_EQ(std::stoll(match[1]), row.nodes);
    EXPECT_GT(std::stoll(match[2]), 0);
  }
}

}  // namespace
