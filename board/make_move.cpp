#include "board/make_move.h"

#include <cstdlib>
#include <utility>

namespace {

// Castling right lost when the rook of that colour leaves or is taken on the
// square it castles from (a1, h1, a8, h8 in standard chess).
int rookRight(int side, Square sq) {
  const CastlingPath* c = &pos.castling[castleIndex(side, false)];
  return sq == c[0].rookSquare ? 1 << (2 * side) : sq == c[1].rookSquare ? 2 << (2 * side) : 0;
}

// True while index k of the record holds a move kept for "redo".
inline bool inRedoRange(int k) { return k > pos.gamePly && k <= int(pos.moveHistory[0]); }

// King and rook to their castling squares, or back with undo. In Chess960
// either may land where the other stands, or not move at all; then the king
// leaves the board while the rook moves.
void castle(int side, Move move, bool undo) {
  const CastlingPath& c = pos.castling[castleIndex(side, move & kCastleKingSide)];
  Square kingFrom = moveOrigin(move), kingTo = c.kingTarget;
  Square rookFrom = c.rookSquare, rookTo = c.rookTarget;
  if (undo) {
    std::swap(kingFrom, kingTo);
    std::swap(rookFrom, rookTo);
  }
  const int kingSlot = pos.slotAt[kingFrom];
  // shiftPiece aborts unless the square is empty.
  if (kingTo == rookFrom || rookTo == kingFrom) {
    removePiece(side, kingFrom, kKing, kingSlot);
    if (rookFrom != rookTo) shiftPiece(side, rookFrom, rookTo, kRook, pos.slotAt[rookFrom]);
    placePiece(side, kingTo, kKing, kingSlot);
    return;
  }
  if (rookFrom != rookTo) shiftPiece(side, rookFrom, rookTo, kRook, pos.slotAt[rookFrom]);
  if (kingFrom != kingTo) shiftPiece(side, kingFrom, kingTo, kKing, kingSlot);
}

}  // namespace

void makeMove(Move move) {
  int n = pos.gamePly + searchPly;
  // The record has room for 400 game moves plus a 98-move line; writing past
  // it would corrupt the position silently.
  if (n + 1 >= kMaxHistory) abort();
  int side = pos.sideToMove;
  if (move == 0) {
    // The pass marker: no pawn can stand on a8.
    xorKey(pieceKey[side][kPawn][0]);
  } else {
    UndoEntry& undo = pos.undoStack[n];
    undo.castleRights = pos.castleRights;
    int from = moveOrigin(move);
    int to = moveTarget(move);
    int field = movePiece(move);
    int moving = (move & kPromotion) ? kPawn : field;
    int slot = pos.slotAt[from];
    // A promotion changes the piece; any other move only shifts it, once
    // the target is cleared.
    if (moving != field) removePiece(side, from, moving, slot);

    if (move & kCapture) {
      Square captured = (move & kEnPassant) ? to - kPawnStep[side] : to;
      int type = pos.pieceAt[captured];
      int capturedSlot = pos.slotAt[captured];
      undo.capturedSquare = captured;
      undo.capturedType = type;
      undo.capturedSlot = capturedSlot;
      removePiece(side ^ 1, captured, type, capturedSlot);
      if (type == kRook) pos.castleRights &= ~rookRight(side ^ 1, captured);
    } else {
      undo.capturedSquare = undo.capturedType = undo.capturedSlot = 0;
    }

    if (move & kCastleMask) {
      pos.castledCount[side] += 1;
      castle(side, move, false);
    } else if (moving != field) {
      placePiece(side, to, field, slot);
    } else {
      shiftPiece(side, from, to, field, slot);
    }

    if (moving == kKing)
      pos.castleRights &= ~(3 << (2 * side));
    else if (moving == kRook)
      pos.castleRights &= ~rookRight(side, from);
  }

  if (inRedoRange(n + 1)) pos.redoMoves[n + 1] = pos.moveHistory[n + 1];
  pos.moveHistory[n + 1] = move;
  pos.keyHistory[n + 1] = currentKey();
  pos.sideToMove ^= 1;
  pos.opponent ^= 1;
  searchPly += 1;
}

void unmakeMove(Move move) {
  int n = pos.gamePly + searchPly - 1;
  pos.moveHistory[n + 1] = inRedoRange(n + 1) ? pos.redoMoves[n + 1] : 0;
  pos.keyHistory[n + 1] = 0;
  pos.opponent ^= 1;
  searchPly -= 1;
  pos.sideToMove ^= 1;
  int side = pos.sideToMove;

  if (move == 0) {
    xorKey(pieceKey[side][kPawn][0]);
    return;
  }

  UndoEntry& undo = pos.undoStack[n];
  pos.castleRights = undo.castleRights;
  int from = moveOrigin(move);
  int to = moveTarget(move);
  int field = movePiece(move);
  int moving = (move & kPromotion) ? kPawn : field;
  if (move & kCastleMask) {
    pos.castledCount[side] -= 1;
    castle(side, move, true);
    undo = UndoEntry{0, 0, 0, 0};
    return;
  }
  int slot = pos.slotAt[to];
  if (moving != field)
    removePiece(side, to, field, slot);
  else
    shiftPiece(side, to, from, field, slot);

  if (move & kCapture) placePiece(side ^ 1, undo.capturedSquare, undo.capturedType, undo.capturedSlot);

  if (moving != field) placePiece(side, from, moving, slot);
  undo = UndoEntry{0, 0, 0, 0};
}

int commitGameMove(Move move) {
  // A pass would enter the record as an unreplayable 0.
  if (move == 0 || pos.gamePly >= kMaxGameMoves) return 0;
  // Made, taken back and made again so that any inconsistency stops the
  // process before the move enters the game.
  makeMove(move);
  unmakeMove(move);
  makeMove(move);
  pos.gamePly += 1;
  pos.moveHistory[0] = pos.gamePly;
  searchPly = 0;
  return 1;
}

int takeBackGameMove() {
  if (pos.gamePly <= 0) return 0;
  searchPly = 0;
  Move move = pos.moveHistory[pos.gamePly];
  unmakeMove(move);
  pos.moveHistory[pos.gamePly] = move;
  pos.gamePly -= 1;
  searchPly = 0;
  return 1;
}

int replayGameMove() {
  if (pos.gamePly >= int(pos.moveHistory[0])) return 0;
  searchPly = 0;
  makeMove(pos.moveHistory[pos.gamePly + 1]);
  pos.gamePly += 1;
  searchPly = 0;
  return 1;
}
