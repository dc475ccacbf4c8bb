// UCI: the loop in this process, its clock a second a reading so that each "go" leaves exact state; then the built program.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "board/score.h"
#include "book/learning.h"
#include "engine/clock.h"
#include "engine/search_threads.h"
#include "engine/session.h"
#include "engine/strength.h"
#include "engine/uci_options.h"
#include "engine/wdl.h"
#include "platform/input.h"
#include "search/search_clock.h"
#include "search/strong_search.h"
#include "search/trans_table.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"
#include "tests/uci_output.h"

namespace {

// Output of the loop after its identity lines.
std::string uciRun(const std::string& commands, uint32_t (*ticks)() = secondPerReading) {
  const std::string text = runLoopHere("uci\n" + commands, ticks);
  return text.find("uciok\n") == std::string::npos ? "" : text.substr(text.find("uciok\n") + 6);
}

// The game's placement, side and castling must be fen's (and its ply, when given); leaves fen set.
void expectGameAt(const std::string& fen, const std::string& why, int ply = -1) {
  char text[kPositionTextSize];
  const auto head = [&] { const std::string s = positionText(text); return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1)); };
  const std::string now = head() + (ply < 0 ? "" : " ply " + std::to_string(pos.gamePly));
  ASSERT_TRUE(setFen(fen.c_str())) << fen;
  EXPECT_EQ(now, head() + (ply < 0 ? "" : " ply " + std::to_string(ply))) << why;
}

// Each row's input must be answered as its pattern says and leave the game at fenAfter (when given).
struct Exchange { std::string input, fenAfter, output; int ply = -1; };
void expectExchanges(const std::vector<Exchange>& rows) {
  for (const Exchange& row : rows) {
    const std::string output = uciRun(row.input), why = row.input.substr(0, 200) + " (" + std::to_string(row.input.size()) + ")";
    EXPECT_TRUE(std::regex_match(output, std::regex(row.output))) << why << "\n" << output.substr(0, 2000);
    if (!row.fenAfter.empty()) expectGameAt(row.fenAfter, why, row.ply);
  }
}

// The budget and its doubling ceiling for the side to move, at every edge; Move Overhead kept back per move.
TEST(UciWords, ClockWordsAndMoveOverheadGiveTheBudget) {
  constexpr int64_t kYear = 100LL * 3600 * 24 * 366;  // the longest clock, in centiseconds
  const char* const kRange = "info string Move Overhead must be a whole number from 0 to 5000\n";
  const struct { bool white; int overhead; const char* words; int64_t budget, ceiling; const char* said = ""; } rows[] = {
      // Sudden death: 5830 cs usable over 45 moves, and 3/4 of the increment.
      {true, 0, "wtime 60000 btime 1000", 129, 1457},  {false, 0, "wtime 1000 btime 60000", 129, 1457},  {true, 0, "wtime 60000 winc -2000", 129, 1457},
      {true, 0, "wtime 60000 btime 1000 winc 2000 binc 0", 279, 1457},  {false, 0, "btime 60000 wtime 1 binc 2000 winc 99999", 279, 1457},
      {true, 0, "wtime 1000 btime 1 movestogo 1", 78, 78},  {true, 0, "wtime 1000 movestogo 2", 39, 39},  // less the 22 cs reserve
      {true, 0, "wtime 1000 movestogo 999", 0, 39},  {true, 0, "wtime 1000 movestogo 0", 1, 19},  {true, 0, "wtime 1000 movestogo 1000", 1, 19},
      {true, 0, "wtime 1000 movestogo -3", 1, 19},  {true, 0, "wtime 0 btime 60000", 0, 0},  {true, 0, "wtime -5000 btime 60000", 0, 0},
      {true, 0, "wtime", 0, 0},  {true, 0, "wtime 99999999999999 btime 1", 68515199, 770795995},  {true, 0, "", 750, kNoCeiling},
      // A move time is a deadline of its own, in ms; the others end only by their limit or "stop".
      {true, 0, "movetime 1500 wtime 60000", kYear, kYear},  {true, 0, "movetime 19", kYear, kYear},  {true, 0, "movetime 0", kYear, kYear},
      {true, 0, "movetime -20", kYear, kYear},  {true, 0, "searchmoves a1a2 wtime 60000", 129, 1457},  {true, 0, "depth 3 wtime 60000", 129, 1457},
      {true, 0, "depth 3", kYear, kYear},  {true, 0, "nodes 100", kYear, kYear},  {true, 0, "nodes 0", kYear, kYear},
      {true, 0, "infinite wtime 60000", kYear, kYear},  {true, 0, "ponder wtime 60000", kYear, kYear},
      {true, 100, "wtime 60000 btime 1000", 119, 1348},  {true, 95, "wtime 60000 btime 1000", 119, 1348},  // whole cs, rounded up
      {true, 100, "wtime 1000 movestogo 1", 68, 68},  {true, 100, "wtime 1000 movestogo 2", 29, 29},
      {true, 100, "wtime 100 btime 60000", 0, 0},  {true, 5000, "wtime 60000 btime 1000", 0, 0},  // all of it lag
      {true, 5001, "wtime 60000 btime 1000", 129, 1457, kRange},  {true, -1, "wtime 60000 btime 1000", 129, 1457, kRange},
  };
  for (const auto& row : rows) {
    const std::string output = uciRun("setoption name Move Overhead value " + std::to_string(row.overhead) + "\nposition fen " +
                                      (row.white ? "6k1/8/8/8/8/8/5PPP/r5K1 w - -" : "R5k1/5ppp/8/8/8/8/8/6K1 b - -") + "\ngo " + row.words +
                                      "\nsetoption name Move Overhead value 0\n");
    const std::string why = std::to_string(row.overhead) + (row.white ? " white: " : " black: ") + row.words;
    EXPECT_TRUE(std::regex_match(output, std::regex(std::string(row.said) + "(?:info [^\\n]*\\n)*bestmove 0000\\n"))) << why;
    EXPECT_EQ(std::make_pair(searchClock.budget, budgetPlan.ceiling), std::make_pair(row.budget, row.ceiling)) << why;
  }
}

