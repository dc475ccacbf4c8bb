// Writes an opening book of random legal lines, for measuring how start-up
// and the learning file scale with the book's size.
//   random_book <lines> [plies] [seed]   (defaults: 20 plies, seed 1)
#include <cstdio>
#include <cstdlib>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "board/position.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: random_book <lines> [plies] [seed]\n");
    return 2;
  }
  long lines = atol(argv[1]);
  int plies = argc > 2 ? atoi(argv[2]) : 20;
  unsigned long long state = argc > 3 ? strtoull(argv[3], nullptr, 10) : 1;
  initAttackTables();
  initKeys();
  char text[8];
  for (long line = 0; line < lines; ++line) {
    searchPly = 0;
    setupFromFen(kStartFen);
    for (int ply = 0; ply < plies; ++ply) {
      if (!generateLegalMoves()) break;
      int count = listStart[searchPly + 1] - listStart[searchPly];
      if (count <= 0) break;
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      Move move = moveStack[listStart[searchPly] + int((state >> 33) % unsigned(count))];
      printf(ply ? " %s" : "%s", moveToText(move, text));
      if (!commitGameMove(move)) break;
    }
    printf("\n");
  }
  return 0;
}
