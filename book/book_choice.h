// Weighted random choice among root moves that lead to book positions.
#pragma once

#include "board/position.h"

Move pickBookMove(int first, int last);
