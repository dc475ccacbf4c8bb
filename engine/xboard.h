// The xboard front end: the engine's own dialect of the text protocol.
#pragma once

#include "engine/session.h"

// Handles one line (changed in place); false after "quit".
bool handleLine(CommandLoop& loop, char* line);
// Handles firstLine (when given) and then every line of the input up to
// "quit" or the end.
void xboardLoop(CommandLoop& loop, char* firstLine);
