// Start-up, the command loop of the text protocol, and the end of the run.
#pragma once

#include <cstdio>

#include "board/position.h"
#include "platform/program_dir.h"

// Room for the longest directory plus a data file name: a composed path is
// never cut, so the engine cannot read or overwrite a file it did not mean.
constexpr size_t kDataPathSize = kBaseDirectorySize + 16;
constexpr int kLineSize = 1024;

extern const char* const kBookFileName;      // "Morvek.bk"
extern const char* const kLearningFileName;  // "zivorur12.dat"

// The positions of "deb 1".."deb 10"; the benchmark tools use them too.
extern const char* const kTestPositions[10];

struct CommandLoop {
  char baseDirectory[kBaseDirectorySize];
  char bookTextPath[kDataPathSize];
  char learningPath[kDataPathSize];
  bool secondInstance;  // never writes the learning file
  bool forceMode;       // play received moves without answering them
};

// Unbuffered console, banner, data paths, instance marker, tables, start
// position, book or learning file, then the two feature lines.
void startEngine(CommandLoop& loop, const char* programPath);
void runCommandLoop(CommandLoop& loop, FILE* input);
// Handles one line (changed in place); false after "quit".
bool handleLine(CommandLoop& loop, char* line);
// Writes the learning file unless this is the second instance.
void finishEngine(const CommandLoop& loop);

void composeDataPaths(CommandLoop& loop, const char* programPath);

// Decimal value with the leniency of atoi (leading blanks, sign, digits up to
// the first other character; no digits gives 0), saturating instead of
// overflowing.
long long parseDecimal(const char* text);
