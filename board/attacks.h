// Attack and check detection without generating moves: two tables indexed by
// the 0x88 difference between attacker and target.
#pragma once

#include "board/position.h"

// Index = (0x88 attacker) - (0x88 target) + 119.
constexpr int kAttackTableSize = 239;
constexpr int kAttackCentre = 119;

// Bit 1 << type when that type can attack across the difference on an empty
// board; the pawn bit sits on the four diagonal neighbours.
extern int attackMask[kAttackTableSize];
// Unit step from the target towards a sliding attacker, 0 where no line runs.
extern int attackStep[kAttackTableSize];

void initAttackTables();
int pieceAttacks(Square from, int type, Side side, Square target);
int sideAttacks(Side side, Square target);
int inCheck();
int castleIsLegal(Move move);
