#include "search/root_lines.h"

Move skippedRootMoves[kMaxRootMoves];
int skippedRootCount = 0;
RootMove rootLines[kMaxRootLines];
int rootLineCount = 0;
void (*rootLinesListener)() = nullptr;
void (*currentMoveListener)(Move move, int number) = nullptr;
