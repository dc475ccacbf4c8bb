#include "eval/eval_setup.h"

void prepareEvaluation() {}
