// The searches on small positions, repetitions, the staged move picker, the
// transposition table, history and the thinking line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/make_move.h"
#include "board/move_text.h"
#include "board/movegen.h"
#include "book/book_table.h"
#include "engine/clock.h"
#include "eval/evaluate.h"
#include "search/move_picker.h"
#include "search/quiesce.h"
#include "search/search.h"
#include "search/search_tables.h"
#include "search/search_tree.h"
#include "search/trans_table.h"
#include "tests/test_support.h"

namespace {

// Sets up fen for a search with fresh tables, no book, no tree and a clock
// that will not stop it.
void prepareSearch(const char* fen) {
  ASSERT_TRUE(setFen(fen)) << fen;
  clearSearchTables();
  clearBookTable();
  allocateSearchTree();
  clearSearchTree();
  startClock();
  searchClock.budget = 1000000;
  iterationDepth = 10;
  rootSide = pos.sideToMove;
  nullMoveAllowed = 0;
  inNullMove = 0;
  listStart[1] = listStart[0];  // quiescence at the root searches the root list: none here
}

// A move word built by hand: parseMove refuses moves that are not legal now.
Move wordOf(const char* text, int piece) {
  return makeMoveWord(squareFromName(text), squareFromName(text + 2), piece);
}

Move searchLine[kMaxLine];
int principal(int depth) { return principalSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), searchLine, 0, 0}); }
int inner(int depth) { return innerSearch(SearchArgs{-kInfinity, kInfinity, depth, inCheck(), searchLine, 0, 0}); }

TEST(Search, MateStalemateAndKingCaptureAtPlyOne) {
  const struct { const char* fen; const char* move; int piece, score; } cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8", kRook, 1 - kMatedAtZero},  // mated at ply 1
      {"7k/4Q3/6K1/8/8/8/8/8 w - - 0 1", "e7f7", kQueen, 0},                  // stalemate
      {"4k3/p7/8/8/8/8/4R3/K7 b - - 0 1", "a7a6", kPawn, kInfinity - 1},      // the king is taken
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", "f6f7", kKing, -(kMatedAtZero - 3)}};   // Kh7 Rh1 mate
  for (const auto& c : cases) {
    for (int kind = 0; kind < 2; kind++) {
      prepareSearch(c.fen);
      const Move m = wordOf(c.move, c.piece);
      makeMove(m);
      EXPECT_EQ(kind == 0 ? principal(3) : inner(3), c.score) << c.fen << " kind " << kind;
      unmakeMove(m);
      EXPECT_EQ(searchPly, 0);
    }
  }
  // Quiescence: the king capture, a stand-pat above beta returned as it is.
  prepareSearch("4k3/p7/8/8/8/8/4R3/K7 b - - 0 1");
  makeMove(wordOf("a7a6", kPawn));
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), kInfinity - 1);
  unmakeMove(wordOf("a7a6", kPawn));
  prepareSearch("4k3/8/8/8/8/8/7R/4K3 b - - 0 1");
  const int stand = evaluate(-kInfinity, kInfinity);
  EXPECT_EQ(quiesce(-kInfinity, kInfinity), stand);
  EXPECT_EQ(quiesce(stand + 100, kInfinity), stand + 100);
  EXPECT_EQ(quiesce(stand - 200, stand - 100), stand);
}

