// The table of known positions: opening book and learned search results.
#pragma once

void clearBookTable();
// 1 with *value set when the table supplies a score for the current position.
int probeBook(int alpha, int depth, int beta, int* value);
