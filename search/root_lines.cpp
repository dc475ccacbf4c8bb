#include "board/per_thread.h"
#include "search/root_lines.h"

PER_THREAD Move skippedRootMoves[kMaxRootMoves];
PER_THREAD int skippedRootCount = 0;
RootMove rootLines[kMaxRootLines];
int rootLineCount = 0;
void (*rootLinesListener)() = nullptr;
PER_THREAD void (*currentMoveListener)(Move move, int number) = nullptr;
