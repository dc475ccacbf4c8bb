// The principal lines found during one move choice, merged into one tree of
// moves whose sibling lists run most-recent-first. The root list holds every
// root move; its front node is the move to play.
#pragma once

#include <cstdint>

#include "board/per_thread.h"
#include "board/position.h"

constexpr int kTreeNodes = 10000;
constexpr int kKeyBuckets = 1024;
constexpr int kMaxStoredLine = 80;  // moves of a line that go into the tree

struct TreeNode {
  TreeNode* next;        // next sibling, most recent first
  TreeNode* firstChild;  // moves that may follow this one
  Move move;
  int32_t depth;       // remaining root depth when the line was last stored
  int32_t score;       // root score of the line that created the node
  int32_t sideToMove;  // after the move
  int32_t isInCheck;   // after the move
  uint32_t keyLow;     // position key after the move
  uint32_t keyHigh;
  TreeNode* keyBucketNext;
  int32_t stamp;  // one more than the front it displaced; 1 for a first node
};

struct SearchTree {
  TreeNode nodes[kTreeNodes];
  int32_t nodeCount;
  TreeNode* keyBuckets[kKeyBuckets];
  TreeNode* rootList;
};

// Null until the first move choice allocates it; kept to the end (of the
// thread, for a search thread that ends before the program).
extern PER_THREAD SearchTree* searchTree;

// Allocates the block once; 1 when it exists afterwards.
int allocateSearchTree();
// Frees the block of the calling thread.
void releaseSearchTree();
// Empties the block (no nodes, no buckets, empty root list), if allocated.
void clearSearchTree();

// Empties the block and puts the root moves in, in the order of the root
// list (moveStack from listStart[0]); every node goes in at the front, so the
// tree's root list runs worst first.
void seedSearchTree();

// A slot is the place that holds a link: rootList, or a node's firstChild or next.
TreeNode** findLink(TreeNode** slot, Move move);
void moveToFront(TreeNode** head, TreeNode** slot);
TreeNode* newTreeNode(int depth, int side, int score, int isInCheck, Move move, uint32_t keyLow,
                      uint32_t keyHigh);
void pushFront(TreeNode** head, TreeNode* node);

// The head slot of the tree list of the current search position, or null
// when the current line leaves the tree.
TreeNode** findTreeList();

// Stores a new principal line of the root (line[0] is the root move); called
// at search ply 0. Leaves the position as it found it.
void storeRootLine(const Move* line, int depth, int score);

// The move of the front node of the root list, 0 when the list is empty.
Move frontRootMove();
