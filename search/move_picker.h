// Staged move picker: hands out a node's generated moves one at a time,
// ordering lazily so that an early cutoff leaves the rest unsorted.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/search_tree.h"

// Ordering bonuses of the good-move stage.
constexpr int kHashMoveBonus = 20000;
constexpr int kBestAtPlyBonus = 1990;
constexpr int kPvAtPlyBonus = 990;
constexpr int kEnPassantScore = 2000;
constexpr int kRecaptureBonus = 5000;
constexpr int kHistoryScale = 16384;
constexpr int kSortGoodAbove = 30;     // longer good ranges are sorted in full
constexpr int kSortHistoryAbove = 25;  // history moves left at the midpoint

struct MovePicker {
  int32_t stage;       // 0..7
  int32_t cursor;      // next move-stack entry to hand out
  int32_t end;         // end (exclusive) of the current stage's range
  int32_t sorted;      // the current range is sorted in full
  int32_t fromTree;    // the move handed out last came from the search tree
  int32_t followTree;  // the node lies on a stored line
  Move hashMove;       // written by the node's table probe
  TreeNode* treeNode;  // next node of the tree list to offer
  int32_t midpoint;    // where a long history range gets sorted
};

// Every field 0 except followTree. Must run before the node's table probe,
// which writes hashMove.
inline void resetPicker(MovePicker& picker, int followTree) {
  picker = MovePicker{};
  picker.followTree = followTree;
}

// 1 with the next move in *move, 0 when the node has no more. At ply 0 only
// the moves of the search tree's root list are handed out.
int nextMove(MovePicker& picker, Move* move);

// Most valuable victim first, then the cheaper capturer, plus a bonus for
// recapturing on the target of prev; promotions add the new piece's value.
int captureScore(Move move, Move prev);

// Exchanges the entry with the highest moveScore (the earliest of equals) in
// moveStack[first .. last] into first.
void selectBest(int first, int last);
// Orders moveStack[first .. last] by moveScore, highest first, carrying the scores.
void sortRange(int first, int last);
