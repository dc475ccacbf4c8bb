#include "board/exchange.h"

namespace {

// Squares a bishop (diagonals) or a rook (lines) on square reaches over occupied.
SquareSet slidingReach(Square square, SquareSet occupied, int firstDirection) {
  SquareSet reach = 0;
  for (int d = firstDirection; d < firstDirection + 4; ++d) {
    SquareSet ray = kAttackSets.ray[d][square];
    const SquareSet blockers = ray & occupied;
    if (blockers) ray ^= kAttackSets.ray[d][nearestOnRay(d, blockers)];
    reach |= ray;
  }
  return reach;
}

SquareSet bishopReach(Square square, SquareSet occupied) { return slidingReach(square, occupied, 4); }
SquareSet rookReach(Square square, SquareSet occupied) { return slidingReach(square, occupied, 0); }

SquareSet bothSides(int type) { return pos.piecesOf[kWhite][type] | pos.piecesOf[kBlack][type]; }

}  // namespace

SquareSet attackersOf(Square square, SquareSet occupied) {
  const SquareSet queens = bothSides(kQueen);
  return (kAttackSets.pawn[kBlack][square] & pos.piecesOf[kWhite][kPawn]) |
         (kAttackSets.pawn[kWhite][square] & pos.piecesOf[kBlack][kPawn]) |
         (kAttackSets.knight[square] & bothSides(kKnight)) | (kAttackSets.king[square] & bothSides(kKing)) |
         (bishopReach(square, occupied) & (bothSides(kBishop) | queens)) |
         (rookReach(square, occupied) & (bothSides(kRook) | queens));
}

bool exchangeAtLeast(Move move, int threshold) {
  if (move & kCastleMask) return 0 >= threshold;
  const Square from = moveOrigin(move), to = moveTarget(move);
  if (move & (kPromotion | kEnPassant)) {
    const int gain = (move & kEnPassant) ? kPieceValue[kPawn]
                                         : kPieceValue[pos.pieceAt[to]] + kPieceValue[movePiece(move)] - kPieceValue[kPawn];
    return gain >= threshold;
  }

  // What the side that moved is up after each capture, less the threshold:
  // below zero after its own capture it has lost already; at or above zero
  // after the opponent's best recapture it has won whatever follows.
  int balance = kPieceValue[pos.pieceAt[to]] - threshold;
  if (balance < 0) return false;
  balance -= kPieceValue[pos.pieceAt[from]];
  if (balance >= 0) return true;

  SquareSet occupied = occupiedSquares() ^ squareBit(from) ^ squareBit(to);
  SquareSet attackers = attackersOf(to, occupied) & occupied;
  const SquareSet diagonalMovers = bothSides(kBishop) | bothSides(kQueen);
  const SquareSet lineMovers = bothSides(kRook) | bothSides(kQueen);
  int side = pos.colourAt[from];
  bool moverWins = true;  // as things stand, after the move itself
  for (;;) {
    side ^= 1;
    attackers &= occupied;
    const SquareSet ours = attackers & pos.occupiedBy[side];
    if (!ours) break;
    int type = kPawn;
    while (!(ours & pos.piecesOf[side][type])) ++type;
    // A king may take only when nothing can take it back.
    if (type == kKing) {
      if (attackers & pos.occupiedBy[side ^ 1]) break;
      moverWins = !moverWins;
      break;
    }
    moverWins = !moverWins;
    // balance is from the view of the side now capturing, negated each turn.
    balance = -balance - 1 - kPieceValue[type];
    if (balance >= 0) break;
    occupied ^= squareBit(lowestSquare(ours & pos.piecesOf[side][type]));
    if (type == kPawn || type == kBishop || type == kQueen) attackers |= bishopReach(to, occupied) & diagonalMovers;
    if (type == kRook || type == kQueen) attackers |= rookReach(to, occupied) & lineMovers;
  }
  return moverWins;
}
