#include "engine/xboard.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "engine/clock.h"
#include "engine/protocol_words.h"
#include "engine/think.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "platform/input.h"
#include "search/root_move.h"

namespace {

void printMove(Move move) {
  char text[8];
  printf("move %s\n", moveToText(move, text));
}

// The engine has a move the game record has no room for: say so, in the
// protocol's words, rather than leave the interface waiting for a move.
void reportFullRecord(const char* word) { printf("Error (game record full): %s\n", word); }

// Go step: also the end of the road for every word nothing else accepted.
void goStep(CommandLoop& loop, const char* word) {
  if (strcmp(word, "go") == 0) {
    RootMove result;
    if (think(result)) {
      if (commitGameMove(result.move)) {
        printMove(result.move);
        loop.forceMode = false;
        return;
      }
      reportFullRecord(word);
    }
  }
  fprintf(stderr, "#error: %s\n", word);
}

void moveStep(CommandLoop& loop, const char* word) {
  Move move = 0;
  if (!parseMove(word, &move) || !commitGameMove(move)) {
    goStep(loop, word);
    return;
  }
  if (loop.forceMode) return;
  RootMove result;
  if (!think(result)) return;
  // Printed only once the reply stands in the game record.
  if (commitGameMove(result.move))
    printMove(result.move);
  else
    reportFullRecord(word);
}

}  // namespace

bool handleLine(CommandLoop& loop, char* line) {
  char* cursor = line;
  char* word = nextWord(&cursor, kWordDelimiters);
  if (word == nullptr) return true;

  if (strcmp(word, "quit") == 0) return false;

  if (strcmp(word, "st") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    const int64_t fraction = value ? fractionalSeconds(value) : -1;
    if (fraction >= 0) {
      setMoveTime(fraction);
      return true;
    }
    long long seconds = value ? parseDecimal(value) : 0;
    if (seconds > INT_MAX) seconds = INT_MAX;
    if (seconds < INT_MIN) seconds = INT_MIN;
    setSearchTime(int(seconds));
    return true;
  }
  if (strcmp(word, "time") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    long long remaining = value ? parseDecimal(value) : -1;
    if (remaining < 0)
      fprintf(stderr, "#error time value\n");
    else
      setRemainingTime(remaining);
    return true;
  }
  // Not understood, it falls through to the answer any unknown word gets.
  if (strcmp(word, "level") == 0 && applyLevel(cursor)) return true;
  if (strcmp(word, "score") == 0) {
    prepareEvaluation();
    printf("# %d\n", evaluate(-1000000, 1000000));
    return true;
  }
  if (strcmp(word, "force") == 0) {
    loop.forceMode = true;
    return true;
  }
  if (strcmp(word, "undo") == 0) {
    takeBackGameMove();  // nothing at the start of a game
    return true;
  }
  if (strcmp(word, "redo") == 0) {
    // A cleared entry would replay the null move into the game: skip it.
    if (pos.gamePly < int(pos.moveHistory[0]) && pos.moveHistory[pos.gamePly + 1] != 0)
      replayGameMove();
    return true;
  }
  if (strcmp(word, "new") == 0) {
    setUpGame(kStartFen);
    loop.forceMode = false;
    return true;
  }
  if (strcmp(word, "protover") == 0) {
    printf("feature done=1\n");
    return true;
  }
  if (strcmp(word, "deb") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    long long number = value ? parseDecimal(value) : 0;
    const char* text = number >= 1 && number <= 10 ? kTestPositions[number - 1] : "";
    if (!setUpGame(text)) fprintf(stderr, "#error\n");
    return true;
  }
  if (strcmp(word, "setboard") == 0) {
    char* text = nextWord(&cursor, "\n");
    if (text != nullptr && setUpGame(text)) return true;
  }
  moveStep(loop, word);
  return true;
}

void xboardLoop(CommandLoop& loop, char* firstLine) {
  if (firstLine != nullptr && !handleLine(loop, firstLine)) return;
  char line[kInputLineSize];
  while (readInputLine(line)) {
    if (!handleLine(loop, line)) break;
  }
}
