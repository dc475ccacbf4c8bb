#include "book/book_choice.h"

Move pickBookMove(int, int) { return 0; }
