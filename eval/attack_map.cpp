#include "eval/attack_map.h"

#include <cstring>

#include "board/position.h"

int attackMap[2][64];

namespace {

inline void mark(int* map, int square, int bit) { map[square] = (map[square] + 1) | bit; }

// Whether a slider of this type moves along direction index d (0..3 lines, 4..7 diagonals).
inline bool movesAlong(int type, int d) {
  return type == kQueen || (type == kRook && d < 4) || (type == kBishop && d >= 4);
}

}  // namespace

void buildAttackMaps() {
  std::memset(attackMap, 0, sizeof attackMap);
  for (int s = kWhite; s <= kBlack; s++) {
    int* map = attackMap[s];
    for (int slot = pos.listFirst[s]; slot <= pos.listLast[s]; slot++) {
      const int q = pos.pieceList[slot];
      if (q < 0) continue;
      const int type = pos.pieceAt[q];
      const int bit = kTypeBit[type];
      const int from = to0x88(q);
      if (type == kPawn) {
        const int left = s == kWhite ? from - 17 : from + 15;
        if (!offBoard(left)) mark(map, from0x88(left), bit);
        if (!offBoard(left + 2)) mark(map, from0x88(left + 2), bit);
        continue;
      }
      if (!isSlider(type)) {
        for (int d = kFirstDirection[type]; d <= kLastDirection[type]; d++) {
          const int r = from + kDirection[d];
          if (!offBoard(r)) mark(map, from0x88(r), bit);
        }
        continue;
      }
      for (int d = kFirstDirection[type]; d <= kLastDirection[type]; d++) {
        const int step = kDirection[d];
        int r = from + step;
        for (; !offBoard(r); r += step) {
          mark(map, from0x88(r), bit);
          if (pos.pieceAt[from0x88(r)] != kNone) break;
        }
        if (offBoard(r)) continue;
        // Look through one own slider that moves along the same line: the
        // squares behind it are attacked twice, but only the count shows it.
        const int blocker = from0x88(r);
        if (pos.colourAt[blocker] != s || !movesAlong(pos.pieceAt[blocker], d)) continue;
        for (r += step; !offBoard(r); r += step) {
          map[from0x88(r)] += 1;
          if (pos.pieceAt[from0x88(r)] != kNone) break;
        }
      }
    }
  }
}
