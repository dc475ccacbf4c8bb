#include "engine/wdl.h"

#include <cmath>

#include "board/position.h"

namespace {

// The fit (tools/wdl_fit.mjs): a(m) = kA0 + kA1 * m / 78, b(m) = kB0 + kB1 * m / 78,
// in centipawns; m is held to 0..78, the material of the start position, where
// a(m) stays positive (a draw is always possible).
constexpr double kA0 = 164.63, kA1 = -144.61;
constexpr double kB0 = 155.72, kB1 = -14.38;
constexpr int kFullMaterial = 78;
// Beyond this every game of the fit was decided: the chances stop moving.
constexpr int kScoreCap = 4000;

int perMilleWin(int score, double a, double b) { return int(std::lround(1000.0 / (1.0 + std::exp((a - score) / b)))); }

}  // namespace

WinDrawLoss winDrawLoss(int scoreCp, int material) {
  const int score = scoreCp < -kScoreCap ? -kScoreCap : scoreCp > kScoreCap ? kScoreCap : scoreCp;
  const double m = material < 0 ? 0 : material > kFullMaterial ? kFullMaterial : material;
  const double a = kA0 + kA1 * m / kFullMaterial, b = kB0 + kB1 * m / kFullMaterial;
  const int win = perMilleWin(score, a, b), loss = perMilleWin(-score, a, b);
  return WinDrawLoss{win, 1000 - win - loss, loss};
}

int materialCount() {
  int sum = 0;
  for (int side = kWhite; side <= kBlack; ++side)
    sum += pos.pieceCount[side][kPawn] + 3 * (pos.pieceCount[side][kKnight] + pos.pieceCount[side][kBishop]) +
           5 * pos.pieceCount[side][kRook] + 9 * pos.pieceCount[side][kQueen];
  return sum;
}
