#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "board/make_move.h"
#include "board/movegen.h"
#include "test_support.h"

namespace {

// Leaf count of the legal tree with all four promotion pieces: the generator
// lists queen and knight, so each queen promotion also stands for rook and
// bishop.
uint64_t perft(int depth) {
  if (!generateLegalMoves()) return 0;
  const int first = listStart[searchPly];
  const int last = listStart[searchPly + 1];
  uint64_t total = 0;
  for (int i = first; i < last; ++i) {
    const Move move = moveStack[i];
    const bool queenPromotion = (move & kPromotion) && movePiece(move) == kQueen;
    if (depth == 1) {
      total += queenPromotion ? 3 : 1;
      continue;
    }
    for (int piece : {kQueen, kRook, kBishop}) {
      const Move m = queenPromotion ? (move & ~kPieceMask) | (Move(piece) << 12) : move;
      makeMove(m);
      total += perft(depth - 1);
      unmakeMove(m);
      if (!queenPromotion) break;
    }
  }
  return total;
}

// Runs every position of the published suite up to maxDepth, and deeper on
// the cheap ones.
TEST(Perft, ReproducesThePublishedCounts) {
  initEngineOnce();
  const std::string path = std::string(MORVEK_TEST_DATA) + "/perft.epd";
  FILE* file = fopen(path.c_str(), "r");
  ASSERT_NE(file, nullptr) << path;
  char line[1024];
  int checked = 0;
  while (fgets(line, sizeof line, file)) {
    char* fields = strchr(line, ';');
    if (!fields) continue;
    const std::string fen(line, fields);
    ASSERT_TRUE(setFen(fen.c_str())) << fen;
    for (char* field = fields; field; field = strchr(field + 1, ';')) {
      int depth = 0;
      unsigned long long expected = 0;
      if (sscanf(field, ";D%d %llu", &depth, &expected) != 2) continue;
      if (depth > 5 || (depth == 5 && expected > 20000000)) continue;
      EXPECT_EQ(perft(depth), expected) << fen << " depth " << depth;
      EXPECT_EQ(searchPly, 0);
      ++checked;
    }
  }
  fclose(file);
  EXPECT_GE(checked, 30);
}

}  // namespace