// Every option: names and check values in any case, spins within their range (both ends, trailing blanks).
TEST(UciOptions, EachRowSetsItsValueOrSaysWhy) {
  using Get = int (*)();
  const Get book = [] { return int(uciSettings.ownBook); }, wdl = [] { return int(uciSettings.showWdl); },
            kept = [] { return int(lastLoopSession().learningKept); }, learning = [] { return int(learningMode); },
            ponder = [] { return int(uciSettings.ponder); }, pvs = [] { return uciSettings.multiPv; }, hash = [] { return int(tableMegabytes()); },
            overhead = [] { return int(uciSettings.moveOverheadMs * 1000 + moveOverheadCs); }, elo = [] { return strength.elo; },
            limited = [] { return int(strength.limited); }, threads = [] { return searchThreadCount(); },
            search = [] { return int(searchKind); };
  const std::string kMultiPv = "info string MultiPV must be a whole number from 1 to 256\n",
                    kHash = "info string Hash must be a whole number from 1 to 65536\n";
  const struct { const char* line; std::string said; Get get; int want; } rows[] = {
      {"ownbook value FALSE", "", book, 0},  {"OwnBook value True", "", book, 1},  {"OwnBook value yes", "info string OwnBook must be true or false\n", book, 1},
      {"UCI_ShowWDL value true  ", "", wdl, 1},  {"uci_showwdl value false", "", wdl, 0},  {"SaveLearning value false", "", kept, 1},
      {"SaveLearning value true", "", kept, 0},  {"Ponder value true", "", ponder, 1},  {"Ponder value false", "", ponder, 0},
      {"learning value READ-ONLY", "", learning, int(LearningMode::kReadOnly)},  {"Learning value on ", "", learning, int(LearningMode::kOn)},
      {"Learning value of", "info string Learning must be one of on, read-only, off\n", learning, int(LearningMode::kOn)},
      {"multipv value 256", "", pvs, 256},  {"MultiPV value 257", kMultiPv, pvs, 256},  {"MultiPV value 0", kMultiPv, pvs, 256},
      {"MultiPV value 1 ", "", pvs, 1},  {"MultiPV value 2x", kMultiPv, pvs, 1},
      {"move overhead value 5000", "", overhead, 5000 * 1000 + 500},  {"Move Overhead value 0", "", overhead, 0},
      {"Hash value 2", "", hash, 2},  {"Hash value 3", "info string Hash 2 MB, rounded down to a power of two\n", hash, 2},
      {"Hash value 0", kHash, hash, 2},  {"Hash value 65537", kHash, hash, 2},  {"Hash value -3", kHash, hash, 2},  {"Hash", kHash, hash, 2},
      {"UCI_Elo value 1900", "", elo, 1900},  {"UCI_Elo value 1000", "", elo, 1000},  {"UCI_LimitStrength value true", "", limited, 1},
      {"UCI_Elo value 500", "info string UCI_Elo 500 is out of range, set to 1000\n", elo, 1000},
      {"UCI_Elo value 2500", "info string UCI_Elo 2500 is out of range, set to 1900\n", elo, 1900},
      {"UCI_Elo value strong", "info string UCI_Elo needs a number, not \"strong\"; kept at 1900\n", elo, 1900},
      {"UCI_LimitStrength value false", "", limited, 0},  {"threads value 3", "", threads, 3},  {"Threads value 257", "info string Threads must be a whole number from 1 to 256\n", threads, 3},
      {"Threads value 1", "", threads, 1},  {"search value STRONG", "", search, 1},
      {"Search value fast", "info string Search must be one of exact, strong\n", search, 1},  {"Search value exact", "", search, 0},  {"Contempt value 4", "info string unknown option Contempt\n", threads, 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(uciRun("setoption name " + std::string(row.line) + "\n"), row.said) << row.line;
    EXPECT_EQ(row.get(), row.want) << row.line;
  }
  uciRun("setoption name Hash value " + std::to_string(kDefaultTableMegabytes) + "\n");
}

// docs/options.md has one row for each option, in order, with the type, default and range announced.
TEST(UciOptions, TheDocumentedListIsTheTable) {
  const char* const kTypes[] = {"check", "spin", "button", "string", "combo"};
  std::ifstream file(MORVEK_SOURCE_DIR "/docs/options.md");
  int i = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("| `", 0) != 0) continue;
    ASSERT_LT(i, kUciOptionCount) << line;
    const UciOption& o = kUciOptions[i++];
    const int value = o.announced ? o.announced() : 0;
    std::string row = "| `" + std::string(o.name) + "` | " + kTypes[int(o.type)] + " | ";
    const std::string shown[] = {value ? "true |" : "false |", std::to_string(value) + " | " + std::to_string(o.least) + " to " +
                                 std::to_string(o.most), "|", "<empty> |", o.choices ? o.choices[value] + std::string(" |") : ""};
    row += shown[int(o.type)];
    for (int c = 0; o.type == OptionType::kCombo && o.choices[c]; ++c) row += (c ? ", " : " ") + std::string(o.choices[c]);
    EXPECT_EQ(line.substr(0, row.size() + 1), row + " ");  // a blank ends the range
  }
  EXPECT_EQ(i, kUciOptionCount);
}

