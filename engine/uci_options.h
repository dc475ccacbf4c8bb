// The UCI options in one table: the identity's "option" lines, "setoption"
// (names in any case, values checked against each option's type and range)
// and the documented list all come from it. A new option is one row, and
// usually one field of UciSettings.
#pragma once

#include <cstdint>

// What the options set that the UCI front end reads; the rest goes straight
// to the unit it belongs to (tables, books, strength, clock).
struct UciSettings {
  bool ownBook = true;
  bool ponder = false;
  bool saveLearning = true;
  bool showWdl = false;
  int multiPv = 1;
  int moveOverheadMs = 0;
};

extern UciSettings uciSettings;

enum class OptionType { kCheck, kSpin, kButton, kString };

struct UciOption {
  const char* name;
  OptionType type;
  int least, most;           // spin: the range
  bool clamps;               // spin: a number out of range is clamped (and said), not refused
  int (*announced)();        // check (0 or 1) and spin: the default announced by "uci"
  void (*set)(int number, const char* text);  // a checked value: check 0/1, spin in range, or the text
};

extern const UciOption kUciOptions[];
extern const int kUciOptionCount;

// "option name ..." lines of every option, in table order.
void printUciOptions();
// The words after "setoption": "name NAME [value VALUE]", the name may hold blanks.
void setUciOption(char* words);
