// Weighted random choice among root moves that lead to book positions.
#pragma once

#include "board/position.h"
#include "book/book_table.h"

constexpr int kMaxBookCandidates = 512;

struct BookCandidate {
  BookNode* node;  // a node of the position after move
  Move move;
};

// Every (node, move) pair for root moves moveStack[first..last] whose
// resulting position is in the table; at most kMaxBookCandidates. Returns
// the count.
int bookCandidates(int first, int last, BookCandidate* list);

// A root move among moveStack[first..last] leading to a book position,
// chosen at random with heavier positions favoured; 0 when there is none.
Move pickBookMove(int first, int last);

// 64 bits from five successive draws of the engine's generator.
uint64_t drawBookRandom();
