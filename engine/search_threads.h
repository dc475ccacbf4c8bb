// Helper threads of a parallel think ("lazy" parallel search): each searches
// the root the think's own thread readied, with a position and tables of its
// own, and shares only the transposition tables with it, where what it finds
// shortens the think's own search. The think's thread alone reads the clock
// and the input, prints, and chooses the move; helpers only stop when told.
#pragma once

constexpr int kMaxSearchThreads = 256;

// Threads for the thinks to come, 1 to kMaxSearchThreads (clamped): helpers
// are started or ended here, between searches only. Returns the count now.
int setSearchThreads(int count);
int searchThreadCount();

// After the root is ready (prepareRoot, null-move rule, root restrictions):
// starts up to threads - 1 helpers on it. Nothing happens with threads 1.
void startHelpers(int threads);
// Tells the helpers to stop and waits until every one is idle again; their
// nodes are then all in helperNodes.
void stopHelpers();
