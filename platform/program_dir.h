// Where the program file is: its own path as the system knows it, and the
// directory that holds it.
#pragma once

#include <cstddef>

// Room for the longest path the system opens, terminating zero included. A
// longer path is refused, never cut: a cut path names another place.
constexpr size_t kPathSize = 4096;
constexpr size_t kBaseDirectorySize = kPathSize;

// Writes into directory (kBaseDirectorySize characters) the program path up
// to and including its last separator; empty when the path has none. The
// separator is "/", and on Windows also "\", where the last backslash wins
// even when a slash follows it. False, with directory empty, when the path
// does not fit.
bool programDirectory(const char* programPath, char* directory);

// The program file's own path (kPathSize characters), links resolved.
//   Windows: programPath itself, which the system always gives in full.
//   Elsewhere: /proc/self/exe where the system has it; else programPath,
//   looked up in PATH when it is a bare name as a shell would, and resolved.
// False when it cannot be found or does not fit.
bool findProgramFile(const char* programPath, char* path);

#ifndef _WIN32
// The first PATH entry holding an executable of that name, as execvp finds
// it (an empty entry is the working directory), joined to the name.
bool findInPath(const char* name, char* found);
#endif
