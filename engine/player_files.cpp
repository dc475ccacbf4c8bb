#include "engine/player_files.h"

#include <cstring>

#include "book/polyglot.h"
#include "search/tablebase.h"

namespace {

constexpr size_t kMessageSize = 4096 + 128;  // a whole path and the words around it

// The path without the blanks around it (an option value keeps the line's
// rest); nullptr when it does not fit, for a cut path would name another file.
const char* trimmed(const char* path, char* buffer, size_t size) {
  while (*path == ' ' || *path == '\t') ++path;
  if (strlen(path) >= size) return nullptr;
  snprintf(buffer, size, "%s", path);
  size_t n = strlen(buffer);
  while (n > 0 && (buffer[n - 1] == ' ' || buffer[n - 1] == '\t' || buffer[n - 1] == '\r')) buffer[--n] = '\0';
  return buffer;
}

}  // namespace

void useBookFile(const char* value, FILE* out, const char* prefix) {
  char message[kMessageSize], buffer[kMessageSize];
  const char* path = trimmed(value, buffer, sizeof buffer);
  if (path == nullptr) {
    fprintf(out, "%sBookFile: a path of %zu characters is too long, the book is unchanged\n", prefix, strlen(value));
    return;
  }
  if (path[0] == '\0' || strcmp(path, "<empty>") == 0) {
    closePolyglotBook();
    snprintf(message, sizeof message, "BookFile empty: the engine's own book");
  } else {
    openPolyglotBook(path, message, sizeof message);
  }
  fprintf(out, "%s%s\n", prefix, message);
}

void useTablebases(const char* value, FILE* out, const char* prefix) {
  char message[kMessageSize], buffer[kMessageSize];
  const char* path = trimmed(value, buffer, sizeof buffer);
  if (path == nullptr) {
    fprintf(out, "%sSyzygyPath: a path of %zu characters is too long, the tables are unchanged\n", prefix, strlen(value));
    return;
  }
  loadTablebases(path, message, sizeof message);
  fprintf(out, "%s%s\n", prefix, message);
}
