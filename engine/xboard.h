// The xboard front end: the engine's own dialect of the text protocol.
#pragma once

#include <cstdint>

#include "engine/session.h"
#include "platform/input.h"

// Handles one line (changed in place); false after "quit".
bool handleLine(CommandLoop& loop, char* line);
// Handles firstLine (when given) and then every line of the input up to
// "quit" or the end.
void xboardLoop(CommandLoop& loop, char* firstLine);
// A refused input line, answered as bad input is: "#error: ..." on standard error.
void reportRefusedLine(LineFault fault, uint64_t length);
