#include "book/book_table.h"

#include <cstdlib>
#include <cstring>

#include "board/position.h"

BookTable bookTable;
long bookNodeAllowance = -1;

namespace {

constexpr int kFileRecordOverhead = 48;

// Castling letters in the table's own order Q, K, q, k; each only when king,
// rook and right are all in place.
int writeCastling(char* out) {
  int n = 0;
  const int* piece = pos.pieceAt;
  const int* colour = pos.colourAt;
  auto stands = [&](Square sq, int type, int side) {
    return piece[sq] == type && colour[sq] == side;
  };
  if (stands(60, kKing, kWhite)) {
    if (stands(56, kRook, kWhite) && (pos.castleRights & kWhiteQueenSide)) out[n++] = 'Q';
    if (stands(63, kRook, kWhite) && (pos.castleRights & kWhiteKingSide)) out[n++] = 'K';
  }
  if (stands(4, kKing, kBlack)) {
    if (stands(0, kRook, kBlack) && (pos.castleRights & kBlackQueenSide)) out[n++] = 'q';
    if (stands(7, kRook, kBlack) && (pos.castleRights & kBlackKingSide)) out[n++] = 'k';
  }
  return n;
}

bool standsFor(const BookNode* node, const char* text) {
  return node->keyLow == pos.keyLow && node->keyHigh == pos.keyHigh &&
         node->side == pos.sideToMove && strcmp(node->text, text) == 0;
}

}  // namespace

char* positionText(char* buffer) {
  static const char kLetters[2][8] = {{' ', 'P', 'N', 'B', 'R', 'Q', 'K', ' '},
                                      {' ', 'p', 'n', 'b', 'r', 'q', 'k', ' '}};
  int n = 0;
  // 1. Placement, as in FEN.
  for (int row = 0; row < 8; ++row) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      Square sq = row * 8 + file;
      if (pos.pieceAt[sq] == kNone) {
        ++empty;
        continue;
      }
      if (empty) buffer[n++] = char('0' + empty);
      empty = 0;
      buffer[n++] = kLetters[pos.colourAt[sq] & 1][pos.pieceAt[sq] & 7];
    }
    if (empty) buffer[n++] = char('0' + empty);
    if (row < 7) buffer[n++] = '/';
  }
  // 2. Side to move.
  buffer[n++] = ' ';
  buffer[n++] = pos.sideToMove == kWhite ? 'w' : 'b';
  // 3. Castling field.
  buffer[n++] = ' ';
  int letters = writeCastling(buffer + n);
  n += letters;
  if (!letters) buffer[n++] = '-';
  // 4. Pawn field: one row from the origin of the last pawn move, towards the
  //    mover's own side; it tells positions apart, it is no en-passant square.
  buffer[n++] = ' ';
  Move last = lastMove();
  if (last != 0 && movePiece(last) == kPawn) {
    Square sq = moveOrigin(last) + (pos.sideToMove == kWhite ? -8 : 8);
    buffer[n++] = kSquareName[sq][0];
    buffer[n++] = kSquareName[sq][1];
  } else {
    buffer[n++] = '-';
  }
  // 5. Trailing blanks and dashes go.
  while (n > 0 && (buffer[n - 1] == ' ' || buffer[n - 1] == '-')) --n;
  buffer[n] = '\0';
  return buffer;
}

BookNode* findNode() {
  char text[kPositionTextSize];
  bool haveText = false;
  for (BookNode* node = bookTable.bucket[pos.keyLow & kBookBucketMask]; node; node = node->next) {
    if (node->keyLow != pos.keyLow || node->keyHigh != pos.keyHigh || node->side != pos.sideToMove)
      continue;
    // The text is built only once a node agrees on key and side.
    if (!haveText) {
      positionText(text);
      haveText = true;
    }
    if (standsFor(node, text)) return node;
  }
  return nullptr;
}

BookNode* findNodeByKey(uint32_t keyLow, uint32_t keyHigh, int side) {
  for (BookNode* node = bookTable.bucket[keyLow & kBookBucketMask]; node; node = node->next)
    if (node->keyLow == keyLow && node->keyHigh == keyHigh && node->side == side) return node;
  return nullptr;
}

BookNode* allocateBookNode(int textLength) {
  if (textLength < 0) return nullptr;
  if (bookNodeAllowance == 0) return nullptr;
  if (bookNodeAllowance > 0) --bookNodeAllowance;
  void* block = calloc(1, sizeof(BookNode) + size_t(textLength) + 1);
  if (!block) return nullptr;
  BookNode* node = static_cast<BookNode*>(block);
  node->text = reinterpret_cast<char*>(node + 1);
  return node;
}

BookNode* newBookNode(const char* text) {
  int length = int(strlen(text));
  BookNode* node = allocateBookNode(length);
  if (!node) return nullptr;
  node->score = 0;
  node->weight = 16;
  node->side = pos.sideToMove;
  node->depth = 0;
  node->size = kFileRecordOverhead + length;
  node->isBook = 1;
  node->next = nullptr;
  node->keyLow = pos.keyLow;
  node->keyHigh = pos.keyHigh;
  memcpy(node->text, text, size_t(length) + 1);
  return node;
}

void linkNode(BookNode* node) {
  BookNode*& head = bookTable.bucket[node->keyLow & kBookBucketMask];
  node->next = head;
  head = node;
}

void clearBookTable() {
  for (BookNode*& head : bookTable.bucket) {
    while (head) {
      BookNode* next = head->next;
      free(head);
      head = next;
    }
  }
}

int countBookNodes() {
  int count = 0;
  for (BookNode* head : bookTable.bucket)
    for (BookNode* node = head; node; node = node->next) ++count;
  return count;
}

int probeBook(int alpha, int depth, int beta, int* value) {
  BookNode* node = findNode();
  if (!node) return 0;
  if (node->depth >= depth) {
    *value = node->score;
    return 1;
  }
  if (!node->isBook) return 0;
  // An unsearched book position counts as roughly level: -16..16.
  if (alpha >= 16) {
    *value = alpha;
    return 1;
  }
  if (beta <= -16) {
    *value = beta;
    return 1;
  }
  return 0;
}
