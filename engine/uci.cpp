#include "engine/uci.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/perft.h"
#include "engine/clock.h"
#include "engine/go_command.h"
#include "engine/protocol_words.h"
#include "engine/think.h"
#include "engine/uci_options.h"
#include "engine/version.h"
#include "engine/wdl.h"
#include "platform/input.h"
#include "search/root_lines.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/tablebase.h"
#include "search/trans_table.h"

namespace {

// A search that only "stop" ends: far beyond any game, small enough that
// doubling it cannot overflow.
constexpr int64_t kUntilStopped = int64_t(1) << 40;
constexpr int kMateScore = kInfinity;


// What the current "go" was told and what came in while it ran.
struct Search {
  bool waitForStop = false;  // infinite or ponder: bestmove only after stop or ponderhit
  bool pondering = false;
  bool stopSeen = false;
  bool quitSeen = false;
  ClockWords clock;
};

Search search;
// The game the last "position" set up: its start and its moves, so that a
// position that only adds moves continues the game (learning acts once per game).
char gameStart[kFenBufferSize];
bool gameKnown = false;

void sayInfo(const char* text) { printf("info string %s\n", text); }

void sayRefusedLine(LineFault fault, uint64_t length) {
  printf("info string error: line of %llu characters ignored: %s\n", static_cast<unsigned long long>(length),
         lineFaultText(fault));
}

void printIdentity() {
  printf("id name Morvek " MORVEK_VERSION "\n");
  printf("id author the Morvek developers\n");
  printUciOptions();
  printf("uciok\n");
}

// Kept out of the stack frame: the record is some fifteen kilobytes.
Position savedPosition;

// "position startpos|fen FEN [moves M...]": all or nothing.
void setPosition(char* cursor) {
  char start[kFenBufferSize];
  char* word = nextWord(&cursor, kWordDelimiters);
  if (word != nullptr && strcmp(word, "startpos") == 0) {
    snprintf(start, sizeof start, "%s", kStartFen);
    word = nextWord(&cursor, kWordDelimiters);
  } else if (word != nullptr && strcmp(word, "fen") == 0) {
    start[0] = '\0';
    size_t used = 0;
    bool tooLong = false;
    while ((word = nextWord(&cursor, kWordDelimiters)) != nullptr && strcmp(word, "moves") != 0) {
      int n = snprintf(start + used, sizeof start - used, used ? " %s" : "%s", word);
      if (n < 0 || used + size_t(n) >= sizeof start) tooLong = true;
      if (!tooLong) used += size_t(n);
    }
    if (tooLong) start[0] = '\0';  // refused below like any bad text
  } else {
    sayInfo("error: position needs startpos or fen");
    return;
  }
  if (word != nullptr && strcmp(word, "moves") != 0) {
    printf("info string error: unexpected %s in position\n", word);
    return;
  }

  savedPosition = pos;
  const int oldPly = pos.gamePly;
  const int oldLearned = pos.learnedThisGame;
  if (!setUpGame(start)) {
    printf("info string error: position refused: %s\n", start);
    return;
  }
  char* moveText;
  while ((moveText = nextWord(&cursor, kWordDelimiters)) != nullptr) {
    Move move = 0;
    if (!parseMove(moveText, &move) || !commitGameMove(move)) {
      printf("info string error: illegal move %s, position unchanged\n", moveText);
      pos = savedPosition;
      searchPly = 0;
      return;
    }
  }
  // The same game, moves added: what the game has learned stays.
  bool sameGame = gameKnown && strcmp(start, gameStart) == 0 && pos.gamePly >= oldPly;
  for (int n = 1; sameGame && n <= oldPly; ++n)
    if (pos.moveHistory[n] != savedPosition.moveHistory[n]) sameGame = false;
  if (sameGame) pos.learnedThisGame = oldLearned;
  snprintf(gameStart, sizeof gameStart, "%s", start);
  gameKnown = true;
}

// "movetime T": the think ends T ms after it starts (or, pondering, after
// "ponderhit") less a margin for the last look at the clock and the answer
// and less the Move Overhead, read from the millisecond clock; no deepening
// rule ends it sooner. Returns the deadline in milliseconds of the think.
int64_t moveDeadline(int64_t moveTimeMs, int64_t fromMs) {
  const int64_t margin = (moveTimeMs / 40 + 10 < 60 ? moveTimeMs / 40 + 10 : 60) + uciSettings.moveOverheadMs;
  setMoveTime(kUntilStopped);
  return fromMs + (moveTimeMs > margin ? moveTimeMs - margin : 1);
}

// The budget of the clock words; the deadline of a move time, 0 for none.
int64_t setBudget(const ClockWords& clock, int64_t fromMs = 0) {
  if (clock.moveTimeMs >= 0) return moveDeadline(clock.moveTimeMs, fromMs);
  if (clock.remainingMs >= 0)
    setClockBudget(clock.remainingMs / 10, clock.incrementMs / 10, clock.movesToGo);
  else
    resetBudget();
  return 0;
}

// The ponder move is played on the opponent's time: from now on the clock
// words of "go ponder" count, from the time already spent.
void turnPonderIntoSearch() {
  search.pondering = false;
  search.waitForStop = false;
  const int64_t spent = elapsedTime();
  searchLimits.moveTimeMs = setBudget(search.clock, elapsedMilliseconds());
  budgetSearchProper();
  searchClock.budget += spent;
  searchClock.savedBudget += spent;
}

// A line that came while searching (or while waiting to say bestmove); true
// when the search must end. Lines that change the game wait for the search.
bool handleWhileSearching(char* line) {
  char* cursor = line;
  const char* word = nextWord(&cursor, kWordDelimiters);
  if (word == nullptr || strcmp(word, "debug") == 0) {
    dropWaitingLine();
    return false;
  }
  // Behind a line kept for later, lines keep their order: a script that
  // pipes its commands gets them handled one after the other. Only a search
  // that nothing else can end still hears "stop" and "quit".
  const bool ending = strcmp(word, "stop") == 0 || strcmp(word, "quit") == 0;
  if (linesKept() && !(ending && search.waitForStop)) {
    keepWaitingLine();
    return false;
  }
  if (strcmp(word, "isready") == 0) {
    dropWaitingLine();
    printf("readyok\n");
    return false;
  }
  if (strcmp(word, "ponderhit") == 0) {
    dropWaitingLine();
    if (search.pondering) turnPonderIntoSearch();
    return false;
  }
  if (strcmp(word, "stop") == 0 || strcmp(word, "quit") == 0) {
    dropWaitingLine();
    search.stopSeen = true;
    search.quitSeen = strcmp(word, "quit") == 0;
    return true;
  }
  keepWaitingLine();
  return false;
}

// Called by the search when a line is waiting.
bool inputDuringSearch() {
  while (char* line = nextWaitingLine())
    if (handleWhileSearching(line)) return true;
  // The input ended: nothing can say "stop" any more. A search with an end
  // of its own runs on, as a script that pipes its commands expects.
  if (inputEnded() && search.waitForStop) search.stopSeen = true;
  return search.stopSeen;
}

// The material at the root of the search, for the win/draw/loss model.
int rootMaterial = 0;

// One line of a search: "multipv" only when several were asked for (number
// 1 and up); time in milliseconds, the speed from it. Written at once.
void printLine(const RootMove& record, int number, int64_t ms) {
  char text[16];
  // A root the endgame tables cover shows their result, as the search's own reports do.
  const int score = shownRootScore(record.score);
  char scoreText[64];
  if (score > kMateThreshold)
    snprintf(scoreText, sizeof scoreText, "mate %d", (kMateScore - score + 1) / 2);
  else if (score < -kMateThreshold)
    snprintf(scoreText, sizeof scoreText, "mate -%d", (kMateScore + score) / 2);
  else
    snprintf(scoreText, sizeof scoreText, "cp %d", score / 10);
  // Win, draw and loss chances in per mille after the score, when asked for;
  // a mate is certain.
  if (uciSettings.showWdl) {
    const WinDrawLoss wdl = score > kMateThreshold    ? WinDrawLoss{1000, 0, 0}
                            : score < -kMateThreshold ? WinDrawLoss{0, 0, 1000}
                                                      : winDrawLoss(score / 10, rootMaterial);
    const size_t used = strlen(scoreText);
    snprintf(scoreText + used, sizeof scoreText - used, " wdl %d %d %d", wdl.win, wdl.draw, wdl.loss);
  }
  char numberText[24] = "";
  if (number > 0) snprintf(numberText, sizeof numberText, " multipv %d", number);
  const uint64_t nodes = searchNodes();
  const uint64_t nps = nodes * 1000 / uint64_t(ms > 0 ? ms : 1);
  char line[kMaxLine * 6 + 256];
  int length = snprintf(line, sizeof line, "info depth %d seldepth %d%s score %s%s time %lld nodes %llu nps %llu hashfull %d pv",
                        record.depth, selDepth > record.depth ? selDepth : record.depth, numberText, scoreText,
                        record.bound == kBoundLower ? " lowerbound" : "", static_cast<long long>(ms),
                        static_cast<unsigned long long>(nodes), static_cast<unsigned long long>(nps), tableFullness());
  for (int k = 0; k < kMaxLine && record.line[k] != 0; ++k)
    length += snprintf(line + length, sizeof line - size_t(length), " %s", moveToText(record.line[k], text));
  printf("%s\n", line);
}

void printInfo(const RootMove& record, int, uint64_t) {
  printLine(record, uciSettings.multiPv > 1 ? 1 : 0, elapsedMilliseconds());
}

// A several-line search finished an iteration: all its lines, best first.
void printLines() {
  const int64_t ms = elapsedMilliseconds();
  for (int i = 0; i < rootLineCount; ++i) printLine(rootLines[i], i + 1, ms);
}

// After the first second of a search, at most once a second: the root move
// being searched.
int64_t lastCurrentMoveMs;

void printCurrentMove(Move move, int number) {
  const int64_t ms = elapsedMilliseconds();
  if (ms < 1000 || ms - lastCurrentMoveMs < 1000) return;
  lastCurrentMoveMs = ms;
  char text[16];
  printf("info currmove %s currmovenumber %d\n", moveToText(move, text), number);
}

// Right before "bestmove": what the think ends with, with the time and
// nodes of its end. A book move says so; no move at all is mate or stalemate.
void printLastLines(int found, const RootMove& result) {
  const int64_t ms = elapsedMilliseconds();
  if (!found) {
    printf("info depth 0 score %s\n", inCheck() ? "mate 0" : "cp 0");
  } else if (thinkUsedBook) {
    sayInfo("book move");
    printLine(result, uciSettings.multiPv > 1 ? 1 : 0, ms);
  } else if (rootLineCount > 1) {
    for (int i = 0; i < rootLineCount; ++i) printLine(rootLines[i], i + 1, ms);
  } else if (rootLineCount == 1) {
    printLine(rootLines[0], uciSettings.multiPv > 1 ? 1 : 0, ms);
  }
}

// The reply the search expects to its move, played for the look and taken back.
Move ponderReply(Move move) {
  if (!commitGameMove(move)) return 0;
  const Move reply = expectedReply(move);
  takeBackGameMove();
  return reply;
}

void go(char* words) {
  search = Search{};
  const GoCommand command = parseGo(words);
  for (int i = 0; i < command.refusedCount && i < kMaxRefusedWords; ++i)
    printf("info string searchmoves: %s is no legal move here, ignored\n", command.refused[i]);
  if (command.refusedCount > kMaxRefusedWords)
    printf("info string searchmoves: %d more words are no legal moves here, ignored\n",
           command.refusedCount - kMaxRefusedWords);
  if (command.restricted && command.searchMoveCount == 0) sayInfo("searchmoves: no legal move given, searching every move");
  search.clock = command.clock;
  search.pondering = command.ponder;
  search.waitForStop = command.infinite || command.ponder;
  const bool noClock = command.clock.remainingMs < 0 && command.clock.moveTimeMs < 0;
  int64_t deadline = 0;
  if (search.waitForStop || ((command.depth > 0 || command.nodes > 0 || command.mate > 0) && noClock))
    setMoveTime(kUntilStopped);
  else
    deadline = setBudget(command.clock);

  // Analysis (a depth, a node count, several lines, chosen moves, a mate,
  // no end) searches and is not learned; a game move may come from the book.
  const bool gameMove = !command.infinite && command.depth == 0 && command.nodes == 0 && command.mate == 0 &&
                        !command.restricted && uciSettings.multiPv == 1;
  SearchRequest request = gameMove ? gameMoveRequest(inputDuringSearch) : analysisRequest(inputDuringSearch);
  request.useBook = uciSettings.ownBook && gameMove;
  request.lastDepth = command.depth > 0 ? command.depth : kLastIteration;
  request.nodeLimit = command.nodes;
  request.lineCount = uciSettings.multiPv;
  request.mateMoves = command.mate;
  request.moveTimeMs = deadline;
  request.searchMoveCount = command.searchMoveCount;
  memcpy(request.searchMoves, command.searchMoves, sizeof(Move) * size_t(command.searchMoveCount));
  lastCurrentMoveMs = 0;
  rootMaterial = materialCount();
  currentMoveListener = printCurrentMove;
  RootMove result;
  const int found = think(result, request);
  currentMoveListener = nullptr;

  // Infinite and ponder searches answer only when told.
  while (search.waitForStop && !search.stopSeen) {
    char* line = waitForNextLine();
    if (line == nullptr) break;  // the end of input says it
    if (handleWhileSearching(line)) break;
  }

  printLastLines(found, result);
  char text[16], replyText[16];
  if (!found) {
    printf("bestmove 0000\n");
    return;
  }
  const Move reply = ponderReply(result.move);
  if (reply != 0)
    printf("bestmove %s ponder %s\n", moveToText(result.move, text), moveToText(reply, replyText));
  else
    printf("bestmove %s\n", moveToText(result.move, text));
}

void printPerftMove(Move move, uint64_t leaves) {
  char text[8];
  printf("%s: %llu\n", moveToText(move, text), static_cast<unsigned long long>(leaves));
}

// "go perft N": the leaves below each legal move, then their sum; promotions
// count all four pieces, so the sums are the published ones. Blocks until done.
void goPerft(char* cursor) {
  const char* word = nextWord(&cursor, kWordDelimiters);
  const long long depth = word ? parseDecimal(word) : 0;
  if (depth < 1 || depth >= kMaxPlies) {
    printf("info string perft needs a depth from 1 to %d\n", kMaxPlies - 1);
    return;
  }
  const uint64_t leaves = countLeaves(int(depth), true, printPerftMove);
  printf("\nNodes searched: %llu\n", static_cast<unsigned long long>(leaves));
}

// Whether the words after "go" begin with "perft".
bool asksPerft(const char* cursor) {
  const char* start = cursor + strspn(cursor, kWordDelimiters);
  return strncmp(start, "perft", 5) == 0 && strchr(kWordDelimiters, start[5]) != nullptr;
}

}  // namespace

