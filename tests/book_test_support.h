// Helpers shared by the book and learning tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/make_move.h"
#include "board/move_text.h"
#include "book/book_table.h"
#include "tests/test_support.h"

// Plays blank-separated moves into the game; false at the first refused one.
inline bool playGameMoves(const char* moves) {
  char buffer[4096];
  snprintf(buffer, sizeof buffer, "%s", moves);
  for (char* word = strtok(buffer, " "); word; word = strtok(nullptr, " ")) {
    Move m = 0;
    if (!parseMove(word, &m) || !commitGameMove(m)) return false;
  }
  return true;
}

inline std::string currentText() {
  char text[kPositionTextSize];
  return positionText(text);
}

// A fresh, empty table and the start position for each test.
struct BookFixture : ::testing::Test {
  void SetUp() override {
    initEngineOnce();
    clearBookTable();
    bookNodeAllowance = -1;
    ASSERT_TRUE(setFen(kStartFen));
  }
  void TearDown() override {
    bookNodeAllowance = -1;
    clearBookTable();
  }
};

// A file in a private temporary directory, removed with it.
struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/morvek-book-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::string command = "rm -rf '" + path + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "cannot remove %s\n", path.c_str());
  }
  std::string file(const char* name) const { return path + "/" + name; }
};

inline void writeFile(const std::string& path, const std::string& content) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(content.data(), 1, content.size(), f);
  fclose(f);
}

inline std::string readFile(const std::string& path) {
  std::string content;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return content;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, n);
  fclose(f);
  return content;
}
