#include "engine/search_threads.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "board/attacks.h"
#include "board/position.h"
#include "eval/eval_cache.h"
#include "search/root_lines.h"
#include "search/search.h"
#include "search/search_clock.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "search/strong_search.h"

#ifdef __EMSCRIPTEN__
// The page's engine runs in one worker: one thread, always.
int setSearchThreads(int) { return 1; }
int searchThreadCount() { return 1; }
void startHelpers(int) {}
void stopHelpers() {}
#else

namespace {

// The root as the think's thread readied it, copied by each helper when it
// starts. Written only while every helper is idle.
struct RootSnapshot {
  Position position;
  int rootCount;
  Move moves[kMaxRootMoves];
  int scores[kMaxRootMoves];
  RootMove records[kMaxRootMoves];
  Move skipped[kMaxRootMoves];
  int skippedCount;
  int rootSide;
  int nullMoveAllowed;
  SearchKind kind;
};
RootSnapshot snapshot;

std::mutex poolLock;
std::condition_variable wakeHelpers, helpersIdle;
std::vector<std::thread> helpers;  // helper i + 1 of the think is helpers[i]
int generation = 0;                // one more at every start
int helpersWanted = 0;             // helpers of the current start
int helpersRunning = 0;
bool helpersQuit = false;
bool helpersActive = false;        // started and not yet stopped (the think's thread only)

void hearNothing(const RootMove&, int, uint64_t) {}

// Half the helpers begin one ply deeper than the rest, so that they do not
// all search the same depth at the same moment.
int firstDepth(int index) { return kFirstIteration + (index & 1); }

void searchSnapshot(int index) {
  const RootSnapshot& root = snapshot;
  pos = root.position;
  searchPly = 0;
  listStart[0] = 0;
  listStart[1] = root.rootCount;
  memcpy(moveStack, root.moves, sizeof(Move) * size_t(root.rootCount));
  memcpy(moveScore, root.scores, sizeof(int) * size_t(root.rootCount));
  memset(rootMoves, 0, sizeof rootMoves);
  memcpy(rootMoves, root.records, sizeof(RootMove) * size_t(root.rootCount));
  memcpy(skippedRootMoves, root.skipped, sizeof(Move) * size_t(root.skippedCount));
  skippedRootCount = root.skippedCount;
  rootSide = root.rootSide;
  nullMoveAllowed = root.nullMoveAllowed;
  memset(historyScore, 0, sizeof historyScore);
  memset(bestAtPly, 0, sizeof bestAtPly);
  memset(pvAtPly, 0, sizeof pvAtPly);
  memset(rootLine, 0, sizeof rootLine);
  inNullMove = 0;
  selDepth = 0;
  if (allocateSearchTree()) seedSearchTree();
  activeSearch = root.kind == kSearchStrong && prepareStrongTables() ? kSearchStrong : kSearchExact;

  startHelperClock();
  for (int depth = firstDepth(index); depth <= kLastIteration; ++depth) {
    iterationDepth = depth;
    principalSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), rootLine, 0, 1});
    if (searchClock.stopFlag) break;
  }
  publishHelperNodes();
}

// seen: the start the helper was created after, which is not its to search.
void helperLoop(int index, int seen) {
  helperThread = true;
  newBestMoveListener = hearNothing;
  // Without a cache of its own the helper would share the first thread's.
  const bool ready = useEvalCacheOfThisThread();
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(poolLock);
      wakeHelpers.wait(hold, [&] { return helpersQuit || generation != seen; });
      if (helpersQuit) break;
      seen = generation;
      if (index > helpersWanted) continue;
      if (!ready) {  // it sits this search out
        if (--helpersRunning == 0) helpersIdle.notify_all();
        continue;
      }
    }
    searchSnapshot(index);
    std::lock_guard<std::mutex> hold(poolLock);
    if (--helpersRunning == 0) helpersIdle.notify_all();
  }
  releaseEvalCacheOfThisThread();
  releaseSearchTree();
  releaseStrongTables();
}

void endHelpers() {
  {
    std::lock_guard<std::mutex> hold(poolLock);
    helpersQuit = true;
  }
  wakeHelpers.notify_all();
  for (std::thread& helper : helpers) helper.join();
  helpers.clear();
  helpersQuit = false;
}

// Joins the helpers at exit: a thread still joinable then would end the process.
struct PoolEnd {
  ~PoolEnd() { endHelpers(); }
} poolEnd;

}  // namespace

int setSearchThreads(int count) {
  if (count < 1) count = 1;
  if (count > kMaxSearchThreads) count = kMaxSearchThreads;
  // Never inside a search (the protocols keep such lines until it ends).
  if (count == searchThreadCount() || helpersActive) return searchThreadCount();
  endHelpers();
  helpers.reserve(size_t(count - 1));
  for (int index = 1; index < count; ++index) helpers.emplace_back(helperLoop, index, generation);
  return count;
}

int searchThreadCount() { return int(helpers.size()) + 1; }

void startHelpers(int threads) {
  const int wanted = std::min(threads, searchThreadCount()) - 1;
  if (wanted <= 0) return;
  RootSnapshot& root = snapshot;
  root.position = pos;
  root.rootCount = listStart[1] - listStart[0];
  memcpy(root.moves, moveStack + listStart[0], sizeof(Move) * size_t(root.rootCount));
  memcpy(root.scores, moveScore + listStart[0], sizeof(int) * size_t(root.rootCount));
  memcpy(root.records, rootMoves, sizeof(RootMove) * size_t(root.rootCount));
  memcpy(root.skipped, skippedRootMoves, sizeof(Move) * size_t(skippedRootCount));
  root.skippedCount = skippedRootCount;
  root.rootSide = rootSide;
  root.nullMoveAllowed = nullMoveAllowed;
  root.kind = activeSearch;
  helpersStop.store(false, std::memory_order_relaxed);
  {
    std::lock_guard<std::mutex> hold(poolLock);
    helpersWanted = wanted;
    helpersRunning = wanted;
    ++generation;
  }
  wakeHelpers.notify_all();
  helpersActive = true;
}

void stopHelpers() {
  if (!helpersActive) return;
  helpersStop.store(true, std::memory_order_relaxed);
  std::unique_lock<std::mutex> hold(poolLock);
  helpersIdle.wait(hold, [] { return helpersRunning == 0; });
  helpersActive = false;
}
#endif
