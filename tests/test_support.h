// Shared set-up and helpers for tests that need the board core.
#pragma once

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/position.h"
#include "search/trans_table.h"
#include "eval/eval_setup.h"

// Attack tables, hash keys and evaluation tables, once, in start-up order.
inline void initEngineOnce() {
  static const bool done = (initAttackTables(), initKeysAndTables(), prepareEvaluation(), true);
  (void)done;
}

inline bool setFen(const char* fen) {  // at search ply 0
  initEngineOnce();
  searchPly = 0;
  return setupFromFen(fen) == 1;
}

// Makes the move texts ("--" passes) as a search line, or game moves with commit; false at one refused.
inline bool playMoves(const char* text, bool commit = false) {
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    Move move = 0;
    if (word != "--" && !parseMove(word.c_str(), &move)) return false;
    if (!commit) makeMove(move);
    else if (!commitGameMove(move)) return false;
  }
  return true;
}

inline std::string readFile(const std::string& path) {  // empty when unreadable
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string repeated(const std::string& text, int times) { return times > 0 ? text + repeated(text, times - 1) : ""; }

inline Move boardMove(const char* from, const char* to, int piece, Move flags = 0) {
  return makeMoveWord(squareFromName(from), squareFromName(to), piece) | flags;
}

// The position record's bytes and the search ply; by default short of the redo store (stale copies are fine there).
struct PositionImage {
  std::vector<unsigned char> bytes;
  int ply;
  explicit PositionImage(size_t size = offsetof(Position, redoMoves))
      : bytes(reinterpret_cast<const unsigned char*>(&pos), reinterpret_cast<const unsigned char*>(&pos) + size),
        ply(searchPly) {}
  bool unchanged() const { return ply == searchPly && memcmp(bytes.data(), &pos, bytes.size()) == 0; }
};

constexpr const char* kMateInOne = "6k1/5ppp/8/8/8/8/8/R5K1 w - -";  // a1a8 mates
constexpr const char* kRookEnding = "4k3/8/8/8/8/8/8/4K2R w K - 0 1";
