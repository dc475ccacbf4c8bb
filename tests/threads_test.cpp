// The search on several threads. Helpers search beside the think's own
// thread and share only its tables: whatever they do, every kind of search
// must still end with a legal, complete answer, read its input and count all
// threads' nodes, and what must stay on one thread (levels) must.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "engine/search_threads.h"
#include "tests/engine_process.h"

namespace {

struct ThreadsTest : ::testing::Test {
  void TearDown() override { setSearchThreads(1); }
};

// Output of a UCI session in this process after its identity.
std::string uciAt(int threads, const std::string& commands, uint32_t (*ticks)() = secondPerReading) {
  const std::string text = runLoopHere("uci\nsetoption name OwnBook value false\nsetoption name MultiPV value 1\nsetoption name Threads value " +
                                           std::to_string(threads) + "\n" + commands + "isready\n",
                                       ticks);
  const size_t identity = text.find("uciok\n");
  return identity == std::string::npos ? "" : text.substr(identity + 6);
}

// The nodes of the last info line with a count.
uint64_t lastNodes(const std::string& out) {
  uint64_t nodes = 0;
  const std::regex field(" nodes (\\d+)");
  for (std::sregex_iterator it(out.begin(), out.end(), field), end; it != end; ++it)
    nodes = std::stoull((*it)[1].str());
  return nodes;
}

const char* const kMidgame = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
const char* const kMateInTwo = "6k1/5ppp/8/8/8/8/5PPP/1R4K1 w - - 0 1";  // Rb8+ mates in one; Rb7/... later

}  // namespace

// Every kind of search, at 2, 4 and 8 threads: the answer, and readyok.
TEST_F(ThreadsTest, EverySearchKindEndsWithALegalAnswer) {
  const std::string midgame = std::string("position fen ") + kMidgame + "\n";
  const struct { const char* what; std::string commands; std::regex answer; } rows[] = {
      {"depth", midgame + "go depth 7\n", std::regex("bestmove [a-h][1-8][a-h][1-8]")},
      {"stop", midgame + "go infinite\nstop\n", std::regex("bestmove [a-h][1-8][a-h][1-8]")},
      {"ponderhit", midgame + "go ponder wtime 60000 btime 60000\nponderhit\n",
       std::regex("bestmove [a-h][1-8][a-h][1-8]")},
      {"clock", midgame + "go wtime 60000 btime 60000\n", std::regex("bestmove [a-h][1-8][a-h][1-8]")},
      {"searchmoves", midgame + "go depth 7 searchmoves a2a3 h2h4\n", std::regex("bestmove (a2a3|h2h4)")},
      {"mate", std::string("position fen ") + kMateInTwo + "\ngo mate 1\n", std::regex("bestmove b1b8")},
      {"multipv", midgame + "setoption name MultiPV value 3\ngo depth 6\n",
       std::regex("multipv 1 [^\\n]*\\n[^\\n]*multipv 2 [^\\n]*\\n[^\\n]*multipv 3 [^\\n]*\\n(?:info[^\\n]*\\n)*bestmove")},
  };
  for (int threads : {2, 4, 8}) {
    for (const auto& row : rows) {
      const std::string out = uciAt(threads, row.commands);
      EXPECT_TRUE(std::regex_search(out, row.answer)) << threads << " threads, " << row.what << ":\n" << out;
      EXPECT_NE(out.find("readyok\n"), std::string::npos) << threads << " threads, " << row.what;
      EXPECT_EQ(searchThreadCount(), threads);
    }
  }
}

// A node limit counts every thread's nodes, and the info lines report them all.
TEST_F(ThreadsTest, NodesAreEveryThreadsNodes) {
  const std::string position = std::string("position fen ") + kMidgame + "\n";
  const uint64_t one = lastNodes(uciAt(1, position + "go nodes 300000\n"));
  const uint64_t four = lastNodes(uciAt(4, position + "go nodes 300000\n"));
  EXPECT_GE(one, 300000u);
  EXPECT_LT(one, 305000u);
  EXPECT_GE(four, 300000u);
  EXPECT_LT(four, 400000u);  // helpers stop within a few thousand nodes each
}

// A strength level searches with one thread whatever Threads says: the same
// nodes as at one thread, to the node.
TEST_F(ThreadsTest, ALevelSearchesWithOneThread) {
  const std::string commands = std::string("setoption name UCI_LimitStrength value true\n") +
                               "setoption name UCI_Elo value 1400\nposition fen " + kMidgame + "\ngo wtime 60000 btime 60000\n";
  const uint64_t one = lastNodes(uciAt(1, commands));
  EXPECT_GT(one, 0u);
  EXPECT_EQ(lastNodes(uciAt(4, commands)), one);
}

// The option, xboard's "cores" and their bounds; a count out of range is
// refused (UCI) or clamped (xboard) and one thread stays one thread.
TEST_F(ThreadsTest, ThreadCountFromEachProtocol) {
  EXPECT_NE(runLoopHere("uci\n", secondPerReading).find("option name Threads type spin default 1 min 1 max 256\n"),
            std::string::npos);
  const struct { std::string commands; std::string said; int count; } rows[] = {
      {"uci\nsetoption name threads value 3\n", "", 3},
      {"uci\nsetoption name Threads value 256\n", "", 256},
      {"uci\nsetoption name Threads value 257\n", "info string Threads must be a whole number from 1 to 256\n", 1},
      {"uci\nsetoption name Threads value 0\n", "info string Threads must be a whole number from 1 to 256\n", 1},
      {"new\ncores 6\n", "", 6},
      {"new\ncores 1000\n", "", 256},
      {"new\ncores 2\ncores 1\n", "", 1},
  };
  for (const auto& row : rows) {
    setSearchThreads(1);
    const std::string out = runLoopHere(row.commands, secondPerReading);
    if (!row.said.empty()) {
      EXPECT_NE(out.find(row.said), std::string::npos) << row.commands << out;
    }
    EXPECT_EQ(searchThreadCount(), row.count) << row.commands;
  }
}
