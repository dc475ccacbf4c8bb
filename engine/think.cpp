#include "engine/think.h"

// Placeholder until the search lands: the engine never chooses a move.
int think(RootMove& result) {
  result.move = 0;
  return 0;
}
