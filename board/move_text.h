// Move text in coordinate notation: e2e4, e7e8n, o-o, o-o-o. Chess960 castling
// reads and writes as the king taking its own rook (e1h1, b1a1), and also
// reads O-O, 0-0 and their queen-side forms.
#pragma once

#include "board/position.h"

// 1 with *move set when the text names a legal move of the side to move;
// 0 for any other text. Uses the move list of the current ply.
int parseMove(const char* text, Move* move);

// Writes the move's text into buffer (at least 6 characters); returns buffer.
// The null move reads a8a8.
char* moveToText(Move move, char* buffer);
