#include "eval/eval_setup.h"

#include "board/position.h"
#include "eval/curves.h"
#include "eval/phase.h"

int pieceSquare[2][8][64];
int lastReachMaximum;
uint32_t pieceSquareGeneration = 1;

namespace {

constexpr int kReachWeight[8] = {0, 0, 34, 32, 32, 32, 36, 0};
constexpr int kKingFileBonus[8] = {0, 0, 3, 4, 4, 3, 0, 0};

// Black's pawn table by square; white reads it backwards.
constexpr int kPawnTable[64] = {
    0,  0,  0,  0,  0,  0,  0,  0,   //
    4,  4,  4,  0,  0,  4,  4,  4,   //
    6,  8,  2,  10, 10, 2,  8,  6,   //
    6,  8,  12, 16, 16, 12, 8,  6,   //
    8,  12, 16, 24, 24, 16, 12, 8,   //
    12, 16, 24, 32, 32, 24, 16, 12,  //
    12, 16, 24, 32, 32, 24, 16, 12,  //
    0,  0,  0,  0,  0,  0,  0,  0};

}  // namespace

void buildReachTable(int side, int type, int weight, int* table) {
  int cur[64];
  int acc[64] = {};
  int maximum = 0;
  for (int q = 0; q < 64; q++) cur[q] = side == kWhite ? 7 - (q >> 3) : q >> 3;
  const bool slides = isSlider(type);
  for (int pass = 0; pass < 3; pass++) {
    for (int q = 0; q < 64; q++) {
      for (int d = kFirstDirection[type]; d <= kLastDirection[type]; d++) {
        for (int r = to0x88(q) + kDirection[d]; !offBoard(r); r += kDirection[d]) {
          acc[q] += cur[from0x88(r)];
          if (acc[q] > maximum) maximum = acc[q];
          if (!slides) break;
        }
      }
    }
    for (int q = 0; q < 64; q++) cur[q] = acc[q];
  }
  for (int q = 0; q < 64; q++) table[q] = cur[q] * weight / maximum;
  lastReachMaximum = maximum;
}

void prepareEvaluation() {
  ++pieceSquareGeneration;
  initEvalCurves();
  for (int side = kWhite; side <= kBlack; side++)
    for (int type = kKnight; type <= kKing; type++)
      buildReachTable(side, type, kReachWeight[type], pieceSquare[side][type]);

  for (int q = 0; q < 64; q++) {
    pieceSquare[kBlack][kPawn][q] = kPawnTable[q];
    pieceSquare[kWhite][kPawn][q] = kPawnTable[63 - q];
  }

  // The king leaves its corner as the opponent's pieces come off; the blend
  // is fixed for the whole search, from the material at the root.
  for (int side = kWhite; side <= kBlack; side++) {
    double ph = opponentPhase(side);
    if (pos.pieceCount[side][kPawn] == 0) ph = 0.0;
    int* table = pieceSquare[side][kKing];
    for (int q = 0; q < 64; q++) {
      int v = table[q];
      if (ph > 0.5) v += kKingFileBonus[q & 7];
      table[q] = int((1.0 - ph) * v - ph * v);
    }
  }
}