// Scores, mates and their win/draw/loss; depths kept to 2..90; "go mate N"; the position unchanged by "go".
TEST(UciWords, ScoresMatesDepthsAndThePositionAfterGo) {
  const struct { const char* fen; const char* words; const char* move; const char* score; int depth; } rows[] = {
      {kMateInOne, "depth 3", "a1a8", "mate 1", 2},  // a mate ends the deepening; being mated does not, before depth 7
      {"k7/8/1K6/8/8/8/8/7R b - -", "depth 3", "a8b8", "mate -1", 3},  {"k7/8/1K6/8/8/8/8/7R b - -", "depth 10", "a8b8", "mate -1", 7},
      {"2k5/8/1K6/8/8/8/8/7R w - -", "depth 4", "h1d1", "mate 2", 3},  {"4k3/8/8/8/8/8/8/4K2Q w - -", "depth 2", "h1e4", "cp 1020", 2},
      {"4k3/8/8/8/8/8/8/4K2Q b - -", "depth 2", "e8e7", "cp -1019", 2},  {"4k3/8/8/8/8/8/8/3NKN2 w - -", "depth 2", "f1e3", "cp 0", 2},
      {"4k3/8/8/8/8/8/8/4K2R w - -", "depth 0", "h1h7", "cp 511", 2},  {"4k3/8/8/8/8/8/8/4K2R w - -", "depth -5", "h1h7", "cp 511", 2},
      {"4k3/8/8/8/8/8/8/4K2R w - -", "depth 3", "h1h7", "cp 511", 3},  {"3k4/8/2K5/8/8/8/8/7R w - -", "mate 2", "h1e1", "mate 2", 3},
      {"k7/8/8/3K4/8/8/8/6Q1 w - -", "mate 3", "d5c6", "mate 3", 5},  {"3k4/8/2K5/8/8/8/8/7R w - -", "mate 5", "h1e1", "mate 2", 3},
  };
  for (const auto& row : rows) {
    const std::string go = std::string("\ngo ") + row.words;  // twice: the second sees the same position
    const std::vector<UciGo> goes = uciGoes(uciRun(std::string("setoption name UCI_ShowWDL value true\nposition fen ") + row.fen +
                                                   go + go + "\nsetoption name UCI_ShowWDL value false\n"));
    ASSERT_EQ(goes.size(), 2u) << row.fen;
    const UciInfo& end = goes[0].last();
    EXPECT_EQ(goes[0].best + " " + end.pv.at(0) + " " + goes[1].best + " " + end.scoreText() + " " + std::to_string(end.depth),
              std::string(row.move) + " " + row.move + " " + row.move + " " + row.score + " " + std::to_string(row.depth))
        << row.fen << " " << row.words;
    expectGameAt(row.fen, row.words, 0);
    const WinDrawLoss model = end.scoreKind == "mate" ? WinDrawLoss{end.score > 0 ? 1000 : 0, 0, end.score > 0 ? 0 : 1000}  // certain
                                                      : winDrawLoss(int(end.score), materialCount());  // for the root's material
    EXPECT_EQ(std::vector<int>(end.wdl, end.wdl + 3), (std::vector<int>{model.win, model.draw, model.loss})) << row.fen;
  }
}

// Looks every 4096 nodes: "nodes" stops at the first that reaches it; Move Overhead 20 shortens a move time.
// The mates and draws of the exact search's tests, and sacrifices and quiet
// first moves that pruning could hide, answered alike by both searches.
TEST(UciSearch, TheStrongSearchFindsWhatTheExactSearchFinds) {
  const struct { const char* fen; const char* go; const char* best; const char* score; } rows[] = {
      {kMateInOne, "depth 3", "a1a8", "mate 1"},
      {"2k5/8/1K6/8/8/8/8/7R w - -", "depth 4", "h1d1", "mate 2"},        // a quiet first move
      {"3k4/8/2K5/8/8/8/8/7R w - -", "mate 2", "h1e1", "mate 2"},
      {"k7/8/8/3K4/8/8/8/6Q1 w - -", "mate 3", "d5c6", "mate 3"},
      {"r6k/6pp/7N/8/8/1Q6/8/6K1 w - - 0 1", "mate 2", "b3g8", "mate 2"},  // the queen given for a smothered mate
      {"k7/8/1K6/8/8/8/8/7R b - -", "depth 10", "a8b8", "mate -1"},
      {"7k/8/5KQ1/8/8/8/8/8 w - - 0 1", "depth 6", "g6g7", "mate 1"},
      {"4k3/8/8/8/8/8/8/3NKN2 w - -", "depth 6", "", "cp 0"},            // a dead draw
      {"7k/5Q2/5K2/8/8/8/8/8 w - - 0 1", "depth 8", "", "mate 1"},        // mate, not the stalemate beside it
  };
  for (const char* kind : {"exact", "strong"}) {
    for (const auto& row : rows) {
      const std::vector<UciGo> goes = uciGoes(uciRun(std::string("setoption name Search value ") + kind + "\nsetoption name OwnBook value false\n" +
                                                     "position fen " + row.fen + "\ngo " + row.go + "\nsetoption name Search value exact\n"));
      ASSERT_EQ(goes.size(), 1u) << kind << " " << row.fen;
      EXPECT_EQ(goes[0].last().scoreText(), row.score) << kind << " " << row.fen;
      if (row.best[0]) {
        EXPECT_EQ(goes[0].best, row.best) << kind << " " << row.fen;
      }
      // Every line shown is legal from the root.
      for (const UciInfo& info : goes[0].infos) {
        ASSERT_TRUE(setFen(row.fen));
        for (const std::string& move : info.pv) {
          Move m = 0;
          ASSERT_TRUE(parseMove(move.c_str(), &m)) << kind << " " << row.fen << " " << move;
          makeMove(m);
        }
      }
      ASSERT_TRUE(setFen(row.fen));  // back at ply 0 for the next run
    }
  }
  EXPECT_EQ(searchKind, kSearchExact);
}

