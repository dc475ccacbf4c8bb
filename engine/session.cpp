#include "engine/session.h"

#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "book/book_parser.h"
#include "book/book_table.h"
#include "engine/clock.h"
#include "engine/strength.h"
#include "eval/eval_setup.h"
#include "platform/console.h"
#include "platform/instance_marker.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

// Trailing blanks are part of the texts.
const char* const kTestPositions[10] = {
    "r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0",
    "r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12",
    "2r2b1r/p1qk1ppp/2p1pn2/1B6/Pp6/4PP2/1PQB1P1P/2R2RK1 w - - 0 16 ",
    "r5k1/7p/1Rp2rp1/2Pp4/P2Qp3/4PqP1/3R1P1P/6K1 w - - 0 38",
    "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2",
    "rnbqkbnr/ppp1pppp/8/8/2pP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3",
    "r1b1kb1r/ppp1n3/3q4/4pp2/4Q1p1/3B4/PPPP1PP1/R1B1NRK1 w kq - 0 15",
    "4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63",
    "r3kb1r/ppp1pppp/2n2n2/q7/2BP2b1/2N5/PPP1NPPP/R1BQK2R w KQkq - 5 7 ",
    "r3kb1r/ppp1pppp/2n2n2/q4b2/2BP4/2N2P2/PPP1N1PP/R1BQK2R w KQkq - 1 8 ",
};

namespace {

// "Morvek chess v1.0", each character code shifted left by one.
constexpr int kBanner[18] = {'M' << 1, 'o' << 1, 'r' << 1, 'v' << 1, 'e' << 1, 'k' << 1,
                             ' ' << 1, 'c' << 1, 'h' << 1, 'e' << 1, 's' << 1, 's' << 1,
                             ' ' << 1, 'v' << 1, '1' << 1, '.' << 1, '0' << 1, 0};

void printBanner() {
  for (int i = 0; kBanner[i] != 0; ++i) printf("%c", kBanner[i] >> 1);
  printf("\n");
}

// The table as the mode wants it: the learning file (or the book text when
// there is none), or the book text alone.
void reloadTable(CommandLoop& loop) {
  clearBookTable();
  if (learningMode != LearningMode::kOff) {
    loadBookTable(loop.files);
    return;
  }
  if (loop.files.bookTextPath[0] != '\0') parseBookText(loop.files.bookTextPath);
}

}  // namespace

void startEngine(CommandLoop& loop, const char* programPath) {
  loop.forceMode = false;
  prepareConsole();
  printBanner();
  locateDataFiles(loop.files, programPath);
  loop.defaultFiles = loop.files;
  loop.secondInstance = createInstanceMarker();
  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
  setupFromFen(kStartFen);
  reloadTable(loop);
  printf("feature setboard=1\n");
  printf("feature done=1\n");
}

int finishEngine(const CommandLoop& loop) {
  // Games played only at a limited strength taught nothing: the file stays as it was.
  if (loop.secondInstance || loop.learningKept || learningMode != LearningMode::kOn || learnedNothingAtLevel())
    return 0;
  return saveBookTable(loop.files) ? 0 : 1;
}

void setLearningMode(CommandLoop& loop, LearningMode mode) {
  if (mode == learningMode) return;
  const bool reload = (mode == LearningMode::kOff) != (learningMode == LearningMode::kOff);
  // Leaving "on": what was learned so far is kept, as at the end of a run.
  if (learningMode == LearningMode::kOn && learnedThisRun()) finishEngine(loop);
  learningMode = mode;
  if (reload) reloadTable(loop);
}

bool setLearningFile(CommandLoop& loop, const char* path) {
  const bool backToDefault = path[0] == '\0' || strcmp(path, "<empty>") == 0;
  if (!backToDefault && strlen(path) >= sizeof loop.files.learningPath) {
    fprintf(stderr, "#error: learning file name too long\n");
    return false;
  }
  const char* wanted = backToDefault ? loop.defaultFiles.learningPath : path;
  if (strcmp(wanted, loop.files.learningPath) == 0) return true;
  if (learnedThisRun()) finishEngine(loop);
  learningFileChosen = !backToDefault;
  if (backToDefault) {
    loop.files = loop.defaultFiles;
  } else {
    snprintf(loop.files.learningPath, sizeof loop.files.learningPath, "%s", path);
    // Chosen by name: no installed copy to carry over.
    loop.files.fallbackPath[0] = '\0';
    loop.files.installed = false;
  }
  reloadTable(loop);
  return true;
}

int setUpGame(const char* fen) {
  if (!setupFromFen(fen)) return 0;
  noteSetupFen(fen);
  resetBudget();
  return 1;
}
