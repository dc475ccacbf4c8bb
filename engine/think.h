// Move choice, the pipeline of one think: the book, then the search at the
// strength level or at full strength, then the learning.
#pragma once

#include <cstdint>

#include "engine/deepen.h"
#include "search/root_move.h"
#include "search/search_tables.h"

// Everything one think is asked besides the clock's budget. The protocol
// front ends fill it in; think sets up every per-search state from it and
// clears that state again when it returns.
struct SearchRequest {
  bool useBook = true;  // the book may answer
  bool learn = true;    // the result is learned: a game move is, an analysis is not
  bool atLevel = true;  // played at the strength level when one is set; such a move is never learned
  int lastDepth = kLastIteration;
  uint64_t nodeLimit = 0;  // 0: none
  int lineCount = 1;       // best lines wanted (MultiPV)
  int mateMoves = 0;       // deepen until a mate in this many moves or fewer; 0: any mate ends it
  int64_t moveTimeMs = 0;  // milliseconds from the start at which the search stops; 0: none
  // Called when an input line waits during the search; true stops it.
  bool (*onInputWaiting)() = nullptr;
  // "searchmoves": the root moves it may play; 0 of them for every move.
  int searchMoveCount = 0;
  Move searchMoves[kMaxRootMoves] = {};
};

// A game move: the book, the level, the learning.
inline SearchRequest gameMoveRequest(bool (*onInputWaiting)() = nullptr) {
  SearchRequest request;
  request.onInputWaiting = onInputWaiting;
  return request;
}

// An analysis: no book, no level, nothing learned.
inline SearchRequest analysisRequest(bool (*onInputWaiting)() = nullptr) {
  SearchRequest request = gameMoveRequest(onInputWaiting);
  request.useBook = request.learn = request.atLevel = false;
  return request;
}

// 1 with result.move set, 0 when the side to move has no legal move.
// Leaves the position, gamePly and searchPly as it found them. The best
// lines it found are in rootLines (search/root_lines.h).
int think(RootMove& result, const SearchRequest& request);
// The last think played from the book; its result is then bookMoveRecord's.
extern bool thinkUsedBook;
// A root move's record as the book plays it: depth 0, the move as its line,
// the score the learning has for the position after it, else its static value.
RootMove bookMoveRecord(Move move);
