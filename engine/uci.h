// The UCI front end: "uci", "isready", "setoption", "ucinewgame",
// "position", "go" (clock, depth, nodes, infinite, ponder), "stop",
// "ponderhit", "quit". While it searches it reads the input and answers
// "isready", "stop", "ponderhit" and "quit" at once.
#pragma once

#include "engine/session.h"

// After "uci": answers it, then every line up to "quit" or the end.
void uciLoop(CommandLoop& loop);
