// The UCI words by their values: the UCI loop runs in this process on
// scripted input, with a clock that advances a second at every reading, so
// that what each "go" leaves behind (its budget, the position, the score
// and move it answers) is exact and needs no waiting.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <unistd.h>

#include "book/book_table.h"
#include "engine/clock.h"
#include "engine/session.h"
#include "engine/strength.h"
#include "engine/uci.h"
#include "engine/uci_options.h"
#include "platform/input.h"
#include "search/search_clock.h"
#include "search/trans_table.h"
#include "tests/test_support.h"

namespace {

uint32_t fakeTicks = 0;
uint32_t secondPerReading() { return fakeTicks += 1000; }
uint32_t millisecondPerReading() { return fakeTicks += 1; }

// Output of the loop after its identity lines.
std::string uciRun(const std::string& commands, uint32_t (*ticks)() = secondPerReading) {
  initEngineOnce();
  char inputName[] = "/tmp/morvek-uci-in-XXXXXX", outputName[] = "/tmp/morvek-uci-out-XXXXXX";
  const int in = mkstemp(inputName), out = mkstemp(outputName);
  unlink(inputName);
  unlink(outputName);
  if (in < 0 || out < 0 || write(in, commands.data(), commands.size()) != ssize_t(commands.size())) return "";
  lseek(in, 0, SEEK_SET);
  fflush(stdout);
  const int savedOut = dup(STDOUT_FILENO);
  dup2(out, STDOUT_FILENO);
  resetInput(in);
  setTickSource(ticks);
  CommandLoop loop{};
  uciLoop(loop);
  setTickSource(nullptr);
  fflush(stdout);
  dup2(savedOut, STDOUT_FILENO);
  close(savedOut);
  resetInput(STDIN_FILENO);
  std::string text(size_t(lseek(out, 0, SEEK_END)), '\0');
  const bool read = pread(out, &text[0], text.size(), 0) == ssize_t(text.size());
  close(in);
  close(out);
  const size_t identity = text.find("uciok\n");
  return read && identity != std::string::npos ? text.substr(identity + 6) : "";
}

// No legal move for the side to move: "go" sets the budget and answers at once.
const char* const kWhiteMated = "6k1/8/8/8/8/8/5PPP/r5K1 w - -";
const char* const kBlackMated = "R5k1/5ppp/8/8/8/8/8/6K1 b - -";
constexpr int64_t kYear = 100LL * 3600 * 24 * 366;  // the longest clock, in centiseconds

// Milliseconds, the side to move's own words, movestogo 1 as the last move of
// a control, and every edge value; the budget and the ceiling it may double to.
TEST(UciWords, ClockWordsGiveTheSideToMoveItsBudget) {
  const struct { bool white; const char* words; int64_t budget, ceiling; } rows[] = {
      {true, "wtime 60000 btime 1000", 129, 1457},  // sudden death: 5830 cs usable over 45 moves
      {false, "wtime 1000 btime 60000", 129, 1457},
      {true, "wtime 60000 btime 1000 winc 2000 binc 0", 279, 1457},  // and 3/4 of the increment
      {false, "btime 60000 wtime 1 binc 2000 winc 99999", 279, 1457},
      {true, "wtime 60000 winc -2000", 129, 1457},
      {true, "wtime 1000 btime 1 movestogo 1", 78, 78},  // all but the reserve of 22 cs
      {true, "wtime 1000 movestogo 2", 39, 39},          // half of it
      {true, "wtime 1000 movestogo 999", 0, 39},
      {true, "wtime 1000 movestogo 0", 1, 19},           // 0, 1000 and less: sudden death
      {true, "wtime 1000 movestogo 1000", 1, 19},
      {true, "wtime 1000 movestogo -3", 1, 19},
      {true, "wtime 0 btime 60000", 0, 0},
      {true, "wtime -5000 btime 60000", 0, 0},
      {true, "wtime", 0, 0},
      {true, "wtime 99999999999999 btime 1", 68515199, 770795995},
      {true, "movetime 1500 wtime 60000", kYear, kYear},  // a deadline of its own, in ms
      {true, "movetime 19", kYear, kYear},
      {true, "movetime 0", kYear, kYear},
      {true, "movetime -20", kYear, kYear},
      {true, "", 750, kNoCeiling},
      {true, "searchmoves a1a2 wtime 60000", 129, 1457},
      {true, "depth 3 wtime 60000", 129, 1457},  // a depth with a clock keeps the clock
      {true, "depth 3", kYear, kYear},           // these end only by their limit or "stop"
      {true, "nodes 100", kYear, kYear},
      {true, "nodes 0", kYear, kYear},
      {true, "infinite wtime 60000", kYear, kYear},
      {true, "ponder wtime 60000", kYear, kYear},
  };
  for (const auto& row : rows) {
    const std::string fen = row.white ? kWhiteMated : kBlackMated;
    const std::string output = uciRun("position fen " + fen + "\ngo " + row.words + "\n");
    EXPECT_TRUE(std::regex_match(output, std::regex("(?:info [^\\n]*\\n)*bestmove 0000\\n"))) << output;
    EXPECT_EQ(std::make_pair(searchClock.budget, budgetPlan.ceiling), std::make_pair(row.budget, row.ceiling))
        << (row.white ? "white: " : "black: ") << row.words;
  }
}

// Every option by its row: names in any case, check values "true" and
// "false" in any case and nothing else, spins within their range (both ends
// taken, trailing blanks allowed), UCI_Elo clamped; the state each leaves.
TEST(UciOptions, EachRowSetsItsValueOrSaysWhy) {
  const struct { const char* line; const char* said; std::function<bool()> holds; } rows[] = {
      {"setoption name ownbook value FALSE", "", [] { return !uciSettings.ownBook; }},
      {"setoption name OwnBook value True", "", [] { return uciSettings.ownBook; }},
      {"setoption name OwnBook value yes", "info string OwnBook must be true or false\n", [] { return uciSettings.ownBook; }},
      {"setoption name UCI_ShowWDL value true  ", "", [] { return uciSettings.showWdl; }},
      {"setoption name uci_showwdl value false", "", [] { return !uciSettings.showWdl; }},
      {"setoption name SaveLearning value false", "", [] { return !uciSettings.saveLearning; }},
      {"setoption name SaveLearning value true", "", [] { return uciSettings.saveLearning; }},
      {"setoption name Ponder value true", "", [] { return uciSettings.ponder; }},
      {"setoption name Ponder value false", "", [] { return !uciSettings.ponder; }},
      {"setoption name multipv value 256", "", [] { return uciSettings.multiPv == 256; }},
      {"setoption name MultiPV value 257", "info string MultiPV must be a whole number from 1 to 256\n",
       [] { return uciSettings.multiPv == 256; }},
      {"setoption name MultiPV value 0", "info string MultiPV must be a whole number from 1 to 256\n",
       [] { return uciSettings.multiPv == 256; }},
      {"setoption name MultiPV value 1 ", "", [] { return uciSettings.multiPv == 1; }},
      {"setoption name MultiPV value 2x", "info string MultiPV must be a whole number from 1 to 256\n",
       [] { return uciSettings.multiPv == 1; }},
      {"setoption name move overhead value 5000", "", [] { return uciSettings.moveOverheadMs == 5000 && moveOverheadCs == 500; }},
      {"setoption name Move Overhead value 0", "", [] { return moveOverheadCs == 0; }},
      {"setoption name Hash value 2", "", [] { return tableMegabytes() == 2; }},
      {"setoption name Hash value 3", "info string Hash 2 MB, rounded down to a power of two\n", [] { return tableMegabytes() == 2; }},
      {"setoption name Hash value 0", "info string Hash must be a whole number from 1 to 65536\n", [] { return tableMegabytes() == 2; }},
      {"setoption name UCI_Elo value 1900", "", [] { return strength.elo == 1900; }},
      {"setoption name UCI_Elo value 1000", "", [] { return strength.elo == 1000; }},
      {"setoption name UCI_Elo value 500", "info string UCI_Elo 500 is out of range, set to 1000\n", [] { return strength.elo == 1000; }},
      {"setoption name UCI_Elo value 2500", "info string UCI_Elo 2500 is out of range, set to 1900\n", [] { return strength.elo == 1900; }},
      {"setoption name UCI_Elo value strong", "info string UCI_Elo needs a number, not \"strong\"; kept at 1900\n",
       [] { return strength.elo == 1900; }},
      {"setoption name UCI_LimitStrength value true", "", [] { return strength.limited; }},
      {"setoption name UCI_LimitStrength value false", "", [] { return !strength.limited; }},
      {"setoption name Threads value 4", "info string unknown option Threads\n", [] { return true; }},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(uciRun(std::string(row.line) + "\n"), row.said) << row.line;
    EXPECT_TRUE(row.holds()) << row.line;
  }
  uciRun("setoption name Hash value " + std::to_string(kDefaultTableMegabytes) + "\n");
}

// The documented list is the table: docs/options.md has one row for each
// option, in order, with the type, default and range the engine announces.
TEST(UciOptions, TheDocumentedListIsTheTable) {
  std::ifstream file(MORVEK_SOURCE_DIR "/docs/options.md");
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("| `", 0) != 0) continue;
    std::vector<std::string> cells;
    std::istringstream parts(line.substr(1));
    for (std::string cell; std::getline(parts, cell, '|');) cells.push_back(cell.substr(1, cell.size() - 2));
    rows.push_back(cells);
  }
  ASSERT_EQ(int(rows.size()), kUciOptionCount);
  const char* const kTypes[] = {"check", "spin", "button", "string"};
  for (int i = 0; i < kUciOptionCount; ++i) {
    const UciOption& option = kUciOptions[i];
    const std::vector<std::string>& row = rows[size_t(i)];
    ASSERT_GE(row.size(), 4u);
    EXPECT_EQ(row[0], std::string("`") + option.name + "`");
    EXPECT_EQ(row[1], kTypes[int(option.type)]) << option.name;
    std::string announced;
    if (option.type == OptionType::kCheck) announced = option.announced() ? "true" : "false";
    if (option.type == OptionType::kSpin) announced = std::to_string(option.announced());
    if (option.type == OptionType::kString) announced = "<empty>";
    EXPECT_EQ(row[2], announced) << option.name;
    if (option.type == OptionType::kSpin) {
      EXPECT_EQ(row[3].substr(0, row[3].find(" (")), std::to_string(option.least) + " to " + std::to_string(option.most))
          << option.name;
    }
  }
}

