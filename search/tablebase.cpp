#include "search/tablebase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/score.h"

#ifdef MORVEK_FATHOM
#include <tbprobe.h>
#endif

int tablebasePieces = 0;
bool rootInTables = false;
int rootTableScore = 0;

namespace {

int setupHalfmoves = 0;

#ifdef MORVEK_FATHOM

constexpr bool zeroesCount(Move m) {
  return (m & (kCapture | kPromotion)) != 0 || movePiece(m) == kPawn;
}

// Plies since the last capture or pawn move, counted back through the game
// record to the set-up position and its own halfmove clock.
int reversiblePlies() {
  int count = 0;
  for (int n = pos.gamePly + searchPly; n >= 1; --n, ++count)
    if (zeroesCount(pos.moveHistory[n])) return count;
  return count + setupHalfmoves;
}

// A position since the last capture or pawn move occurred twice (the
// tables then rank the fastest progress first).
bool repeatedSinceZeroing(int plies) {
  const int last = pos.gamePly + searchPly;
  int first = last - plies;
  if (first < 1) first = 1;
  for (int i = first; i <= last; ++i)
    for (int k = i + 2; k <= last; k += 2)
      if (pos.keyHistory[i] == pos.keyHistory[k]) return true;
  return false;
}

// The library numbers squares a1 = 0 .. h8 = 63: our board mirrored top to
// bottom, which reverses the bytes of a square set.
inline uint64_t tableSquares(uint64_t set) { return __builtin_bswap64(set); }
inline uint64_t tableSquares(int type) {
  return tableSquares(pos.piecesOf[kWhite][type] | pos.piecesOf[kBlack][type]);
}

// The en-passant target as the library wants it (0: none).
unsigned tableEnPassant() {
  Square target = 0;
  if (pos.gamePly + searchPly == 0) {
    target = pos.epSquare;
  } else {
    const Move m = lastMove();
    const int rows = (moveOrigin(m) >> 3) - (moveTarget(m) >> 3);
    if (m != 0 && movePiece(m) == kPawn && !(m & kPromotion) && (rows == 2 || rows == -2))
      target = moveTarget(m) + kPawnStep[pos.sideToMove];
  }
  return target == 0 ? 0 : unsigned(target ^ 56);
}

// Our promotion pieces by the library's numbers: 1 queen, 2 rook, 3 bishop, 4 knight.
constexpr int kPromotionPiece[8] = {kNone, kQueen, kRook, kBishop, kKnight, kNone, kNone, kNone};

// Kept out of the stack: a ranking of every root move with its line.
TbRootMoves ranking;

int scoreOfRank(int tbScore) {
  if (tbScore >= TB_VALUE_MATE - TB_MAX_MATE_PLY - 1) return kTableWin;
  if (tbScore <= -TB_VALUE_MATE + TB_MAX_MATE_PLY + 1) return -kTableWin;
  return tbScore * 10;  // centipawns to thousandths: wins and losses the fifty-move rule spoils
}

#endif

}  // namespace

bool tablebasesBuiltIn() {
#ifdef MORVEK_FATHOM
  return true;
#else
  return false;
#endif
}

void noteSetupFen(const char* fen) {
  // Fields: placement, side, castling, en passant, halfmove clock.
  setupHalfmoves = 0;
  const char* c = fen;
  for (int field = 0; field < 4 && *c; ++field) {
    while (*c == ' ') ++c;
    while (*c && *c != ' ') ++c;
  }
  const long value = strtol(c, nullptr, 10);
  setupHalfmoves = value > 0 && value < 1000 ? int(value) : 0;
}

#ifdef MORVEK_FATHOM

void loadTablebases(const char* path, char* message, size_t messageSize) {
  tablebasePieces = 0;
  rootInTables = false;
  if (path[0] == '\0' || strcmp(path, "<empty>") == 0) {
    // An empty path unloads them. (Not tb_free: Debian's Fathom leaves its
    // freed tables behind for the next tb_init to crash on.)
    tb_init("");
    snprintf(message, messageSize, "SyzygyPath empty: no endgame tables");
    return;
  }
  if (!tb_init(path)) {
    snprintf(message, messageSize, "SyzygyPath %s: the tables could not be loaded", path);
    return;
  }
  tablebasePieces = int(TB_LARGEST);
  if (tablebasePieces == 0)
    snprintf(message, messageSize, "SyzygyPath %s: no Syzygy tables found", path);
  else
    snprintf(message, messageSize, "SyzygyPath %s: Syzygy tables for up to %d pieces", path, tablebasePieces);
}

