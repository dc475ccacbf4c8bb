// What a learning file holds: the book positions whose weights the games
// moved (against the book text), the positions with stored search results,
// and an export of every position as EPD or PGN.
//   learned FILE [--book BOOK_TEXT] [--top N]     a report, most changed first
//   learned FILE --epd | --pgn                    every position, for other tools
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "book/book_parser.h"
#include "book/book_table.h"
#include "book/learning.h"
#include "search/trans_table.h"

namespace {

struct Entry {
  std::string text;  // the position text, the table's own key
  int score, weight, depth;
  bool isBook;
  int before;  // the book text's weight, -1 when the book text lacks it
};

std::vector<Entry> tableEntries() {
  std::vector<Entry> entries;
  for (uint32_t b = 0; b < uint32_t(kBookBuckets); ++b) {
    int count = 0;
    BookNode* const* nodes = fileBucketNodes(b, &count);
    for (int i = 0; i < count; ++i)
      entries.push_back({nodes[i]->text, nodes[i]->score, nodes[i]->weight, nodes[i]->depth, nodes[i]->isBook != 0, -1});
  }
  return entries;
}

// The table's position text as an EPD position: the castling letters in the
// usual order; the text's pawn field tells positions apart and is no
// en-passant square, so none is given.
std::string epdPosition(const std::string& text) {
  char placement[100] = "", side[4] = "w", castling[8] = "-";
  sscanf(text.c_str(), "%99s %3s %7s", placement, side, castling);
  std::string rights;
  for (char c : std::string("KQkq"))
    if (strchr(castling, c)) rights += c;
  return std::string(placement) + " " + side + " " + (rights.empty() ? "-" : rights) + " -";
}

void printEpd(const std::vector<Entry>& entries) {
  for (const Entry& e : entries) {
    printf("%s", epdPosition(e.text).c_str());
    if (e.depth > 0) printf(" acd %d; ce %d;", e.depth, e.score);
    printf(" c0 \"%s weight %d\";\n", e.isBook ? "book" : "searched", e.weight);
  }
}

void printPgn(const std::vector<Entry>& entries) {
  int n = 0;
  for (const Entry& e : entries) {
    printf("[Event \"Learned position %d\"]\n[Result \"*\"]\n[SetUp \"1\"]\n[FEN \"%s 0 1\"]\n\n", ++n,
           epdPosition(e.text).c_str());
    printf("{%s weight %d", e.isBook ? "book" : "searched", e.weight);
    if (e.depth > 0) printf(", score %d cp for the side to move at depth %d", e.score, e.depth);
    printf("} *\n\n");
  }
}

void printReport(std::vector<Entry>& entries, bool haveBook, size_t top) {
  int book = 0, searched = 0, moved = 0;
  for (const Entry& e : entries) {
    book += e.isBook;
    searched += e.depth > 0;
    moved += haveBook && e.isBook && e.before != e.weight;
  }
  printf("%zu positions: %d from the book, %d with a search result", entries.size(), book, searched);
  if (haveBook) printf(", %d book weights changed by games", moved);
  printf("\n");
  if (haveBook) {
    std::vector<const Entry*> changed;
    for (const Entry& e : entries)
      if (e.isBook && e.before != e.weight) changed.push_back(&e);
    std::stable_sort(changed.begin(), changed.end(), [](const Entry* a, const Entry* b) {
      return std::abs(a->weight - a->before) > std::abs(b->weight - b->before);
    });
    printf("\nBook weights the games changed most (book text -> now):\n");
    for (size_t i = 0; i < changed.size() && i < top; ++i)
      printf("  %4d -> %4d  %s\n", changed[i]->before, changed[i]->weight, epdPosition(changed[i]->text).c_str());
  }
  std::vector<const Entry*> results;
  for (const Entry& e : entries)
    if (e.depth > 0) results.push_back(&e);
  std::stable_sort(results.begin(), results.end(), [](const Entry* a, const Entry* b) { return a->depth > b->depth; });
  printf("\nSearch results, deepest first (score for the side to move):\n");
  for (size_t i = 0; i < results.size() && i < top; ++i)
    printf("  depth %3d  score %6d  %s\n", results[i]->depth, results[i]->score, epdPosition(results[i]->text).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const char* file = nullptr;
  const char* bookText = nullptr;
  size_t top = 20;
  bool epd = false, pgn = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--book") == 0 && i + 1 < argc) bookText = argv[++i];
    else if (strcmp(argv[i], "--top") == 0 && i + 1 < argc) top = size_t(atol(argv[++i]));
    else if (strcmp(argv[i], "--epd") == 0) epd = true;
    else if (strcmp(argv[i], "--pgn") == 0) pgn = true;
    else if (file == nullptr && argv[i][0] != '-') file = argv[i];
    else file = nullptr, i = argc;
  }
  if (file == nullptr) {
    fprintf(stderr, "usage: learned FILE [--book BOOK_TEXT] [--top N] | learned FILE --epd | --pgn\n");
    return 2;
  }
  initAttackTables();
  initKeysAndTables();

  std::map<std::string, int> bookWeights;
  if (bookText) {
    clearBookTable();
    parseBookText(bookText);
    for (const Entry& e : tableEntries()) bookWeights[e.text] = e.weight;
  }
  clearBookTable();
  const LearningLoad load = loadLearningFile(file);
  if (load != kLearningLoaded) {
    fprintf(stderr, "learned: %s: %s\n", file,
            load == kLearningAbsent ? "no such file" : load == kLearningEmpty ? "no records" : load == kLearningDamaged ? "damaged" : "cannot be read");
    return 1;
  }
  std::vector<Entry> entries = tableEntries();
  for (Entry& e : entries) {
    const auto found = bookWeights.find(e.text);
    if (found != bookWeights.end()) e.before = found->second;
  }
  if (epd) printEpd(entries);
  else if (pgn) printPgn(entries);
  else printReport(entries, bookText != nullptr, top);
  return 0;
}
