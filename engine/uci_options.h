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
  bool showWdl = false;
  int multiPv = 1;
  int moveOverheadMs = 0;
};

extern UciSettings uciSettings;

enum class OptionType { kCheck, kSpin, kButton, kString, kCombo };

struct Session;

struct UciOption {
  const char* name;
  OptionType type;
  int least, most;           // spin: the range
  bool clamps;               // spin: a number out of range is clamped (and said), not refused
  int (*announced)();        // check (0 or 1), spin, combo (the choice's index): the default announced by "uci"
  // A checked value: check 0/1, spin in range, combo the choice's index and
  // name, or the text; what the option sets may be the game session's.
  void (*set)(Session& session, int number, const char* text);
  const char* const* choices = nullptr;  // combo: the names, nullptr after the last
};

extern const UciOption kUciOptions[];
extern const int kUciOptionCount;

// "option name ..." lines of every option, in table order.
void printUciOptions();
// The words after "setoption": "name NAME [value VALUE]", the name may hold blanks.
void setUciOption(Session& session, char* words);
