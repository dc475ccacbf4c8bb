#include "eval/pawns.h"

#include "board/attacks.h"
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

int evaluatePawn(int s, int q, double ph) {
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
  int r = 0;

  // Half-open file.
  if (pos.pawnsOnFile[o][file] == 0) {
    r += 1;
    if (inOpponentHalf(s, row)) r += 2;
  }
  // Unsupported advance.
  if (!(ownF & kPawnBit)) r -= 1;
  // Doubled.
  if (pos.pawnsOnFile[s][file] > 1) r -= 6;
  // Isolated or backward.
  const bool isolated = (file == 0 || pos.pawnsOnFile[s][file - 1] == 0) &&
                        (file == 7 || pos.pawnsOnFile[s][file + 1] == 0);
  if (isolated) {
    r -= 12;
    if (frontColour == o) r -= 2;
  } else {
    // Guarded by an own pawn on the front square, the pawn's own square or behind it.
    const SquareSet rear = squareBit(q) | kAttackSets.ray[kForwardDirection[o]][q];
    const bool covered = (ownF & kPawnBit) || (rear & pawnAttackSet(s));
    if (!covered) {
      r -= 2;
      if (pos.pawnsOnFile[o][file] == 0) r -= 2;
      if (frontColour == o) r -= 2;
    }
  }
  // Exposed: attacked without a pawn to defend it.
  if (!(own[q] & kPawnBit) && !(row == kStartRow[s] && (ownF & kPawnBit)))
    r -= 3 * attackCount(opp[q]);
  // Blocked; the centre pawns on their home squares pay more.
  if (frontColour != kNoColour) {
    r -= 1;
    if (s == kWhite ? (q == 51 || q == 52) : (q == 11 || q == 12)) r -= 2;
  }

  // Passed test: nothing of the opponent's pawns on or guarding the path.
  const SquareSet path = kAttackSets.ray[kForwardDirection[s]][q];
  if (path & (pos.piecesOf[o][kPawn] | pawnAttackSet(o))) return r;
  int c = 0;
  for (int x = F; onBoard(x); x += f) {
    if (pos.colourAt[x] == o) c += 1;
    c += attackCount(opp[x]);
  }
  if (c > 4) c = 4;
  const int rank = s == kWhite ? 8 - row : row + 1;
  const int B = 1 << (rank - 1);  // 2 on the second rank .. 64 on the seventh
  r += 26 + B - c;
  if (frontColour == o) r -= 2;
  if ((own[q] | ownF) & kPawnBit) r += B / 2 + 2;

  // Pawn race against a bare king (pawns only).
  if (ph == 0.0 && pos.pieceCount[o][kKnight] == 0 && pos.pieceCount[o][kBishop] == 0 &&
      pos.pieceCount[o][kRook] == 0) {
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