int probeTablesAfterZeroing(int ply, int* value) {
  if (!zeroesCount(lastMove()) || pos.castleRights != 0) return 0;
  const unsigned wdl = tb_probe_wdl(
      tableSquares(pos.occupiedBy[kWhite]), tableSquares(pos.occupiedBy[kBlack]), tableSquares(kKing),
      tableSquares(kQueen), tableSquares(kRook), tableSquares(kBishop), tableSquares(kKnight),
      tableSquares(kPawn), 0, 0, tableEnPassant(), pos.sideToMove == kWhite);
  if (wdl == TB_RESULT_FAILED) return 0;
  // A win the fifty-move rule spoils is a draw; nearer wins score higher.
  *value = wdl == TB_WIN ? kTableWin - ply : wdl == TB_LOSS ? ply - kTableWin : 0;
  return 1;
}

void keepTableRootMoves() {
  rootInTables = false;
  if (!tablesMayKnow() || pos.castleRights != 0) return;
  const int plies = reversiblePlies();
  const unsigned rule50 = unsigned(plies < 255 ? plies : 255);
  const uint64_t white = tableSquares(pos.occupiedBy[kWhite]), black = tableSquares(pos.occupiedBy[kBlack]);
  const uint64_t kings = tableSquares(kKing), queens = tableSquares(kQueen), rooks = tableSquares(kRook);
  const uint64_t bishops = tableSquares(kBishop), knights = tableSquares(kKnight), pawns = tableSquares(kPawn);
  const unsigned ep = tableEnPassant();
  const bool turn = pos.sideToMove == kWhite;
  int ok = tb_probe_root_dtz(white, black, kings, queens, rooks, bishops, knights, pawns, rule50, 0, ep, turn,
                             repeatedSinceZeroing(plies), true, &ranking);
  // Without the distance-to-zeroing tables the win/draw/loss tables still sort the moves.
  if (!ok) ok = tb_probe_root_wdl(white, black, kings, queens, rooks, bishops, knights, pawns, rule50, 0, ep,
                                  turn, true, &ranking);
  if (!ok || ranking.size == 0) return;

  int best = 0;
  for (unsigned i = 1; i < ranking.size; ++i)
    if (ranking.moves[i].tbRank > ranking.moves[best].tbRank) best = int(i);
  // The kept moves go to the front of the root list, in the library's order,
  // as our move words (a rook or bishop promotion made from the queen's).
  const int first = listStart[0], end = listStart[1];
  Move kept[TB_MAX_MOVES];
  int count = 0;
  for (unsigned i = 0; i < ranking.size; ++i) {
    const TbRootMove& r = ranking.moves[i];
    if (r.tbRank != ranking.moves[best].tbRank) continue;
    const Square from = Square(TB_MOVE_FROM(r.move) ^ 56), to = Square(TB_MOVE_TO(r.move) ^ 56);
    const int promotion = kPromotionPiece[TB_MOVE_PROMOTES(r.move)];
    for (int j = first; j < end; ++j) {
      const Move m = moveStack[j];
      if (moveOrigin(m) != from || moveTarget(m) != to) continue;
      if (promotion == kNone) {
        kept[count++] = m;
      } else if (m & kPromotion) {
        kept[count++] = (m & ~kPieceMask) | (Move(promotion) << 12);
      }
      break;
    }
  }
  if (count == 0) return;  // no move of ours matched: keep them all
  for (int i = 0; i < count; ++i) moveStack[first + i] = kept[i];
  listStart[1] = first + count;
  rootInTables = true;
  rootTableScore = scoreOfRank(ranking.moves[best].tbScore);
}

#else

void loadTablebases(const char* path, char* message, size_t messageSize) {
  tablebasePieces = 0;
  snprintf(message, messageSize, "SyzygyPath %s: this build has no endgame tables", path);
}

int probeTablesAfterZeroing(int, int*) { return 0; }

void keepTableRootMoves() { rootInTables = false; }

#endif

int shownRootScore(int score) {
  if (!rootInTables || score > kMateThreshold || score < -kMateThreshold) return score;
  return rootTableScore;
}
