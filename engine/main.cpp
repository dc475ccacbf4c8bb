// The engine's program entry: start-up, command loop, learning file at exit.
#include "engine/command_loop.h"

int main(int argc, char** argv) {
  CommandLoop loop;
  startEngine(loop, argc > 0 ? argv[0] : nullptr);
  runCommandLoop(loop);
  finishEngine(loop);
  return 0;
}
