#include "eval/evaluate.h"

int evaluate(int, int) { return 0; }
