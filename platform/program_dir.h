// The directory of the program file, taken from the first command-line word.
#pragma once

#include <cstddef>

constexpr size_t kBaseDirectorySize = 1024;

// Writes into directory (kBaseDirectorySize characters) the program path up to
// and including its last backslash, or else its last slash; empty when the
// path has neither. A longer path is cut to 1023 characters first.
void programDirectory(const char* programPath, char* directory);
