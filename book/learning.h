// Learning from search results and game trends; the learning file.
#pragma once

#include <cstdio>

int loadLearning(FILE* file);  // 1 when the whole file was read; closes it
void saveLearning(FILE* file); // writes every node; closes it
void recordSearchResult(int score, int depth);
void learnGameResult();
