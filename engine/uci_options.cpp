#include "engine/uci_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "board/position.h"
#include "engine/clock.h"
#include "engine/player_files.h"
#include "engine/protocol_words.h"
#include "engine/search_threads.h"
#include "engine/session.h"
#include "engine/strength.h"
#include "search/root_lines.h"
#include "search/strong_search.h"
#include "search/trans_table.h"

UciSettings uciSettings;

namespace {

constexpr int kMaxMoveOverheadMs = 5000;

// The table memory is taken here, between searches; what cannot be had
// leaves the tables as they were.
void setHash(Session&, int megabytes, const char*) {
  const uint64_t before = tableMegabytes();
  if (!resizeTranspositionTables(uint64_t(megabytes))) {
    printf("info string Hash %d MB cannot be had, keeping %llu MB\n", megabytes, static_cast<unsigned long long>(before));
    return;
  }
  if (tableMegabytes() != uint64_t(megabytes))
    printf("info string Hash %llu MB, rounded down to a power of two\n", static_cast<unsigned long long>(tableMegabytes()));
}

int fixed0() { return 0; }
int fixed1() { return 1; }

}  // namespace

// Started with --elo, the engine announces that level as its defaults.
const UciOption kUciOptions[] = {
    {"OwnBook", OptionType::kCheck, 0, 1, false, fixed1, [](Session&, int on, const char*) { uciSettings.ownBook = on; }},
    {"Ponder", OptionType::kCheck, 0, 1, false, fixed0, [](Session&, int on, const char*) { uciSettings.ponder = on; }},
    {"SaveLearning", OptionType::kCheck, 0, 1, false, fixed1,
     [](Session& session, int on, const char*) { session.learningKept = !on; }},
    {"Hash", OptionType::kSpin, 1, int(kMaxTableMegabytes), false, [] { return int(kDefaultTableMegabytes); },
     setHash},
    {"Threads", OptionType::kSpin, 1, kMaxSearchThreads, false, searchThreadCount,
     [](Session&, int threads, const char*) { setSearchThreads(threads); }},
    {"Clear Hash", OptionType::kButton, 0, 0, false, nullptr, [](Session&, int, const char*) { clearTranspositionTables(); }},
    {"MultiPV", OptionType::kSpin, 1, kMaxRootLines, false, fixed1,
     [](Session&, int lines, const char*) { uciSettings.multiPv = lines; }},
    {"UCI_LimitStrength", OptionType::kCheck, 0, 1, false, [] { return int(strength.limited); },
     [](Session&, int on, const char*) { strength.limited = on; }},
    {"UCI_Elo", OptionType::kSpin, kMinElo, kMaxElo, true, [] { return strength.elo; },
     [](Session&, int elo, const char*) { strength.elo = elo; }},
    {"BookFile", OptionType::kString, 0, 0, false, nullptr,
     [](Session&, int, const char* path) { useBookFile(path, stdout, "info string "); }},
    {"SyzygyPath", OptionType::kString, 0, 0, false, nullptr,
     [](Session&, int, const char* path) { useTablebases(path, stdout, "info string "); }},
    {"Move Overhead", OptionType::kSpin, 0, kMaxMoveOverheadMs, false, fixed0,
     [](Session&, int ms, const char*) {
       uciSettings.moveOverheadMs = ms;
       moveOverheadCs = (ms + 9) / 10;
     }},
    {"UCI_Chess960", OptionType::kCheck, 0, 1, false, fixed0,
     [](Session&, int on, const char*) { chess960Rules = on; }},
    {"UCI_ShowWDL", OptionType::kCheck, 0, 1, false, fixed0, [](Session&, int on, const char*) { uciSettings.showWdl = on; }},
    {"Learning", OptionType::kCombo, 0, 2, false, [] { return int(learningMode); },
     [](Session& session, int mode, const char*) { setLearningMode(session, LearningMode(mode)); }, kLearningModeNames},
    {"Learning File", OptionType::kString, 0, 0, false, nullptr,
     [](Session& session, int, const char* path) {
       if (!setLearningFile(session, path)) printf("info string Learning File not changed\n");
     }},
    {"Search", OptionType::kCombo, 0, 1, false, [] { return int(searchKind); },
     [](Session&, int kind, const char*) { searchKind = SearchKind(kind); }, kSearchKindNames},
};
const int kUciOptionCount = int(sizeof kUciOptions / sizeof kUciOptions[0]);