// The strong search keeps its table across the nodes of a search, so a mate
// stored at one ply must read right at another: each node of the line holds
// its mate counted from itself.
TEST(UciSearch, TheStrongTableCountsMatesFromTheNode) {
  const struct { const char* fen; const char* go; int matePly; } rows[] = {
      {"3k4/8/2K5/8/8/8/8/7R w - -", "mate 2", 3},
      {"k7/8/8/3K4/8/8/8/6Q1 w - -", "mate 3", 5},
  };
  for (const auto& row : rows) {
    const std::vector<UciGo> goes = uciGoes(uciRun(std::string("setoption name Search value strong\nsetoption name OwnBook value false\n") +
                                                   "position fen " + row.fen + "\ngo " + row.go + "\nsetoption name Search value exact\n"));
    ASSERT_EQ(goes.size(), 1u) << row.fen;
    const std::vector<std::string>& line = goes[0].last().pv;
    ASSERT_EQ(int(line.size()), row.matePly) << row.fen;
    ASSERT_TRUE(setFen(row.fen));
    for (int ply = 1; ply < row.matePly; ++ply) {
      Move m = 0;
      ASSERT_TRUE(parseMove(line[ply - 1].c_str(), &m)) << row.fen << " " << line[ply - 1];
      makeMove(m);
      TableEntry entry;
      ASSERT_TRUE(findTableEntry(&entry)) << row.fen << " ply " << ply;
      const int left = row.matePly - ply;  // the mating side moves at even plies
      EXPECT_EQ(entry.value, ply % 2 ? left - kMatedAtZero : kMatedAtZero - left) << row.fen << " ply " << ply;
    }
    ASSERT_TRUE(setFen(row.fen));
  }
}

// A strength level keeps the exact search its calibration was made with.
TEST(UciSearch, LevelsSearchExactly) {
  for (const bool limited : {true, false}) {
    uciRun(std::string("setoption name Search value strong\nsetoption name OwnBook value false\nsetoption name UCI_LimitStrength value ") +
           (limited ? "true" : "false") + "\nposition startpos\ngo movetime 300\nsetoption name Search value exact\nsetoption name UCI_LimitStrength value false\n");
    EXPECT_EQ(activeSearch, limited ? kSearchExact : kSearchStrong);
  }
}

TEST(UciWords, SearchesStopAtTheRightLook) {
  const auto looks = [](const std::string& input, uint32_t (*ticks)()) { return uciRun(input, ticks), searchClock.pollCount / 4096; };
  for (const auto& [nodes, want] : {std::pair<int, uint64_t>{1, 1}, {4096, 1}, {4097, 2}})
    EXPECT_EQ(looks("position startpos\ngo nodes " + std::to_string(nodes) + "\n", secondPerReading), want) << nodes;
  const std::string start = "position fen r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - -\ngo movetime 1000\n";
  const uint64_t plain = looks(start, millisecondPerReading),
                 shorter = looks("setoption name Move Overhead value 20\n" + start + "setoption name Move Overhead value 0\n", millisecondPerReading);
  EXPECT_TRUE(shorter < plain && shorter + 40 > plain) << plain << " " << shorter;
}

// The position after "position" (all or nothing), "ucinewgame" and refused text; the answers, in order.
TEST(UciWords, EachWordLeavesItsState) {
  const std::string rook = std::string("position fen ") + kRookEnding + "\n", mate = std::string("position fen ") + kMateInOne + "\n";
  expectExchanges({
      {"position startpos moves e2e4 e7e5\n", "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6", ""},
      {std::string("position fen ") + kRookEnding + " moves e1g1 e8d7\n", "8/3k4/8/8/8/8/8/5RK1 w - -", ""},
      {rook + "position fen " + kRookEnding + " moves h1h2 e8e7 h2h9\n", kRookEnding, "info string error: illegal move h2h9, position unchanged\n"},
      {rook + "position fen 4k3/8/8/8/8/8/8/4K2R w X - 0 1\n", kRookEnding, "info string error: position refused: 4k3/8/8/8/8/8/8/4K2R w X - 0 1\n"},
      {rook + "position moves e1g1\nposition fen\n", kRookEnding, "info string error: position needs startpos or fen\ninfo string error: position refused: \n"},
      {rook + "position startpos e2e4\n", kRookEnding, "info string error: unexpected e2e4 in position\n"},
      {rook + "ucinewgame\n", kStartFen, ""},
      {"setoption name Own Book value true\nsetoption value x\nstop\nponderhit\ndebug on\nregister later\nisready\n", "",
       "info string unknown option Own Book\ninfo string setoption needs a name\nreadyok\n"},
      // "isready" is answered at once; only "stop" or the input's end ends "go infinite", even with a mate found.
      {mate + "go infinite\nisready\nstop\nisready\n", "", "(?:info [^\\n]*\\n)+readyok\\n(?:info [^\\n]*\\n)*bestmove a1a8\\nreadyok\\n"},
      {mate + "go ponder wtime 1000 btime 1000\nisready\nstop\n", "", "(?:info [^\\n]*\\n)+readyok\\n(?:info [^\\n]*\\n)*bestmove a1a8\\n"},
      // Lines that came during a search wait, and keep their order behind it.
      {"position fen r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - -\ngo depth 5\nucinewgame\ngo depth 5\nisready\n",
       kStartFen, "(?:info [^\\n]*\\n)+bestmove [^\\n]*\\n(?:info [^\\n]*\\n)+bestmove [^\\n]*\\nreadyok\\n"},
  });
}

