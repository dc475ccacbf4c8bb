// Piece activity: outposts, base values, mobility and line pressure of
// knights, bishops, rooks and queens, added after the common piece terms.
#pragma once

// Each takes the side's running positional sum and returns it with the
// piece's terms added; the rook also rounds the whole running sum.
int knightTerms(int s, int q, int sum);
int bishopTerms(int s, int q, int sum);
int rookTerms(int s, int q, double ph, int sum);
int queenTerms(int s, int q, int sum);

// Mobility on the sine curve plus pins, skewers and discovered attacks.
int sliderActivity(int q, int type, int s);