namespace {

const UciOption* findOption(const char* name) {
  for (const UciOption& option : kUciOptions)
    if (strcasecmp(option.name, name) == 0) return &option;
  return nullptr;
}

// The value without the blanks after it (a value is the rest of the line).
const char* trimmedValue(const char* value, char* buffer, size_t size) {
  size_t n = strlen(value);
  while (n > 0 && (value[n - 1] == ' ' || value[n - 1] == '\t' || value[n - 1] == '\r')) --n;
  if (n >= size) return value;  // too long to be a number or a truth value: refused as it is
  memcpy(buffer, value, n);
  buffer[n] = '\0';
  return buffer;
}

void setCheck(Session& session, const UciOption& option, const char* value) {
  if (strcasecmp(value, "true") == 0)
    option.set(session, 1, value);
  else if (strcasecmp(value, "false") == 0)
    option.set(session, 0, value);
  else
    printf("info string %s must be true or false\n", option.name);
}

void setSpin(Session& session, const UciOption& option, const char* value) {
  char* end = nullptr;
  const long long number = strtoll(value, &end, 10);
  if (end == value || *end != '\0') {
    if (option.clamps)
      printf("info string %s needs a number, not \"%s\"; kept at %d\n", option.name, value, option.announced());
    else
      printf("info string %s must be a whole number from %d to %d\n", option.name, option.least, option.most);
    return;
  }
  if (number >= option.least && number <= option.most) {
    option.set(session, int(number), value);
  } else if (option.clamps) {
    const int clamped = number < option.least ? option.least : option.most;
    option.set(session, clamped, value);
    printf("info string %s %lld is out of range, set to %d\n", option.name, number, clamped);
  } else {
    printf("info string %s must be a whole number from %d to %d\n", option.name, option.least, option.most);
  }
}

// A choice by its name, in any case.
void setCombo(Session& session, const UciOption& option, const char* value) {
  for (int i = 0; option.choices[i] != nullptr; ++i) {
    if (strcasecmp(value, option.choices[i]) == 0) {
      option.set(session, i, option.choices[i]);
      return;
    }
  }
  printf("info string %s must be one of", option.name);
  for (int i = 0; option.choices[i] != nullptr; ++i) printf("%s %s", i > 0 ? "," : "", option.choices[i]);
  printf("\n");
}

}  // namespace

void printUciOptions() {
  for (const UciOption& option : kUciOptions) {
    switch (option.type) {
      case OptionType::kCheck:
        printf("option name %s type check default %s\n", option.name, option.announced() ? "true" : "false");
        break;
      case OptionType::kSpin:
        printf("option name %s type spin default %d min %d max %d\n", option.name, option.announced(), option.least,
               option.most);
        break;
      case OptionType::kButton:
        printf("option name %s type button\n", option.name);
        break;
      case OptionType::kString:
        printf("option name %s type string default <empty>\n", option.name);
        break;
      case OptionType::kCombo:
        printf("option name %s type combo default %s", option.name, option.choices[option.announced()]);
        for (int i = 0; option.choices[i] != nullptr; ++i) printf(" var %s", option.choices[i]);
        printf("\n");
        break;
    }
  }
}

void setUciOption(Session& session, char* cursor) {
  char name[128] = "";
  char* word = nextWord(&cursor, kWordDelimiters);
  if (word == nullptr || strcmp(word, "name") != 0) {
    printf("info string setoption needs a name\n");
    return;
  }
  const char* value = "";
  while ((word = nextWord(&cursor, kWordDelimiters)) != nullptr) {
    if (strcmp(word, "value") == 0) {
      char* rest = nextWord(&cursor, "\n");
      value = rest ? rest : "";
      break;
    }
    if (name[0] != '\0') strncat(name, " ", sizeof name - strlen(name) - 1);
    strncat(name, word, sizeof name - strlen(name) - 1);
  }
  const UciOption* option = findOption(name);
  if (option == nullptr) {
    printf("info string unknown option %s\n", name);
    return;
  }
  char buffer[64];
  switch (option->type) {
    case OptionType::kCheck: setCheck(session, *option, trimmedValue(value, buffer, sizeof buffer)); break;
    case OptionType::kSpin: setSpin(session, *option, trimmedValue(value, buffer, sizeof buffer)); break;
    case OptionType::kCombo: setCombo(session, *option, trimmedValue(value, buffer, sizeof buffer)); break;
    case OptionType::kButton: option->set(session, 0, value); break;
    case OptionType::kString: option->set(session, 0, value); break;
  }
}
