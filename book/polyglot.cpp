#include "book/polyglot.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "book/book_choice.h"
#include "book/polyglot_random.h"

namespace {

// The open book: its file and entry count. The file stays open for reading
// only (never locked: other programs may read or replace it meanwhile).
struct OpenBook {
  FILE* file = nullptr;
  uint64_t count = 0;
};
OpenBook book;

// Entries read at once while the order of a new book is checked (64 KB).
constexpr int kCheckChunk = 4096;
unsigned char checkBuffer[kCheckChunk * kPolyglotEntrySize];

// Polyglot numbers its squares a1 = 0 .. h8 = 63, ours run a8 = 0 .. h1 = 63.
constexpr int polyglotSquare(Square sq) { return sq ^ 56; }
constexpr Square boardSquareOf(int file, int row) { return (7 - row) * 8 + file; }
// Polyglot's promotion field: 1 knight, 2 bishop, 3 rook, 4 queen.
constexpr int kPromotionType[8] = {kNone, kKnight, kBishop, kRook, kQueen, kNone, kNone, kNone};

bool seekTo(FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, int64_t(offset), SEEK_SET) == 0;
#else
  return fseeko(file, off_t(offset), SEEK_SET) == 0;
#endif
}

// The file's size in bytes, or -1.
int64_t fileSize(FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
#else
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return int64_t(status.st_size);
#endif
}

bool readEntry(uint64_t index, PolyglotEntry* entry) {
  unsigned char bytes[kPolyglotEntrySize];
  if (!seekTo(book.file, index * kPolyglotEntrySize) ||
      fread(bytes, 1, sizeof bytes, book.file) != sizeof bytes)
    return false;
  *entry = decodePolyglotEntry(bytes);
  return true;
}

// The square a pawn just passed over with a double step, when the side to
// move could take it en passant by the board's rules; 0 otherwise.
Square passedSquare() {
  if (pos.gamePly + searchPly == 0) return pos.epSquare;
  const Move m = lastMove();
  if (m == 0 || movePiece(m) != kPawn) return 0;
  const int rows = (moveOrigin(m) >> 3) - (moveTarget(m) >> 3);
  if (rows != 2 && rows != -2) return 0;
  return moveTarget(m) + kPawnStep[pos.sideToMove];
}

// The key counts an en-passant file only when a pawn of the side to move
// stands beside the pawn that double-stepped, legal capture or not.
int enPassantFile() {
  const Square target = passedSquare();
  if (target == 0) return -1;
  const int side = pos.sideToMove;
  const Square pushed = target - kPawnStep[side];
  const int file = pushed & 7;
  const bool left = file > 0 && pos.pieceAt[pushed - 1] == kPawn && pos.colourAt[pushed - 1] == side;
  const bool right = file < 7 && pos.pieceAt[pushed + 1] == kPawn && pos.colourAt[pushed + 1] == side;
  return left || right ? file : -1;
}

}  // namespace

uint64_t polyglotKey() {
  uint64_t key = 0;
  for (Square sq = 0; sq < 64; ++sq) {
    const int type = pos.pieceAt[sq];
    if (type == kNone) continue;
    // Kinds: black pawn 0, white pawn 1, black knight 2, ... white king 11.
    const int kind = 2 * (type - 1) + (pos.colourAt[sq] == kWhite ? 1 : 0);
    key ^= kPolyglotRandom[64 * kind + polyglotSquare(sq)];
  }
  constexpr int kRights[4] = {kWhiteKingSide, kWhiteQueenSide, kBlackKingSide, kBlackQueenSide};
  for (int i = 0; i < 4; ++i)
    if (pos.castleRights & kRights[i]) key ^= kPolyglotRandom[kPolyglotCastleOffset + i];
  const int file = enPassantFile();
  if (file >= 0) key ^= kPolyglotRandom[kPolyglotEnPassantOffset + file];
  if (pos.sideToMove == kWhite) key ^= kPolyglotRandom[kPolyglotTurnOffset];
  return key;
}

PolyglotEntry decodePolyglotEntry(const unsigned char* b) {
  PolyglotEntry e;
  e.key = 0;
  for (int i = 0; i < 8; ++i) e.key = (e.key << 8) | b[i];
  e.move = uint16_t((b[8] << 8) | b[9]);
  e.weight = uint16_t((b[10] << 8) | b[11]);
  e.learn = (uint32_t(b[12]) << 24) | (uint32_t(b[13]) << 16) | (uint32_t(b[14]) << 8) | b[15];
  return e;
}

void encodePolyglotEntry(const PolyglotEntry& e, unsigned char* b) {
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(e.key >> (56 - 8 * i));
  b[8] = static_cast<unsigned char>(e.move >> 8);
  b[9] = static_cast<unsigned char>(e.move);
  b[10] = static_cast<unsigned char>(e.weight >> 8);
  b[11] = static_cast<unsigned char>(e.weight);
  for (int i = 0; i < 4; ++i) b[12 + i] = static_cast<unsigned char>(e.learn >> (24 - 8 * i));
}

