#include "search/search_tables.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/move_text.h"
#include "board/per_thread.h"
#include "search/search_clock.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

PER_THREAD int historyScore[2][8][64];
PER_THREAD int inNullMove;
PER_THREAD int selDepth;
PER_THREAD Move bestAtPly[kMaxSearchPly];
PER_THREAD Move pvAtPly[kMaxSearchPly];
PER_THREAD RootMove rootMoves[kMaxRootMoves];
PER_THREAD void (*newBestMoveListener)(const RootMove& record, int elapsed, uint64_t nodes) = nullptr;

void updateHistory(Move move, int score, int beta) {
  int side = pos.sideToMove;
  int inc = score >= beta ? 1 : 2;
  if (score > 999900) inc += 20;
  int& entry = historyScore[side][movePiece(move)][moveTarget(move)];
  entry += inc;
  // The only decay: keeps the scores of one side in proportion and bounded.
  if (entry > kHistoryLimit) {
    for (auto& byPiece : historyScore[side]) {
      for (int& h : byPiece) h /= 2;
    }
  }
}

void recordRootMove(const Move* childLine, Move move, int score, int beta, int depth) {
  RootMove* record = nullptr;
  for (int i = 0; i < listStart[1] - listStart[0] && i < kMaxRootMoves; ++i) {
    if (rootMoves[i].move == move) {
      record = &rootMoves[i];
      break;
    }
  }
  // The root list and the records are built together: a miss is a broken engine.
  if (!record) abort();

  record->depth = depth;
  record->score = score;
  record->bound = score < beta ? 3 : 2;
  memset(record->line, 0, sizeof record->line);
  record->line[0] = move;
  for (int k = 1; k <= 95 && childLine[k] != 0; ++k) record->line[k] = childLine[k];

  // A root in the endgame tables shows their result (unless a mate was
  // found); the record keeps the search's own score.
  const RootMove* shown = record;
  static PER_THREAD RootMove tableShown;
  if (rootInTables) {
    tableShown = *record;
    tableShown.score = shownRootScore(score);
    shown = &tableShown;
  }
  int elapsed = int32_t(elapsedTime());
  if (newBestMoveListener) {
    newBestMoveListener(*shown, elapsed, searchNodes());
    return;
  }
  uint64_t divisor = uint64_t(elapsed > 1 ? elapsed : 1);
  uint64_t rate = searchNodes() * 1000u / divisor;
  printThinking(shown->score, record->depth, elapsed, rate, record->line);
}

namespace {

// Appends to a fixed buffer, never past its end: a full line is 143 chars at
// most, so truncation cannot happen, but the buffer stays safe regardless.
void appendText(char* buffer, int* length, const char* text) {
  int n = snprintf(buffer + *length, size_t(kThinkingBufferSize - *length), "%s", text);
  *length = (*length + n < kThinkingBufferSize) ? *length + n : kThinkingBufferSize - 1;
}

}  // namespace

int formatThinking(char* buffer, int score, int depth, int elapsed, uint64_t rate, const Move* line) {
  char digits[24];
  // Shown as s / 10 plus the remainder of s by 10, not s / 10 alone.
  int shown = score - 9 * (score / 10);
  int length = snprintf(buffer, kThinkingBufferSize, "%2d %4d %4d %10s ", depth, shown, elapsed,
                        formatDecimal64(digits, rate));
  char text[16];
  for (int k = 0; k < kThinkingMoves && line[k] != 0; ++k) {
    appendText(buffer, &length, moveToText(line[k], text));
    appendText(buffer, &length, " ");
  }
  appendText(buffer, &length, "\n");
  return length;
}

void printThinking(int score, int depth, int elapsed, uint64_t rate, const Move* line) {
  char buffer[kThinkingBufferSize];
  formatThinking(buffer, score, depth, elapsed, rate, line);
  fputs(buffer, stdout);
}

char* formatDecimal64(char* buffer, uint64_t value) {
  char reversed[24];
  int count = 0;
  do {
    reversed[count++] = char('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = 0; i < count; ++i) buffer[i] = reversed[count - 1 - i];
  buffer[count] = '\0';
  return buffer;
}

void clearSearchTables() {
  clearTranspositionTables();
  memset(historyScore, 0, sizeof historyScore);
  memset(bestAtPly, 0, sizeof bestAtPly);
  memset(pvAtPly, 0, sizeof pvAtPly);
  memset(rootMoves, 0, sizeof rootMoves);
}
