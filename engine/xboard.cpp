#include "engine/xboard.h"

#include <climits>
#include <utility>
#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "engine/clock.h"
#include "engine/protocol_words.h"
#include "engine/search_threads.h"
#include "engine/think.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "platform/input.h"
#include "search/root_move.h"
#include "search/search.h"
#include "search/search_tables.h"

namespace {

// A search that only a line of input ends; doubling it cannot overflow.
constexpr int64_t kUntilStopped = int64_t(1) << 40;

// Analysis mode ("analyze" to "exit"): the engine searches the position of
// the game without end and plays nothing.
struct Analysis {
  bool active = false;
  bool over = false;  // this position's analysis ended on its own: wait for a line
  // The figures of the latest analysis for ".", once it is over.
  int64_t elapsed = 0;
  uint64_t nodes = 0;
  int depth = 0;
  int moveCount = 0;
  Move best = 0;
};

Analysis analysis;

// Pondering ("hard" to "easy"): after its move the engine plays the reply it
// expects and searches on the opponent's time. The expected move coming
// makes the search a timed one, with the time already spent credited; any
// other line ends it and is handled as if no search had run.
struct Ponder {
  bool wanted = false;
  bool active = false;   // a ponder search runs on the game's budget kept aside
  bool decided = false;  // the line that decides it came
  bool hit = false;
  char expected[16] = "";
  int gamePlyBefore = 0;  // the game as it stood before the expected move,
  int sideBefore = 0;     // for the clock rules of "time"
  // The game's budget and plan while the ponder search runs without one.
  int64_t gameBudget = 0;
  BudgetPlan gamePlan = {-1, kNoCeiling};
};

Ponder ponder;
bool loopRunning = false;  // only the loop reads the input: no pondering without it

void swapBudgets() {
  std::swap(searchClock.budget, ponder.gameBudget);
  std::swap(budgetPlan, ponder.gamePlan);
}

// "time" while pondering: the game's budget, as if it had come before the move.
void ponderTime(int64_t remaining) {
  swapBudgets();
  const int ply = pos.gamePly, side = pos.sideToMove;
  pos.gamePly = ponder.gamePlyBefore;
  pos.sideToMove = ponder.sideBefore;
  setRemainingTime(remaining);
  pos.gamePly = ply;
  pos.sideToMove = side;
  swapBudgets();
}

// The expected move came while the search runs: from now on the game's
// budget counts, planned for this ply as a think would plan it.
void ponderHitWhileSearching() {
  const int64_t spent = elapsedTime();
  swapBudgets();
  const Clock running = searchClock;
  startClock();
  const int64_t budget = searchClock.budget;
  searchClock = running;
  searchClock.budget = budget;
  budgetSearchProper();
  searchClock.budget += spent;
  searchClock.savedBudget += spent;
  ponder.active = false;
}

// One line that came while pondering. "time" is taken in, "otim" and a
// "time" it cannot read wait for later (answered as ever); the expected
// move is a hit; anything else a miss, left for the loop. True once decided.
bool ponderLine(char* line) {
  char* cursor = line;
  const char* word = nextWord(&cursor, kWordDelimiters);
  if (word == nullptr) {
    dropWaitingLine();
    return false;
  }
  if (strcmp(word, "time") == 0) {
    const char* value = nextWord(&cursor, kWordDelimiters);
    const long long remaining = value ? parseDecimal(value) : -1;
    if (remaining < 0) {
      keepWaitingLine();
      return false;
    }
    dropWaitingLine();
    ponderTime(remaining);
    return false;
  }
  if (strcmp(word, "otim") == 0) {
    keepWaitingLine();
    return false;
  }
  ponder.decided = true;
  ponder.hit = strcmp(word, ponder.expected) == 0;
  if (ponder.hit)
    dropWaitingLine();
  else
    keepWaitingLine();
  return true;
}

// Kept out of the stack frame: the record is large.
Position gameBeforePonder;

void printMove(Move move);
bool inputDuringSearch();

// Only the loop reads the input: lines handled one by one (the fuzz
// targets' way) search without looking at it.
using InputWatch = bool (*)();
InputWatch inputWatch() { return loopRunning ? inputDuringSearch : nullptr; }

// After the engine's move (just played into the game): ponder, and play on
// for as long as the opponent plays the expected moves.
void ponderOnOpponentsTime(Move played) {
  while (ponder.wanted && loopRunning && !analysis.active) {
    const Move reply = expectedReply(played);
    if (reply == 0) return;
    gameBeforePonder = pos;
    ponder.gamePlyBefore = pos.gamePly;
    ponder.sideBefore = pos.sideToMove;
    if (!commitGameMove(reply)) return;
    moveToText(reply, ponder.expected);
    ponder.active = true;
    ponder.decided = ponder.hit = false;
    ponder.gameBudget = kUntilStopped;
    ponder.gamePlan = BudgetPlan{-1, kNoCeiling};
    swapBudgets();
    RootMove result;
    // Not learned: the game's own think learns when the move comes.
    SearchRequest request = gameMoveRequest(inputWatch());
    request.learn = false;
    const int found = think(result, request);
    // Ended on its own (book, mate, deepest iteration): wait for the move.
    while (!ponder.decided) {
      char* line = waitForNextLine();
      if (line == nullptr || ponderLine(line)) break;
    }
    if (ponder.active) swapBudgets();  // decided after the search, or not at all
    ponder.active = false;
    if (!ponder.hit) {
      pos = gameBeforePonder;
      searchPly = 0;
      return;
    }
    if (!found || !commitGameMove(result.move)) return;
    printMove(result.move);
    played = result.move;
  }
}

// "stat01: time nodes ply mvleft mvtot mvname": during the search the root
// move being searched and how many are left after it; after it, the best.
void printStatus(bool searching) {
  char text[16] = "";
  int64_t elapsed = analysis.elapsed;
  uint64_t nodes = analysis.nodes;
  int depth = analysis.depth, total = analysis.moveCount, left = 0;
  Move move = analysis.best;
  if (searching) {
    elapsed = elapsedTime();
    nodes = searchNodes();
    depth = iterationDepth;
    total = listStart[1] - listStart[0];
    move = searchPly > 0 ? pos.moveHistory[pos.gamePly + 1] : rootMoves[0].move;
    for (int i = 0; i < total; ++i)
      if (moveStack[listStart[0] + i] == move) left = total - 1 - i;
  }
  if (move != 0) moveToText(move, text);
  printf("stat01: %lld %llu %d %d %d %s\n", static_cast<long long>(elapsed),
         static_cast<unsigned long long>(nodes), depth, left, total, text);
}

// Called by the search when a line is waiting. Thinking on a move, only "?"
// acts (play the best move found so far); every other line waits for the
// move, in order, as a script that pipes its commands expects. Analysing,
// "." is answered at once and any other line ends the search, to be handled
// in order once it is over.
bool inputDuringSearch() {
  char* line;
  while (ponder.active && !ponder.decided && (line = nextWaitingLine()) != nullptr) {
    if (!ponderLine(line)) continue;
    if (!ponder.hit) return true;
    ponderHitWhileSearching();
  }
  if (ponder.active) return ponder.decided || inputEnded();  // a miss, or nothing more can come
  while ((line = nextWaitingLine()) != nullptr) {
    char* cursor = line;
    const char* word = nextWord(&cursor, kWordDelimiters);
    if (analysis.active) {
      if (word != nullptr && strcmp(word, ".") != 0) {
        keepWaitingLine();
        return true;
      }
      dropWaitingLine();
      if (word != nullptr) printStatus(true);
      continue;
    }
    if (word != nullptr && strcmp(word, "?") == 0) {
      dropWaitingLine();
      return true;
    }
    keepWaitingLine();
  }
  // Nothing can end an analysis once the input has ended.
  return analysis.active && inputEnded();
}

// One analysis of the game's position, until a line or its own end stops
// it. The budget and any planned one are the game's: kept aside meanwhile.
void analyse() {
  const int64_t budget = searchClock.budget;
  const BudgetPlan plan = budgetPlan;
  budgetPlan = BudgetPlan{-1, kNoCeiling};
  searchClock.budget = kUntilStopped;
  RootMove result;
  const int found = think(result, analysisRequest(inputWatch()));
  searchClock.budget = budget;
  budgetPlan = plan;
  analysis.over = true;
  analysis.elapsed = elapsedTime();
  analysis.nodes = searchNodes();
  analysis.depth = iterationDepth;
  analysis.moveCount = found ? listStart[1] - listStart[0] : 0;
  analysis.best = found ? result.move : 0;
}

// xboard writes Chess960 castling as O-O and O-O-O and reads it back so.
void printMove(Move move) {
  char text[8];
  if (pos.chess960 && (move & kCastleKingSide)) strcpy(text, "O-O");
  else if (pos.chess960 && (move & kCastleQueenSide)) strcpy(text, "O-O-O");
  else moveToText(move, text);
  printf("move %s\n", text);
}

// The engine has a move the game record has no room for: say so, in the
// protocol's words, rather than leave the interface waiting for a move.
void reportFullRecord(const char* word) { printf("Error (game record full): %s\n", word); }

// Go step: also the end of the road for every word nothing else accepted.
void goStep(CommandLoop& loop, const char* word) {
  if (strcmp(word, "go") == 0) {
    RootMove result;
    if (think(result, gameMoveRequest(inputWatch()))) {
      if (commitGameMove(result.move)) {
        printMove(result.move);
        loop.forceMode = false;
        ponderOnOpponentsTime(result.move);
        return;
      }
      reportFullRecord(word);
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
  if (loop.forceMode || analysis.active) return;
  RootMove result;
  if (!think(result, gameMoveRequest(inputWatch()))) return;
  // Printed only once the reply stands in the game record.
  if (commitGameMove(result.move)) {
    printMove(result.move);
    ponderOnOpponentsTime(result.move);
  } else {
    reportFullRecord(word);
  }
}

}  // namespace

void reportRefusedLine(LineFault fault, uint64_t length) {
  fprintf(stderr, "#error: line of %llu characters ignored: %s\n", static_cast<unsigned long long>(length),
          lineFaultText(fault));
}

bool handleLine(CommandLoop& loop, char* line) {
  char* cursor = line;
  char* word = nextWord(&cursor, kWordDelimiters);
  if (word == nullptr) return true;

  if (strcmp(word, "quit") == 0) return false;
  // Whatever came, the analysis starts again (from a changed position).
  if (strcmp(word, ".") != 0) analysis.over = false;

  if (strcmp(word, "st") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    const int64_t fraction = value ? fractionalSeconds(value) : -1;
    if (fraction >= 0) {
      setMoveTime(fraction);
      return true;
    }
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
  // Not understood, it falls through to the answer any unknown word gets.
  if (strcmp(word, "level") == 0 && applyLevel(cursor)) return true;
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
    chess960Rules = 0;  // a variant, if any, follows "new"
    setUpGame(kStartFen);
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
    if (!setUpGame(text)) fprintf(stderr, "#error\n");
    return true;
  }
  if (strcmp(word, "hard") == 0 || strcmp(word, "easy") == 0) {
    ponder.wanted = word[0] == 'h';
    return true;
  }
  if (strcmp(word, "analyze") == 0) {
    analysis.active = true;
    return true;
  }
  if (analysis.active) {
    if (strcmp(word, "exit") == 0) {
      analysis.active = false;
      return true;
    }
    if (strcmp(word, ".") == 0) {
      printStatus(false);
      return true;
    }
    // The move itself, as xboard may send it to an engine in analysis.
    if (strcmp(word, "usermove") == 0) {
      char* move = nextWord(&cursor, kWordDelimiters);
      if (move != nullptr) word = move;
    }
  }
  // Threads for the thinks to come (xboard sends it to engines that play
  // with several; polyglot and users may too). A bad count is an unknown word.
  if (strcmp(word, "cores") == 0) {
    char* value = nextWord(&cursor, kWordDelimiters);
    const long long count = value ? parseDecimal(value) : 0;
    if (count >= 1) {
      setSearchThreads(count > kMaxSearchThreads ? kMaxSearchThreads : int(count));
      return true;
    }
  }
  // Chess960 from the start position on: xboard sends its arrangement next.
  if (strcmp(word, "variant") == 0) {
    const char* name = nextWord(&cursor, kWordDelimiters);
    if (name != nullptr && (strcmp(name, "fischerandom") == 0 || strcmp(name, "normal") == 0)) {
      chess960Rules = name[0] == 'f';
      setUpGame(kStartFen);
      return true;
    }
  }
  if (strcmp(word, "setboard") == 0) {
    char* text = nextWord(&cursor, "\n");
    if (text != nullptr && setUpGame(text)) return true;
  }
  moveStep(loop, word);
  return true;
}

void xboardLoop(CommandLoop& loop, char* firstLine) {
  loopRunning = true;
  refusedLineListener = reportRefusedLine;
  bool more = firstLine == nullptr || handleLine(loop, firstLine);
  while (more) {
    if (analysis.active && !analysis.over && !linesKept()) analyse();
    char* line = readInputLine();
    if (line == nullptr) break;
    more = handleLine(loop, line);
  }
  loopRunning = false;
}
