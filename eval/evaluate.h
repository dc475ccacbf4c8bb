// Static evaluation with a lazy window, from the side to move's view.
#pragma once

int evaluate(int alpha, int beta);
