#include "board/move_text.h"

#include <cctype>
#include <cstring>

#include "board/fen.h"
#include "board/movegen.h"

namespace {

constexpr char kPromotionLetter[8] = {'\0', 'p', 'n', 'b', 'r', 'q', 'k', '\0'};

int promotionType(const char* text, size_t length) {
  if (length < 5) return kQueen;
  switch (tolower(static_cast<unsigned char>(text[4]))) {
    case 'b': return kBishop;
    case 'n': return kKnight;
    case 'r': return kRook;
    default: return kQueen;  // an unknown letter never refuses the move
  }
}

// The castling bit a castling text names, or 0. Chess960 also takes the
// capital letter and the digit zero, since its move text has no other form
// that a reader could mistake for it.
Move castlingBit(const char* text) {
  if (strcmp(text, "o-o") == 0) return kCastleKingSide;
  if (strcmp(text, "o-o-o") == 0) return kCastleQueenSide;
  if (!pos.chess960) return 0;
  if (strcmp(text, "O-O") == 0 || strcmp(text, "0-0") == 0) return kCastleKingSide;
  if (strcmp(text, "O-O-O") == 0 || strcmp(text, "0-0-0") == 0) return kCastleQueenSide;
  return 0;
}

}  // namespace

int parseMove(const char* text, Move* move) {
  size_t length = strlen(text);
  Square from = -1, to = -1;
  if (length > 3) {
    from = squareFromName(text);
    if (from >= 0) to = squareFromName(text + 2);
  }
  Move castling = 0;
  if (from < 0 || to < 0) {
    castling = castlingBit(text);
    if (!castling) return 0;
  }

  // An illegal position leaves the list empty, so every text is refused.
  generateLegalMoves();
  for (int i = listStart[searchPly]; i < listStart[searchPly + 1]; ++i) {
    Move candidate = moveStack[i];
    if (castling ? !(candidate & castling) : (moveOrigin(candidate) != from || moveTarget(candidate) != to))
      continue;
    // The generator lists only the queen promotion; the text picks the piece.
    if (candidate & kPromotion)
      candidate = (candidate & ~kPieceMask) | (Move(promotionType(text, length)) << 12);
    *move = candidate;
    return 1;
  }
  return 0;
}

char* moveToText(Move move, char* buffer) {
  memcpy(buffer, kSquareName[moveOrigin(move)], 2);
  memcpy(buffer + 2, kSquareName[moveTarget(move)], 2);
  int length = 4;
  if (move & kPromotion) {
    char letter = kPromotionLetter[movePiece(move)];
    if (letter != '\0') buffer[length++] = letter;
  }
  buffer[length] = '\0';
  return buffer;
}
