#include "engine/think.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "board/position.h"
#include "board/random.h"
#include "book/book_choice.h"
#include "book/learning.h"
#include "engine/clock.h"
#include "engine/strength.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "search/trans_table.h"

namespace {

constexpr int kBookDraws = 20;         // the book is tried when min(ply, 15) < rand() % 20
constexpr int kBookPlyCap = 15;
constexpr int kDoublingPlies = 60;     // the budget doubles while fewer game moves were played
constexpr int kNullMoveMaterial = 14000;  // material besides the king each side needs

int rootMoveCount() { return listStart[1] - listStart[0]; }

// Better when found at a greater depth, or at equal depth with a greater score.
bool rootBetter(const RootMove& a, const RootMove& b) {
  return a.depth > b.depth || (a.depth == b.depth && a.score > b.score);
}

// The search ran without a search tree (its block could not be had): play
// the best root record instead, which is a legal move all the same.
Move bestRootRecord() {
  int best = 0;
  for (int i = 1; i < rootMoveCount(); ++i)
    if (rootBetter(rootMoves[i], rootMoves[best])) best = i;
  return rootMoves[best].move;
}

int runIteration(int depth) {
  iterationDepth = depth;
  return principalSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), rootLine, 0, 1});
}

}  // namespace

void buildRootList() {
  std::memset(rootMoves, 0, sizeof rootMoves);
  // A position whose opponent king stands in check has no legal move to play:
  // the only "move" the generator could offer would capture a king.
  if (!generateLegalMoves()) listStart[1] = listStart[0];
  // Unreachable in real games, but a FEN can pack more moves than records.
  if (rootMoveCount() > kMaxRootMoves) listStart[1] = listStart[0] + kMaxRootMoves;
  for (int i = 0; i < rootMoveCount(); ++i) {
    const Move m = moveStack[listStart[0] + i];
    RootMove& record = rootMoves[i];
    record.move = m;
    makeMove(m);
    record.depth = 0;
    record.bound = kBoundExact;
    record.score = -evaluate(-kInfinity, kInfinity);
    unmakeMove(m);
  }
}

void selectBestRoot(int first, int last) {
  int best = first;
  for (int j = first + 1; j <= last; ++j)
    if (rootBetter(rootMoves[j], rootMoves[best])) best = j;
  if (best == first) return;
  std::swap(rootMoves[first], rootMoves[best]);
  std::swap(moveStack[listStart[0] + first], moveStack[listStart[0] + best]);
  std::swap(moveScore[listStart[0] + first], moveScore[listStart[0] + best]);
}

int prepareRoot() {
  prepareEvaluation();
  clearSearchTables();

  // Step 5.
  buildRootList();
  const int count = rootMoveCount();
  if (count == 0) return 0;
  rootSide = pos.sideToMove;

  // Steps 7-8. Order the root records and seed the tree with them; every
  // node goes in at the front, so the root list runs worst first.
  allocateSearchTree();
  clearSearchTree();
  for (int i = 0; i < count; ++i) {
    const int side = pos.sideToMove;
    const uint32_t keyLow = pos.keyLow;
    const uint32_t keyHigh = pos.keyHigh;
    selectBestRoot(i, count - 1);
    const Move m = moveStack[listStart[0] + i];
    makeMove(m);
    const int givesCheck = sideAttacks(pos.opponent, pos.kingSquare[pos.sideToMove]);
    TreeNode* node = newTreeNode(0, side, 0, givesCheck, m, keyLow, keyHigh);
    if (node) pushFront(&searchTree->rootList, node);
    unmakeMove(m);
  }
  return count;
}

void budgetSearchProper() {
  searchClock.savedBudget = searchClock.budget;
  if (pos.gamePly < kDoublingPlies) doubleBudget();
}

Move deepen(int lastDepth) {
  // Steps 10-12.
  nullMoveAllowed = pos.material[kWhite] - kPieceValue[kKing] > kNullMoveMaterial &&
                    pos.material[kBlack] - kPieceValue[kKing] > kNullMoveMaterial;
  std::memset(rootLine, 0, sizeof rootLine);
  budgetSearchProper();

  // Step 13. Iterative deepening.
  int lastScore = 0;
  for (int depth = kFirstIteration;;) {
    if (pollTime()) break;
    int score = runIteration(depth);
    // A score on the window's edge is no result: search the depth once more.
    if (!pollTime() && (score <= -kInfinity || score >= kInfinity)) score = runIteration(depth);
    if (score > kMateThreshold) break;
    if (score < -kMateThreshold && depth > 6) break;
    if (shouldStopDeepening(depth, score, lastScore)) break;
    ++depth;
    lastScore = score;
    if (depth > lastDepth) break;
  }
  searchClock.budget = searchClock.savedBudget;

  // Step 15. Without a tree block the best root record stands in.
  const Move front = frontRootMove();
  return front != 0 ? front : bestRootRecord();
}

int think(RootMove& result, const ThinkRequest& request) {
  // Steps 1-8.
  startClock();
  seedRandom(uint32_t(std::time(nullptr)));
  if (prepareRoot() == 0) return 0;

  // Step 9. The book, less and less likely as the game goes on.
  const int draw = request.useBook ? nextRandom() % kBookDraws : 0;
  if (std::min(pos.gamePly, kBookPlyCap) < draw) {
    const Move m = pickBookMove(listStart[0], listStart[1] - 1);
    if (m != 0) {
      result.move = m;
      return 1;
    }
  }

  // Steps 10-15; a limited game move is chosen at its level and not learned.
  const bool limited = request.atLevel && strength.limited;
  result.move = limited ? playAtLevel(request.lastDepth) : deepen(request.lastDepth);

  // Steps 16-18.
  if (request.learn && !limited) {
    recordSearchResult(rootMoves[0].score, rootMoves[0].depth);
    learnGameResult();
    noteFullStrengthLearning();
  }
  return 1;
}

Move expectedReply(Move played) {
  // The records of the last think end with the first empty one.
  for (int i = 0; i < kMaxRootMoves && rootMoves[i].move != 0; ++i) {
    if (rootMoves[i].move != played || rootMoves[i].line[0] != played) continue;
    if (rootMoves[i].line[1] == 0) return 0;
    char text[16];
    Move reply = 0;
    return parseMove(moveToText(rootMoves[i].line[1], text), &reply) ? reply : 0;
  }
  return 0;
}
