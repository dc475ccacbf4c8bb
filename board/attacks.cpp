#include "board/attacks.h"

int attackMask[kAttackTableSize];
int attackStep[kAttackTableSize];

void initAttackTables() {
  for (int i = 0; i < kAttackTableSize; ++i) attackMask[i] = attackStep[i] = 0;
  for (int type = kKnight; type <= kKing; ++type) {
    for (int dir = kFirstDirection[type]; dir <= kLastDirection[type]; ++dir) {
      int step = kDirection[dir];
      int index = step + kAttackCentre;
      for (int k = 1; k <= 7; ++k) {
        attackMask[index] |= 1 << type;
        if (type == kBishop && k == 1) attackMask[index] |= 1 << kPawn;
        if (!isSlider(type)) break;
        attackStep[index] = step;
        index += step;
      }
    }
  }
}

// Kept inline-able for sideAttacks, which runs once per pseudo-legal move in
// the legal filter.
static inline int attacksFrom(int from88, int type, Side side, int target88) {
  int d = from88 - target88 + kAttackCentre;
  if (!(attackMask[d] & (1 << type))) return 0;
  if (isSlider(type)) {
    int step = attackStep[d];
    for (int i = target88 + step; !offBoard(i); i += step) {
      if (i == from88) return 1;
      if (pos.pieceAt[from0x88(i)] != kNone) return 0;
    }
    return 0;
  }
  if (type != kPawn) return 1;
  // Only the row decides a pawn's direction: white attacks towards rank 8.
  return side == kWhite ? (from88 >> 4) > (target88 >> 4) : (from88 >> 4) < (target88 >> 4);
}

int pieceAttacks(Square from, int type, Side side, Square target) {
  return attacksFrom(to0x88(from), type, side, to0x88(target));
}

// A rook or queen (straight) or bishop or queen (diagonal) that sees target
// past the occupied squares; shared by the attack test and the pin test.
static inline int slidersReach(Square target, SquareSet straight, SquareSet diagonal,
                               SquareSet occupied) {
  const AttackSets& t = kAttackSets;
  if (!((t.lines[target] & straight) | (t.diagonals[target] & diagonal))) return 0;
  for (int d = 0; d < 8; ++d) {
    const SquareSet sliders = d < 4 ? straight : diagonal;
    const SquareSet ray = t.ray[d][target];
    if (!(ray & sliders)) continue;
    if (squareBit(nearestOnRay(d, ray & occupied)) & sliders) return 1;
  }
  return 0;
}

int sideAttacks(Side side, Square target) {
  const SquareSet* own = pos.piecesOf[side];
  const AttackSets& t = kAttackSets;
  // A pawn of side attacks target from where a pawn of the other side on
  // target would attack.
  if ((t.pawn[side ^ 1][target] & own[kPawn]) | (t.knight[target] & own[kKnight]) |
      (t.king[target] & own[kKing]))
    return 1;
  const SquareSet straight = own[kRook] | own[kQueen];
  const SquareSet diagonal = own[kBishop] | own[kQueen];
  return slidersReach(target, straight, diagonal, occupiedSquares());
}

int moveExposesKing(Move move) {
  const int s = pos.sideToMove;
  const Square from = moveOrigin(move);
  const Square to = moveTarget(move);
  SquareSet captured = 0;
  if (move & kCapture) captured = squareBit((move & kEnPassant) ? to - kPawnStep[s] : to);
  const SquareSet occupied = (occupiedSquares() & ~(squareBit(from) | captured)) | squareBit(to);
  const Square king = from == pos.kingSquare[s] ? to : pos.kingSquare[s];
  const SquareSet* enemy = pos.piecesOf[s ^ 1];
  const AttackSets& t = kAttackSets;
  if (((t.pawn[s][king] & enemy[kPawn]) | (t.knight[king] & enemy[kKnight]) | (t.king[king] & enemy[kKing])) &
      ~captured)
    return 1;
  const SquareSet straight = (enemy[kRook] | enemy[kQueen]) & ~captured;
  const SquareSet diagonal = (enemy[kBishop] | enemy[kQueen]) & ~captured;
  return slidersReach(king, straight, diagonal, occupied);
}

int inCheck() { return sideAttacks(pos.opponent, pos.kingSquare[pos.sideToMove]); }

// The king's squares only: where the castling rook shields the king's target
// along the row (a Chess960 rook on b1, an enemy rook on a1), the test after
// the move is made finds the check.
int castleIsLegal(Move move) {
  const int s = pos.sideToMove;
  if (!(move & kCastleMask) || pos.kingSquare[s] != pos.castleKingSquare[s]) return 0;
  const int index = castleIndex(s, move & kCastleKingSide);
  const CastlingPath& c = pos.castling[index];
  if (!(pos.castleRights & (1 << index)) || (occupiedSquares() & c.mustBeEmpty)) return 0;
  if (pos.pieceAt[c.rookSquare] != kRook || pos.colourAt[c.rookSquare] != s) return 0;
  // The knight's square b1 of standard queen-side castling may be attacked.
  for (SquareSet path = c.kingPath; path; path &= path - 1)
    if (sideAttacks(pos.opponent, lowestSquare(path))) return 0;
  return 1;
}
