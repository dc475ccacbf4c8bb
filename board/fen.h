// Position set-up from a FEN text, all or nothing.
#pragma once

#include "board/position.h"

constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// The set-up works on a copy of the text of this many characters, zero
// included; longer texts are refused rather than cut.
constexpr int kFenBufferSize = 256;

// 1 on success; 0 leaves the previous position, game record and key untouched.
int setupFromFen(const char* text);

// First square whose name equals the first two characters, or -1 ("E3" is -1).
Square squareFromName(const char* text);

// The castling field of a Chess960 position in file letters, white's king
// side first (HAha), for the rights whose king and rook still stand ready;
// returns the letter count, no terminating zero.
int writeChess960Castling(char* out);
