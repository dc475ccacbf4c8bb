// Transposition table, history and the thinking line of new best root moves.
#include <gtest/gtest.h>

#include <string>

#include "engine/clock.h"
#include "search/search_tables.h"
#include "search/trans_table.h"
#include "tests/test_support.h"

namespace {

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
  // Another position in the slot, or the other side to move, misses and keeps the hash move.
  hash = e7e5;
  slot().keyHigh ^= 1;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);
  slot().keyHigh ^= 1;
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
  char digits[24], buffer[kThinkingBufferSize];
  EXPECT_STREQ(formatDecimal64(digits, 18446744073709551615ull), "18446744073709551615");
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
