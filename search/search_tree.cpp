#include "search/search_tree.h"

#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/per_thread.h"

PER_THREAD SearchTree* searchTree = nullptr;

int allocateSearchTree() {
  if (!searchTree) searchTree = static_cast<SearchTree*>(calloc(1, sizeof(SearchTree)));
  return searchTree != nullptr;
}

void releaseSearchTree() {
  free(searchTree);
  searchTree = nullptr;
}

void clearSearchTree() {
  if (searchTree) memset(searchTree, 0, sizeof(SearchTree));
}

void seedSearchTree() {
  clearSearchTree();
  for (int i = listStart[0]; i < listStart[1]; ++i) {
    const int side = pos.sideToMove;
    const uint32_t keyLow = pos.keyLow;
    const uint32_t keyHigh = pos.keyHigh;
    const Move m = moveStack[i];
    makeMove(m);
    const int givesCheck = sideAttacks(pos.opponent, pos.kingSquare[pos.sideToMove]);
    TreeNode* node = newTreeNode(0, side, 0, givesCheck, m, keyLow, keyHigh);
    if (node) pushFront(&searchTree->rootList, node);
    unmakeMove(m);
  }
}

TreeNode** findLink(TreeNode** slot, Move move) {
  if (!slot) return nullptr;
  for (; *slot; slot = &(*slot)->next) {
    if ((*slot)->move == move) return slot;
  }
  return nullptr;
}

void moveToFront(TreeNode** head, TreeNode** slot) {
  TreeNode* node = *slot;
  TreeNode* front = *head;
  if (node == front) return;
  node->stamp = front ? front->stamp + 1 : 1;
  *slot = node->next;
  node->next = front;
  *head = node;
}

TreeNode* newTreeNode(int depth, int side, int score, int isInCheck, Move move, uint32_t keyLow,
                      uint32_t keyHigh) {
  if (!searchTree || searchTree->nodeCount >= kTreeNodes) return nullptr;
  TreeNode* node = &searchTree->nodes[searchTree->nodeCount++];
  node->move = move;
  node->depth = depth;
  node->score = score;
  node->sideToMove = side;
  node->isInCheck = isInCheck;
  node->keyLow = keyLow;
  node->keyHigh = keyHigh;
  return node;
}

void pushFront(TreeNode** head, TreeNode* node) {
  if (!head || !node || *head == node) return;
  TreeNode* front = *head;
  node->stamp = front ? front->stamp + 1 : 1;
  node->next = front;
  *head = node;
  if (!searchTree) return;
  TreeNode** bucket = &searchTree->keyBuckets[node->keyLow & (kKeyBuckets - 1)];
  node->keyBucketNext = *bucket;
  *bucket = node;
}

TreeNode** findTreeList() {
  if (!searchTree) return nullptr;
  TreeNode** slot = &searchTree->rootList;
  int ply = searchPly;
  if (!*slot || ply == 0) return slot;
  for (int i = 0; i < ply; ++i) {
    if (!*slot) return nullptr;
    TreeNode** found = findLink(slot, pos.moveHistory[pos.gamePly + 1 + i]);
    if (!found) return nullptr;
    slot = &(*found)->firstChild;
  }
  return slot;
}

void storeRootLine(const Move* line, int depth, int score) {
  if (!searchTree) return;
  TreeNode** slot = &searchTree->rootList;
  int d = depth;
  int made = 0;
  for (int i = 0; i < kMaxStoredLine && line[i] != 0; ++i) {
    TreeNode** found = findLink(slot, line[i]);
    makeMove(line[i]);
    ++made;
    if (found) {
      moveToFront(slot, found);
      (*slot)->depth = d;
    } else {
      TreeNode* node = newTreeNode(d, pos.sideToMove, score, inCheck(), line[i], pos.keyLow, pos.keyHigh);
      // Pool exhausted: the front of this list is some other move, so
      // descending further would file the rest of the line under it.
      if (!node) break;
      pushFront(slot, node);
    }
    slot = &(*slot)->firstChild;
    --d;
  }
  for (int i = made - 1; i >= 0; --i) unmakeMove(line[i]);
}

Move frontRootMove() {
  if (!searchTree || !searchTree->rootList) return 0;
  return searchTree->rootList->move;
}