// "Move Overhead": the lag of every move the clock must last is kept back
// (sudden death spreads the clock over 45 moves at the start, a control over
// its moves to go), a fixed move time ends that much sooner; 0 is the
// engine as it always was.
TEST(UciWords, MoveOverheadIsKeptBackForEveryMovePlanned) {
  const struct { const char* overhead; const char* words; int64_t budget, ceiling; const char* said; } rows[] = {
      {"100", "wtime 60000 btime 1000", 119, 1348, ""},  // 5550 cs: 5392 usable over 45 moves
      {"95", "wtime 60000 btime 1000", 119, 1348, ""},   // rounded up to whole centiseconds
      {"100", "wtime 1000 movestogo 1", 68, 68, ""},     // 90 cs less the reserve of 22
      {"100", "wtime 1000 movestogo 2", 29, 29, ""},     // 80 cs less the reserve, halved
      {"100", "wtime 100 btime 60000", 0, 0, ""},        // all of it lag
      {"5000", "wtime 60000 btime 1000", 0, 0, ""},      // the largest value is taken
      {"0", "wtime 60000 btime 1000", 129, 1457, ""},
      {"5001", "wtime 60000 btime 1000", 129, 1457, "info string Move Overhead must be a whole number from 0 to 5000\n"},
      {"-1", "wtime 60000 btime 1000", 129, 1457, "info string Move Overhead must be a whole number from 0 to 5000\n"},
  };
  for (const auto& row : rows) {
    const std::string output = uciRun(std::string("setoption name Move Overhead value ") + row.overhead + "\nposition fen " +
                                      kWhiteMated + "\ngo " + row.words + "\n");
    EXPECT_EQ(output.substr(0, output.find("info depth")), row.said) << row.overhead;
    EXPECT_EQ(std::make_pair(searchClock.budget, budgetPlan.ceiling), std::make_pair(row.budget, row.ceiling))
        << row.overhead << " " << row.words;
    uciRun("setoption name Move Overhead value 0\n");
  }
  // A move time ends that much sooner: 1000 - 35 ms, then 35 ms less 20
  // (this clock moves a millisecond at every reading, one at every poll).
  const std::string start = "position fen r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - -\n";
  uciRun(start + "go movetime 1000\n", millisecondPerReading);
  const uint64_t plain = searchClock.pollCount / 4096;
  uciRun("setoption name Move Overhead value 20\n" + start + "go movetime 1000\nsetoption name Move Overhead value 0\n",
         millisecondPerReading);
  const uint64_t shorter = searchClock.pollCount / 4096;
  EXPECT_LT(shorter, plain);
  EXPECT_GT(shorter + 40, plain);
}

