// Leaf counts of the legal move tree, the move generator's check.
#pragma once

#include <cstdint>

#include "board/position.h"

// Leaves below the position, depth 1 or more. The generator lists only queen
// and knight promotions; allPromotions adds the rook and bishop ones so that
// published counts can be reproduced. onRootMove, when given, hears every
// root move (with the piece it promotes to) and its own count.
uint64_t countLeaves(int depth, bool allPromotions, void (*onRootMove)(Move move, uint64_t leaves) = nullptr);
