#include "engine/command_loop.h"

#include <climits>
#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "engine/clock.h"
#include "engine/think.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "platform/console.h"
#include "platform/instance_marker.h"
#include "search/root_move.h"

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

constexpr const char* kWordDelimiters = " \n";

// strtok without its hidden state: skips leading delimiters, cuts the word
// and leaves *cursor after it. nullptr when no word is left.
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

void printBanner() {
  for (int i = 0; kBanner[i] != 0; ++i) printf("%c", kBanner[i] >> 1);
  printf("\n");
}

void printMove(Move move) {
  char text[8];
  printf("move %s\n", moveToText(move, text));
}

// Go step: also the end of the road for every word nothing else accepted.
void goStep(CommandLoop& loop, const char* word) {
  if (strcmp(word, "go") == 0) {
    RootMove result;
    if (think(result) && commitGameMove(result.move)) {
      printMove(result.move);
      loop.forceMode = false;
      return;
    }
  }
  fprintf(stderr, "#error: %s\n", word);
}

void moveStep(CommandLoop& loop, const char* word) {
  Move move = 0;
  if (!parseMove(word, &move) || !commitGameMove(move)) {
    goStep(loop, word);
    return;
  }
  if (loop.forceMode) return;
  RootMove result;
  if (!think(result)) return;
  // Printed only once the reply stands in the game record.
  if (commitGameMove(result.move)) printMove(result.move);
}

}  // namespace

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

void startEngine(CommandLoop& loop, const char* programPath) {
  loop.forceMode = false;
  prepareConsole();
  printBanner();
  locateDataFiles(loop.files, programPath);
  loop.secondInstance = createInstanceMarker();
  initAttackTables();
  initKeysAndTables();
  prepareEvaluation();
  setupFromFen(kStartFen);
  loadBookTable(loop.files);
  printf("feature setboard=1\n");
  printf("feature done=1\n");
}

bool handleLine(CommandLoop& loop, char* line) {
  char* cursor = line;
  char* word = nextWord(&cursor, kWordDelimiters);
  if (word == nullptr) return true;

  if (strcmp(word, "quit") == 0) return false;

  if (strcmp(word, "st") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    long long seconds = value ? parseDecimal(value) : 0;
    if (seconds > INT_MAX) seconds = INT_MAX;
    if (seconds < INT_MIN) seconds = INT_MIN;
    setSearchTime(int(seconds));
    return true;
  }
  if (strcmp(word, "time") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    long long remaining = value ? parseDecimal(value) : -1;
    if (remaining < 0)
      fprintf(stderr, "#error time value\n");
    else
      setRemainingTime(remaining);
    return true;
  }
  if (strcmp(word, "score") == 0) {
    prepareEvaluation();
    printf("# %d\n", evaluate(-1000000, 1000000));
    return true;
  }
  if (strcmp(word, "force") == 0) {
    loop.forceMode = true;
    return true;
  }
  if (strcmp(word, "undo") == 0) {
    takeBackGameMove();  // nothing at the start of a game
    return true;
  }
  if (strcmp(word, "redo") == 0) {
    // A cleared entry would replay the null move into the game: skip it.
    if (pos.gamePly < int(pos.moveHistory[0]) && pos.moveHistory[pos.gamePly + 1] != 0)
      replayGameMove();
    return true;
  }
  if (strcmp(word, "new") == 0) {
    setupFromFen(kStartFen);
    loop.forceMode = false;
    return true;
  }
  if (strcmp(word, "protover") == 0) {
    printf("feature done=1\n");
    return true;
  }
  if (strcmp(word, "deb") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    long long number = value ? parseDecimal(value) : 0;
    const char* text = number >= 1 && number <= 10 ? kTestPositions[number - 1] : "";
    if (!setupFromFen(text)) fprintf(stderr, "#error\n");
    return true;
  }
  if (strcmp(word, "setboard") == 0) {
    char* text = nextWord(&cursor, "\n");
    if (text != nullptr && setupFromFen(text)) return true;
  }
  moveStep(loop, word);
  return true;
}

void runCommandLoop(CommandLoop& loop, FILE* input) {
  char line[kLineSize];
  // 1023 with the terminating zero: a longer line arrives in pieces.
  while (fgets(line, kLineSize - 1, input) != nullptr) {
    if (!handleLine(loop, line)) break;
  }
}

int finishEngine(const CommandLoop& loop) {
  if (loop.secondInstance) return 0;
  return saveBookTable(loop.files) ? 0 : 1;
}