// Placement, side and castling of the game's position, and its ply.
std::string gameState() {
  char text[kPositionTextSize];
  std::string state = positionText(text);
  const size_t pawnField = state.find(' ', state.find(' ', state.find(' ') + 1) + 1);
  return state.substr(0, pawnField) + " ply " + std::to_string(pos.gamePly);
}

// The score text and move of the last thinking line, and its depth.
struct Answer {
  std::string score, move, pvMove;
  int depth = 0;
};
Answer answerOf(const std::string& output) {
  Answer a;
  const std::regex info("info depth (\\d+) .*score ((?:cp|mate) -?\\d+).* pv ([a-h1-8qrbn]+)");
  const std::regex best("bestmove (\\S+)");
  std::smatch m;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, m, info)) a.depth = std::max(a.depth, std::stoi(m[1])), a.score = m[2], a.pvMove = m[3];
    if (std::regex_search(line, m, best)) a.move = m[1];
  }
  return a;
}

// Scores in centipawns and mates in moves, both signs; the depth kept to
// (2 at least, 90 at most); the position as it was set after every "go".
TEST(UciWords, ScoresMatesDepthsAndThePositionAfterGo) {
  const struct { const char* fen; const char* words; const char* move; const char* score; int depth; } rows[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", "depth 3", "a1a8", "mate 1", 2},  // a mate ends the deepening
      {"k7/8/1K6/8/8/8/8/7R b - -", "depth 3", "a8b8", "mate -1", 3},     // being mated does not,
      {"k7/8/1K6/8/8/8/8/7R b - -", "depth 10", "a8b8", "mate -1", 7},    // before depth 7
      {"2k5/8/1K6/8/8/8/8/7R w - -", "depth 4", "h1d1", "mate 2", 3},
      {"4k3/8/8/8/8/8/8/4K2Q w - -", "depth 2", "h1e4", "cp 1020", 2},
      {"4k3/8/8/8/8/8/8/4K2Q b - -", "depth 2", "e8e7", "cp -1019", 2},
      {"4k3/8/8/8/8/8/8/3NKN2 w - -", "depth 2", "f1e3", "cp 0", 2},
      {"4k3/8/8/8/8/8/8/4K2R w - -", "depth 0", "h1h7", "cp 511", 2},
      {"4k3/8/8/8/8/8/8/4K2R w - -", "depth -5", "h1h7", "cp 511", 2},
      {"4k3/8/8/8/8/8/8/4K2R w - -", "depth 3", "h1h7", "cp 511", 3},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen));
    const std::string set = gameState();
    // Twice: the second "go" must see the same position as the first.
    const std::string output = uciRun(std::string("position fen ") + row.fen + "\ngo " + row.words + "\ngo " + row.words + "\n");
    const size_t second = output.find('\n', output.find("bestmove"));
    const Answer first = answerOf(output.substr(0, second)), again = answerOf(output.substr(second));
    EXPECT_EQ(first.move, row.move) << row.fen;
    EXPECT_EQ(first.pvMove, row.move) << row.fen;
    EXPECT_EQ(first.score, row.score) << row.fen;
    EXPECT_EQ(first.depth, row.depth) << row.fen << " " << row.words;
    EXPECT_EQ(again.move, row.move) << row.fen;
    EXPECT_EQ(gameState(), set);
  }
}

