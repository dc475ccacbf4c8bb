#include "engine/go_command.h"

#include <cstring>

#include "board/move_text.h"
#include "engine/deepen.h"
#include "engine/protocol_words.h"

namespace {

int64_t wordValue(char** cursor) {
  char* value = nextWord(cursor, kWordDelimiters);
  return value ? parseDecimal(value) : 0;
}

bool isGoWord(const char* word) {
  static const char* const words[] = {"wtime", "btime",    "winc", "binc",     "movestogo",  "movetime",
                                      "depth", "nodes",    "mate", "infinite", "ponder", "searchmoves"};
  for (const char* w : words)
    if (strcmp(word, w) == 0) return true;
  return false;
}

// "searchmoves M1 M2 ...": the moves up to the next word of "go"; returns
// the cursor at that word.
char* readSearchMoves(char* cursor, GoCommand& command) {
  for (;;) {
    // Look at the next word before taking it: a word of "go" that ends the
    // list must stay whole for the caller, its value after it.
    char* start = cursor + strspn(cursor, kWordDelimiters);
    const size_t length = strcspn(start, kWordDelimiters);
    if (length == 0) return start;
    const char delimiter = start[length];
    start[length] = '\0';
    const bool goWord = isGoWord(start);
    start[length] = delimiter;
    if (goWord) return start;
    char* word = nextWord(&cursor, kWordDelimiters);
    Move move = 0;
    if (parseMove(word, &move) && command.searchMoveCount < kMaxRootMoves) {
      command.searchMoves[command.searchMoveCount++] = move;
    } else {
      if (command.refusedCount < kMaxRefusedWords) command.refused[command.refusedCount] = word;
      ++command.refusedCount;
    }
  }
}

}  // namespace

GoCommand parseGo(char* cursor) {
  GoCommand command;
  ClockWords& clock = command.clock;
  const bool white = pos.sideToMove == kWhite;
  for (char* word; (word = nextWord(&cursor, kWordDelimiters)) != nullptr;) {
    if (strcmp(word, "wtime") == 0 || strcmp(word, "btime") == 0) {
      const int64_t value = wordValue(&cursor);
      if ((word[0] == 'w') == white) clock.remainingMs = value < 0 ? 0 : value;
    } else if (strcmp(word, "winc") == 0 || strcmp(word, "binc") == 0) {
      const int64_t value = wordValue(&cursor);
      if ((word[0] == 'w') == white) clock.incrementMs = value < 0 ? 0 : value;
    } else if (strcmp(word, "movestogo") == 0) {
      const int64_t value = wordValue(&cursor);
      clock.movesToGo = value > 0 && value < 1000 ? int(value) : 0;
    } else if (strcmp(word, "movetime") == 0) {
      const int64_t value = wordValue(&cursor);
      clock.moveTimeMs = value < 0 ? 0 : value;
    } else if (strcmp(word, "depth") == 0) {
      const int64_t value = wordValue(&cursor);
      command.depth = value < kFirstIteration ? kFirstIteration : value > kLastIteration ? kLastIteration : int(value);
    } else if (strcmp(word, "nodes") == 0) {
      const int64_t value = wordValue(&cursor);
      command.nodes = value > 0 ? uint64_t(value) : 1;
    } else if (strcmp(word, "mate") == 0) {
      const int64_t value = wordValue(&cursor);
      command.mate = value < 1 ? 1 : value > kLastIteration ? kLastIteration : int(value);
    } else if (strcmp(word, "searchmoves") == 0) {
      command.restricted = true;
      cursor = readSearchMoves(cursor, command);
    } else if (strcmp(word, "infinite") == 0) {
      command.infinite = true;
    } else if (strcmp(word, "ponder") == 0) {
      command.ponder = true;
    }
  }
  return command;
}