TEST(Search, RepetitionInTheLineHasContemptForTheRootSideOnlyInTheInnerSearch) {
  prepareSearch("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
  const Move moves[6] = {wordOf("g1f3", kKnight), wordOf("e8d8", kKing), wordOf("f3g1", kKnight),
                         wordOf("d8e8", kKing),   wordOf("g1f3", kKnight), wordOf("e8d8", kKing)};
  for (int i = 0; i < 5; ++i) makeMove(moves[i]);
  EXPECT_EQ(isRepetition(), 1);  // black to move, first seen at ply 1
  EXPECT_EQ(inner(2), 0);
  EXPECT_EQ(principal(2), 0);
  makeMove(moves[5]);  // the root side to move, first seen at ply 2
  EXPECT_EQ(inner(2), kRootSideDraw);
  EXPECT_EQ(principal(2), 0);
  for (int i = 5; i >= 0; --i) unmakeMove(moves[i]);
  EXPECT_EQ(searchPly, 0);
}

TEST(Search, GameRepetitionNeedsAThirdOccurrence) {
  auto play = [](const char* text) { Move m = 0; return parseMove(text, &m) == 1 && commitGameMove(m) == 1; };
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1"));
  for (const char* t : {"g1f3", "e8d8", "f3g1", "d8e8", "g1f3"}) ASSERT_TRUE(play(t));
  EXPECT_EQ(isRepetition(), 0);  // second occurrence only
  for (const char* t : {"e8d8", "f3g1", "d8e8", "g1f3"}) ASSERT_TRUE(play(t));
  EXPECT_EQ(isRepetition(), 1);
}

using Moves = std::vector<Move>;
Move quiet(const char* from, const char* to, int piece) { return boardMove(from, to, piece); }
Move capture(const char* from, const char* to, int piece) { return boardMove(from, to, piece, kCapture); }

Moves drain(MovePicker& picker) {
  Moves out;
  for (Move m; nextMove(picker, &m);) out.push_back(m);
  return out;
}

// Black queen d5, knight f5, pawn h5; white pawn e4, knight g3, rook a1.
constexpr const char* kCaptureFen = "4k3/8/8/3q1n1p/4P3/6N1/8/R3K3 w - -";

// The list of ply 1 is laid by hand: the picker does not check where moves came from.
MovePicker pickerFor(const Moves& moves, Move prev = 0, Move hash = 0) {
  EXPECT_TRUE(setFen(kCaptureFen));
  inNullMove = 0;
  searchPly = 1;
  pos.moveHistory[pos.gamePly + 1] = prev;
  listStart[1] = 20;
  for (size_t i = 0; i < moves.size(); ++i) moveStack[20 + i] = moves[i];
  listStart[2] = 20 + int(moves.size());
  MovePicker picker;
  resetPicker(picker, 0);
  picker.hashMove = hash;
  return picker;
}

const Move exd5 = capture("e4", "d5", kPawn), exf5 = capture("e4", "f5", kPawn);
const Move nxf5 = capture("g3", "f5", kKnight), nxh5 = capture("g3", "h5", kKnight);
const Move ra2 = quiet("a1", "a2", kRook), rb1 = quiet("a1", "b1", kRook), ra3 = quiet("a1", "a3", kRook);
const Move kd1 = quiet("e1", "d1", kKing), kf1 = quiet("e1", "f1", kKing);

TEST(MovePicker, CaptureScores) {
  ASSERT_TRUE(setFen(kCaptureFen));
  const Move h7h5 = quiet("h7", "h5", kPawn);
  EXPECT_EQ(captureScore(exd5, 0), 9999);
  EXPECT_EQ(captureScore(nxf5, 0), 2998);  // the cheaper capturer first
  EXPECT_EQ(captureScore(nxh5, h7h5), 998 + kRecaptureBonus);
  EXPECT_EQ(captureScore(exd5 | kEnPassant, quiet("d7", "d5", kPawn)), kEnPassantScore);
  EXPECT_EQ(captureScore(quiet("a7", "a8", kKnight) | kPromotion, 0), 3000);
  EXPECT_EQ(captureScore(capture("e4", "d5", kQueen) | kPromotion, 0), 10000 - 5 + 10000);
}

TEST(MovePicker, GoodMovesThenHistoryThenTheRestInExchangeOrder) {
  clearSearchTables();
  bestAtPly[1] = kd1;  // 1990: after knight captures, before a plain pawn capture
  pvAtPly[1] = kf1;    // 990: after every capture
  MovePicker picker = pickerFor({ra2, nxh5, kd1, exf5, kf1, exd5, nxf5, rb1});
  EXPECT_EQ(drain(picker), (Moves{exd5, exf5, nxf5, kd1, nxh5, kf1, ra2, rb1}));

  // The hash and best-move bonuses add up.
  picker = pickerFor({exd5, kd1, ra2}, 0, kd1);
  EXPECT_EQ(drain(picker)[0], kd1);
  EXPECT_EQ(moveScore[20], kHashMoveBonus + kBestAtPlyBonus);

  clearSearchTables();
  historyScore[kWhite][kRook][squareFromName("b1")] = 5;
  historyScore[kWhite][kKing][squareFromName("f1")] = 9;
  historyScore[kWhite][kKing][squareFromName("d1")] = -3;
  historyScore[kBlack][kRook][squareFromName("a2")] = 50;  // the other side's entry
  // The partitions exchange exf5, then rb1 and kf1 forward: ra3 kd1 ra2 remain.
  picker = pickerFor({ra2, kd1, rb1, ra3, kf1, exf5}, quiet("h7", "h5", kPawn));
  EXPECT_EQ(drain(picker), (Moves{exf5, kf1, rb1, ra3, kd1, ra2}));
  EXPECT_EQ(picker.fromTree, 0);
  searchPly = 0;
}

TEST(MovePicker, RootListOnlyThenTreeRepliesUntilABogusNode) {
  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  ASSERT_EQ(allocateSearchTree(), 1);
  clearSearchTree();
  inNullMove = 0;
  generateMoves();
  const Move e2e4 = quiet("e2", "e4", kPawn), d2d4 = quiet("d2", "d4", kPawn);
  const Move d7d5 = quiet("d7", "d5", kPawn), h7h6 = quiet("h7", "h6", kPawn);
  auto push = [](TreeNode** head, Move m) { pushFront(head, newTreeNode(0, 0, 0, 0, m, 0, 0)); };
  push(&searchTree->rootList, d2d4);
  push(&searchTree->rootList, e2e4);
  MovePicker picker;
  resetPicker(picker, 1);
  EXPECT_EQ(drain(picker), (Moves{e2e4, d2d4}));  // the root searches the root list only

  // Below: d7d5 comes from the tree; the bogus node ends the tree stage, so
  // h7h6 comes once, in its ordinary place.
  TreeNode** replies = &searchTree->rootList->firstChild;
  for (Move m : {h7h6, makeMoveWord(0, 0, kPawn), d7d5}) push(replies, m);
  makeMove(e2e4);
  generateMoves();
  resetPicker(picker, 1);
  Move m = 0;
  EXPECT_TRUE(nextMove(picker, &m) && m == d7d5 && picker.fromTree == 1);
  const Moves rest = drain(picker);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), h7h6), 1);
  EXPECT_EQ(int(rest.size()) + 1, listStart[2] - listStart[1]);
  unmakeMove(e2e4);
}

