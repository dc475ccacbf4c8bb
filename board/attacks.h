// Attack and check detection without generating moves: two tables indexed by
// the 0x88 difference between attacker and target, and square-set tables for
// the tests that read whole lines of the board at once.
#pragma once

#include <cstdint>

#include "board/position.h"

// Index = (0x88 attacker) - (0x88 target) + 119.
constexpr int kAttackTableSize = 239;
constexpr int kAttackCentre = 119;

// Bit 1 << type when that type can attack across the difference on an empty
// board; the pawn bit sits on the four diagonal neighbours.
extern int attackMask[kAttackTableSize];
// Unit step from the target towards a sliding attacker, 0 where no line runs.
extern int attackStep[kAttackTableSize];

void initAttackTables();
int pieceAttacks(Square from, int type, Side side, Square target);
int sideAttacks(Side side, Square target);
int inCheck();
int castleIsLegal(Move move);

// Square sets: bit n stands for square n (a8 = 0).
using SquareSet = uint64_t;

constexpr SquareSet squareBit(Square sq) { return SquareSet(1) << sq; }
// Lowest and highest square of a non-empty set.
inline Square lowestSquare(SquareSet set) { return __builtin_ctzll(set); }
inline Square highestSquare(SquareSet set) { return 63 - __builtin_clzll(set); }

// Line directions 0..7 are those of kDirection 0..7; these raise the square
// number, so the nearest square of a line in them is its lowest.
constexpr bool risesAlong(int direction) { return kDirection[direction] > 0; }

struct AttackSets {
  SquareSet ray[8][64];    // squares from (not including) the square to the edge
  int rayLength[8][64];    // squares on that ray
  SquareSet knight[64];
  SquareSet king[64];
  SquareSet pawn[2][64];   // squares a pawn of the side attacks
  SquareSet lines[64];     // rook rays together
  SquareSet diagonals[64]; // bishop rays together
};

constexpr AttackSets makeAttackSets() {
  AttackSets t{};
  for (int sq = 0; sq < 64; ++sq) {
    const int q88 = to0x88(sq);
    for (int d = 0; d < 8; ++d) {
      for (int i = q88 + kDirection[d]; !offBoard(i); i += kDirection[d]) {
        t.ray[d][sq] |= squareBit(from0x88(i));
        t.rayLength[d][sq] += 1;
      }
      if (!offBoard(q88 + kDirection[d])) t.king[sq] |= squareBit(from0x88(q88 + kDirection[d]));
      if (d < 4)
        t.lines[sq] |= t.ray[d][sq];
      else
        t.diagonals[sq] |= t.ray[d][sq];
    }
    for (int d = kFirstDirection[kKnight]; d <= kLastDirection[kKnight]; ++d)
      if (!offBoard(q88 + kDirection[d])) t.knight[sq] |= squareBit(from0x88(q88 + kDirection[d]));
    for (int side = kWhite; side <= kBlack; ++side) {
      const int left = side == kWhite ? q88 - 17 : q88 + 15;
      if (!offBoard(left)) t.pawn[side][sq] |= squareBit(from0x88(left));
      if (!offBoard(left + 2)) t.pawn[side][sq] |= squareBit(from0x88(left + 2));
    }
  }
  return t;
}

inline constexpr AttackSets kAttackSets = makeAttackSets();

// The nearest square of set (a subset of a ray in direction) to the ray's origin.
inline Square nearestOnRay(int direction, SquareSet set) {
  return risesAlong(direction) ? lowestSquare(set) : highestSquare(set);
}

inline SquareSet occupiedSquares() { return pos.occupiedBy[kWhite] | pos.occupiedBy[kBlack]; }

constexpr SquareSet kFileA = 0x0101010101010101ull;
constexpr SquareSet kFileH = kFileA << 7;

// Squares attacked by the side's pawns, towards the lower file and towards the
// higher one (a square attacked by two pawns is in both).
inline SquareSet pawnAttacksLow(int side, SquareSet pawns) {
  return side == kWhite ? (pawns & ~kFileA) >> 9 : (pawns & ~kFileA) << 7;
}
inline SquareSet pawnAttacksHigh(int side, SquareSet pawns) {
  return side == kWhite ? (pawns & ~kFileH) >> 7 : (pawns & ~kFileH) << 9;
}
inline SquareSet pawnAttackSet(int side) {
  const SquareSet pawns = pos.piecesOf[side][kPawn];
  return pawnAttacksLow(side, pawns) | pawnAttacksHigh(side, pawns);
}
// Direction index of a pawn's step forward (0x88 -16 for white, +16 for black).
constexpr int kForwardDirection[2] = {3, 1};

// Whether making move (not castling) would leave the mover's king attacked,
// read off the board without making it.
int moveExposesKing(Move move);
