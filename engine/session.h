// The game session both protocol front ends drive: the data files and the
// instance, start-up and the end of the run, and the game itself (set-up
// and the budget rules that go with it). It knows no protocol words.
#pragma once

#include <cstddef>

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

struct Session {
  char baseDirectory[kBaseDirectorySize];
  char bookTextPath[kDataPathSize];
  char learningPath[kDataPathSize];
  bool secondInstance;  // never writes the learning file
  bool forceMode;       // xboard: play received moves without answering them
};
// The name start-up, exit and the xboard loop were written against.
using CommandLoop = Session;

// Unbuffered console, banner, data paths, instance marker, tables, start
// position, book or learning file, then the two feature lines.
void startEngine(CommandLoop& loop, const char* programPath);
// Writes the learning file unless this is the second instance.
void finishEngine(const CommandLoop& loop);

void composeDataPaths(CommandLoop& loop, const char* programPath);

// A new game from a FEN text: 1 and the budget back to 7.5 s, or 0 with
// the game left as it was.
int setUpGame(const char* fen);
