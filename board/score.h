// Score values every layer shares (search, book learning, endgame tables,
// protocol reports), from the side to move's view; a pawn is 1000.
#pragma once

constexpr int kInfinity = 1000000;      // bound of the root window
constexpr int kMateThreshold = 999900;  // beyond this a score is a forced mate
constexpr int kMatedAtZero = 999999;    // mated at ply p scores p - kMatedAtZero
constexpr int kRootSideDraw = -8;       // contempt for the root side in innerSearch
