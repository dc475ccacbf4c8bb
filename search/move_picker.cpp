#include "search/move_picker.h"

#include "search/search_tables.h"

namespace {

enum : int {
  kStageStart = 0,
  kStageTreeList = 1,
  kStageTreeMoves = 2,
  kStageScoreGood = 3,
  kStageGood = 4,
  kStageScoreHistory = 5,
  kStageHistory = 6,
  kStageRest = 7,
};

inline void swapEntries(int a, int b) {
  Move m = moveStack[a];
  moveStack[a] = moveStack[b];
  moveStack[b] = m;
  int s = moveScore[a];
  moveScore[a] = moveScore[b];
  moveScore[b] = s;
}

// Moves the entry j into the partition place g; only the placed entry's score
// is meaningful afterwards.
inline void placeInPartition(int j, int g, int score) {
  Move m = moveStack[j];
  moveStack[j] = moveStack[g];
  moveStack[g] = m;
  moveScore[g] = score;
}

}  // namespace

int captureScore(Move move, Move prev) {
  int score = 0;
  if (move & kCapture) {
    if (move & kEnPassant) {
      score = kEnPassantScore;
    } else {
      int target = moveTarget(move);
      score = kPieceValue[pos.pieceAt[target]] - movePiece(move);
      if (target == moveTarget(prev)) score += kRecaptureBonus;
    }
  }
  if (move & kPromotion) score += kPieceValue[movePiece(move)];
  return score;
}

void selectBest(int first, int last) {
  int best = first;
  for (int i = first + 1; i <= last; ++i) {
    if (moveScore[i] > moveScore[best]) best = i;
  }
  if (best != first) swapEntries(best, first);
}

void sortRange(int first, int last) {
  // Insertion sort: ranges are at most one move list long, and being stable
  // it leaves equal scores in the order the partition left them.
  for (int i = first + 1; i <= last; ++i) {
    Move m = moveStack[i];
    int s = moveScore[i];
    int j = i - 1;
    while (j >= first && moveScore[j] < s) {
      moveStack[j + 1] = moveStack[j];
      moveScore[j + 1] = moveScore[j];
      --j;
    }
    moveStack[j + 1] = m;
    moveScore[j + 1] = s;
  }
}

int nextMove(MovePicker& picker, Move* move) {
  const int ply = searchPly;
  switch (picker.stage) {
    case kStageStart:
      picker.cursor = listStart[ply];
      picker.end = listStart[ply + 1];
      picker.stage = kStageTreeList;
      [[fallthrough]];

    case kStageTreeList:
      if (picker.followTree && !inNullMove) {
        TreeNode** list = findTreeList();
        if (list && *list) picker.treeNode = *list;
      }
      picker.stage = kStageTreeMoves;
      [[fallthrough]];

    case kStageTreeMoves:
      if (picker.treeNode && picker.cursor < picker.end) {
        for (int k = picker.cursor; k < picker.end; ++k) {
          if (moveStack[k] != picker.treeNode->move) continue;
          picker.treeNode = picker.treeNode->next;
          swapEntries(k, picker.cursor);
          *move = moveStack[picker.cursor++];
          picker.fromTree = 1;
          return 1;
        }
      }
      picker.fromTree = 0;
      picker.stage = kStageScoreGood;
      if (ply == 0) {
        // The root searches exactly the root list; later calls stay empty.
        picker.stage = kStageRest;
        picker.cursor = picker.end;
        return 0;
      }
      [[fallthrough]];

    case kStageScoreGood: {
      const Move prev = lastMove();
      int g = picker.cursor;
      for (int j = picker.cursor; j < picker.end; ++j) {
        Move m = moveStack[j];
        int s = captureScore(m, prev);
        if (m == picker.hashMove) s += kHashMoveBonus;
        if (m == bestAtPly[ply]) s += kBestAtPlyBonus;
        if (m == pvAtPly[ply]) s += kPvAtPlyBonus;
        if (s > 0) placeInPartition(j, g++, s);
      }
      picker.end = g;
      picker.sorted = 0;
      if (g - picker.cursor > kSortGoodAbove) {
        sortRange(picker.cursor, g - 1);
        picker.sorted = 1;
      }
      picker.stage = kStageGood;
    }
      [[fallthrough]];

    case kStageGood:
      if (picker.cursor < picker.end) {
        if (!picker.sorted) selectBest(picker.cursor, picker.end - 1);
        *move = moveStack[picker.cursor++];
        return 1;
      }
      picker.stage = kStageScoreHistory;
      [[fallthrough]];

    case kStageScoreHistory: {
      const int (&history)[8][64] = historyScore[pos.sideToMove];
      const int listEnd = listStart[ply + 1];
      int g = picker.cursor;
      for (int j = picker.cursor; j < listEnd; ++j) {
        Move m = moveStack[j];
        int h = history[movePiece(m)][moveTarget(m)];
        if (h > 0) placeInPartition(j, g++, h * kHistoryScale);
      }
      picker.end = g;
      picker.sorted = 0;
      picker.midpoint = picker.cursor + (g - picker.cursor) / 2;
      picker.stage = kStageHistory;
    }
      [[fallthrough]];

    case kStageHistory:
      if (picker.cursor < picker.end) {
        if (picker.cursor == picker.midpoint && picker.end - picker.cursor > kSortHistoryAbove) {
          sortRange(picker.cursor, picker.end - 1);
          picker.sorted = 1;
        }
        if (!picker.sorted) selectBest(picker.cursor, picker.end - 1);
        *move = moveStack[picker.cursor++];
        return 1;
      }
      picker.end = listStart[ply + 1];
      picker.stage = kStageRest;
      [[fallthrough]];

    case kStageRest:
    default:
      if (picker.cursor < picker.end) {
        *move = moveStack[picker.cursor++];
        return 1;
      }
      return 0;
  }
}
