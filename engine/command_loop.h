// Start-up, the command loop of the text protocol, and the end of the run.
#pragma once

#include <cstdio>

#include "board/position.h"
#include "book/data_files.h"

constexpr int kLineSize = 1024;

// The positions of "deb 1".."deb 10"; the benchmark tools use them too.
extern const char* const kTestPositions[10];

struct CommandLoop {
  DataFiles files;
  bool secondInstance;  // never writes the learning file
  bool forceMode;       // play received moves without answering them
};

// Unbuffered console, banner, data paths, instance marker, tables, start
// position, book or learning file, then the two feature lines.
void startEngine(CommandLoop& loop, const char* programPath);
void runCommandLoop(CommandLoop& loop, FILE* input);
// Handles one line (changed in place); false after "quit".
bool handleLine(CommandLoop& loop, char* line);
// Writes the learning file unless this is the second instance; the exit
// status: 0, or 1 when the learning could not be saved.
int finishEngine(const CommandLoop& loop);

// Decimal value with the leniency of atoi (leading blanks, sign, digits up to
// the first other character; no digits gives 0), saturating instead of
// overflowing.
long long parseDecimal(const char* text);
