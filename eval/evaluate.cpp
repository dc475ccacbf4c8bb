#include "eval/evaluate.h"

#include "board/per_thread.h"
#include "board/position.h"
#include "eval/attack_map.h"
#include "eval/eval_setup.h"
#include "eval/king_safety.h"
#include "eval/pawns.h"
#include "eval/phase.h"
#include "eval/pieces.h"

PER_THREAD EvalBreakdown lastEvalBreakdown;

namespace {

// Folded class bit (knight and bishop share one) and the cost of hanging.
constexpr int kClassBit[8] = {0, kPawnBit, kKnightBit, kKnightBit, kRookBit, kQueenBit, kKingBit, 0};
constexpr int kHangingPenalty[8] = {0, 10, 3, 3, 5, 10, 20, 0};

// Neither side can mate: no pawn, rook or queen, and at most two knights or one bishop each.
bool deadDraw() {
  for (int s = kWhite; s <= kBlack; s++) {
    const int* count = pos.pieceCount[s];
    if (count[kPawn] || count[kRook] || count[kQueen]) return false;
    if (3 * count[kKnight] + 4 * count[kBishop] > 6) return false;
  }
  return true;
}

}  // namespace

int commonTerms(int s, int type, int q, int& hangingCount) {
  const int own = foldedWord(attackMap[s][q]);
  const int opp = foldedWord(attackMap[s ^ 1][q]);
  const int classBit = kClassBit[type];
  int v = 0;
  if (own == 0)
    v -= 1;
  else if (own & -classBit)  // defended by the same class or a cheaper one
    v += 1;
  if (opp != 0) {
    v -= attackCount(opp);
    if (own == 0 || (opp & -(2 * classBit))) {  // undefended, or attacked by a cheaper class
      v -= kHangingPenalty[type];
      hangingCount++;
      if (hangingCount == 2)
        v -= 10;
      else if (hangingCount > 2)
        v -= 2;
    }
  }
  return v;
}

namespace {

inline int materialBalance() { return pos.material[pos.sideToMove] - pos.material[pos.opponent]; }
inline bool lazyExit(int D, int alpha, int beta) { return D + 500 <= alpha || D - 500 >= beta; }

}  // namespace

bool evaluationIsCheap(int alpha, int beta) {
  return deadDraw() || lazyExit(materialBalance(), alpha, beta);
}

int evaluate(int alpha, int beta) {
  // Dead draw by material, whatever the window.
  if (deadDraw()) return 0;

  // Lazy exit on material alone.
  const int D = materialBalance();
  if (lazyExit(D, alpha, beta)) return D;

  // Attack maps.
  buildAttackMaps();

  // Each side's positional sum.
  EvalBreakdown& out = lastEvalBreakdown;
  const uint16_t* pawnRecord = pawnStructures();
  int score[2];
  for (int s = kWhite; s <= kBlack; s++) {
    const double ph = opponentPhase(s);
    int sum = 0, hanging = 0;
    int tableSum = 0, commonSum = 0;
    int kind[8] = {};
    for (int slot = pos.listFirst[s]; slot <= pos.listLast[s]; slot++) {
      const int q = pos.pieceList[slot];
      if (q < 0) continue;
      const int type = pos.pieceAt[q];
      const int table = pieceSquare[s][type][q];
      const int common = commonTerms(s, type, q, hanging);
      tableSum += table;
      commonSum += common;
      sum += table + common;
      const int before = sum;
      switch (type) {
        case kPawn: sum += pawnTerms(s, q, ph, pawnRecord[q]); break;
        case kKnight: sum = knightTerms(s, q, sum); break;
        case kBishop: sum = bishopTerms(s, q, sum); break;
        case kRook: sum = rookTerms(s, q, ph, sum); break;
        case kQueen: sum = queenTerms(s, q, sum); break;
        case kKing: sum += kingSafety(s); break;
      }
      kind[type] += sum - before;
    }
    // Close the side: pawns gain as the opponent's pieces go; no pawns at all costs 16.
    const int pawns = pos.pieceCount[s][kPawn];
    int positional = int(pawns * (1 - ph) + sum);
    if (pawns == 0) positional -= 16;
    score[s] = pos.material[s] + positional;

    out.pieceSquare[s] = tableSum;
    out.common[s] = commonSum;
    for (int t = 0; t < 8; t++) out.kind[s][t] = kind[t];
    out.hanging[s] = hanging;
    out.positional[s] = positional;
  }
  // From the side to move's view.
  return score[pos.sideToMove] - score[pos.opponent];
}
