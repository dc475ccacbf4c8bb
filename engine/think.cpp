#include "engine/think.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "board/make_move.h"
#include "board/random.h"
#include "book/book_choice.h"
#include "book/book_table.h"
#include "book/learning.h"
#include "book/polyglot.h"
#include "engine/clock.h"
#include "engine/search_threads.h"
#include "engine/strength.h"
#include "search/trans_table.h"
#include "search/search_clock.h"

bool thinkUsedBook = false;

namespace {

constexpr int kBookDraws = 20;  // the book is tried when min(ply, 15) < rand() % 20
constexpr int kBookPlyCap = 15;

// The clock starts, the root is readied, the book may answer; otherwise the
// search, at the level or at full strength, and what it found is learned.
int thinkWithLimits(RootMove& result, const SearchRequest& request) {
  thinkUsedBook = false;
  startClock();
  seedRandom(uint32_t(std::time(nullptr)));
  if (prepareRoot() == 0) return 0;

  // A Polyglot book answers whenever it knows the position; the own book
  // less and less likely as the game goes on. Both hold standard openings:
  // in Chess960 they would answer only by accident.
  const bool useBook = request.useBook && !pos.chess960;
  if (useBook && polyglotBookOpen()) {
    const Move m = pickPolyglotMove(listStart[0], listStart[1] - 1);
    if (m != 0) {
      result.move = m;
      return 1;
    }
  }
  const int draw = useBook && !polyglotBookOpen() ? nextRandom() % kBookDraws : 0;
  if (std::min(pos.gamePly, kBookPlyCap) < draw) {
    const Move m = pickBookMove(listStart[0], listStart[1] - 1);
    if (m != 0) {
      result = bookMoveRecord(m);
      thinkUsedBook = true;
      return 1;
    }
  }

  // A limited game move: the level's limits for the deepening, then its
  // choice among the lines found; it is not learned.
  const bool limited = request.atLevel && strength.limited;
  if (limited) {
    const LevelLimits level = levelLimits(strength.elo);
    beginLevelSearch(level);
    result.move = endLevelSearch(level, deepen(request.lastDepth, request.searchMoves, request.searchMoveCount));
  } else {
    result.move = deepen(request.lastDepth, request.searchMoves, request.searchMoveCount, searchThreadCount(), searchKind);
  }

  const bool learnable = !pos.chess960 || learningFileChosen;
  if (request.learn && !limited && learnable && learningMode == LearningMode::kOn) {
    recordSearchResult(rootMoves[0].score, rootMoves[0].depth);
    learnGameResult();
    noteFullStrengthLearning();
  }
  return 1;
}

}  // namespace

RootMove bookMoveRecord(Move move) {
  RootMove record = *rootRecordOf(move);
  makeMove(move);
  const BookNode* node = findNode();
  if (node && node->depth > 0) record.score = -node->score;
  unmakeMove(move);
  record.depth = 0;
  record.bound = kBoundExact;
  std::memset(record.line, 0, sizeof record.line);
  record.line[0] = move;
  return record;
}

int think(RootMove& result, const SearchRequest& request) {
  searchLimits = SearchLimits{request.nodeLimit, request.onInputWaiting, request.lineCount, request.mateMoves,
                              request.moveTimeMs};
  const int found = thinkWithLimits(result, request);
  searchLimits = SearchLimits{0, nullptr, 0, 0, 0};
  return found;
}
