// The game session both protocol front ends drive: the data files and the
// instance, start-up and the end of the run, and the game itself (set-up
// and the budget rules that go with it). It knows no protocol words.
#pragma once

#include <cstddef>

#include "board/position.h"
#include "book/data_files.h"
#include "book/learning.h"

// The positions of "deb 1".."deb 10"; the benchmark tools use them too.
extern const char* const kTestPositions[10];

struct Session {
  DataFiles files;
  DataFiles defaultFiles;  // as found at start-up, for "Learning File" set back to the default
  bool secondInstance = false;  // never writes the learning file
  bool learningKept = false;    // asked not to write the learning file (SaveLearning false)
  bool forceMode = false;       // xboard: play received moves without answering them
};
// The name start-up, exit and the xboard loop were written against.
using CommandLoop = Session;

// Unbuffered console, banner, data paths, instance marker, tables, start
// position, book or learning file, then the two feature lines.
void startEngine(CommandLoop& loop, const char* programPath);
// Writes the learning file unless this is the second instance or learning
// is not on; the exit
// status: 0, or 1 when the learning could not be saved.
int finishEngine(const CommandLoop& loop);

// Learning as the options and arguments set it: a mode other than on never
// writes; off plays from the book text alone. A new learning file (a path)
// is used from then on with the same safeguards as the default one; what
// this run learned so far is first written to the file it came from. Both
// reload the table when what it must hold changes.
void setLearningMode(CommandLoop& loop, LearningMode mode);
// An empty path, or "<empty>" as UCI interfaces send it, goes back to the
// default file. False, with the reason on standard error, for a path too long.
bool setLearningFile(CommandLoop& loop, const char* path);

// A new game from a FEN text: 1 and the budget back to 7.5 s, or 0 with
// the game left as it was.
int setUpGame(const char* fen);
