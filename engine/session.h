// The game session both protocol front ends drive: the data files and the
// instance, start-up and the end of the run, and the game itself (set-up
// and the budget rules that go with it). It knows no protocol words.
#pragma once

#include <cstddef>

#include "board/position.h"
#include "book/data_files.h"

// The positions of "deb 1".."deb 10"; the benchmark tools use them too.
extern const char* const kTestPositions[10];

struct Session {
  DataFiles files;
  bool secondInstance;  // never writes the learning file
  bool forceMode;       // xboard: play received moves without answering them
};
// The name start-up, exit and the xboard loop were written against.
using CommandLoop = Session;

// Unbuffered console, banner, data paths, instance marker, tables, start
// position, book or learning file, then the two feature lines.
void startEngine(CommandLoop& loop, const char* programPath);
// Writes the learning file unless this is the second instance; the exit
// status: 0, or 1 when the learning could not be saved.
int finishEngine(const CommandLoop& loop);

// A new game from a FEN text: 1 and the budget back to 7.5 s, or 0 with
// the game left as it was.
int setUpGame(const char* fen);
