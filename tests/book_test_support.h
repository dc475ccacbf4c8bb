// Helpers shared by the book and learning tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "board/make_move.h"
#include "board/move_text.h"
#include "book/book_table.h"
#include "tests/test_support.h"

// Plays blank-separated moves into the game; false at the first refused one.
inline bool playGameMoves(const std::string& moves) {
  char buffer[4096];
  snprintf(buffer, sizeof buffer, "%s", moves.c_str());
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

inline void writeFile(const std::string& path, const std::string& content) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(content.data(), 1, content.size(), f);
  fclose(f);
}

inline std::string readFile(const std::string& path) {
  std::string content;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) content.append(chunk, n);
    fclose(f);
  }
  return content;
}

// An empty table, the start position and a private directory per test.
struct BookFixture : ::testing::Test {
  std::string dir;
  void SetUp() override {
    char pattern[] = "/tmp/morvek-book-XXXXXX";
    dir = mkdtemp(pattern);
    clearBookTable();
    bookNodeAllowance = -1;
    ASSERT_TRUE(setFen(kStartFen));
  }
  void TearDown() override {
    bookNodeAllowance = -1;
    clearBookTable();
    std::filesystem::remove_all(dir);
  }
  std::string file(const char* name) const { return dir + "/" + name; }
  // True when the position after moves from the start is a book node.
  bool inBook(const std::string& moves) {
    EXPECT_TRUE(setFen(kStartFen) && playGameMoves(moves));
    BookNode* node = findNode();
    EXPECT_TRUE(setFen(kStartFen));
    return node && node->isBook == 1 && node->weight == 16;
  }
};
