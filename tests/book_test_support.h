// Helpers shared by the book and learning tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "board/make_move.h"
#include "board/move_text.h"
#include "book/book_table.h"
#include "tests/test_support.h"

// Plays blank-separated moves into the game; false at the first refused one.
inline bool playGameMoves(const std::string& moves) {
  std::istringstream words(moves);
  Move m = 0;
  for (std::string word; words >> word;)
    if (!parseMove(word.c_str(), &m) || !commitGameMove(m)) return false;
  return true;
}

inline std::string currentText() {
  char text[kPositionTextSize];
  return positionText(text);
}

inline void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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
  // Links a book node for the position after moves from the start.
  BookNode* addNode(const std::string& moves, int weight = 16, int isBook = 1) {
    EXPECT_TRUE(setFen(kStartFen) && playGameMoves(moves));
    BookNode* node = newBookNode(currentText().c_str());
    node->weight = weight;
    node->isBook = isBook;
    linkNode(node);
    return node;
  }
  // True when the position after moves from the start is a book node.
  bool inBook(const std::string& moves) {
    EXPECT_TRUE(setFen(kStartFen) && playGameMoves(moves));
    BookNode* node = findNode();
    EXPECT_TRUE(setFen(kStartFen));
    return node && node->isBook == 1 && node->weight == 16;
  }
};
