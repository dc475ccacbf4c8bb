#include "board/movegen.h"

#include <cstdlib>

#include "board/attacks.h"
#include "board/make_move.h"

namespace {

// Pushes the promotion pair, queen first, or the plain word.
inline Move* writePawnMove(Move* out, Move word, bool promotes) {
  if (promotes) {
    Move base = word & ~kPieceMask;
    *out++ = base | kPromotion | (Move(kQueen) << 12);
    *out++ = base | kPromotion | (Move(kKnight) << 12);
  } else {
    *out++ = word;
  }
  return out;
}

// Quiet moves of a line in the order a walk outwards meets them.
inline Move* writeLine(Move* out, Move base, int dir, SquareSet squares) {
  if (risesAlong(dir)) {
    for (; squares; squares &= squares - 1) *out++ = base | Move(lowestSquare(squares));
  } else {
    for (; squares; squares ^= squareBit(highestSquare(squares)))
      *out++ = base | Move(highestSquare(squares));
  }
  return out;
}

Square enPassantTarget(int side) {
  if (pos.gamePly + searchPly == 0) return pos.epSquare;
  Move m = lastMove();
  if (m == 0 || movePiece(m) != kPawn) return 0;
  int rows = (moveOrigin(m) >> 3) - (moveTarget(m) >> 3);
  if (rows != 2 && rows != -2) return 0;
  return moveTarget(m) + kPawnStep[side];
}

// One generator for both lists: kAll adds quiet moves, en passant and castling.
// Returns the end of the written list, or nullptr when the enemy king hangs.
template <bool kAll>
Move* generate(Move* out) {
  const int s = pos.sideToMove;
  const int o = pos.opponent;
  // The previous move left the enemy king en prise: no list.
  if (sideAttacks(s, pos.kingSquare[o])) return nullptr;
  const SquareSet enemies = pos.occupiedBy[o];
  const SquareSet occupied = occupiedSquares();

  if (kAll) {
    Square target = enPassantTarget(s);
    if (target != 0) {
      Square passed = target - kPawnStep[s];
      Move word = Move(target) | Move(kPawn) << 12 | kCapture | kEnPassant;
      // The pawn to the right of the passed pawn comes first.
      if ((passed & 7) != 7 && pos.pieceAt[passed + 1] == kPawn && pos.colourAt[passed + 1] == s)
        *out++ = word | Move(passed + 1) << 6;
      if ((passed & 7) != 0 && pos.pieceAt[passed - 1] == kPawn && pos.colourAt[passed - 1] == s)
        *out++ = word | Move(passed - 1) << 6;
    }
  }

  for (int slot = pos.listFirst[s]; slot <= pos.listLast[s]; ++slot) {
    const Square q = pos.pieceList[slot];
    if (q < 0) continue;
    const int type = pos.pieceAt[q];

    if (type == kPawn) {
      const int d = kPawnStep[s];
      const Square ahead = q + d;
      const bool promotes = (ahead >> 3) == kPromotionRow[s];
      if (!kAll && !promotes && !(kAttackSets.pawn[s][q] & enemies)) continue;
      if (pos.pieceAt[ahead] == kNone) {
        if (promotes) {
          out = writePawnMove(out, makeMoveWord(q, ahead, kPawn), true);
        } else if (kAll) {
          *out++ = makeMoveWord(q, ahead, kPawn);
          if ((q >> 3) == kDoubleStepRow[s] && pos.pieceAt[ahead + d] == kNone)
            *out++ = makeMoveWord(q, ahead + d, kPawn);
        }
      }
      if ((q & 7) != 0 && pos.colourAt[ahead - 1] == o) {
        out = writePawnMove(out, makeMoveWord(q, ahead - 1, kPawn) | kCapture, promotes);
      }
      if ((q & 7) != 7 && pos.colourAt[ahead + 1] == o) {
        out = writePawnMove(out, makeMoveWord(q, ahead + 1, kPawn) | kCapture, promotes);
      }
      continue;
    }

    const Move base = makeMoveWord(q, 0, type);
    if (!isSlider(type)) {
      const SquareSet reach = type == kKnight ? kAttackSets.knight[q] : kAttackSets.king[q];
      // Most pieces capture nothing: skip the walk over their steps.
      if (!kAll && !(reach & enemies)) continue;
      const int q88 = to0x88(q);
      for (int dir = kFirstDirection[type]; dir <= kLastDirection[type]; ++dir) {
        const int i = q88 + kDirection[dir];
        if (offBoard(i)) continue;
        const Square t = from0x88(i);
        const int colour = pos.colourAt[t];
        if (colour == kNoColour) {
          if (kAll) *out++ = base | Move(t);
        } else if (colour == o) {
          *out++ = base | Move(t) | kCapture;
        }
      }
      continue;
    }
    if (!kAll) {
      const SquareSet lines = type == kRook     ? kAttackSets.lines[q]
                              : type == kBishop ? kAttackSets.diagonals[q]
                                                : kAttackSets.lines[q] | kAttackSets.diagonals[q];
      if (!(lines & enemies)) continue;
    }
    // A line's moves run outwards from the piece, the capture of its first
    // piece last.
    for (int dir = kFirstDirection[type]; dir <= kLastDirection[type]; ++dir) {
      const SquareSet ray = kAttackSets.ray[dir][q];
      if (!kAll && !(ray & enemies)) continue;
      const SquareSet blockers = ray & occupied;
      SquareSet empty = ray;
      if (blockers) {
        const Square t = nearestOnRay(dir, blockers);
        empty ^= kAttackSets.ray[dir][t] | squareBit(t);
        if (kAll) out = writeLine(out, base, dir, empty);
        if (pos.colourAt[t] == o) *out++ = base | Move(t) | kCapture;
      } else if (kAll) {
        out = writeLine(out, base, dir, empty);
      }
    }
  }

  if (kAll && (pos.castleRights & (3 << (2 * s))) && pos.kingSquare[s] == pos.castleKingSquare[s]) {
    // Attacks on the king's path are left to castleIsLegal.
    const Square king = pos.kingSquare[s];
    const CastlingPath* c = &pos.castling[castleIndex(s, false)];
    if ((pos.castleRights & (2 << (2 * s))) && !(occupied & c[1].mustBeEmpty) &&
        pos.pieceAt[c[1].rookSquare] == kRook && pos.colourAt[c[1].rookSquare] == s)
      *out++ = makeMoveWord(king, c[1].moveTarget, kKing) | kCastleKingSide;
    if ((pos.castleRights & (1 << (2 * s))) && !(occupied & c[0].mustBeEmpty) &&
        pos.pieceAt[c[0].rookSquare] == kRook && pos.colourAt[c[0].rookSquare] == s)
      *out++ = makeMoveWord(king, c[0].moveTarget, kKing) | kCastleQueenSide;
  }
  return out;
}

template <bool kAll>
int generateList() {
  const int p = searchPly;
  // listStart has one entry per ply plus one; a deeper ply has no room.
  if (p < 0 || p >= kMaxPlies) abort();
  const int start = listStart[p];
  listStart[p + 1] = start;
  Move* end = generate<kAll>(moveStack + start);
  if (!end) return 0;
  listStart[p + 1] = int(end - moveStack);
  return 1;
}

}  // namespace