// "nodes": the count is looked at every 4096 nodes, and the search stops at
// the first look that reaches the limit.
TEST(UciWords, NodesStopAtTheFirstLookThatReachesTheLimit) {
  for (const auto& [nodes, looks] : {std::pair<int, uint64_t>{1, 1}, {4096, 1}, {4097, 2}}) {
    EXPECT_NE(answerOf(uciRun("position startpos\ngo nodes " + std::to_string(nodes) + "\n")).move, "");
    EXPECT_EQ(searchClock.pollCount / 4096, looks) << nodes;  // and a few calls on the way out
  }
}

// The state each word leaves: the position after "position" (all or
// nothing), "ucinewgame" and a refused text; what was answered, in order.
TEST(UciWords, EachWordLeavesItsState) {
  const char* const kRook = "4k3/8/8/8/8/8/8/4K2R w K - 0 1";
  const struct { std::string input, fenAfter, output; } rows[] = {
      {"position startpos moves e2e4 e7e5\n", "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6", ""},
      {std::string("position fen ") + kRook + " moves e1g1 e8d7\n", "8/3k4/8/8/8/8/8/5RK1 w - -", ""},
      {std::string("position fen ") + kRook + "\nposition fen " + kRook + " moves h1h2 e8e7 h2h9\n", kRook,
       "info string error: illegal move h2h9, position unchanged\n"},
      {std::string("position fen ") + kRook + "\nposition fen 4k3/8/8/8/8/8/8/4K2R w X - 0 1\n", kRook,
       "info string error: position refused: 4k3/8/8/8/8/8/8/4K2R w X - 0 1\n"},
      {std::string("position fen ") + kRook + "\nposition moves e1g1\nposition fen\n", kRook,
       "info string error: position needs startpos or fen\ninfo string error: position refused: \n"},
      {std::string("position fen ") + kRook + "\nposition startpos e2e4\n", kRook,
       "info string error: unexpected e2e4 in position\n"},
      {std::string("position fen ") + kRook + "\nucinewgame\n", kStartFen, ""},
      {"setoption name Own Book value true\nsetoption value x\nstop\nponderhit\ndebug on\nregister later\nisready\n", "",
       "info string unknown option Own Book\ninfo string setoption needs a name\nreadyok\n"},
      // Searching: "isready" is answered at once, and nothing ends "go
      // infinite" but "stop" or the end of the input, even a mate found.
      {"position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -\ngo infinite\nisready\nstop\nisready\n", "",
       "(?:info [^\\n]*\\n)+readyok\\n(?:info [^\\n]*\\n)*bestmove a1a8\\nreadyok\\n"},
      {"position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -\ngo ponder wtime 1000 btime 1000\nisready\nstop\n", "",
       "(?:info [^\\n]*\\n)+readyok\\n(?:info [^\\n]*\\n)*bestmove a1a8\\n"},
      // Lines that came during a search wait, and keep their order behind it.
      {"position fen r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - -\ngo depth 5\nucinewgame\ngo depth 5\nisready\n",
       kStartFen, "(?:info [^\\n]*\\n)+bestmove [^\\n]*\\n(?:info [^\\n]*\\n)+bestmove [^\\n]*\\nreadyok\\n"},
  };
  for (const auto& row : rows) {
    const std::string output = uciRun(row.input);
    EXPECT_TRUE(std::regex_match(output, std::regex(row.output))) << row.input << "\n" << output;
    if (row.fenAfter.empty()) continue;
    const std::string after = gameState();
    ASSERT_TRUE(setFen(row.fenAfter.c_str()));
    EXPECT_EQ(after.substr(0, after.find(" ply ")), gameState().substr(0, after.find(" ply "))) << row.input;
  }
}

