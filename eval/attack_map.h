// Per-side attack words of every square, rebuilt at the start of each full
// evaluation and read by all positional terms.
#pragma once

#include "board/per_thread.h"

// Word layout: low four bits count the attacks (x-rays included); one bit per
// attacking type, higher for cheaper attackers. X-rays set no type bit.
constexpr int kAttackCount = 0xF;
constexpr int kKingBit = 0x400;
constexpr int kQueenBit = 0x800;
constexpr int kRookBit = 0x1000;
constexpr int kBishopBit = 0x2000;
constexpr int kKnightBit = 0x4000;
constexpr int kPawnBit = 0x8000;

// Own type bit of each piece type.
constexpr int kTypeBit[8] = {0, kPawnBit, kKnightBit, kBishopBit, kRookBit, kQueenBit, kKingBit, 0};

extern PER_THREAD int attackMap[2][64];

void buildAttackMaps();

inline int attackCount(int word) { return word & kAttackCount; }

// Knights and bishops count as one class: the bishop bit moves onto the knight bit.
inline int foldedWord(int word) {
  return (word & kBishopBit) ? ((word & ~kBishopBit) | kKnightBit) : word;
}