const Move e2e4 = boardMove("e2", "e4", kPawn), d2d4 = boardMove("d2", "d4", kPawn);
const Move e7e5 = boardMove("e7", "e5", kPawn);

TableEntry& slot() { return transTable[pos.sideToMove][pos.keyLow & kTableMask]; }

TEST(SearchTables, ProbeAndReplacement) {
  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  int value = 0;
  Move hash = 0;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);  // empty slot
  storeTable(50, e2e4, 5, 100);                            // exact, depth 5
  EXPECT_TRUE(probeTable(-100, 100, 5, &value, &hash) && value == 50);
  hash = 0;  // too shallow to decide, but the move is still supplied
  EXPECT_TRUE(!probeTable(-100, 100, 6, &value, &hash) && hash == e2e4);
  storeTable(-20, 0, 9, 100);  // upper bound: decides only at or below alpha
  EXPECT_TRUE(probeTable(-20, 100, 3, &value, &hash) && value == -20);
  EXPECT_EQ(probeTable(-21, 100, 3, &value, &hash), 0);
  storeTable(300, d2d4, 9, 300);  // lower bound: only at or above beta
  EXPECT_EQ(probeTable(-100, 300, 3, &value, &hash), 1);
  EXPECT_EQ(probeTable(-100, 301, 3, &value, &hash), 0);
  hash = e7e5;  // the other side's table misses and keeps the hash move
  pos.sideToMove = kBlack;
  EXPECT_TRUE(!probeTable(-100, 100, 0, &value, &hash) && hash == e7e5);
  pos.sideToMove = kWhite;

  // Replacement by depth + 2 x bound, equal priority replaces.
  clearSearchTables();
  storeTable(50, e2e4, 3, 100);  // exact depth 3: priority 9
  storeTable(500, d2d4, 4, 0);   // lower depth 4: 8, kept out
  EXPECT_EQ(slot().move, e2e4);
  storeTable(500, d2d4, 5, 0);  // lower depth 5: 9
  EXPECT_TRUE(slot().bound == kBoundLower && slot().move == d2d4);
  storeTable(-30, 0, 9, 100);  // no best move: the slot's move becomes 0
  EXPECT_TRUE(slot().bound == kBoundUpper && slot().move == 0);
  slot().keyHigh ^= 0x55;  // a foreign position too
  storeTable(-40, 0, 9, 100);
  EXPECT_EQ(slot().keyHigh, pos.keyHigh);
}