// The same game sent again with moves added keeps its once-a-game learning mark; another line is a new game.
TEST(UciWords, TheSameGameSentAgainKeepsItsLearningMark) {
  const struct { std::string before, after; bool kept; } rows[] = {
      {"e2e4", "e2e4 e7e5 g1f3", true},  {"e2e4", "e2e4", true},  {"e2e4", "e2e4 e7e4", true},  {"e2e4 e7e5", "e2e4", false},
      {"e2e4", "d2d4 e7e5", false},  {"e2e4", std::string("position fen ") + kStartFen + " moves e2e4 e7e5", true},
      {"e2e4", "ucinewgame\nposition startpos moves e2e4 e7e5", false},
      {"e2e4", "position fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - moves e7e5", false},
  };
  const auto line = [](const std::string& s) { return (s.find("position") == 0 || s.find("ucinewgame") == 0 ? s : "position startpos moves " + s) + "\n"; };
  for (const auto& row : rows) {
    uciRun(line(row.before));
    pos.learnedThisGame = 1;
    uciRun(line(row.after));
    EXPECT_EQ(pos.learnedThisGame == 1, row.kept) << row.before << " then " << row.after;
  }
}

// "ponderhit": the clock words of "go ponder" count from then on, the time pondered credited.
TEST(UciWords, PonderhitCreditsTheTimePondered) {
  static uint32_t ponderedTicks = 0;
  const std::string start = "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3\n";
  // Over the 129 cs unpondered: whole seconds, at least one, no more than the run's clock went on (cs, not ms).
  ASSERT_EQ(uciGoes(uciRun(start + "go ponder wtime 60000 btime 60000\nponderhit\n", [] { return ponderedTicks += 1000; })).size(), 1u);
  const int64_t credit = searchClock.budget - 129;
  EXPECT_TRUE(credit >= 100 && credit % 100 == 0 && credit <= int64_t(ponderedTicks / 10)) << credit;
  // 2 s give 6 cs, doubled: stopped at the first look at the clock (a second on), unless pondered a second.
  uciRun(start + "go wtime 2000 btime 2000\n");
  const uint64_t unpondered = searchClock.pollCount;
  uciRun(start + "go ponder wtime 2000 btime 2000\nponderhit\n");
  EXPECT_EQ(unpondered / 4096, 1u);
  EXPECT_GT(searchClock.pollCount, unpondered + 1000);
}

// A "position" line padded with blanks to length characters.
std::string positionLine(const std::string& moves, size_t length) {
  const std::string line = "position startpos moves e2e4", last = " " + moves + "\n";
  return line + std::string(length - line.size() - last.size() + 1, ' ') + last;
}

