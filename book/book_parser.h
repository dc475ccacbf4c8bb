// Reads the opening book text into the book table.
#pragma once

void parseBookText(const char* path);
