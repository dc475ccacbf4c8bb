#include <gtest/gtest.h>

#include <string>

#include "engine/clock.h"
#include "search/search_tables.h"
#include "search/trans_table.h"
#include "tests/test_support.h"

namespace {

Move quiet(const char* from, const char* to, int piece) {
  return makeMoveWord(squareFromName(from), squareFromName(to), piece);
}
const Move e2e4 = quiet("e2", "e4", kPawn);
const Move d2d4 = quiet("d2", "d4", kPawn);
const Move e7e5 = quiet("e7", "e5", kPawn);

class SearchTables : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setFen(kStartFen));
    clearSearchTables();
  }
  TableEntry& slot() { return transTable[pos.sideToMove][pos.keyLow & kTableMask]; }
  int value = 0;
  Move hash = 0;
};

TEST_F(SearchTables, ProbeAnswersByDepthAndBoundButAlwaysSuppliesTheMove) {
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);  // empty slot
  storeTable(50, e2e4, 5, 100);                            // exact, depth 5
  EXPECT_EQ(probeTable(-100, 100, 5, &value, &hash), 1);
  EXPECT_EQ(value, 50);
  hash = 0;
  EXPECT_EQ(probeTable(-100, 100, 6, &value, &hash), 0);
  EXPECT_EQ(hash, e2e4);

  storeTable(-20, 0, 9, 100);  // upper bound: decides only at or below alpha
  EXPECT_EQ(probeTable(-20, 100, 3, &value, &hash), 1);
  EXPECT_EQ(value, -20);
  EXPECT_EQ(probeTable(-21, 100, 3, &value, &hash), 0);
  storeTable(300, d2d4, 9, 300);  // lower bound: only at or above beta
  EXPECT_EQ(probeTable(-100, 300, 3, &value, &hash), 1);
  EXPECT_EQ(probeTable(-100, 301, 3, &value, &hash), 0);

  // Another position in the slot, or the other side to move, is a miss that
  // leaves the hash move alone.
  hash = e7e5;
  slot().keyHigh ^= 1;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);
  slot().keyHigh ^= 1;
  pos.sideToMove = kBlack;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);
  pos.sideToMove = kWhite;
  EXPECT_EQ(hash, e7e5);
}

TEST_F(SearchTables, ReplacementByDepthPlusTwiceTheBound) {
  storeTable(50, e2e4, 3, 100);  // exact depth 3: priority 9
  storeTable(500, d2d4, 4, 0);   // lower depth 4: priority 8, kept out
  EXPECT_EQ(slot().move, e2e4);
  storeTable(500, d2d4, 5, 0);  // lower depth 5: priority 9, equal replaces
  EXPECT_EQ(slot().bound, kBoundLower);
  EXPECT_EQ(slot().move, d2d4);
  storeTable(-30, 0, 9, 100);  // no best move: the slot's move becomes 0
  EXPECT_EQ(slot().bound, kBoundUpper);
  EXPECT_EQ(slot().move, 0u);
  slot().keyHigh ^= 0x55;  // equal priority replaces a foreign position too
  storeTable(-40, 0, 9, 100);
  EXPECT_EQ(slot().keyHigh, pos.keyHigh);
}

TEST_F(SearchTables, HistoryCreditsAndHalvesOneSide) {
  const Move nf3 = quiet("g1", "f3", kKnight);
  int& entry = historyScore[kWhite][kKnight][squareFromName("f3")];
  updateHistory(nf3, 200, 200);  // cutoff
  updateHistory(nf3, 150, 200);  // raised alpha only
  EXPECT_EQ(entry, 3);
  updateHistory(nf3, 999901, 1000000);  // mate
  EXPECT_EQ(entry, 25);
  updateHistory(quiet("a7", "a8", kQueen) | kPromotion, 0, 100);  // the piece promoted to
  EXPECT_EQ(historyScore[kWhite][kQueen][0], 2);

  historyScore[kBlack][kPawn][40] = 9;
  entry = kHistoryLimit;  // still within the limit
  updateHistory(nf3, 200, 200);
  EXPECT_EQ(entry, 8192);  // reached 16384: the whole side halves, itself included
  EXPECT_EQ(historyScore[kWhite][kQueen][0], 1);
  EXPECT_EQ(historyScore[kBlack][kPawn][40], 9);
}

TEST_F(SearchTables, ThinkingLineFields) {
  char digits[24];
  EXPECT_STREQ(formatDecimal64(digits, 0), "0");
  EXPECT_STREQ(formatDecimal64(digits, 18446744073709551615ull), "18446744073709551615");

  char buffer[kThinkingBufferSize];
  Move line[kMaxLine] = {e2e4, e7e5};
  formatThinking(buffer, -1234, 12, 345, 17, line);
  EXPECT_STREQ(buffer, "12 -127  345         17 e2e4 e7e5 \n");
  formatThinking(buffer, 999995, 9, 10, 1, line + 2);  // wide mate score, no moves
  EXPECT_STREQ(buffer, " 9 100004   10          1 \n");
  for (int i = 0; i < 20; ++i) line[i] = i % 2 ? e7e5 : e2e4;
  formatThinking(buffer, 0, 5, 0, 0, line);
  EXPECT_EQ(std::string(buffer).size(), 24u + 14u * 5u + 1u);  // 14 moves at most
}

TEST_F(SearchTables, RootRecordTakesTheLineAndPrintsIt) {
  listStart[0] = 0;
  listStart[1] = 2;
  moveStack[0] = rootMoves[0].move = e2e4;
  moveStack[1] = rootMoves[1].move = d2d4;
  startClock();
  searchClock.pollCount = 5000;  // elapsed 0: the rate divides by 1
  Move child[kMaxLine];
  for (Move& m : child) m = e7e5;
  testing::internal::CaptureStdout();
  recordRootMove(child, d2d4, 1234, 1000000, 7);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.substr(0, 29), " 7  127    0    5000000 d2d4 ");
  const RootMove& r = rootMoves[1];
  EXPECT_EQ(r.depth, 7);
  EXPECT_EQ(r.bound, 3);
  EXPECT_EQ(r.line[95], e7e5);
  EXPECT_EQ(r.line[96], 0u);  // at most 96 moves

  child[2] = 0;  // a shorter line clears the old tail
  searchClock.now = searchClock.searchStart + 250;
  testing::internal::CaptureStdout();
  recordRootMove(child, d2d4, 40, 40, 8);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " 8    4  250      20000 d2d4 e7e5 \n");
  EXPECT_EQ(r.bound, 2);
  EXPECT_EQ(r.line[2], 0u);
  EXPECT_EQ(rootMoves[0].depth, 0);

  EXPECT_DEATH(recordRootMove(child, e7e5, 0, 100, 2), "");  // no such root move
}

}  // namespace
