// The program entry: start-up, command loop, learning file at exit.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/command_loop.h"
#include "engine/strength.h"

#ifndef MORVEK_VERSION
#define MORVEK_VERSION "1.0"
#endif

namespace {

void printUsage(const char* programPath) {
  DataFiles files;
  locateDataFiles(files, programPath);
  printf(
      "Usage: morvek [--version | --help | --elo N]\n"
      "A chess engine for graphical interfaces. It speaks the xboard (CECP) protocol,\n"
      "or UCI when the first command is \"uci\", on standard input and output;\n"
      "an interface starts it by name, for example: xboard -fcp morvek\n"
      "\n"
      "  --elo N  play at strength N on the UCI_Elo scale (%d to %d), in both\n"
      "           protocols, as UCI_LimitStrength and UCI_Elo do\n"
      "\n"
      "Files:\n"
      "  opening book   %s\n"
      "  learning file  %s\n"
      "\n"
      "The learning file lives beside the program when that directory can be\n"
      "written, else in $XDG_DATA_HOME/morvek (~/.local/share/morvek).\n",
      kMinElo, kMaxElo,
      files.bookTextPath[0] ? files.bookTextPath : "(none)",
      files.learningPath[0] ? files.learningPath : "(none)");
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

}  // namespace

int main(int argc, char** argv) {
  const char* programPath = argc > 0 ? argv[0] : nullptr;
  // Interfaces pass no arguments; any other than these is ignored.
  if (argc > 1 && strcmp(argv[1], "--version") == 0) {
    printf("Morvek %s\n", MORVEK_VERSION);
    return 0;
  }
  if (argc > 1 && strcmp(argv[1], "--help") == 0) {
    printUsage(programPath);
    return 0;
  }
  for (int i = 1; i < argc; ++i)
    if (strcmp(argv[i], "--elo") == 0 && !readEloArgument(i + 1 < argc ? argv[++i] : nullptr)) return 2;
  CommandLoop loop;
  startEngine(loop, programPath);
  runCommandLoop(loop);
  return finishEngine(loop);
}
