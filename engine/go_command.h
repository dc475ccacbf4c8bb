// UCI's "go": its words parsed into one value, apart from the search, so
// that the front end turns it into a budget and a search request and tests
// can read what each word gives.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/search_tables.h"

// The clock words of one "go", for the side to move.
struct ClockWords {
  int64_t remainingMs = -1;  // -1: not given
  int64_t incrementMs = 0;
  int movesToGo = 0;         // 0: sudden death
  int64_t moveTimeMs = -1;   // -1: not given
};

constexpr int kMaxRefusedWords = 32;

struct GoCommand {
  ClockWords clock;
  int depth = 0;       // 0: none; else kFirstIteration..kLastIteration
  uint64_t nodes = 0;  // 0: none
  int mate = 0;        // 0: none; else moves, 1..kLastIteration
  bool infinite = false;
  bool ponder = false;
  bool restricted = false;  // "searchmoves" was given
  int searchMoveCount = 0;
  Move searchMoves[kMaxRootMoves] = {};
  // The words of "searchmoves" that are no legal move here: the first
  // kMaxRefusedWords of them (pointing into the words parsed), and how many.
  int refusedCount = 0;
  const char* refused[kMaxRefusedWords] = {};
};

// Parses the words after "go" (cut in place) for the position on the board:
// the side to move picks its clock words, "searchmoves" are checked as legal
// moves. Numbers are clamped to what each word allows; unknown words are
// passed over.
GoCommand parseGo(char* words);
