// Shared set-up for tests that need the board core.
#pragma once

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "eval/eval_setup.h"

// Builds the attack tables, the hash keys and the evaluation tables once per
// test process, in the engine's start-up order.
inline void initEngineOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
}

// Sets up a position with search ply 0; the result of setupFromFen.
inline bool setFen(const char* fen) {
  initEngineOnce();
  searchPly = 0;
  return setupFromFen(fen) == 1;
}
