#include "platform/program_dir.h"

#include <cstring>

void programDirectory(const char* programPath, char* directory) {
  directory[0] = '\0';
  if (programPath == nullptr) return;
  strncpy(directory, programPath, kBaseDirectorySize - 1);
  directory[kBaseDirectorySize - 1] = '\0';
  // The backslash wins even when a slash follows it, as on the engine's
  // home platform.
  char* separator = strrchr(directory, '\\');
  if (separator == nullptr) separator = strrchr(directory, '/');
  if (separator == nullptr)
    directory[0] = '\0';
  else
    separator[1] = '\0';
}