int generateMoves() { return generateList<true>(); }

int generateCaptures() { return generateList<false>(); }

int generateLegalMoves() {
  if (!generateMoves()) return 0;
  const int p = searchPly;
  const int mover = pos.sideToMove;
  const Square king = pos.kingSquare[mover];
  const int king88 = to0x88(king);
  const bool checked = sideAttacks(pos.opponent, king) != 0;
  int keep = listStart[p];
  for (int read = listStart[p]; read < listStart[p + 1]; ++read) {
    const Move move = moveStack[read];
    if ((move & kCastleMask) && !castleIsLegal(move)) continue;
    // Out of check, a piece that does not stand on a line through its own
    // king cannot uncover an attack on it by moving; only the king itself
    // and en passant (two pawns leave one row) need the full test.
    bool exposed = false;
    const int origin = moveOrigin(move);
    const bool quick = !checked && origin != king && !(move & kEnPassant) &&
                       !(attackMask[to0x88(origin) - king88 + kAttackCentre] & (1 << kQueen));
    if (!quick && (move & kCastleMask)) {
      makeMove(move);
      exposed = sideAttacks(pos.sideToMove, pos.kingSquare[mover]) != 0;
      unmakeMove(move);
    } else if (!quick) {
      exposed = moveExposesKing(move) != 0;
    }
    if (!exposed) {
      moveStack[read] = moveStack[keep];
      moveStack[keep++] = move;
    }
  }
  listStart[p + 1] = keep;
  return 1;
}
