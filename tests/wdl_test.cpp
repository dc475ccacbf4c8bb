// The win/draw/loss model of UCI_ShowWDL: its promises over every score and
// material, a few values of the fit, and the info lines that carry it.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "engine/wdl.h"
#include "engine_process.h"
#include "test_support.h"

namespace {

TEST(WinDrawLoss, PerMilleSummingTo1000MonotoneAndSymmetric) {
  for (int material : {-5, 0, 4, 20, 40, 78, 104, 1000}) {
    WinDrawLoss before = winDrawLoss(-100000, material);
    for (int score = -5000; score <= 5000; score += 7) {
      const WinDrawLoss now = winDrawLoss(score, material), mirror = winDrawLoss(-score, material);
      ASSERT_GE(now.win, 0);
      ASSERT_GE(now.draw, 0);
      ASSERT_GE(now.loss, 0);
      ASSERT_EQ(now.win + now.draw + now.loss, 1000) << score << " " << material;
      ASSERT_GE(now.win, before.win) << score << " " << material;
      ASSERT_LE(now.loss, before.loss) << score << " " << material;
      ASSERT_EQ(now.win, mirror.loss) << score << " " << material;
      ASSERT_EQ(now.draw, mirror.draw) << score << " " << material;
      before = now;
    }
  }
  // The extremes of an int stay in range.
  for (int score : {INT32_MIN, INT32_MAX}) {
    const WinDrawLoss w = winDrawLoss(score, 40);
    EXPECT_EQ(w.win + w.draw + w.loss, 1000);
  }
  EXPECT_EQ(winDrawLoss(INT32_MAX, 40).win, 1000);
  EXPECT_EQ(winDrawLoss(INT32_MIN, 40).loss, 1000);
}

// The fit's shape: an even score is even, and the fewer pieces are left, the
// more a small edge is a draw and the more a large one is still only likely.
TEST(WinDrawLoss, ValuesOfTheFit) {
  const WinDrawLoss even = winDrawLoss(0, 78), evenEnding = winDrawLoss(0, 10);
  EXPECT_EQ(even.win, even.loss);
  EXPECT_GT(evenEnding.draw, even.draw);
  EXPECT_GT(winDrawLoss(100, 78).win, winDrawLoss(100, 10).win);
  EXPECT_GT(winDrawLoss(300, 40).win, 800);
  EXPECT_LT(winDrawLoss(300, 40).win, 1000);
  EXPECT_EQ(winDrawLoss(3000, 40).win, 1000);
}

TEST(WinDrawLoss, MaterialCountsPiecesAsTheModelDoes) {
  const struct { const char* fen; int material; } rows[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 78},
      {"4k3/8/8/8/8/8/8/4K3 w - -", 0},
      {"4k3/1p6/8/8/8/8/8/QN2K2B w - -", 1 + 9 + 3 + 3},
      {"r3k3/8/8/8/8/8/8/4K3 b - -", 5},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen));
    EXPECT_EQ(materialCount(), row.material) << row.fen;
  }
}

}  // namespace
