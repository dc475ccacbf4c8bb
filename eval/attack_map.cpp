#include "eval/attack_map.h"

#include <cstring>

#include "board/attacks.h"
#include "board/per_thread.h"
#include "board/position.h"

PER_THREAD int attackMap[2][64];

namespace {

// One more attack on each square of the set, by a piece whose type bit is bit.
inline void markAll(int* map, SquareSet squares, int bit) {
  for (; squares; squares &= squares - 1) {
    const int sq = lowestSquare(squares);
    map[sq] = (map[sq] + 1) | bit;
  }
}

// X-rays add to the count only.
inline void countAll(int* map, SquareSet squares) {
  for (; squares; squares &= squares - 1) map[lowestSquare(squares)] += 1;
}

// Whether a slider of this type moves along direction index d (0..3 lines, 4..7 diagonals).
inline bool movesAlong(int type, int d) {
  return type == kQueen || (type == kRook && d < 4) || (type == kBishop && d >= 4);
}

// The squares of the ray from sq in direction d up to and including its first piece.
inline SquareSet reachAlong(int d, Square sq, SquareSet occupied) {
  const SquareSet ray = kAttackSets.ray[d][sq];
  const SquareSet blockers = ray & occupied;
  return blockers ? ray ^ kAttackSets.ray[d][nearestOnRay(d, blockers)] : ray;
}

}  // namespace

// Each square's word is its attack count plus the type bits of its attackers,
// whatever order the pieces are visited in.
void buildAttackMaps() {
  std::memset(attackMap, 0, sizeof attackMap);
  const SquareSet occupied = occupiedSquares();
  for (int s = kWhite; s <= kBlack; s++) {
    int* map = attackMap[s];
    const SquareSet* own = pos.piecesOf[s];
    markAll(map, pawnAttacksLow(s, own[kPawn]), kPawnBit);
    markAll(map, pawnAttacksHigh(s, own[kPawn]), kPawnBit);
    for (SquareSet set = own[kKnight]; set; set &= set - 1)
      markAll(map, kAttackSets.knight[lowestSquare(set)], kKnightBit);
    for (SquareSet set = own[kKing]; set; set &= set - 1)
      markAll(map, kAttackSets.king[lowestSquare(set)], kKingBit);
    for (int type = kBishop; type <= kQueen; type++) {
      const int bit = kTypeBit[type];
      for (SquareSet set = own[type]; set; set &= set - 1) {
        const Square q = lowestSquare(set);
        for (int d = kFirstDirection[type]; d <= kLastDirection[type]; d++) {
          const SquareSet reach = reachAlong(d, q, occupied);
          markAll(map, reach, bit);
          const SquareSet blockers = reach & occupied;
          if (!blockers) continue;
          // Look through one own slider that moves along the same line: the
          // squares behind it are attacked twice, but only the count shows it.
          const Square blocker = lowestSquare(blockers);
          if (pos.colourAt[blocker] != s || !movesAlong(pos.pieceAt[blocker], d)) continue;
          countAll(map, reachAlong(d, blocker, occupied));
        }
      }
    }
  }
}
