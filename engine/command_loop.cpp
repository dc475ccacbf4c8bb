#include "engine/command_loop.h"

#include <cstring>

#include "engine/uci.h"
#include "platform/input.h"

void runCommandLoop(CommandLoop& loop) {
  // Before the protocol is known, a refused line is answered as xboard
  // answers bad input.
  refusedLineListener = reportRefusedLine;
  // Lines without a word are nothing in either protocol: the first word
  // decides.
  for (;;) {
    char* line = readInputLine();
    if (line == nullptr) return;
    const char* word = line + strspn(line, kWordDelimiters);
    const size_t length = strcspn(word, kWordDelimiters);
    if (length == 0) continue;
    if (length == 3 && strncmp(word, "uci", 3) == 0) {
      uciLoop(loop);
      return;
    }
    xboardLoop(loop, line);
    return;
  }
}
