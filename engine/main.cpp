// The program entry: start-up, command loop, learning file at exit.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/bench.h"
#include "engine/command_loop.h"
#include "engine/player_files.h"
#include "engine/search_threads.h"
#include "engine/strength.h"
#include "engine/version.h"
#include "search/strong_search.h"

namespace {

void printUsage(const char* programPath) {
  DataFiles files;
  locateDataFiles(files, programPath);
  printf(
      "Usage: morvek [--version | --help | bench [DEPTH]] [--elo N] [--book FILE.bin] [--syzygy DIR]\n"
      "              [--learning on|read-only|off] [--learning-file FILE] [--threads N]\n"
      "              [--search exact|strong]\n"
      "A chess engine for graphical interfaces. It speaks the xboard (CECP) protocol,\n"
      "or UCI when the first command is \"uci\", on standard input and output;\n"
      "an interface starts it by name, for example: xboard -fcp morvek\n"
      "\n"
      "  --elo N  play at strength N on the UCI_Elo scale (%d to %d), in both\n"
      "           protocols, as UCI_LimitStrength and UCI_Elo do\n"
      "  --learning MODE  on (learn and keep it), read-only (play from what was\n"
      "           learned, never change it) or off (the book text alone)\n"
      "  --threads N  search with N threads (1 to %d), as the option Threads does\n"
      "  --search KIND  exact (the engine's own search, which levels are measured\n"
      "           with) or strong (more pruning and reductions), as the option Search\n"
      "\n"
      "Files:\n"
      "  opening book   %s\n"
      "  learning file  %s\n"
      "\n"
      "An installed engine keeps the learning file in $XDG_DATA_HOME/morvek\n"
      "(~/.local/share/morvek); a build keeps it beside the program when that\n"
      "directory can be written, else there too.\n"
      "\n"
      "bench [DEPTH] [--search KIND] searches the built-in test positions to DEPTH (default 8)\n"
      "without book or learning and ends with the line \"NODES nodes NPS nps\".\n",
      kMinElo, kMaxElo, kMaxSearchThreads,
      files.bookTextPath[0] ? files.bookTextPath : "(none)",
      files.learningPath[0] ? files.learningPath : "(none)");
}

// A word of names (nullptr after the last) as its index; -1, said on
// standard error, for another word or none.
int readChoiceArgument(const char* option, const char* text, const char* const* names, const char* choices) {
  for (int i = 0; names[i] != nullptr; ++i)
    if (text != nullptr && strcmp(text, names[i]) == 0) return i;
  fprintf(stderr, "morvek: %s needs %s\n", option, choices);
  return -1;
}

// "--search KIND": false for another word.
bool readSearchArgument(const char* text) {
  const int kind = readChoiceArgument("--search", text, kSearchKindNames, "exact or strong");
  if (kind >= 0) searchKind = SearchKind(kind);
  return kind >= 0;
}

// "morvek bench [DEPTH]": for testing farms, which read the node count and
// the speed from the last line. Touches no data file and no instance lock.
int runBenchCommand(int argc, char** argv) {
  int next = 2;
  char* end = nullptr;
  const bool depthGiven = argc > next && strncmp(argv[next], "--", 2) != 0;
  const long depth = depthGiven ? strtol(argv[next++], &end, 10) : kBenchDepth;
  if (depthGiven && (end == argv[2] || *end != '\0' || depth < 2 || depth > 90)) {
    fprintf(stderr, "morvek bench: DEPTH must be a whole number from 2 to 90\n");
    return 2;
  }
  if (argc > next && strcmp(argv[next], "--search") == 0 && !readSearchArgument(argv[next + 1])) return 2;
  prepareBench();
  const BenchResult result = runBench(int(depth), nullptr);
  if (result.refused) {
    fprintf(stderr, "morvek bench: a test position was refused\n");
    return 2;
  }
  const double nps = result.seconds > 0 ? double(result.nodes) / result.seconds : 0;
  printf("depth %ld: %.3f s\n", depth, result.seconds);
  printf("%llu nodes %.0f nps\n", static_cast<unsigned long long>(result.nodes), nps);
  return 0;
}

// "--elo N": the level, clamped (said on standard error); false for no number.
bool readEloArgument(const char* text) {
  char* end = nullptr;
  const long long elo = text ? strtoll(text, &end, 10) : 0;
  if (text == nullptr || end == text || *end != '\0') {
    fprintf(stderr, "morvek: --elo needs a number\n");
    return false;
  }
  bool clamped;
  strength.elo = clampElo(elo, &clamped);
  strength.limited = true;
  if (clamped) fprintf(stderr, "morvek: --elo %lld is out of range, playing at %d\n", elo, strength.elo);
  return true;
}

// "--threads N": the search's threads, clamped (said on standard error);
// false for no number.
bool readThreadsArgument(const char* text) {
  char* end = nullptr;
  const long long count = text ? strtoll(text, &end, 10) : 0;
  if (text == nullptr || end == text || *end != '\0') {
    fprintf(stderr, "morvek: --threads needs a number\n");
    return false;
  }
  const int clamped = count < 1 ? 1 : count > kMaxSearchThreads ? kMaxSearchThreads : int(count);
  if (clamped != count) fprintf(stderr, "morvek: --threads %lld is out of range, using %d\n", count, clamped);
  setSearchThreads(clamped);
  return true;
}

// "--learning MODE": false for another word.
bool readLearningArgument(const char* text) {
  const int mode = readChoiceArgument("--learning", text, kLearningModeNames, "on, read-only or off");
  if (mode >= 0) learningMode = LearningMode(mode);
  return mode >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* programPath = argc > 0 ? argv[0] : nullptr;
  // Interfaces pass no arguments; any other than these is ignored.
  if (argc > 1 && strcmp(argv[1], "--version") == 0) {
    printf("Morvek %s\n"
           "Copyright (C) 2026 the Morvek developers\n"
           "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n",
           MORVEK_VERSION);
    return 0;
  }
  if (argc > 1 && strcmp(argv[1], "--help") == 0) {
    printUsage(programPath);
    return 0;
  }
  if (argc > 1 && strcmp(argv[1], "bench") == 0) return runBenchCommand(argc, argv);
  // "--elo N", "--book FILE", "--syzygy DIR", "--learning MODE" and
  // "--learning-file FILE", "--threads N", "--search KIND": what an xboard user cannot set by option.
  const char* bookFile = nullptr;
  const char* syzygyPath = nullptr;
  const char* learningFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--elo") == 0) {
      if (!readEloArgument(i + 1 < argc ? argv[++i] : nullptr)) return 2;
    } else if (strcmp(argv[i], "--book") == 0 && i + 1 < argc) {
      bookFile = argv[++i];
    } else if (strcmp(argv[i], "--syzygy") == 0 && i + 1 < argc) {
      syzygyPath = argv[++i];
    } else if (strcmp(argv[i], "--learning") == 0) {
      if (!readLearningArgument(i + 1 < argc ? argv[++i] : nullptr)) return 2;
    } else if (strcmp(argv[i], "--learning-file") == 0 && i + 1 < argc) {
      learningFile = argv[++i];
    } else if (strcmp(argv[i], "--threads") == 0) {
      if (!readThreadsArgument(i + 1 < argc ? argv[++i] : nullptr)) return 2;
    } else if (strcmp(argv[i], "--search") == 0) {
      if (!readSearchArgument(i + 1 < argc ? argv[++i] : nullptr)) return 2;
    }
  }
  CommandLoop loop;
  startEngine(loop, programPath);
  if (learningFile && !setLearningFile(loop, learningFile)) return 2;
  if (bookFile) useBookFile(bookFile, stderr, "");
  if (syzygyPath) useTablebases(syzygyPath, stderr, "");
  runCommandLoop(loop);
  return finishEngine(loop);
}
