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
#include "book/book_table.h"

constexpr int kLearningHeaderBytes = 40;  // record bytes before the text

int loadLearning(FILE* file);  // 1 when the whole file was read; closes it
void saveLearning(FILE* file); // writes every node; closes it
// Writes every node without closing; 1 when every byte was accepted.
int writeLearning(FILE* file);
// Writes the table to path through a temporary file in the same directory
// that replaces the old file only once it is completely on disk, so a
// failed write never costs the previous file. 1 on success.
int saveLearningFile(const char* path);

void recordSearchResult(int score, int depth);
void learnGameResult();

// nodes[n] = the node of the position after game move n (1..gamePly), found
// by key and side only.
void collectGameNodes(BookNode* nodes[kMaxGameMoves + 1]);
// True when the six latest positions with side to move show a steady rise
// of their stored search scores.
bool risingScores(int side, BookNode* const nodes[kMaxGameMoves + 1]);
