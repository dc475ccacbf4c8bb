// The one position of the process: board, piece lists, incremental counts,
// hash key and game record, plus the move stack shared by all search plies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/per_thread.h"

using Square = int;  // 0..63, a8 = 0, h8 = 7, a1 = 56, h1 = 63
using Side = int;    // 0 white, 1 black; 2 marks an empty square
using Move = uint32_t;

enum : int { kWhite = 0, kBlack = 1, kNoColour = 2 };
enum : int { kNone = 0, kPawn = 1, kKnight = 2, kBishop = 3, kRook = 4, kQueen = 5, kKing = 6 };

// Move word layout.
constexpr Move kTargetMask = 0x3F;
constexpr Move kOriginMask = 0xFC0;
constexpr Move kPieceMask = 0x7000;
constexpr Move kCastleKingSide = 0x08000000;
constexpr Move kCastleQueenSide = 0x10000000;
constexpr Move kCastleMask = 0x18000000;
constexpr Move kEnPassant = 0x20000000;
constexpr Move kCapture = 0x40000000;
constexpr Move kPromotion = 0x80000000;

constexpr int moveTarget(Move m) { return int(m & kTargetMask); }
constexpr int moveOrigin(Move m) { return int((m & kOriginMask) >> 6); }
constexpr int movePiece(Move m) { return int((m & kPieceMask) >> 12); }
constexpr Move makeMoveWord(int from, int to, int piece) {
  return Move(to) | (Move(from) << 6) | (Move(piece) << 12);
}

// Castling right bits: queen side 1 << 2s, king side 2 << 2s.
enum : int { kWhiteQueenSide = 1, kWhiteKingSide = 2, kBlackQueenSide = 4, kBlackKingSide = 8 };
// Index of a castling right: its bit is 1 << index.
constexpr int castleIndex(int side, bool kingSide) { return 2 * side + (kingSide ? 1 : 0); }

constexpr int kPieceValue[8] = {0, 1000, 3000, 3000, 5000, 10000, 1000000, 0};
constexpr int kPawnStep[2] = {-8, 8};
constexpr int kPromotionRow[2] = {0, 7};
constexpr int kDoubleStepRow[2] = {6, 1};

// 0x88 steps; each piece type uses an inclusive index range of this table.
constexpr int kDirection[16] = {1, 16, -1, -16, 15, 17, -15, -17, 14, -14, 18, -18, 31, -31, 33, -33};
constexpr int kFirstDirection[8] = {0, 0, 8, 4, 0, 0, 0, 0};
constexpr int kLastDirection[8] = {0, 0, 15, 7, 3, 7, 7, 0};
constexpr int kSlidingTypes = 0x38;  // bit mask over type numbers: bishop, rook, queen
constexpr bool isSlider(int type) { return (kSlidingTypes >> type) & 1; }

constexpr int to0x88(Square sq) { return (sq & ~7) * 2 + (sq & 7); }
constexpr Square from0x88(int index) { return ((index >> 1) & ~3) + (index & 7); }
constexpr bool offBoard(int index) { return (index & 0x88) != 0; }

extern const char* const kSquareName[64];

// Capacities.
// Game record, in plies. Played to the fifty-move rule a game lasts at most
// 5,949 moves: the record never fills in a lawful game.
constexpr int kMaxGameMoves = 12000;
constexpr int kMaxHistory = kMaxGameMoves + 99;  // moveHistory entries: game moves plus a search line
constexpr int kMaxPlies = 103;       // move lists the stack can hold (listStart has one more entry)
constexpr int kMaxLegalMoves = 218;  // the largest move list of a legal position
// A FEN may give a side up to 16 pieces of any kind (fifteen queens), whose
// pseudo-legal list is far longer than any legal game position's: 15 x 27
// queen moves, 8 king moves, 2 castlings, 2 en-passant captures. Every ply
// can hold such a list, so the stack cannot overflow at any reachable ply.
constexpr int kMaxListMoves = 15 * 27 + 8 + 2 + 2;
constexpr int kMoveStackSize = kMaxPlies * kMaxListMoves;

struct UndoEntry {
  int capturedSquare;
  int capturedType;
  int capturedSlot;
  int castleRights;
};

// One castling right's squares, fixed when the position is set up: the
// standard ones unless a Chess960 start put king and rook elsewhere.
struct CastlingPath {
  int rookSquare;        // where the rook must stand
  int kingTarget;        // g or c file
  int rookTarget;        // f or d file
  int moveTarget;        // target of the move word: kingTarget, or rookSquare in Chess960
  uint64_t mustBeEmpty;  // squares either piece crosses or lands on, but for the two themselves
  uint64_t kingPath;     // the king's squares from its own to its target, none attacked
};

struct Position {
  int pieceAt[64];
  int colourAt[64];
  int slotAt[64];
  int pieceList[32];
  int listFirst[2];
  int listLast[2];
  int pieceCount[2][8];
  int material[2];
  int pawnsOnFile[2][8];
  int pawnsOnRow[2][8];
  int castleRights;
  int sideToMove;
  int opponent;
  int castledCount[2];
  int kingSquare[2];
  // The same board as sets of squares (bit n is square n), kept by
  // placePiece and removePiece: attack tests and generation read whole lines at once.
  uint64_t occupiedBy[2];
  uint64_t piecesOf[2][8];
  int epSquare;
  uint32_t keyLow;
  uint32_t keyHigh;
  int gamePly;
  // Chess960 rules: castling is written king-takes-rook and the castling
  // field in file letters.
  int chess960;
  int castleKingSquare[2];    // where the king must stand to castle
  CastlingPath castling[4];   // by castleIndex
  Move moveHistory[kMaxHistory];  // [0] is the redo limit
  uint64_t keyHistory[kMaxHistory + 2];
  UndoEntry undoStack[kMaxHistory + 1];
  int learnedThisGame;
  // Moves waiting for "redo" that a line made since then has overwritten in
  // moveHistory; unmake puts them back, so searches and legality tests
  // between "undo" and "redo" do not lose them.
  Move redoMoves[kMaxGameMoves + 1];
};

