// Piece-square tables prepared before every search.
#pragma once

void prepareEvaluation();
