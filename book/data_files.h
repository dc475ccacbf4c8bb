// Where the engine's two data files are, and the load at start-up and the
// save at exit that keep the learning file from ever being lost.
//
// The book text lives beside the program file. An installed copy (the
// install step puts the marker file "Morvek.installed" beside it) keeps the
// learning file in the user's data directory, $XDG_DATA_HOME/morvek or
// ~/.local/share/morvek, and writes nothing under its install prefix. Any
// other copy (a build directory, a folder of its own) keeps the learning
// file beside the program whenever that directory can be written, else in
// the user's data directory too. A learning file beside the program is read
// until the user has one of their own; an installed copy then removes it
// once the user's is saved, where it may. Nothing is written into the
// working directory.
#pragma once

#include "book/learning.h"
#include "platform/program_dir.h"

extern const char* const kBookFileName;      // "Morvek.bk"
extern const char* const kLearningFileName;  // "zivorur12.dat"
extern const char* const kInstalledMarkerName;  // "Morvek.installed"

struct DataFiles {
  char baseDirectory[kPathSize];  // the program's directory with its separator; empty: unknown
  char bookTextPath[kPathSize];   // empty: no book text
  char learningPath[kPathSize];   // where the table is saved; empty: nowhere
  char fallbackPath[kPathSize];   // read when learningPath is absent; empty: none
  LearningLoad learningState;     // what the start-up found at learningPath
  bool installed;                 // the install marker lies beside the program
  bool carryOver;                 // the table came from fallbackPath of an installed copy
};

// The user's data directory for the engine with its final "/"; false when
// neither XDG_DATA_HOME (absolute) nor a home directory is known.
bool userDataDirectory(char* directory);

// The paths for a program file at programFile (a full path, already
// resolved; null when it could not be found).
void composeDataFiles(DataFiles& files, const char* programFile);
// The same for the program started as programPath (the first command-line word).
void locateDataFiles(DataFiles& files, const char* programPath);

// Fills the book table from the learning file, else from the book text, and
// says on standard error why a learning file that exists was not used.
void loadBookTable(DataFiles& files);

// Writes the table to the learning file. A file that could not be read at
// start-up is left alone, and a damaged one is first kept aside as
// "<name>.damaged" (or ".damaged.N"); an empty one holds nothing to keep. Returns 1 when the table was saved;
// otherwise says why on standard error and returns 0. Once the table carried
// over from beside an installed program is saved, that file is removed
// where the user may remove it (it was root's, left by an older version).
int saveBookTable(const DataFiles& files);
