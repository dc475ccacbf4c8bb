#include "engine/protocol_words.h"

#include <climits>
#include <cstring>

char* nextWord(char** cursor, const char* delimiters) {
  char* start = *cursor + strspn(*cursor, delimiters);
  if (*start == '\0') {
    *cursor = start;
    return nullptr;
  }
  char* end = start + strcspn(start, delimiters);
  if (*end != '\0') *end++ = '\0';
  *cursor = end;
  return start;
}

long long parseDecimal(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    int digit = *text - '0';
    if (value > (LLONG_MAX - digit) / 10) return negative ? LLONG_MIN : LLONG_MAX;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}
