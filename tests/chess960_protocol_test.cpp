// Chess960 through the protocols: UCI_Chess960 and "go perft", xboard's
// "variant fischerandom", both FEN dialects, each castling form, and the book
// and learning file kept to standard chess.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "search/tablebase.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"
#include "tests/uci_output.h"

namespace {

const std::string kOn = "setoption name UCI_Chess960 value true\n";
const std::string kOff = "setoption name UCI_Chess960 value false\n";
// Rooks on e1 and h1 beside the king on g1: "HEhe" in Shredder-FEN, "KQkq"
// in X-FEN (the outermost rooks); neither castling is open yet.
const char* const kTwoRooks = "2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe - 1 9";
// Castling (g1h1, the king staying on g1) is the only legal move.
const char* const kOnlyCastling = "k4r2/8/8/8/8/7p/7P/6KR w H - 0 1";

// The placement, side and castling field of the game's position ("-" for
// no rights).
std::string boardFields() {
  char text[kPositionTextSize];
  std::string fields = positionText(text);
  const size_t third = fields.find(' ', fields.find(' ') + 1);
  if (third == std::string::npos) return fields + " -";
  return fields.substr(0, fields.find(' ', third + 1));
}

TEST(Chess960Protocol, UciReadsBothDialectsAndCastlesKingTakesRook) {
  const struct { std::string input, output, after; } rows[] = {
      {kOn + "position fen " + kTwoRooks + "\ngo perft 1\n",
       "(?:[a-h][1-8][a-h][1-8]: 1\\n){21}\\nNodes searched: 21\\n", "2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe"},
      {kOn + "position fen 2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w KQkq - 1 9\ngo perft 2\n",
       "(?:[a-h][1-8][a-h][1-8]: \\d+\\n){21}\\nNodes searched: 807\\n", "2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe"},
      // Castling read and written as the king taking its rook, either side.
      {kOn + "position fen 1r4kr/8/8/8/8/8/8/K7 b hb - 0 1 moves g8b8\n", "", "2kr3r/8/8/8/8/8/8/K7 w -"},
      {kOn + "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1h1 e8a8\n", "", "2kr3r/8/8/8/8/8/8/R4RK1 w -"},
      {kOn + "position fen " + kOnlyCastling + "\ngo depth 3\n", "(?:info [^\\n]*\\n)*bestmove g1h1(?: ponder \\S+)?\\n", ""},
      {kOn + "position fen " + kOnlyCastling + "\ngo perft 1\n", "g1h1: 1\\n\\nNodes searched: 1\\n", ""},
      // Pondering (the hit and the miss) and analysis find the castling too.
      {kOn + "position fen " + kOnlyCastling + "\ngo ponder wtime 1000 btime 1000\nponderhit\n",
       "(?:info [^\\n]*\\n)*bestmove g1h1(?: ponder \\S+)?\\n", ""},
      {kOn + "position fen " + kOnlyCastling + "\ngo ponder wtime 1000 btime 1000\nstop\nposition fen " + kOnlyCastling +
           "\ngo depth 2\n",
       "(?:info [^\\n]*\\n)*bestmove \\S+(?: ponder \\S+)?\\n(?:info [^\\n]*\\n)*bestmove g1h1(?: ponder \\S+)?\\n", ""},
      {kOn + "position fen " + kOnlyCastling + "\ngo infinite\nstop\n", "(?:info [^\\n]*\\n)*bestmove g1h1(?: ponder \\S+)?\\n", ""},
      // Several lines, and a strength level, search Chess960 as any position.
      {kOn + "setoption name MultiPV value 3\nposition fen " + kTwoRooks + "\ngo depth 3\nsetoption name MultiPV value 1\n",
       "[\\s\\S]*info depth 3 [^\\n]* multipv 3 [\\s\\S]*bestmove \\S+(?: ponder \\S+)?\\n", ""},
      {kOn + "setoption name UCI_LimitStrength value true\nposition fen " + kOnlyCastling +
           "\ngo wtime 1000 btime 1000\nsetoption name UCI_LimitStrength value false\n",
       "(?:info [^\\n]*\\n)*bestmove g1h1(?: ponder \\S+)?\\n", ""},
      // The start position under Chess960 rules is position 518, castling king-takes-rook.
      {kOn + "position startpos moves g1f3 g8f6 g2g3 g7g6 f1g2 f8g7 e1h1\n", "",
       "rnbqk2r/ppppppbp/5np1/8/8/5NP1/PPPPPPBP/RNBQ1RK1 b ha"},
      // Off again: the standard forms only.
      {kOn + kOff + "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1\n", "", "r3k2r/8/8/8/8/8/8/R4RK1 b qk"},
      {kOff + "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1h1\n",
       "info string error: illegal move e1h1, position unchanged\n", ""},
      {kOff + "position fen 4k3/8/8/8/8/8/8/4K2R w H - 0 1\n", "info string error: position refused: 4k3/8/8/8/8/8/8/4K2R w H - 0 1\n", ""},
  };
  for (const auto& row : rows) {
    const std::string text = runLoopHere("uci\n" + row.input + kOff, secondPerReading);
    const std::string out = text.substr(text.find("uciok\n") + 6);
    EXPECT_TRUE(std::regex_match(out, std::regex(row.output))) << row.input << "\n" << out;
    if (!row.after.empty()) {
      EXPECT_EQ(boardFields(), row.after) << row.input;
    }
  }
}

// Every root move's count in "go perft", standard and Chess960, beside the
// sum the published tables give.
TEST(Chess960Protocol, PerftListsEachRootMove) {
  const std::string standard = runLoopHere("uci\nposition startpos moves e2e4\ngo perft 2\n", secondPerReading);
  EXPECT_NE(standard.find("\nd7d5: 31\n"), std::string::npos) << standard;
  EXPECT_NE(standard.find("\n\nNodes searched: 600\n"), std::string::npos);
  const std::string chess960 = runLoopHere("uci\n" + kOn + "position fen " + kTwoRooks + "\ngo perft 3\n" + kOff, secondPerReading);
  EXPECT_NE(chess960.find("\n\nNodes searched: 18002\n"), std::string::npos) << chess960;
  // Rook and bishop promotions count too, as in the published tables.
  EXPECT_NE(runLoopHere("uci\nposition fen 7k/P7/8/8/8/8/8/K7 w - - 0 1\ngo perft 1\n", secondPerReading)
                .find("a7a8q: 1\na7a8r: 1\na7a8b: 1\na7a8n: 1\n"), std::string::npos);
  EXPECT_NE(runLoopHere("uci\ngo perft 0\n", secondPerReading).find("info string perft needs a depth from 1 to "),
            std::string::npos);
}

// The tables hold no castling rights, so a Chess960 ending is theirs as any.
TEST(Chess960Protocol, TablesAnswerChess960Endings) {
  if (!tablebasesBuiltIn() || access(MORVEK_SYZYGY_TEST_DIR "/KQvK.rtbw", R_OK) != 0) GTEST_SKIP() << "no tables";
  const std::vector<UciGo> goes = uciGoes(runLoopHere(
      "uci\n" + kOn + "setoption name SyzygyPath value " MORVEK_SYZYGY_TEST_DIR "\nposition fen 8/8/8/8/8/k7/8/KQ5r b - - 0 1\n"
      "go depth 4\nsetoption name SyzygyPath value\n" + kOff, secondPerReading));
  ASSERT_EQ(goes.size(), 1u);
  EXPECT_EQ(goes[0].last().scoreText() + " " + goes[0].best, "cp 0 h1b1");
}

// xboard: "variant fischerandom" after "new", set-ups in both dialects,
// the opponent's castling in each form, the engine's own as O-O.
TEST(Chess960Protocol, XboardPlaysFischerandom) {
  const std::string variant = "new\nvariant fischerandom\n";
  const struct { std::string input, output, errors, after; } rows[] = {
      {variant + "setboard " + kTwoRooks + "\nforce\nO-O-O\n", "", "#error: O-O-O\n",
       "2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe"},
      {variant + "setboard 1r4kr/8/8/8/8/8/8/K7 b kq - 0 1\nforce\nO-O-O\n", "", "", "2kr3r/8/8/8/8/8/8/K7 w -"},
      {variant + "setboard 1r4kr/8/8/8/8/8/8/K7 b hb - 0 1\nforce\ng8h8\n", "", "", "1r3rk1/8/8/8/8/8/8/K7 w -"},
      {variant + "setboard 1r4kr/8/8/8/8/8/8/K7 b hb - 0 1\nforce\n0-0\n", "", "", "1r3rk1/8/8/8/8/8/8/K7 w -"},
      {variant + "setboard " + kOnlyCastling + "\nst 1\ngo\n", "(?:[^\\n]*\\n)*move O-O\\n", "", "k4r2/8/8/8/8/7p/7P/5RK1 b -"},
      // "new" is standard chess again; other variants are not played.
      {variant + "variant normal\nforce\ne2e4\n", "", "", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk"},
      {variant + "new\nforce\ne2e4\n", "", "", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b QKqk"},
      {"new\nvariant crazyhouse\n", "", "#error: variant\n", ""},
  };
  for (const auto& row : rows) {
    const std::string out = runLoopHere(row.input, secondPerReading);
    EXPECT_TRUE(std::regex_match(out, std::regex(row.output))) << row.input << "\n" << out;
    EXPECT_EQ(lastLoopErrors(), row.errors) << row.input;
    if (!row.after.empty()) {
      EXPECT_EQ(boardFields(), row.after) << row.input;
    }
  }
  EXPECT_EQ(chess960Rules, 0);
}

// The book knows standard openings only: in Chess960 it never answers, and
// nothing is learned into the standard learning file, only into one chosen
// by name.
TEST(Chess960Protocol, BookAndLearningStayWithStandardChess) {
  EngineDir engine;
  const std::string book = engine.path + "/Morvek.bk", learned = engine.path + "/zivorur12.dat";
  {
    std::ofstream(book) << "e2e4 e7e5\n";
  }
  // A Polyglot book that always answers a2a3 at the start (the own book's
  // draw is random), then a position out of both books.
  const std::string polyglot = engine.path + "/start.bin";
  {
    const unsigned char entry[16] = {0x46, 0x3b, 0x96, 0x18, 0x16, 0x91, 0xfc, 0x9c, 0x02, 0x10, 0, 1, 0, 0, 0, 0};
    std::ofstream(polyglot, std::ios::binary).write(reinterpret_cast<const char*>(entry), sizeof entry);
  }
  std::string games = "setoption name BookFile value " + polyglot + "\n";
  for (int i = 0; i < 4; ++i)
    games += "ucinewgame\nposition startpos\ngo wtime 2000 btime 2000\nposition startpos moves e2e4 e7e5\ngo wtime 2000 btime 2000\n";
  ASSERT_EQ(runEngine(engine, "uci\nquit\n").exitCode, 0);
  const std::string fresh = readFile(learned);
  ASSERT_FALSE(fresh.empty());

  const EngineRun standard = runEngine(engine, "uci\n" + games + "quit\n");
  EXPECT_EQ(countOf(standard.out, "bestmove a2a3"), 4u) << standard.out;
  EXPECT_NE(readFile(learned), fresh);
  std::remove(learned.c_str());
  ASSERT_EQ(runEngine(engine, "uci\nquit\n").exitCode, 0);

  const EngineRun chess960 = runEngine(engine, "uci\n" + kOn + games + "quit\n");
  EXPECT_EQ(countOf(chess960.out, "bestmove "), 8u);
  EXPECT_EQ(countOf(chess960.out, "bestmove a2a3"), 0u) << chess960.out;
  EXPECT_EQ(readFile(learned), fresh);

  const std::string own = engine.path + "/chess960.dat";
  const EngineRun chosen = runEngine(engine, "uci\n" + kOn + "setoption name Learning File value " + own + "\n" + games + "quit\n");
  EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
  EXPECT_GT(readFile(own).size(), fresh.size());
  EXPECT_EQ(readFile(learned), fresh);
}

}  // namespace
