// The files players bring: a Polyglot opening book and Syzygy endgame
// tables, named by a UCI option or a command-line argument. Each use says
// what it found in one line, prefix first (an "info string " or nothing).
#pragma once

#include <cstdio>

// A Polyglot ".bin" book answers in place of the own book; an empty path or
// "<empty>" gives the answer back to the own book.
void useBookFile(const char* path, FILE* out, const char* prefix);
void useTablebases(const char* path, FILE* out, const char* prefix);