extern PER_THREAD Position pos;

// The move stack shared by all plies; moveScore is the ordering score beside it.
extern PER_THREAD int searchPly;
extern PER_THREAD int listStart[kMaxPlies + 1];
extern PER_THREAD Move moveStack[kMoveStackSize];
extern PER_THREAD int moveScore[kMoveStackSize];

// Zobrist keys [side][type][square]; types 0 and 7 stay zero.
extern uint64_t pieceKey[2][8][64];

// The rules positions are set up with from now on: 0 standard chess, 1 Chess960.
extern int chess960Rules;

Move lastMove();
// Fills the castling right's squares for a king on kingSquare and a rook on
// rookSquare (the same row); both may stand anywhere on it.
void setCastlingPath(int index, Square kingSquare, Square rookSquare, bool chess960);
// Draws the hash keys from the generator's initial state.
void initKeys();

// The two halves are read and written as one word: a whole-word read right
// after two half-word writes cannot be served from the store buffer and
// stalls every make.
static_assert(offsetof(Position, keyHigh) == offsetof(Position, keyLow) + 4, "key halves adjacent");
// keyLow comes first in memory, so a big-endian word holds it in its high half.
inline uint64_t inMemoryOrder(uint64_t key) {
  return __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? key : key << 32 | key >> 32;
}
inline uint64_t currentKey() {
  uint64_t key;
  std::memcpy(&key, &pos.keyLow, sizeof key);
  return inMemoryOrder(key);
}
inline void xorKey(uint64_t k) {
  uint64_t key;
  std::memcpy(&key, &pos.keyLow, sizeof key);
  key ^= inMemoryOrder(k);
  std::memcpy(&pos.keyLow, &key, sizeof key);
}

// The two board edits every change goes through; inline because make and
// unmake call them for every node of the search. Any inconsistency stops the
// process: there is no way to repair a corrupted position.
inline void placePiece(int side, Square square, int type, int slot) {
  if (pos.pieceAt[square] != 0 || pos.slotAt[square] != -1 || pos.pieceList[slot] != -1) abort();
  pos.pieceAt[square] = type;
  pos.colourAt[square] = side;
  pos.slotAt[square] = slot;
  pos.pieceList[slot] = square;
  pos.material[side] += kPieceValue[type];
  pos.pieceCount[side][type] += 1;
  pos.occupiedBy[side] |= uint64_t(1) << square;
  pos.piecesOf[side][type] |= uint64_t(1) << square;
  if (type == kPawn) {
    pos.pawnsOnFile[side][square & 7] += 1;
    pos.pawnsOnRow[side][square >> 3] += 1;
  } else if (type == kKing) {
    pos.kingSquare[side] = square;
  }
  xorKey(pieceKey[side][type][square]);
}

inline void removePiece(int side, Square square, int type, int slot) {
  if (pos.pieceAt[square] != type || pos.colourAt[square] != side || pos.slotAt[square] != slot ||
      pos.pieceList[slot] != square)
    abort();
  pos.pieceAt[square] = 0;
  pos.colourAt[square] = kNoColour;
  pos.slotAt[square] = -1;
  pos.pieceList[slot] = -1;
  pos.material[side] -= kPieceValue[type];
  pos.pieceCount[side][type] -= 1;
  pos.occupiedBy[side] &= ~(uint64_t(1) << square);
  pos.piecesOf[side][type] &= ~(uint64_t(1) << square);
  if (type == kPawn) {
    pos.pawnsOnFile[side][square & 7] -= 1;
    pos.pawnsOnRow[side][square >> 3] -= 1;
  }
  xorKey(pieceKey[side][type][square]);
}

// A piece changing squares, same as removePiece then placePiece of the same
// piece and slot, without touching the counts that cannot change.
inline void shiftPiece(int side, Square from, Square to, int type, int slot) {
  if (pos.pieceAt[from] != type || pos.colourAt[from] != side || pos.slotAt[from] != slot ||
      pos.pieceList[slot] != from || pos.pieceAt[to] != 0 || pos.slotAt[to] != -1)
    abort();
  pos.pieceAt[from] = 0;
  pos.colourAt[from] = kNoColour;
  pos.slotAt[from] = -1;
  pos.pieceAt[to] = type;
  pos.colourAt[to] = side;
  pos.slotAt[to] = slot;
  pos.pieceList[slot] = to;
  const uint64_t both = (uint64_t(1) << from) | (uint64_t(1) << to);
  pos.occupiedBy[side] ^= both;
  pos.piecesOf[side][type] ^= both;
  if (type == kPawn) {
    pos.pawnsOnFile[side][from & 7] -= 1;
    pos.pawnsOnRow[side][from >> 3] -= 1;
    pos.pawnsOnFile[side][to & 7] += 1;
    pos.pawnsOnRow[side][to >> 3] += 1;
  } else if (type == kKing) {
    pos.kingSquare[side] = to;
  }
  xorKey(pieceKey[side][type][from] ^ pieceKey[side][type][to]);
}
