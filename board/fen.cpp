#include "board/fen.h"

#include <cctype>
#include <cstring>

namespace {

// Kept out of the stack frame: the record is some fifteen kilobytes.
Position savedPosition;

// Splits like strtok on blanks and newlines, but keeps its cursor here so a
// caller that is itself tokenising with strtok is not disturbed.
char* nextField(char** cursor) {
  char* p = *cursor;
  while (*p == ' ' || *p == '\n') ++p;
  if (*p == '\0') {
    *cursor = p;
    return nullptr;
  }
  char* start = p;
  while (*p != '\0' && *p != ' ' && *p != '\n') ++p;
  if (*p != '\0') *p++ = '\0';
  *cursor = p;
  return start;
}

struct PlacementChar {
  char letter;
  int side;
  int type;
  int advance;
};

constexpr PlacementChar kPlacementTable[21] = {
    {'p', kBlack, kPawn, 1},  {'n', kBlack, kKnight, 1}, {'b', kBlack, kBishop, 1},
    {'r', kBlack, kRook, 1},  {'q', kBlack, kQueen, 1},  {'k', kBlack, kKing, 1},
    {'P', kWhite, kPawn, 1},  {'N', kWhite, kKnight, 1}, {'B', kWhite, kBishop, 1},
    {'R', kWhite, kRook, 1},  {'Q', kWhite, kQueen, 1},  {'K', kWhite, kKing, 1},
    {'1', 0, kNone, 1},       {'2', 0, kNone, 2},        {'3', 0, kNone, 3},
    {'4', 0, kNone, 4},       {'5', 0, kNone, 5},        {'6', 0, kNone, 6},
    {'7', 0, kNone, 7},       {'8', 0, kNone, 8},        {'/', 0, kNone, 0}};

const PlacementChar* findPlacementChar(char c) {
  for (const PlacementChar& entry : kPlacementTable)
    if (entry.letter == c) return &entry;
  return nullptr;
}

void clearPosition() {
  memset(&pos, 0, sizeof pos);
  for (int& square : pos.pieceList) square = -1;
  for (int sq = 0; sq < 64; ++sq) {
    pos.colourAt[sq] = kNoColour;
    pos.slotAt[sq] = -1;
  }
  pos.listFirst[kWhite] = 0;
  pos.listFirst[kBlack] = 16;
  pos.sideToMove = kWhite;
  pos.opponent = kBlack;
  pos.chess960 = chess960Rules;
  for (int index = 0; index < 4; ++index) {
    const Square row = index < 2 ? 56 : 0;
    setCastlingPath(index, row + 4, row + ((index & 1) ? 7 : 0), chess960Rules);
  }
}

int readPlacement(const char* field) {
  int nextSlot[2] = {0, 16};
  const int slotLimit[2] = {16, 32};
  int cursor = 0;
  int rankSquares = 0;  // since the last slash
  for (const char* c = field; *c; ++c) {
    const PlacementChar* entry = findPlacementChar(*c);
    if (!entry) return 0;
    // A rank of more than eight squares would shift its pieces onto the next
    // rank: a board other than the one the interface shows.
    rankSquares = *c == '/' ? 0 : rankSquares + entry->advance;
    if (rankSquares > 8) return 0;
    if (entry->type != kNone) {
      int side = entry->side;
      if (cursor > 63 || nextSlot[side] >= slotLimit[side] || pos.pieceAt[cursor] != kNone) return 0;
      // A pawn on the first or last rank would step off the board in
      // generation and evaluation, and on a8 would collide with the pass marker.
      int row = cursor >> 3;
      if (entry->type == kPawn && (row == 0 || row == 7)) return 0;
      placePiece(side, cursor, entry->type, nextSlot[side]);
      nextSlot[side] += 1;
    }
    cursor += entry->advance;
  }
  pos.listLast[kWhite] = nextSlot[kWhite] - 1;
  pos.listLast[kBlack] = nextSlot[kBlack] - 1;
  return pos.pieceCount[kWhite][kKing] == 1 && pos.pieceCount[kBlack][kKing] == 1;
}

int readSide(const char* field) {
  if (strlen(field) > 1) return 0;
  if (field[0] == 'b') {
    pos.sideToMove = kBlack;
    pos.opponent = kWhite;
    return 1;
  }
  return field[0] == 'w' || field[0] == '-';
}

int readStandardCastling(const char* field) {
  for (const char* c = field; *c; ++c) {
    switch (*c) {
      case 'K': pos.castleRights |= kWhiteKingSide; break;
      case 'Q': pos.castleRights |= kWhiteQueenSide; break;
      case 'k': pos.castleRights |= kBlackKingSide; break;
      case 'q': pos.castleRights |= kBlackQueenSide; break;
      default: return 0;
    }
  }
  return 1;
}

// Shredder-FEN names the rook's file (HAha); X-FEN also takes K and Q for the
// outermost rook on that side of the king. The king must stand on its first
// row, between the rooks it may castle with.
int readChess960Castling(const char* field) {
  for (const char* c = field; *c; ++c) {
    const int side = islower(static_cast<unsigned char>(*c)) ? kBlack : kWhite;
    const char letter = char(toupper(static_cast<unsigned char>(*c)));
    const Square row = side == kWhite ? 56 : 0;
    const Square king = pos.kingSquare[side];
    if ((king & ~7) != row) return 0;
    int file = -1;
    if (letter >= 'A' && letter <= 'H') {
      file = letter - 'A';
    } else if (letter == 'K' || letter == 'Q') {
      const int step = letter == 'K' ? -1 : 1;
      for (int f = letter == 'K' ? 7 : 0; f != (king & 7) && file < 0; f += step)
        if (pos.pieceAt[row + f] == kRook && pos.colourAt[row + f] == side) file = f;
    }
    if (file < 0 || file == (king & 7)) return 0;
    const int index = castleIndex(side, file > (king & 7));
    pos.castleRights |= 1 << index;
    setCastlingPath(index, king, row + file, true);
  }
  return 1;
}

int readCastling(const char* field) {
  if (strcmp(field, "-") == 0) return 1;
  return pos.chess960 ? readChess960Castling(field) : readStandardCastling(field);
}

int readEnPassant(const char* field) {
  if (strcmp(field, "-") == 0) return 1;
  Square sq = squareFromName(field);
  if (sq < 0) return 0;
  int side = pos.sideToMove;
  int wantedRow = side == kWhite ? 2 : 5;
  if ((sq >> 3) != wantedRow) return 0;
  int step = kPawnStep[side];
  Square passed = sq - step;
  if (pos.pieceAt[passed] != kPawn || pos.colourAt[passed] != pos.opponent) return 0;
  if (pos.pieceAt[sq] != kNone || pos.pieceAt[sq + step] != kNone) return 0;
  pos.epSquare = sq;
  return 1;
}

// Fills the cleared position from the fields; 0 on the first refusal.
int readFields(char* buffer) {
  char* cursor = buffer;
  char* field = nextField(&cursor);
  if (!field || !readPlacement(field)) return 0;
  if (!(field = nextField(&cursor))) return 1;
  if (!readSide(field)) return 0;
  if (!(field = nextField(&cursor))) return 1;
  if (!readCastling(field)) return 0;
  if (!(field = nextField(&cursor))) return 1;
  return readEnPassant(field);
}

}  // namespace

Square squareFromName(const char* text) {
  if (!text || text[0] == '\0') return -1;
  for (Square sq = 0; sq < 64; ++sq)
    if (kSquareName[sq][0] == text[0] && kSquareName[sq][1] == text[1]) return sq;
  return -1;
}

int setupFromFen(const char* text) {
  if (!text) return 0;
  size_t length = strlen(text);
  if (length >= size_t(kFenBufferSize)) return 0;
  char buffer[kFenBufferSize];
  memcpy(buffer, text, length + 1);

  savedPosition = pos;
  clearPosition();
  if (!readFields(buffer)) {
    pos = savedPosition;
    return 0;
  }
  return 1;
}

int writeChess960Castling(char* out) {
  int n = 0;
  constexpr int kOrder[4] = {1, 0, 3, 2};  // white king side first, as KQkq
  for (int index : kOrder) {
    const int side = index >> 1;
    const Square rook = pos.castling[index].rookSquare;
    if ((pos.castleRights & (1 << index)) && pos.kingSquare[side] == pos.castleKingSquare[side] &&
        pos.pieceAt[rook] == kRook && pos.colourAt[rook] == side)
      out[n++] = char((side == kWhite ? 'A' : 'a') + (rook & 7));
  }
  return n;
}
