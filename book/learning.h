// Learning from search results and game trends; the learning file.
//
// The learning file is the table's nodes, one record each, in bucket order
// and chain order from the head. Record layout, little-endian, 48 + L bytes
// for a text of L characters: score, weight, side, depth, size, isBook,
// next (0), reserved (0), keyLow, keyHigh (4 bytes each), then the text, its
// terminating zero and 7 bytes of zero padding.
#pragma once

#include <cstdio>

#include "board/position.h"
#include "platform/program_dir.h"
#include "book/book_table.h"

constexpr int kLearningHeaderBytes = 40;  // record bytes before the text

// What is done with learning: on (read, learn, write back), read-only (read
// and play from it, frozen: nothing learned, the file never written), off
// (the book text alone, nothing learned or written).
enum class LearningMode { kOn, kReadOnly, kOff };
extern LearningMode learningMode;
// The modes' names, in the order of LearningMode, nullptr after the last.
extern const char* const kLearningModeNames[];
// Chess960 games are learned only into a learning file chosen by name, so
// that the standard book's file never holds what they taught.
extern bool learningFileChosen;

enum LearningLoad {
  kLearningLoaded,      // every record read
  kLearningAbsent,      // no such file
  kLearningUnreadable,  // it exists but could not be read (rights, I/O, memory)
  kLearningEmpty,       // no records: refused, so that the book text is read
  kLearningDamaged,     // read, but not a learning file: cut or malformed
};

// Records are refused when their size is not 48 plus the text length, the
// text is 256 characters or longer, or side or isBook is not 0 or 1; scores
// are clamped to the search's range and depths to 0..1000. Records read
// before a fault stay in the table.
LearningLoad readLearning(FILE* file);  // closes the file
LearningLoad loadLearningFile(const char* path);
int loadLearning(FILE* file);  // 1 when the whole file was read; closes it
void saveLearning(FILE* file); // writes every node; closes it
// Writes every node without closing; 1 when every byte was accepted.
int writeLearning(FILE* file);
// Writes the table to path through a temporary file of its own, created
// exclusively in the same directory, that replaces the old file only once it
// is completely on disk: a failed write never costs the previous file and
// two writers never mix their bytes. 1 on success; 0 with errno set.
int saveLearningFile(const char* path);

void recordSearchResult(int score, int depth);
void learnGameResult();

// nodes[n] = the node of the position after game move n (1..gamePly), found
// by key and side only.
void collectGameNodes(BookNode* nodes[kMaxGameMoves + 1]);
// True when the six latest positions with side to move show a steady rise
// of their stored search scores.
bool risingScores(int side, BookNode* const nodes[kMaxGameMoves + 1]);