// "ponderhit": the clock words of "go ponder" count from then on, with the
// time pondered so far credited; a bare ponder search never ends on its own.
TEST(UciWords, PonderhitCreditsTheTimePondered) {
  const std::string start = "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3\n";
  std::string output = uciRun(start + "go wtime 60000 btime 60000\n");
  EXPECT_EQ(searchClock.budget, 129);
  // The search reads the clock for its reports before it first looks at the
  // input: the credit is whole seconds of this clock, at least one, and no
  // more than the run's clock went on (in centiseconds, not milliseconds).
  fakeTicks = 0;
  output = uciRun(start + "go ponder wtime 60000 btime 60000\nponderhit\n");
  const int64_t credit = searchClock.budget - 129;
  EXPECT_GE(credit, 100);
  EXPECT_EQ(credit % 100, 0);
  EXPECT_LE(credit, int64_t(fakeTicks / 10));
  EXPECT_NE(answerOf(output).move, "");
  // Two seconds on the clock give 6 cs, doubled: a search stops at its first
  // look at the clock (a second later), one pondered a second goes on.
  uciRun(start + "go wtime 2000 btime 2000\n");
  const uint64_t unpondered = searchClock.pollCount;
  uciRun(start + "go ponder wtime 2000 btime 2000\nponderhit\n");
  EXPECT_EQ(unpondered / 4096, 1u);
  EXPECT_GT(searchClock.pollCount, unpondered + 1000);
}

