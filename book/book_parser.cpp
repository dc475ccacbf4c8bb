#include "book/book_parser.h"

void parseBookText(const char*) {}
