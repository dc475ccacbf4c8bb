#include "book/book_parser.h"

#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "board/position.h"
#include "book/book_table.h"

namespace {

constexpr const char* kSeparators = " !?#,;\n";

struct Lexer {
  unsigned char isSeparator[256];
  char* lineEnd;  // the terminating zero of the line as read
  char* start;    // start of the current lexeme; null before the first
  char* end;      // where the current lexeme ended
};

Lexer lexer;

void fillSeparatorTable() {
  static bool filled = false;
  if (filled) return;
  filled = true;
  for (const char* c = kSeparators; *c; ++c) lexer.isSeparator[static_cast<unsigned char>(*c)] = 1;
}

// The book is read as text; a CRLF file written elsewhere reads like a text
// mode read would give it on its home platform.
void dropCarriageReturn(char* line) {
  size_t length = strlen(line);
  if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n') {
    line[length - 2] = '\n';
    line[length - 1] = '\0';
  }
}

// Large: kept out of the stack.
Position savedPosition;
char lineBuffer[kBookLineSize];

}  // namespace

int nextContentLine(FILE* file, char* buffer) {
  while (fgets(buffer, kBookLineSize, file)) {
    dropCarriageReturn(buffer);
    const char* c = buffer;
    while (*c == ' ') ++c;
    if (*c == '\0' || *c == '\n' || *c == '#') continue;
    return 1;
  }
  return 0;
}

void initLexer(char* line) {
  fillSeparatorTable();
  lexer.lineEnd = line + strlen(line);
  lexer.start = nullptr;
  lexer.end = line;
}

const char* nextLexeme() {
  if (lexer.start == lexer.lineEnd) return nullptr;
  // The character after the previous lexeme (its end now holds a zero), but
  // never past the end of the line's text.
  char* p = lexer.start == nullptr ? lexer.end : lexer.end + 1;
  if (p > lexer.lineEnd) p = lexer.lineEnd;
  while (p < lexer.lineEnd && lexer.isSeparator[static_cast<unsigned char>(*p)]) ++p;
  lexer.start = p;
  while (p < lexer.lineEnd && !lexer.isSeparator[static_cast<unsigned char>(*p)]) ++p;
  *p = '\0';
  lexer.end = p;
  return p > lexer.start ? lexer.start : nullptr;
}

// parseMove's answer, found faster: a book of many lines plays hundreds of
// thousands of moves at start-up, and parseMove tests every move of the
// position for legality. Here only the move the text names is tested; the
// rarer castling, promotion and en-passant moves still go to parseMove.
int parseBookMove(const char* text, Move* move) {
  if (strlen(text) < 4) return parseMove(text, move);
  Square from = squareFromName(text);
  Square to = from >= 0 ? squareFromName(text + 2) : -1;
  if (to < 0) return parseMove(text, move);
  if (!generateMoves()) return 0;  // an illegal position: parseMove refuses all
  for (int i = listStart[searchPly]; i < listStart[searchPly + 1]; ++i) {
    Move candidate = moveStack[i];
    if (moveOrigin(candidate) != from || moveTarget(candidate) != to) continue;
    if (candidate & (kCastleMask | kPromotion | kEnPassant)) return parseMove(text, move);
    const int mover = pos.sideToMove;
    makeMove(candidate);
    bool exposed = sideAttacks(pos.sideToMove, pos.kingSquare[mover]) != 0;
    unmakeMove(candidate);
    if (exposed) return 0;
    *move = candidate;
    return 1;
  }
  return 0;
}

void addBookPosition() {
  // The chain head is fetched from memory while the text is built.
  prefetchBookChain(pos.keyLow);
  char text[kPositionTextSize];
  positionText(text);
  // Only the first node of equal key and side is compared, as the table's
  // learning side finds nodes the same way.
  BookNode* node = findNodeByKey(pos.keyLow, pos.keyHigh, pos.sideToMove);
  if (node && strcmp(node->text, text) == 0) return;
  node = newBookNode(text);
  if (node) linkNode(node);  // out of memory: the book stops growing here
}

void parseBookText(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) return;
  savedPosition = pos;
  const int savedPly = searchPly;
  searchPly = 0;
  if (setupFromFen(kStartFen)) {
    int lineNumber = 0;
    while (nextContentLine(file, lineBuffer)) {
      ++lineNumber;
      // Back to the start by taking the line's moves back: a copy of the
      // whole position, game record included, would cost more than the line.
      while (takeBackGameMove()) {
      }
      searchPly = 0;
      initLexer(lineBuffer);
      while (const char* lexeme = nextLexeme()) {
        Move move = 0;
        if (!parseBookMove(lexeme, &move) || !commitGameMove(move)) {
          printf("#error: line %d, lexem %s\n", lineNumber, lexeme);
          break;
        }
        addBookPosition();
      }
    }
  }
  fclose(file);
  pos = savedPosition;
  searchPly = savedPly;
}