// Lines as GUIs send them: a whole game in one "position" line before every
// move, however long; a line beyond the reader's limit, or one that cannot be
// text, is refused whole and the next one answered.
std::string positionLine(const std::string& moves, size_t length) {
  std::string line = "position startpos moves e2e4";
  const std::string last = " " + moves + "\n";
  line += std::string(length - line.size() - last.size() + 1, ' ');
  return line + last;
}

// A random legal game of 260 plies made with chess.js: the moves, then the
// FEN after every ply.
struct StoredGame {
  std::vector<std::string> moves, fens;
};
StoredGame storedGame() {
  StoredGame game;
  std::ifstream file(MORVEK_TEST_DATA "/long_game.txt");
  std::string line;
  std::getline(file, line);
  std::istringstream words(line);
  for (std::string word; words >> word;) game.moves.push_back(word);
  while (std::getline(file, line)) game.fens.push_back(line);
  return game;
}

TEST(UciLongInput, AGameSentWholeBeforeEveryMoveIsPlayedFromItsPosition) {
  const StoredGame game = storedGame();
  ASSERT_EQ(game.moves.size(), 260u);
  ASSERT_EQ(game.fens.size(), 260u);
  std::string input, moves;
  for (const std::string& move : game.moves) {
    moves += " " + move;
    input += "position startpos moves" + moves + "\ngo depth 1\n";
  }
  const std::string output = uciRun(input);
  const std::string after = gameState();
  std::vector<std::string> answers;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_EQ(line.find("error"), std::string::npos) << line;
    if (line.rfind("bestmove ", 0) == 0) answers.push_back(line.substr(9, line.find(' ', 9) - 9));
  }
  ASSERT_EQ(answers.size(), game.moves.size());
  for (size_t k = 0; k < answers.size(); ++k) {
    ASSERT_TRUE(setFen(game.fens[k].c_str()));
    Move move = 0;
    EXPECT_TRUE(parseMove(answers[k].c_str(), &move)) << "ply " << k + 1 << ": " << answers[k];
  }
  ASSERT_TRUE(setFen(game.fens.back().c_str()));
  EXPECT_EQ(after, gameState().substr(0, gameState().find(" ply ")) + " ply 260");
}

