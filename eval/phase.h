// The game-phase fraction that the king tables, the evaluation and king
// safety share: how much of the opponent's fighting material is left.
#pragma once

// 0 (bare, or a lone minor piece) to 1 (a queen, two rooks and more).
double opponentPhase(int side);
