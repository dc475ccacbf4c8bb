// Quiescence search: captures and promotions below the nominal depth.
#pragma once

// The best of alpha, the stand-pat score and the moves searched; a cutoff
// returns the score that caused it.
int quiesce(int alpha, int beta);