TEST(UciLongInput, LinesUpToTheLimitAreWholeLongerOnesAreRefused) {
  const std::string kAfter = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6";
  const std::string kBefore = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";
  const std::string kRefused = "info string error: line of ";
  const struct { std::string line, output, fenAfter; } rows[] = {
      {positionLine("e7e5", 1023), "", kAfter},
      {positionLine("e7e5", 4096), "", kAfter},
      {positionLine("e7e5", 65536), "", kAfter},
      {positionLine("e7e5", kMaxLineLength), "", kAfter},
      {positionLine("e7e5", kMaxLineLength).replace(kMaxLineLength, 1, "\r\n"), "", kAfter},
      {positionLine("e7e5", kMaxLineLength + 1), kRefused + "1048577 characters ignored: longer than 1048576 characters\n", kBefore},
      {positionLine("e7e5", 2 * kMaxLineLength) + "isready\n",
       kRefused + "2097152 characters ignored: longer than 1048576 characters\nreadyok\n", kBefore},
      {std::string("position startpos moves e2e4 e7e5\0\n", 35) + "isready\n",
       kRefused + "34 characters ignored: holds a zero byte\nreadyok\n", kBefore},
      {"position startpos moves e2e4 e7e5 \xff\nisready\n", kRefused + "35 characters ignored: is not UTF-8\nreadyok\n", kBefore},
      {"position startpos moves e2e4 e7e5 \xed\xa0\x80\n", kRefused + "37 characters ignored: is not UTF-8\n", kBefore},
      {"position startpos moves e2e4 e7e5 \xc0\xaf\n", kRefused + "36 characters ignored: is not UTF-8\n", kBefore},
      // Text that is UTF-8 is a command as any other.
      {"position startpos moves e2e4 e7e5 \xc3\xa9\n", "info string error: illegal move \xc3\xa9, position unchanged\n", kBefore},
      // The end of the input inside a line that is too long.
      {std::string("isready\n") + std::string(kMaxLineLength + 5, 'x'), "readyok\n" + kRefused + "1048581 characters ignored: longer than 1048576 characters\n", kBefore},
  };
  for (const auto& row : rows) {
    const std::string output = uciRun("position startpos moves e2e4\n" + row.line);
    EXPECT_EQ(output, row.output) << row.line.size();
    const std::string after = gameState();
    ASSERT_TRUE(setFen(row.fenAfter.c_str()));
    EXPECT_EQ(after.substr(0, after.find(" ply ")), gameState().substr(0, gameState().find(" ply "))) << row.line.size();
  }
}

// A refused line changes nothing: an option stays as it was set.
TEST(UciLongInput, ARefusedLineSetsNothing) {
  const std::string padded = "setoption name MultiPV value 5" + std::string(2 << 20, ' ') + "\n";
  const std::string output = uciRun("setoption name MultiPV value 3\n" + padded +
                                    std::string("setoption name MultiPV value 7\0\n", 32) +
                                    "setoption name MultiPV value 6 \xff\n");
  EXPECT_EQ(output, "info string error: line of 2097182 characters ignored: longer than 1048576 characters\n"
                    "info string error: line of 31 characters ignored: holds a zero byte\n"
                    "info string error: line of 32 characters ignored: is not UTF-8\n");
  EXPECT_EQ(uciSettings.multiPv, 3);
  uciRun("setoption name MultiPV value 1\n");
}

