// Word splitting and numbers as both protocol front ends read them.
#pragma once

constexpr const char* kWordDelimiters = " \n";

// strtok without its hidden state: skips leading delimiters, cuts the word
// and leaves *cursor after it. nullptr when no word is left.
char* nextWord(char** cursor, const char* delimiters);

// Decimal value with the leniency of atoi (leading blanks, sign, digits up to
// the first other character; no digits gives 0), saturating instead of
// overflowing.
long long parseDecimal(const char* text);
