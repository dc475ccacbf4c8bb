#include "engine/command_loop.h"

#include "platform/input.h"

void runCommandLoop(CommandLoop& loop) {
  char line[kInputLineSize];
  if (!readInputLine(line)) return;
  xboardLoop(loop, line);
}