// While a search runs: a refused line is said at once and the search goes
// on; a long line behind a finite search waits for it, whole.
TEST(UciLongInput, LongLinesDuringASearch) {
  std::string output = uciRun("position startpos\ngo infinite\n" + std::string(2 << 20, 'x') + "\nisready\nstop\n");
  EXPECT_TRUE(std::regex_match(output, std::regex("(?:info [^\\n]*\\n)+info string error: line of 2097152 characters "
                                                  "ignored: longer than 1048576 characters\\nreadyok\\n(?:info [^\\n]*\\n)*"
                                                  "bestmove [^\\n]*\\n")))
      << output.substr(0, 2000);
  output = uciRun("position startpos moves e2e4\ngo depth 3\n" + positionLine("e7e5 g1f3", 70000) + "isready\n");
  EXPECT_TRUE(std::regex_match(output, std::regex("(?:info [^\\n]*\\n)+bestmove [^\\n]*\\nreadyok\\n"))) << output;
  const std::string after = gameState();
  ASSERT_TRUE(setFen("rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -"));
  EXPECT_EQ(after.substr(0, after.find(" ply ")), gameState().substr(0, gameState().find(" ply ")));
}

// A FEN text longer than the set-up's buffer is refused, never cut to a
// text that happens to read; a search's lines go deeper than its depth.
TEST(UciLongInput, AnOverlongFenIsRefusedWhole) {
  std::string padding;
  for (int i = 0; i < 120; ++i) padding += " 0";
  const std::string output = uciRun("position startpos moves e2e4\nposition fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1" + padding + "\n");
  EXPECT_EQ(output, "info string error: position refused: \n");
  const std::string after = gameState();
  ASSERT_TRUE(setFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3"));
  EXPECT_EQ(after.substr(0, after.find(" ply ")), gameState().substr(0, gameState().find(" ply ")));

  bool deeper = false;
  std::istringstream lines(uciRun("position startpos moves e2e4 e7e5 g1f3 b8c6\ngo depth 6\n"));
  const std::regex depths("info depth (\\d+) seldepth (\\d+) ");
  std::smatch m;
  for (std::string line; std::getline(lines, line);)
    if (std::regex_search(line, m, depths)) deeper = deeper || std::stoi(m[2]) > std::stoi(m[1]);
  EXPECT_TRUE(deeper);
}

// Two thousand plies and more, from the start or a FEN, shuffles and
// repetitions included; and a path too long to be a file is not cut.
TEST(UciLongInput, GamesOfThousandsOfPliesAndLongValues) {
  std::string shuffle;
  for (int i = 0; i < 500; ++i) shuffle += " g1f3 g8f6 f3g1 f6g8";
  const auto stateOf = [](const char* fen, int ply) {
    EXPECT_TRUE(setFen(fen));
    const std::string state = gameState();
    return state.substr(0, state.find(" ply ")) + " ply " + std::to_string(ply);
  };
  uciRun("position startpos moves" + shuffle + " e2e4\n");
  std::string after = gameState();
  EXPECT_EQ(after, stateOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -", 2001));
  std::string rook;
  for (int i = 0; i < 600; ++i) rook += " h1h2 e8d8 h2h1 d8e8";
  uciRun("position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves" + rook + " e1f1\n");
  after = gameState();
  EXPECT_EQ(after, stateOf("4k3/8/8/8/8/8/8/5K1R b - -", 2401));

  const std::string path = "/tmp/" + std::string(5000, 'b');
  EXPECT_EQ(uciRun("setoption name BookFile value " + path + "\nsetoption name SyzygyPath value " + path + "\n"),
            "info string BookFile: a path of 5005 characters is too long, the book is unchanged\n"
            "info string SyzygyPath: a path of 5005 characters is too long, the tables are unchanged\n");
}

}  // namespace
