#include "platform/program_dir.h"

#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

bool programDirectory(const char* programPath, char* directory) {
  directory[0] = '\0';
  if (programPath == nullptr) return true;
  size_t length = strlen(programPath);
  if (length >= kBaseDirectorySize) return false;
  memcpy(directory, programPath, length + 1);
  char* separator = nullptr;
#ifdef _WIN32
  separator = strrchr(directory, '\\');
#endif
  if (separator == nullptr) separator = strrchr(directory, '/');
  if (separator == nullptr)
    directory[0] = '\0';
  else
    separator[1] = '\0';
  return true;
}

#ifdef _WIN32

bool findProgramFile(const char* programPath, char* path) {
  if (programPath == nullptr || strlen(programPath) >= kPathSize) return false;
  strcpy(path, programPath);
  return true;
}

#else

namespace {

bool isProgramFile(const char* path) {
  struct stat status;
  return stat(path, &status) == 0 && S_ISREG(status.st_mode) && access(path, X_OK) == 0;
}

}  // namespace

bool findInPath(const char* name, char* found) {
  const char* list = getenv("PATH");
  if (list == nullptr) return false;
  size_t nameLength = strlen(name);
  for (const char* entry = list;; ++entry) {
    const char* end = strchr(entry, ':');
    size_t length = end ? size_t(end - entry) : strlen(entry);
    const char* directory = length ? entry : ".";
    if (!length) length = 1;
    if (length + 1 + nameLength < kPathSize) {
      memcpy(found, directory, length);
      found[length] = '/';
      memcpy(found + length + 1, name, nameLength + 1);
      if (isProgramFile(found)) return true;
    }
    if (!end) return false;
    entry = end;
  }
}

bool findProgramFile(const char* programPath, char* path) {
  ssize_t n = readlink("/proc/self/exe", path, kPathSize);
  if (n > 0 && size_t(n) < kPathSize) {
    path[n] = '\0';
    return true;
  }
  if (programPath == nullptr || programPath[0] == '\0') return false;
  char candidate[kPathSize];
  if (strchr(programPath, '/')) {
    if (strlen(programPath) >= kPathSize) return false;
    strcpy(candidate, programPath);
  } else if (!findInPath(programPath, candidate)) {
    return false;
  }
  char* resolved = realpath(candidate, nullptr);
  if (resolved == nullptr) return false;
  bool fits = strlen(resolved) < kPathSize;
  if (fits) strcpy(path, resolved);
  free(resolved);
  return fits;
}

#endif
