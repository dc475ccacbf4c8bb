// The win/draw/loss model of UCI_ShowWDL: its promises, a few values of the fit, the material it counts.
#include <gtest/gtest.h>

#include <tuple>

#include "engine/wdl.h"

namespace {

std::tuple<int, int, int> parts(const WinDrawLoss& w) { return std::make_tuple(w.win, w.draw, w.loss); }

TEST(WinDrawLoss, PerMilleSummingTo1000MonotoneAndSymmetric) {
  for (int material : {-5, 0, 4, 20, 40, 78, 104, 1000}) {
    WinDrawLoss before = winDrawLoss(-100000, material);
    for (int score = -5000; score <= 5000; score += 7) {
      const WinDrawLoss now = winDrawLoss(score, material), mirror = winDrawLoss(-score, material);
      ASSERT_TRUE(now.win >= 0 && now.draw >= 0 && now.loss >= 0 && now.win + now.draw + now.loss == 1000 &&
                  now.win >= before.win && now.loss <= before.loss) << score << " " << material;
      ASSERT_EQ(parts(now), std::make_tuple(mirror.loss, mirror.draw, mirror.win)) << score << " " << material;
      before = now;
    }
  }
  // The extremes of an int stay in range.
  EXPECT_EQ(parts(winDrawLoss(INT32_MAX, 40)), std::make_tuple(1000, 0, 0));
  EXPECT_EQ(parts(winDrawLoss(INT32_MIN, 40)), std::make_tuple(0, 0, 1000));
  // An even score is even; with fewer pieces a small edge is more a draw, a large one less sure a win.
  EXPECT_EQ(winDrawLoss(0, 78).win, winDrawLoss(0, 78).loss);
  EXPECT_TRUE(winDrawLoss(0, 10).draw > winDrawLoss(0, 78).draw && winDrawLoss(100, 78).win > winDrawLoss(100, 10).win);
  EXPECT_TRUE(winDrawLoss(300, 40).win > 800 && winDrawLoss(300, 40).win < 1000 && winDrawLoss(3000, 40).win == 1000);
}

}  // namespace
