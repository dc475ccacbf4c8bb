#include "eval/pawns.h"

#include "board/attacks.h"
#include "board/per_thread.h"
#include "board/position.h"
#include "eval/attack_map.h"

namespace {

constexpr int kStartRow[2] = {6, 1};

inline bool inOpponentHalf(int s, int row) { return s == kWhite ? row <= 3 : row >= 4; }
inline bool onBoard(int square) { return square >= 0 && square < 64; }
inline int distance(int a, int b) {
  int df = (a & 7) - (b & 7), dr = (a >> 3) - (b >> 3);
  if (df < 0) df = -df;
  if (dr < 0) dr = -dr;
  return df > dr ? df : dr;
}

}  // namespace

namespace {

// Flags of a pawn's structure record: the terms that also need the rest of the board.
constexpr int kFrontEnemyCosts = 1;  // isolated or backward: an enemy piece in front costs 2
constexpr int kExposed = 2;          // no own pawn guards it: each attack on it costs 3
constexpr int kPassed = 4;           // the path is free of enemy pawns and their guard
constexpr int kFlagBits = 3;
constexpr int kValueOffset = 256;    // keeps the packed record positive

constexpr int kPawnTableBits = 11;
constexpr uint32_t kPawnTableEntries = 1u << kPawnTableBits;

struct PawnEntry {
  uint64_t pawns[2];    // the pawns the records belong to
  uint16_t record[64];  // by square, for the squares holding one of those pawns
};

PER_THREAD PawnEntry pawnTable[kPawnTableEntries];

}  // namespace

int pawnStructure(int s, int q) {
  const int o = s ^ 1;
  const int row = q >> 3, file = q & 7;
  const int F = q + kPawnStep[s];
  const SquareSet guarded = pawnAttackSet(s);
  const bool frontGuarded = onBoard(F) && (guarded & squareBit(F));
  int r = 0, flags = 0;

  // Half-open file.
  if (pos.pawnsOnFile[o][file] == 0) {
    r += 1;
    if (inOpponentHalf(s, row)) r += 2;
  }
  // Unsupported advance.
  if (!frontGuarded) r -= 1;
  // Doubled.
  if (pos.pawnsOnFile[s][file] > 1) r -= 6;
  // Isolated or backward.
  const bool isolated = (file == 0 || pos.pawnsOnFile[s][file - 1] == 0) &&
                        (file == 7 || pos.pawnsOnFile[s][file + 1] == 0);
  if (isolated) {
    r -= 12;
    flags |= kFrontEnemyCosts;
  } else {
    // Guarded by an own pawn on the front square, the pawn's own square or behind it.
    const SquareSet rear = squareBit(q) | kAttackSets.ray[kForwardDirection[o]][q];
    if (!frontGuarded && !(rear & guarded)) {
      r -= 2;
      if (pos.pawnsOnFile[o][file] == 0) r -= 2;
      flags |= kFrontEnemyCosts;
    }
  }
  // Exposed: no pawn defends it (a pawn on its start row may lean on its front square).
  const bool defended = guarded & squareBit(q);
  if (!defended && !(row == kStartRow[s] && frontGuarded)) flags |= kExposed;

  // Passed test: nothing of the opponent's pawns on or guarding the path.
  const SquareSet path = kAttackSets.ray[kForwardDirection[s]][q];
  if (!(path & (pos.piecesOf[o][kPawn] | pawnAttackSet(o)))) {
    flags |= kPassed;
    const int rank = s == kWhite ? 8 - row : row + 1;
    const int B = 1 << (rank - 1);
    r += 26 + B;
    if (defended || frontGuarded) r += B / 2 + 2;
  }
  return ((r + kValueOffset) << kFlagBits) | flags;
}

int pawnTerms(int s, int q, double ph, int record) {
  const int o = s ^ 1;
  const int row = q >> 3, file = q & 7;
  const int f = kPawnStep[s];
  const int* own = attackMap[s];
  const int* opp = attackMap[o];
  // A set-up may leave a pawn on its last row; its front square is then off
  // the board and reads as empty and unattacked.
  const int F = q + f;
  const bool frontOnBoard = onBoard(F);
  const int ownF = frontOnBoard ? own[F] : 0;
  const int frontColour = frontOnBoard ? pos.colourAt[F] : kNoColour;
  int r = (record >> kFlagBits) - kValueOffset;

  if ((record & kFrontEnemyCosts) && frontColour == o) r -= 2;
  if (record & kExposed) r -= 3 * attackCount(opp[q]);
  // Blocked; the centre pawns on their home squares pay more.
  if (frontColour != kNoColour) {
    r -= 1;
    if (s == kWhite ? (q == 51 || q == 52) : (q == 11 || q == 12)) r -= 2;
  }
  if (!(record & kPassed)) return r;

  // A passed pawn's path: enemy pieces on it and attacks on its squares.
  int c = 0;
  for (int x = F; onBoard(x); x += f) {
    if (pos.colourAt[x] == o) c += 1;
    c += attackCount(opp[x]);
  }
  if (c > 4) c = 4;
  r -= c;
  if (frontColour == o) r -= 2;

  // Pawn race against a bare king (pawns only).
  if (ph == 0.0 && pos.pieceCount[o][kKnight] == 0 && pos.pieceCount[o][kBishop] == 0 &&
      pos.pieceCount[o][kRook] == 0) {
    const int rank = s == kWhite ? 8 - row : row + 1;
    const int B = 1 << (rank - 1);  // 2 on the second rank .. 64 on the seventh
    const int promotion = kPromotionRow[s] * 8 + file;
    const int dp = row > kPromotionRow[s] ? row - kPromotionRow[s] : kPromotionRow[s] - row;
    const int dk = distance(pos.kingSquare[o], promotion);
    if (dp < dk) return r + 8 * B;
    const bool rookPawn = file == 0 || file == 7;
    if (ownF & kKingBit) {
      r += 2;
      if (!rookPawn && inOpponentHalf(s, row)) r += 8;
    }
    if (rookPawn && pos.kingSquare[o] == promotion) r -= 4;
  }
  return r;
}

int evaluatePawn(int s, int q, double ph) { return pawnTerms(s, q, ph, pawnStructure(s, q)); }

const uint16_t* pawnStructures() {
  const uint64_t white = pos.piecesOf[kWhite][kPawn];
  const uint64_t black = pos.piecesOf[kBlack][kPawn];
  const uint64_t mixed = white * 0x9E3779B97F4A7C15ull ^ black * 0xC2B2AE3D27D4EB4Full;
  PawnEntry& e = pawnTable[mixed >> (64 - kPawnTableBits)];
  if (e.pawns[kWhite] != white || e.pawns[kBlack] != black) {
    e.pawns[kWhite] = white;
    e.pawns[kBlack] = black;
    for (int s = kWhite; s <= kBlack; s++)
      for (SquareSet set = pos.piecesOf[s][kPawn]; set; set &= set - 1) {
        const int q = lowestSquare(set);
        e.record[q] = uint16_t(pawnStructure(s, q));
      }
  }
  return e.record;
}