Move polyglotMove(uint16_t raw, int first, int last) {
  const Square from = boardSquareOf((raw >> 6) & 7, (raw >> 9) & 7);
  Square to = boardSquareOf(raw & 7, (raw >> 3) & 7);
  const int promotion = kPromotionType[(raw >> 12) & 7];
  // Castling is written as the king taking its own rook: e1h1, e1a1, e8h8, e8a8.
  const int side = pos.sideToMove;
  if (pos.pieceAt[from] == kKing && pos.colourAt[from] == side && (from & 7) == 4 &&
      (to >> 3) == (from >> 3) && pos.pieceAt[to] == kRook && pos.colourAt[to] == side) {
    if ((to & 7) == 7) to = from + 2;
    else if ((to & 7) == 0) to = from - 2;
  }
  for (int i = first; i <= last; ++i) {
    const Move m = moveStack[i];
    if (moveOrigin(m) != from || moveTarget(m) != to) continue;
    if (((m & kPromotion) != 0) != (promotion != kNone)) continue;
    // The generator lists the queen and knight promotions; the entry names the piece.
    if (promotion != kNone) return (m & ~kPieceMask) | (Move(promotion) << 12);
    return m;
  }
  return 0;
}

int openPolyglotBook(const char* path, char* message, size_t messageSize) {
  closePolyglotBook();
  FILE* file = fopen(path, "rb");
  if (file == nullptr) {
    snprintf(message, messageSize, "BookFile %s cannot be opened (%s), not used", path, strerror(errno));
    return 0;
  }
  // Unbuffered: every probe reads the file as it is now, never a stale copy.
  setvbuf(file, nullptr, _IONBF, 0);
  const int64_t size = fileSize(file);
  const char* fault = nullptr;
  char detail[96] = "";
  if (size < 0) {
    fault = "is not a readable file";
  } else if (size % kPolyglotEntrySize != 0) {
    snprintf(detail, sizeof detail, "has %lld bytes, not a multiple of 16", static_cast<long long>(size));
    fault = detail;
  }
  // Binary search needs the keys in order: one pass through the file, a
  // chunk at a time, says so before any probe relies on it.
  const uint64_t count = size > 0 ? uint64_t(size) / kPolyglotEntrySize : 0;
  uint64_t previous = 0;
  for (uint64_t done = 0; fault == nullptr && done < count;) {
    const uint64_t want = count - done < uint64_t(kCheckChunk) ? count - done : uint64_t(kCheckChunk);
    if (!seekTo(file, done * kPolyglotEntrySize) ||
        fread(checkBuffer, kPolyglotEntrySize, size_t(want), file) != size_t(want)) {
      fault = "cannot be read";
      break;
    }
    for (uint64_t i = 0; i < want; ++i) {
      const uint64_t key = decodePolyglotEntry(checkBuffer + i * kPolyglotEntrySize).key;
      if (key < previous) {
        snprintf(detail, sizeof detail, "has its keys out of order at entry %llu",
                 static_cast<unsigned long long>(done + i));
        fault = detail;
        break;
      }
      previous = key;
    }
    done += want;
  }
  if (fault != nullptr) {
    fclose(file);
    snprintf(message, messageSize, "BookFile %s %s, not used", path, fault);
    return 0;
  }
  book.file = file;
  book.count = count;
  snprintf(message, messageSize, "BookFile %s: %llu entries", path, static_cast<unsigned long long>(count));
  return 1;
}

void closePolyglotBook() {
  if (book.file != nullptr) fclose(book.file);
  book = OpenBook{};
}

bool polyglotBookOpen() { return book.file != nullptr; }

int polyglotEntries(uint64_t key, PolyglotEntry* entries, int capacity) {
  if (book.file == nullptr) return 0;
  // The first entry whose key is not below key.
  uint64_t low = 0, high = book.count;
  PolyglotEntry e;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (!readEntry(middle, &e)) {
      closePolyglotBook();
      return -1;
    }
    if (e.key < key) low = middle + 1;
    else high = middle;
  }
  int count = 0;
  for (uint64_t i = low; i < book.count && count < capacity; ++i) {
    if (!readEntry(i, &e)) {
      closePolyglotBook();
      return -1;
    }
    if (e.key != key) break;
    entries[count++] = e;
  }
  return count;
}

int drawPolyglotEntry(const PolyglotEntry* entries, int count, uint64_t draw) {
  uint64_t total = 0;
  for (int i = 0; i < count; ++i) total += entries[i].weight;
  if (total == 0) return -1;
  uint64_t r = draw % total;
  for (int i = 0; i < count; ++i) {
    if (r < entries[i].weight) return i;
    r -= entries[i].weight;
  }
  return -1;  // not reached: r < total
}

Move pickPolyglotMove(int first, int last) {
  PolyglotEntry found[kMaxPolyglotMoves];
  const int count = polyglotEntries(polyglotKey(), found, kMaxPolyglotMoves);
  if (count < 0) {
    fprintf(stderr, "BookFile could no longer be read, not used\n");
    return 0;
  }
  // Only entries that name a legal move take part in the draw.
  PolyglotEntry playable[kMaxPolyglotMoves];
  Move moves[kMaxPolyglotMoves];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const Move m = polyglotMove(found[i].move, first, last);
    if (m == 0) continue;
    playable[n] = found[i];
    moves[n++] = m;
  }
  const int chosen = drawPolyglotEntry(playable, n, drawBookRandom());
  return chosen < 0 ? 0 : moves[chosen];
}