void uciLoop(CommandLoop& loop) {
  newBestMoveListener = printInfo;
  rootLinesListener = printLines;
  printIdentity();
  refusedLineListener = sayRefusedLine;
  bool quit = false;
  char* line;
  while (!quit && !search.quitSeen && (line = readInputLine()) != nullptr) {
    char* cursor = line;
    const char* word = nextWord(&cursor, kWordDelimiters);
    if (word == nullptr) continue;
    if (strcmp(word, "quit") == 0)
      quit = true;
    else if (strcmp(word, "isready") == 0)
      printf("readyok\n");
    else if (strcmp(word, "uci") == 0)
      printIdentity();
    else if (strcmp(word, "setoption") == 0)
      setUciOption(loop, cursor);
    else if (strcmp(word, "ucinewgame") == 0) {
      gameKnown = false;
      setUpGame(kStartFen);
    } else if (strcmp(word, "position") == 0)
      setPosition(cursor);
    else if (strcmp(word, "go") == 0 && asksPerft(cursor))
      goPerft(cursor + strspn(cursor, kWordDelimiters) + 5);
    else if (strcmp(word, "go") == 0)
      go(cursor);
    else if (strcmp(word, "stop") == 0 || strcmp(word, "ponderhit") == 0 || strcmp(word, "debug") == 0 ||
             strcmp(word, "register") == 0) {
      // Nothing runs: nothing to stop. "debug" and "register" change nothing here.
    } else
      printf("info string unknown command %s\n", word);
  }
  newBestMoveListener = nullptr;
  rootLinesListener = nullptr;
}
