// Reads the opening book text into the book table.
//
// Each content line is one opening line of moves from the start position;
// blank lines and lines starting with "#" (after blanks) are skipped and not
// counted. Moves are separated by any of " !?#,;" and newline.
#pragma once

#include <cstdio>

#include "board/position.h"

constexpr int kBookLineSize = 65534;  // read limit, terminating zero included

// Errors go to standard output as "#error: line %d, lexem %s".
// The engine's position is borrowed and restored.
void parseBookText(const char* path);

// 1 with the next content line in buffer (kBookLineSize bytes), 0 at end.
int nextContentLine(FILE* file, char* buffer);
// Splits line in place: each lexeme is zero-terminated over its separator.
void initLexer(char* line);
const char* nextLexeme();  // null when the line has no further lexeme
// parseMove's result for a lexeme, testing only the named move for legality.
int parseBookMove(const char* text, Move* move);
// Enters the current position as a book node unless it is already there.
void addBookPosition();
