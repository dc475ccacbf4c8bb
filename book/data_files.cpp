#include "book/data_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "book/book_parser.h"
#include "book/book_table.h"

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

const char* const kBookFileName = "Morvek.bk";
const char* const kLearningFileName = "zivorur12.dat";
const char* const kInstalledMarkerName = "Morvek.installed";

namespace {

// "%s%s" into a kPathSize buffer; an empty result when it does not fit.
bool joinPath(char* out, const char* directory, const char* name) {
  int n = snprintf(out, kPathSize, "%s%s", directory, name);
  if (n >= 0 && size_t(n) < kPathSize) return true;
  out[0] = '\0';
  return false;
}

bool directoryWritable(const char* directory) {
#ifdef _WIN32
  (void)directory;
  return true;  // the Windows program keeps its files beside it, as always
#else
  return directory[0] != '\0' && access(directory, W_OK) == 0;
#endif
}

// Whether the install step marked the program's directory; the Windows
// program keeps its files beside it wherever it is.
bool markedInstalled(const char* directory) {
#ifdef _WIN32
  (void)directory;
  return false;
#else
  char marker[kPathSize];
  return joinPath(marker, directory, kInstalledMarkerName) && access(marker, F_OK) == 0;
#endif
}

// Creates every missing directory of path (which ends with "/"), private
// to the user as the data directory should be.
bool makeDirectories(const char* path) {
#ifdef _WIN32
  (void)path;
  return true;
#else
  char partial[kPathSize];
  snprintf(partial, sizeof partial, "%s", path);
  for (char* p = partial + 1; *p; ++p) {
    if (*p != '/') continue;
    *p = '\0';
    if (mkdir(partial, 0700) != 0 && errno != EEXIST) return false;
    *p = '/';
  }
  return true;
#endif
}

// A free name "<path>.damaged" or "<path>.damaged.N" and the file renamed
// to it; false when that cannot be done.
bool keepAside(const char* path, char* aside) {
  for (int n = 1; n < 100; ++n) {
    int length = n == 1 ? snprintf(aside, kPathSize, "%s.damaged", path)
                        : snprintf(aside, kPathSize, "%s.damaged.%d", path, n);
    if (length < 0 || size_t(length) >= kPathSize) return false;
    FILE* existing = fopen(aside, "rb");
    if (existing) {
      fclose(existing);
      continue;
    }
    return rename(path, aside) == 0;
  }
  return false;
}

}  // namespace

bool userDataDirectory(char* directory) {
  directory[0] = '\0';
#ifdef _WIN32
  return false;
#else
  const char* data = getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return joinPath(directory, data, "/morvek/");
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const struct passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return false;
  return joinPath(directory, home, "/.local/share/morvek/");
#endif
}

void composeDataFiles(DataFiles& files, const char* programFile) {
  files.baseDirectory[0] = files.bookTextPath[0] = '\0';
  files.learningPath[0] = files.fallbackPath[0] = '\0';
  files.learningState = kLearningAbsent;
  files.installed = files.carryOver = false;
  if (programFile != nullptr && programDirectory(programFile, files.baseDirectory) &&
      files.baseDirectory[0] != '\0') {
    joinPath(files.bookTextPath, files.baseDirectory, kBookFileName);
    files.installed = markedInstalled(files.baseDirectory);
    if (!files.installed && directoryWritable(files.baseDirectory)) {
      joinPath(files.learningPath, files.baseDirectory, kLearningFileName);
      return;
    }
    joinPath(files.fallbackPath, files.baseDirectory, kLearningFileName);
  }
  char userDirectory[kPathSize];
  if (userDataDirectory(userDirectory)) joinPath(files.learningPath, userDirectory, kLearningFileName);
}

void locateDataFiles(DataFiles& files, const char* programPath) {
  char programFile[kPathSize];
  bool found = findProgramFile(programPath, programFile);
  composeDataFiles(files, found ? programFile : nullptr);
  if (files.bookTextPath[0] == '\0')
    fprintf(stderr, "#warning: the program's directory is unknown or too long: no book text\n");
}

void loadBookTable(DataFiles& files) {
  files.learningState = kLearningAbsent;
  files.carryOver = false;
  if (files.learningPath[0] != '\0') {
    files.learningState = loadLearningFile(files.learningPath);
    if (files.learningState == kLearningLoaded) return;
    if (files.learningState == kLearningUnreadable)
      fprintf(stderr, "#warning: cannot read the learning file %s (%s); it is left as it is\n",
              files.learningPath, strerror(errno));
    if (files.learningState == kLearningDamaged)
      fprintf(stderr, "#warning: the learning file %s is damaged; it will be kept aside\n",
              files.learningPath);
  }
  if ((files.learningState == kLearningAbsent || files.learningState == kLearningEmpty) &&
      files.fallbackPath[0] != '\0') {
    clearBookTable();
    LearningLoad fallback = loadLearningFile(files.fallbackPath);
    files.carryOver = fallback == kLearningLoaded && files.installed;
    if (fallback == kLearningLoaded) return;
    if (fallback != kLearningAbsent && fallback != kLearningEmpty)
      fprintf(stderr, "#warning: the learning file %s cannot be used\n", files.fallbackPath);
  }
  clearBookTable();
  if (files.bookTextPath[0] != '\0') parseBookText(files.bookTextPath);
}

int saveBookTable(const DataFiles& files) {
  if (files.learningPath[0] == '\0') {
    fprintf(stderr, "#error: learning not saved: there is no place to keep it\n");
    return 0;
  }
  if (files.learningState == kLearningUnreadable) {
    fprintf(stderr, "#error: learning not saved: %s could not be read at start-up\n",
            files.learningPath);
    return 0;
  }
  if (files.learningState == kLearningDamaged) {
    char aside[kPathSize];
    if (!keepAside(files.learningPath, aside)) {
      fprintf(stderr, "#error: learning not saved: the damaged %s cannot be kept aside (%s)\n",
              files.learningPath, strerror(errno));
      return 0;
    }
    fprintf(stderr, "#warning: the damaged learning file is kept as %s\n", aside);
  }
  // The user's data directory may not exist yet.
  char directory[kPathSize];
  if (programDirectory(files.learningPath, directory)) makeDirectories(directory);
  if (saveLearningFile(files.learningPath)) {
    // Carried over: the user's file now holds all of it. Other users may
    // not remove root's file, and read it until they have one of their own.
    if (files.carryOver) remove(files.fallbackPath);
    return 1;
  }
  fprintf(stderr, "#error: learning not saved to %s: %s\n", files.learningPath, strerror(errno));
  return 0;
}
