// The search on several threads. Helpers share only the think's tables:
// every kind of search must still end with a legal answer, read its input
// and count all threads' nodes, and a level must stay on one thread.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "engine/search_threads.h"
#include "engine/strength.h"
#include "search/strong_search.h"
#include "tests/engine_process.h"

namespace {

struct ThreadsTest : ::testing::Test {
  const StrengthSetting saved = strength;  // a level set here must not reach other tests
  void TearDown() override { setSearchThreads(1), strength = saved, searchKind = kSearchExact; }
};

const std::string kMidgame = "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3\n";

// Output of a UCI session in this process after its identity.
std::string uciAt(int threads, const std::string& commands) {
  const std::string text = runLoopHere("uci\nsetoption name OwnBook value false\nsetoption name MultiPV value 1\n"
                                       "setoption name Threads value " + std::to_string(threads) + "\n" + commands + "isready\n",
                                       secondPerReading);
  const size_t identity = text.find("uciok\n");
  return identity == std::string::npos ? "" : text.substr(identity + 6);
}

// The nodes of the last info line with a count.
uint64_t lastNodes(const std::string& out) {
  const size_t at = out.rfind(" nodes ");
  return at == std::string::npos ? 0 : std::stoull(out.substr(at + 7));
}

}  // namespace

// Every kind of search, at 2, 4 and 8 threads, by both searches: the answer, and readyok.
TEST_F(ThreadsTest, EverySearchKindEndsWithALegalAnswer) {
  const std::string any = "bestmove [a-h][1-8][a-h][1-8]";
  const struct { std::string commands, answer; } rows[] = {
      {kMidgame + "go depth 7\n", any}, {kMidgame + "go infinite\nstop\n", any},
      {kMidgame + "go ponder wtime 60000 btime 60000\nponderhit\n", any}, {kMidgame + "go wtime 60000 btime 60000\n", any},
      {kMidgame + "go depth 7 searchmoves a2a3 h2h4\n", "bestmove (a2a3|h2h4)"},
      {"position fen 6k1/5ppp/8/8/8/8/5PPP/1R4K1 w - - 0 1\ngo mate 1\n", "bestmove b1b8"},
      {kMidgame + "setoption name MultiPV value 3\ngo depth 6\n",
       "multipv 1 [^\\n]*\\n[^\\n]*multipv 2 [^\\n]*\\n[^\\n]*multipv 3 "}};
  for (const std::string kind : {"exact", "strong"})
    for (int threads : {2, 4, 8})
      for (const auto& row : rows) {
        const std::string out = uciAt(threads, "setoption name Search value " + kind + "\n" + row.commands);
        // Two searches, not one pattern over the whole output: a repeated group
        // recurses once per line in std::regex and overflows a sanitizer's stack.
        EXPECT_TRUE(std::regex_search(out, std::regex(row.answer)) && std::regex_search(out, std::regex(any)) &&
                    out.find("readyok\n") != std::string::npos &&
                    searchThreadCount() == threads) << kind << ", " << threads << " threads:\n" << row.commands << out;
      }
}

// A node limit counts every thread's nodes, and the info lines report them all;
// a strength level searches with one thread whatever Threads says, to the node.
TEST_F(ThreadsTest, NodeLimitsCountEveryThreadAndALevelUsesOne) {
  const uint64_t one = lastNodes(uciAt(1, kMidgame + "go nodes 300000\n")), four = lastNodes(uciAt(4, kMidgame + "go nodes 300000\n"));
  EXPECT_TRUE(one >= 300000u && one < 305000u) << one;
  EXPECT_TRUE(four >= 300000u && four < 400000u) << four;  // helpers stop within a few thousand nodes each
  const std::string level =
      "setoption name UCI_LimitStrength value true\nsetoption name UCI_Elo value 1400\n" + kMidgame + "go wtime 60000 btime 60000\n";
  const uint64_t limited = lastNodes(uciAt(1, level));
  EXPECT_TRUE(limited > 0 && lastNodes(uciAt(4, level)) == limited) << limited;
}

// The option, xboard's "cores" and their bounds; a count out of range is
// refused (UCI) or clamped (xboard) and one thread stays one thread.
TEST_F(ThreadsTest, ThreadCountFromEachProtocol) {
  const std::string refused = "info string Threads must be a whole number from 1 to 256\n";
  const struct { std::string commands, said; int count; } rows[] = {
      {"uci\nsetoption name Threads value 256\n", "", 256}, {"uci\nsetoption name Threads value 257\n", refused, 1},
      {"uci\nsetoption name Threads value 0\n", refused, 1}, {"new\ncores 6\n", "", 6},
      {"new\ncores 1000\n", "", 256}, {"new\ncores 2\ncores 1\n", "", 1}};
  for (const auto& row : rows) {
    setSearchThreads(1);
    const std::string out = runLoopHere(row.commands, secondPerReading);
    EXPECT_TRUE(out.find(row.said) != std::string::npos && searchThreadCount() == row.count) << row.commands << out;
  }
}