TEST(SearchTables, HistoryCreditsAndHalvesOneSide) {
  clearSearchTables();
  const Move nf3 = boardMove("g1", "f3", kKnight);
  int& entry = historyScore[kWhite][kKnight][squareFromName("f3")];
  updateHistory(nf3, 200, 200);  // cutoff 2
  updateHistory(nf3, 150, 200);  // raised alpha only 1
  EXPECT_EQ(entry, 3);
  updateHistory(nf3, 999901, 1000000);  // mate
  EXPECT_EQ(entry, 25);
  updateHistory(boardMove("a7", "a8", kQueen, kPromotion), 0, 100);  // the piece promoted to
  EXPECT_EQ(historyScore[kWhite][kQueen][0], 2);
  historyScore[kBlack][kPawn][40] = 9;
  entry = kHistoryLimit;
  updateHistory(nf3, 200, 200);  // reaches 16384: the whole side halves
  EXPECT_EQ(entry, 8192);
  EXPECT_EQ(historyScore[kWhite][kQueen][0], 1);
  EXPECT_EQ(historyScore[kBlack][kPawn][40], 9);
}

TEST(SearchTables, ThinkingLineAndRootRecords) {
  char buffer[kThinkingBufferSize];
  Move line[kMaxLine] = {e2e4, e7e5};
  formatThinking(buffer, -1234, 12, 345, 17, line);
  EXPECT_STREQ(buffer, "12 -127  345         17 e2e4 e7e5 \n");
  formatThinking(buffer, 999995, 9, 10, 1, line + 2);  // wide mate score, no moves
  EXPECT_STREQ(buffer, " 9 100004   10          1 \n");
  for (int i = 0; i < 20; ++i) line[i] = i % 2 ? e7e5 : e2e4;
  formatThinking(buffer, 0, 5, 0, 0, line);
  EXPECT_EQ(std::string(buffer).size(), 24u + 14u * 5u + 1u);  // 14 moves at most

  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  listStart[0] = 0, listStart[1] = 2;
  moveStack[0] = rootMoves[0].move = e2e4;
  moveStack[1] = rootMoves[1].move = d2d4;
  startClock();
  searchClock.pollCount = 5000;  // elapsed 0: the rate divides by 1
  for (Move& m : line) m = e7e5;
  testing::internal::CaptureStdout();
  recordRootMove(line, d2d4, 1234, 1000000, 7);
  EXPECT_EQ(testing::internal::GetCapturedStdout().substr(0, 29), " 7  127    0    5000000 d2d4 ");
  const RootMove& r = rootMoves[1];
  EXPECT_TRUE(r.depth == 7 && r.bound == 3 && r.line[95] == e7e5 && r.line[96] == 0);  // 96 moves at most
  line[2] = 0;  // a shorter line clears the old tail
  searchClock.now = searchClock.searchStart + 250;
  testing::internal::CaptureStdout();
  recordRootMove(line, d2d4, 40, 40, 8);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " 8    4  250      20000 d2d4 e7e5 \n");
  EXPECT_TRUE(r.bound == 2 && r.line[2] == 0 && rootMoves[0].depth == 0);
  EXPECT_DEATH(recordRootMove(line, e7e5, 0, 100, 2), "");  // no such root move
}

}  // namespace
