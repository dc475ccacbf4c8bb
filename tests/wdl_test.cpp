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

// Through the engine: no "wdl" unless asked; then on every scored line,
// certain for a mate, and from the model of the root's material otherwise.
TEST(WinDrawLoss, InfoLinesCarryItWhenAsked) {
  EngineDir dir;
  const std::string mate = "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -\ngo depth 3\n";
  const std::string queen = "position fen 4k3/8/8/8/8/8/8/4K2Q b - -\ngo depth 3\n";
  EngineRun run = runEngine(dir, "uci\n" + mate);
  EXPECT_EQ(run.out.find(" wdl "), std::string::npos);
  run = runEngine(dir, "uci\nsetoption name UCI_ShowWDL value true\n" + mate + queen);
  std::istringstream lines(run.out);
  int scored = 0;
  const WinDrawLoss down = winDrawLoss(-1019, 9);
  const std::string queenDown = " wdl " + std::to_string(down.win) + " " + std::to_string(down.draw) + " " +
                                std::to_string(down.loss) + " ";
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" score ") == std::string::npos) continue;
    ++scored;
    if (line.find("score mate 1 ") != std::string::npos) {
      EXPECT_NE(line.find("mate 1 wdl 1000 0 0 "), std::string::npos) << line;
    }
    if (line.find("score cp -1019 ") != std::string::npos) {
      EXPECT_NE(line.find(queenDown), std::string::npos) << line;
    }
    EXPECT_TRUE(std::regex_search(line, std::regex(" score (cp|mate) -?\\d+ wdl \\d+ \\d+ \\d+ "))) << line;
  }
  EXPECT_GT(scored, 4);
  EXPECT_NE(run.out.find("cp -1019 wdl"), std::string::npos);
}

}  // namespace
