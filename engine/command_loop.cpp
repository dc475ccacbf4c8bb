#include "engine/command_loop.h"

#include <cstring>

#include "engine/uci.h"
#include "platform/input.h"

void runCommandLoop(CommandLoop& loop) {
  char line[kInputLineSize];
  // Lines without a word are nothing in either protocol: the first word
  // decides.
  for (;;) {
    if (!readInputLine(line)) return;
    char copy[kInputLineSize];
    memcpy(copy, line, sizeof copy);
    char* cursor = copy;
    const char* word = nextWord(&cursor, kWordDelimiters);
    if (word == nullptr) continue;
    if (strcmp(word, "uci") == 0) {
      uciLoop(loop);
      return;
    }
    xboardLoop(loop, line);
    return;
  }
}
