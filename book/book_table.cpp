#include "book/book_table.h"

void clearBookTable() {}
int probeBook(int, int, int, int*) { return 0; }