// Lines beyond the limit or not UTF-8 are refused whole (at once while searching); thousands of plies are not.
TEST(UciLongInput, LongLinesAreReadWholeOrRefusedWhole) {
  const std::string e4 = "position startpos moves e2e4\n", kRefused = "info string error: line of ",
                    kAfter = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6",
                    kBefore = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", path = "/tmp/" + std::string(5000, 'b');
  expectExchanges({
      {e4 + positionLine("e7e5", kMaxLineLength), kAfter, ""},
      {e4 + positionLine("e7e5", kMaxLineLength).replace(kMaxLineLength, 1, "\r\n"), kAfter, ""},
      {e4 + positionLine("e7e5", kMaxLineLength + 1), kBefore, kRefused + "1048577 characters ignored: longer than 1048576 characters\n"},
      {e4 + "position startpos moves e2e4 e7e5 \xed\xa0\x80\n", kBefore, kRefused + "37 characters ignored: is not UTF-8\n"},
      {e4 + "position startpos moves e2e4 e7e5 \xc0\xaf\n", kBefore, kRefused + "36 characters ignored: is not UTF-8\n"},
      {e4 + "position startpos moves e2e4 e7e5 \xc3\xa9\n", kBefore, "info string error: illegal move \xc3\xa9, position unchanged\n"},
      {e4 + "isready\n" + std::string(kMaxLineLength + 5, 'x'), kBefore,  // the input ends inside it
       "readyok\n" + kRefused + "1048581 characters ignored: longer than 1048576 characters\n"},
      {e4 + "position fen " + kRookEnding + repeated(" 0", 120) + "\n", kBefore, "info string error: position refused: \n"},
      {"position startpos\ngo infinite\n" + std::string(2 << 20, 'x') + "\nisready\nstop\n", "",
       "(?:info [^\\n]*\\n)+" + kRefused + "2097152 characters ignored: longer than 1048576 characters\\nreadyok\\n(?:info [^\\n]*\\n)*bestmove [^\\n]*\\n"},
      {e4 + "go depth 3\n" + positionLine("e7e5 g1f3", 70000) + "isready\n", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -",
       "(?:info [^\\n]*\\n)+bestmove [^\\n]*\\nreadyok\\n"},
      {"position startpos moves" + repeated(" g1f3 g8f6 f3g1 f6g8", 500) + " e2e4\n", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -", "", 2001},
      {std::string("position fen ") + kRookEnding + " moves" + repeated(" h1h2 e8d8 h2h1 d8e8", 600) + " e1f1\n", "4k3/8/8/8/8/8/8/5K1R b - -", "", 2401},
      {"setoption name BookFile value " + path + "\nsetoption name SyzygyPath value " + path + "\n", "",
       "info string BookFile: a path of 5005 characters is too long, the book is unchanged\n"
       "info string SyzygyPath: a path of 5005 characters is too long, the tables are unchanged\n"},
  });
}

// The built program, as a GUI runs it, in a directory of its own with the shipped book beside it.
struct UciProgram : ::testing::Test {
  EngineDir dir;
  UciProgram() { std::filesystem::copy_file(MORVEK_SOURCE_DIR "/data/Morvek.bk", dir.path + "/Morvek.bk"); }
  EngineRun runWhole(const std::string& input) {
    EngineRun result = runEngine(dir, input, 60000);
    EXPECT_EQ(result.exitCode, 0) << input;  // also -1 on a timeout
    EXPECT_EQ(result.err, "") << input;
    return result;
  }
  // After "uci", the answers to input, one record per "go".
  std::vector<UciGo> run(const std::string& input) { return uciGoes(runWhole("uci\n" + input).out); }
};

// Piped in one go, each command answered in order, in the fields strict runners read; nothing after "quit".
TEST_F(UciProgram, AnswersInOrder) {
  const std::string info = "(?:info depth \\d+ seldepth \\d+ score (?:cp -?\\d+|mate -?\\d+)(?: lowerbound)? time \\d+ nodes \\d+ nps \\d+ hashfull \\d+ pv(?: [a-h][1-8][a-h][1-8][qrbn]?)+\\n)+";
  const struct { std::string input, out; } cases[] = {
      {"\n  \nuci\r\nsetoption name NoSuch value 1\r\nsetoption name ownbook value false\nfoo\nisready\r\ndebug on\r\nstop\r\n"
       "ponderhit\r\nquit\r\ngo depth 3\n",
       "info string unknown option NoSuch\ninfo string unknown command foo\nreadyok\n"},
      // A depth, or no book (which holds e2e4 only): the first move is searched.
      {"uci\nposition startpos\ngo depth 2\nsetoption name OwnBook value false\ngo movetime 100\n",
       info + "bestmove [^\\n]*\n" + info + "bestmove [^\\n]*\n"},
  };
  std::ofstream(dir.path + "/Morvek.bk") << "e2e4\n";
  const std::string greeting = kGreeting + uciIdentity();
  for (const auto& c : cases) {
    const EngineRun result = runWhole(c.input);
    ASSERT_EQ(result.out.compare(0, greeting.size(), greeting), 0) << result.out;
    EXPECT_TRUE(std::regex_match(result.out.substr(greeting.size()), std::regex(c.out))) << c.input << "\n" << result.out;
  }
}

// While thinking: "isready", "stop", "ponderhit", the input's end (learning saved); currmove once a second after the first.
TEST_F(UciProgram, ReadsInputWhileThinking) {
  std::filesystem::remove(dir.path + "/Morvek.bk");  // every move searched
  EngineProcess engine = launchEngine(dir);
  std::string seen;
  ASSERT_TRUE(sendInput(engine, "uci\nposition startpos moves e2e4\ngo depth 5\ngo infinite\n"));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(waitForText(engine, "info currmove ", seen, 0, 20000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  ASSERT_TRUE(waitForText(engine, "info currmove ", seen, seen.find("info currmove ") + 1, 20000));
  // Then pondering: the ponder move played, the clock runs; not played, stop. Each step's bestmoves so far.
  const struct { std::string input, awaited; size_t bestmoves; } steps[] = {
      {"isready\n", "readyok\n", 1}, {"stop\n", "bestmove ", 2},
      {"position startpos moves e2e4 e7e5 g1f3\ngo ponder wtime 3000 btime 3000\n", "info depth 4 ", 2}, {"ponderhit\n", "bestmove ", 3},
      {"position startpos moves d2d4\ngo ponder wtime 3000 btime 3000\n", "info depth 4 ", 3}, {"stop\n", "bestmove ", 4},
      {"go infinite\n", "info depth 4 ", 4}};
  for (const auto& s : steps) {
    ASSERT_TRUE(step(engine, seen, s.input, s.awaited)) << s.input;
    EXPECT_EQ(countOf(seen, "bestmove"), s.bestmoves) << s.input;
  }
  const EngineRun rest = finishEngine(engine);  // the input ends
  const std::vector<UciGo> goes = uciGoes(seen + rest.out);
  ASSERT_TRUE(rest.exitCode == 0 && goes.size() == 5) << rest.exitCode << "\n" << seen + rest.out;
  const size_t currmoves = goes[1].count("info currmove"), seconds = size_t(parseInfo(goes[1].lines[goes[1].lines.size() - 2]).time / 1000);
  EXPECT_TRUE(goes[0].count("info currmove") == 0 && currmoves >= 2 && currmoves <= seconds) << currmoves << " in " << seconds << " s";
  EXPECT_TRUE(dir.has("zivorur12.dat"));
}

// MultiPV 3, and searchmoves (illegal ones said and passed over): a block of lines 1..k a depth, distinct
// moves, best first; the last block repeats the depth before and bestmove leads it.
TEST_F(UciProgram, MultiPvAndSearchMovesReportTheBestLinesAllowed) {
  const auto order = [](const UciInfo& info) {  // a mate reads as greater than any centipawn score
    return info.scoreKind != "mate" ? info.score : info.score > 0 ? 1000000 - info.score : -1000000 - info.score;
  };
  const std::string kQueen = "6k1/5ppp/3n4/8/1q6/8/5PPP/1R2R1K1 w - - 0 1",
                    kIgnored = "info string searchmoves: e2e4 is no legal move here, ignored\n";
  // expected: the moves each leading line may start with; gap: line 1's least lead, cp; scores: of lines 1 and 2
  const struct { std::string fen, words; size_t lines; std::vector<std::set<std::string>> expected; long long gap; std::string scores, said; } rows[] = {
      {kQueen, "", 3, {{"b1b4"}, {"e1e8"}}, 300, "", ""},  // rook takes queen, far ahead of the back-rank capture
      {"6k1/5ppp/8/8/1q6/8/1r3PPP/1R2R1K1 w - - 0 1", "", 3, {{"e1e8"}, {"b1c1", "b1a1", "b1d1"}}, 800, "", ""},  // or loses the rook
      {"r5k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "", 3, {{"a1a8"}}, 0, "mate 1 cp", ""},
      {"k7/8/7p/8/8/8/1R6/K7 b - - 0 1", "", 2, {{"a8a7", "h6h5"}, {"a8a7", "h6h5"}}, -1, "", ""},  // two legal moves
      {kQueen, " searchmoves h2h3", 1, {{"h2h3"}}, -1, "", ""},
      {kQueen, " searchmoves e1e8 e2e4 g2g3", 2, {{"e1e8", "g2g3"}, {"e1e8", "g2g3"}}, -1, "", kIgnored},
      {kQueen, " searchmoves h2h3 g2g3", 2, {{"h2h3", "g2g3"}, {"h2h3", "g2g3"}}, -1, "", ""},
      {kQueen, " searchmoves e2e4", 3, {{"b1b4"}}, -1, "", kIgnored + "info string searchmoves: no legal move given, searching every move\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fen + row.words);
    const std::vector<UciGo> result = run("setoption name MultiPV value 3\nposition fen " + row.fen + "\ngo depth 6" + row.words + "\n");
    ASSERT_EQ(result.size(), 1u);
    std::vector<std::vector<UciInfo>> blocks;
    for (const UciInfo& info : result[0].infos) {
      if (info.multipv == 1 || blocks.empty()) blocks.emplace_back();
      EXPECT_EQ(info.multipv, int(blocks.back().size()) + 1);
      EXPECT_EQ(info.depth, blocks.back().empty() ? info.depth : blocks.back()[0].depth);
      EXPECT_TRUE(row.lines == 3 || row.expected[0].count(info.pv.at(0))) << info.pv[0];  // fewer lines: only the moves allowed
      blocks.back().push_back(info);
    }
    ASSERT_FALSE(blocks.empty());
    for (size_t b = 0; b < blocks.size(); ++b) {
      EXPECT_EQ(blocks[b].size(), row.lines) << "block " << b;
      std::set<std::string> moves;
      for (const UciInfo& info : blocks[b]) EXPECT_TRUE(moves.insert(info.pv.at(0)).second) << "a move twice at depth " << info.depth;
      const bool repeat = b > 0 && b + 1 == blocks.size();
      EXPECT_TRUE(b == 0 || repeat || blocks[b][0].depth == blocks[b - 1][0].depth + 1) << "block " << b;
      for (size_t i = 0; repeat && i < std::min(blocks[b].size(), blocks[b - 1].size()); ++i)
        EXPECT_TRUE(blocks[b][i].pv == blocks[b - 1][i].pv && blocks[b][i].score == blocks[b - 1][i].score) << "line " << i + 1;
    }
    const std::vector<UciInfo>& last = blocks.back();
    EXPECT_EQ(result[0].best + " " + std::to_string(last[0].depth), last[0].pv.at(0) + " 6");
    for (size_t i = 0; i < row.expected.size(); ++i) EXPECT_EQ(row.expected[i].count(last[i].pv[0]), 1u) << "line " << i + 1;
    for (size_t i = 1; i < last.size(); ++i) EXPECT_GE(order(last[i - 1]), order(last[i]));
    EXPECT_TRUE(row.gap < 0 || order(last[0]) - order(last[1]) >= row.gap);
    EXPECT_EQ(row.scores.empty() ? "" : last[0].scoreText() + " " + last[1].scoreKind, row.scores);
    std::string said;
    for (const std::string& line : result[0].lines) said += line.rfind("info string", 0) == 0 ? line + "\n" : "";
    EXPECT_EQ(said, row.said);
  }
}

// Stopped early, MultiPV still ends with its move's line; set back to 1, "go depth 7" prints as it always did.
TEST_F(UciProgram, MultiPvStoppedEarlyAndMultiPvOne) {
  const std::vector<std::string> today = {
#include "tests/data/multipv1_depth7.inc"
  };
  const std::vector<UciGo> result = run("setoption name MultiPV value 3\nposition fen " + std::string(kTestPositions[0]) +
                                        "\ngo nodes 1\nposition fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1BBPPP/R2QK2R w KQ - 0 9"
                                        "\ngo depth 4\nsetoption name MultiPV value 1\ngo depth 7\n");
  ASSERT_EQ(result.size(), 3u);
  ASSERT_EQ(result[0].infos.size(), 1u);
  EXPECT_EQ(std::to_string(result[0].last().depth) + " " + std::to_string(result[0].last().multipv) + " " +
                result[0].last().pv.at(0), "2 1 " + result[0].best);
  std::vector<std::string> seen;
  bool deeper = false;
  for (const UciInfo& info : result[2].infos) {
    deeper = deeper || info.seldepth > info.depth;
    std::string text = std::to_string(info.depth) + " " + info.scoreText() + " " + std::to_string(info.nodes);
    for (const std::string& move : info.pv) text += " " + move;
    seen.push_back(text + (info.multipv ? " multipv" : ""));  // none with one line
  }
  ASSERT_FALSE(seen.empty());
  seen.pop_back();  // the last line before bestmove is new: the end of the search again
  EXPECT_EQ(seen, today);
  EXPECT_TRUE(deeper);
}

// A scored line, the latest, before every bestmove; movetime T ends at T - 10 - T/40 ms (under load: nearly all).
TEST_F(UciProgram, EveryBestmoveFollowsAScoredInfoLineAndMovetimeIsKept) {
  const int moveTime = 250, timed = 12;
  const std::vector<UciGo> result = run(
      "position startpos\n" + repeated("go movetime 250\n", 8) + "setoption name OwnBook value false\n" +
      repeated("position fen 8/5pk1/6p1/8/8/6P1/5PK1/8 w - - 0 1\ngo movetime 250\nposition fen 8/2p2pk1/3p2p1/8/8/3P2P1/2P2PK1/8 w - - 0 1\n"
               "go movetime 250\n", timed / 2) +
      "position fen 7k/5Q2/6K1/8/8/8/8/8 b - -\ngo depth 3\nposition fen " + kMateInOne + " moves a1a8\ngo\n");
  ASSERT_EQ(result.size(), 10u + timed);
  int books = 0, notTens = 0;
  std::vector<long long> times;
  for (size_t g = 0; g < 8 + timed; ++g) {
    SCOPED_TRACE(g);
    const UciGo& go = result[g];
    ASSERT_TRUE(go.lines.size() >= 2 && go.lines[go.lines.size() - 2].rfind("info depth ", 0) == 0) << go.lines[0];
    const UciInfo end = parseInfo(go.lines[go.lines.size() - 2]);
    EXPECT_EQ(end.pv.at(0), go.best);
    for (const UciInfo& info : go.infos) {
      EXPECT_TRUE(info.time <= end.time && info.nodes <= end.nodes && info.seldepth >= info.depth);
      EXPECT_TRUE(info.hashfull >= 0 && info.hashfull <= 1000);
      EXPECT_EQ(info.nps, info.nodes * 1000 / std::max(info.time, 1LL));
    }
    if (go.count("info string book move") == 1) {
      ++books;
      EXPECT_EQ(go.lines[0] + " " + std::to_string(go.lines.size()) + " " + std::to_string(end.depth) + " " + end.scoreKind +
                    " " + std::to_string(end.pv.size()), "info string book move 3 0 cp 1");
    } else {
      EXPECT_GE(end.depth, 2);
      notTens += end.time % 10 != 0;
    }
    if (g >= 8) times.push_back(end.time);
  }
  EXPECT_GE(books, 1);    // each think draws; one in twenty skips the book at the start
  EXPECT_GE(notTens, 1);  // a real millisecond clock, not centiseconds times ten
  EXPECT_EQ(result[8 + timed].lines, (std::vector<std::string>{"info depth 0 score cp 0", "bestmove 0000"}));
  EXPECT_EQ(result[9 + timed].lines, (std::vector<std::string>{"info depth 0 score mate 0", "bestmove 0000"}));
#ifdef NDEBUG  // a sanitizer's engine is too slow to poll in time
  const std::string text = ::testing::PrintToString(times);
  const long long earliest = moveTime - (10 + moveTime / 40) - 10;
  EXPECT_GE(std::count_if(times.begin(), times.end(), [&](long long t) { return t >= earliest; }), timed - 2) << text;
  std::sort(times.begin(), times.end());
  EXPECT_LE(times[timed / 2], moveTime) << text;
  EXPECT_LT(times.back(), 2 * moveTime) << text;
#endif
}

// Analysis learns nothing: the learning file comes out as without a search; a game move changes it; "quit" while
// thinking ends the search and, asked, saves nothing.
TEST_F(UciProgram, AnalysisAndSaveLearningFalseWriteNoLearning) {
  const std::string position = "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 e8g8\n",
                    learning = dir.path + "/zivorur12.dat";
  run(position);
  const std::string untouched = readFile(learning);
  ASSERT_FALSE(untouched.empty());
  std::remove(learning.c_str());
  run("setoption name OwnBook value false\n" + position +
      "setoption name MultiPV value 3\ngo movetime 200\nsetoption name MultiPV value 1\n"
      "go movetime 200 searchmoves h2h3\ngo mate 1 movetime 200\ngo infinite\nstop\n");
  EXPECT_EQ(readFile(learning), untouched);
  std::remove(learning.c_str());
  run("setoption name OwnBook value false\n" + position + "go movetime 200\n");
  EXPECT_NE(readFile(learning), untouched);
  std::remove(learning.c_str());
  EXPECT_EQ(run("setoption name OwnBook value false\nsetoption name SaveLearning value false\n" + position + "go movetime 600000\nquit\n").size(), 1u);
  EXPECT_EQ(readFile(learning), "");
}

}  // namespace
