// Win, draw and loss chances of a score, for UCI_ShowWDL: a logistic model
// of the game's result against the score and the material on the board,
// fitted to Morvek's own self-play games (tools/wdl_games.mjs and
// tools/wdl_fit.mjs; docs/options.md says how).
#pragma once

struct WinDrawLoss {
  int win, draw, loss;  // per mille, for the side the score is of; they add up to 1000
};

// scoreCp: centipawns for the side to move (the engine's score / 10);
// material: both sides' pieces counted P 1, N 3, B 3, R 5, Q 9 (materialCount).
// Never negative, the sum exactly 1000, win rising and loss falling with the
// score, and a score of -s gives (loss, draw, win) of s.
WinDrawLoss winDrawLoss(int scoreCp, int material);

// The material of the position on the board, counted as the model counts it.
int materialCount();
