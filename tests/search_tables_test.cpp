#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/move_text.h"
#include "engine/clock.h"
#include "search/search_tables.h"
#include "search/trans_table.h"
#include "tests/test_support.h"

namespace {

Move quiet(const char* from, const char* to, int piece) {
  return makeMoveWord(squareFromName(from), squareFromName(to), piece);
}

class TransTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setFen(kStartFen));
    clearTranspositionTables();
  }
  const Move e2e4 = quiet("e2", "e4", kPawn);
  const Move d2d4 = quiet("d2", "d4", kPawn);
};

TEST_F(TransTable, DepthDecidesButTheMoveIsSuppliedAnyway) {
  storeTable(50, e2e4, 5, 100);  // exact
  int value = 0;
  Move hash = 0;
  EXPECT_EQ(probeTable(-100, 100, 5, &value, &hash), 1);
  EXPECT_EQ(value, 50);
  value = 7;
  hash = 0;
  EXPECT_EQ(probeTable(-100, 100, 6, &value, &hash), 0);
  EXPECT_EQ(hash, e2e4);
  EXPECT_EQ(value, 7);
}

TEST_F(TransTable, BoundsDecideOnlyOnTheirSideOfTheWindow) {
  int value = 0;
  Move hash = 0;
  storeTable(-20, 0, 3, 100);  // no move raised alpha: upper bound
  EXPECT_EQ(probeTable(-20, 100, 3, &value, &hash), 1);
  EXPECT_EQ(value, -20);
  EXPECT_EQ(probeTable(-21, 100, 3, &value, &hash), 0);

  clearTranspositionTables();
  storeTable(300, e2e4, 3, 300);  // score reached beta: lower bound
  EXPECT_EQ(probeTable(-100, 300, 3, &value, &hash), 1);
  EXPECT_EQ(value, 300);
  EXPECT_EQ(probeTable(-100, 301, 3, &value, &hash), 0);
}

TEST_F(TransTable, ForeignOrEmptyEntriesAreMisses) {
  int value = 0;
  Move hash = d2d4;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);  // empty slot, key 0 != start key
  EXPECT_EQ(hash, d2d4);

  storeTable(50, e2e4, 5, 100);
  TableEntry& e = transTable[pos.sideToMove][pos.keyLow & kTableMask];
  e.keyHigh ^= 1;  // same slot, other position
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);
  EXPECT_EQ(hash, d2d4);
  e.keyHigh ^= 1;

  // The side to move has a table of its own: the same key for black misses.
  pos.sideToMove = kBlack;
  EXPECT_EQ(probeTable(-100, 100, 0, &value, &hash), 0);
  pos.sideToMove = kWhite;
}

TEST_F(TransTable, ReplacementByDepthPlusTwiceTheBound) {
  TableEntry& e = transTable[pos.sideToMove][pos.keyLow & kTableMask];
  storeTable(50, e2e4, 3, 100);  // exact, priority 9
  storeTable(500, d2d4, 4, 0);  // lower bound depth 4, priority 8: kept out
  EXPECT_EQ(e.bound, kBoundExact);
  EXPECT_EQ(e.move, e2e4);
  storeTable(500, d2d4, 5, 0);  // lower bound depth 5, priority 9: equal replaces
  EXPECT_EQ(e.bound, kBoundLower);
  EXPECT_EQ(e.depth, 5);
  EXPECT_EQ(e.move, d2d4);

  // A store without a best move overwrites the slot's move with 0.
  storeTable(-30, 0, 9, 100);
  EXPECT_EQ(e.bound, kBoundUpper);
  EXPECT_EQ(e.move, 0u);

  // Equal priority replaces even when the slot holds another position.
  e.keyHigh ^= 0x55;
  storeTable(-40, 0, 9, 100);
  EXPECT_EQ(e.keyHigh, pos.keyHigh);
  EXPECT_EQ(e.value, -40);
}

TEST(History, IncrementsAndHalvingOfOneSide) {
  ASSERT_TRUE(setFen(kStartFen));
  clearSearchTables();
  const Move nf3 = quiet("g1", "f3", kKnight);
  int& entry = historyScore[kWhite][kKnight][squareFromName("f3")];
  updateHistory(nf3, 200, 200);  // cutoff
  EXPECT_EQ(entry, 1);
  updateHistory(nf3, 150, 200);  // raised alpha only
  EXPECT_EQ(entry, 3);
  updateHistory(nf3, 999901, 1000000);  // mate, no cutoff
  EXPECT_EQ(entry, 25);
  updateHistory(nf3, 999901, 999901);  // mate with cutoff
  EXPECT_EQ(entry, 46);

  // Promotions are credited to the piece promoted to.
  Move promotion = quiet("a7", "a8", kQueen) | kPromotion;
  updateHistory(promotion, 0, 100);
  EXPECT_EQ(historyScore[kWhite][kQueen][0], 2);
  EXPECT_EQ(historyScore[kWhite][kPawn][0], 0);

  historyScore[kWhite][kPawn][40] = 7;
  historyScore[kBlack][kPawn][40] = 9;
  entry = kHistoryLimit - 1;
  updateHistory(nf3, 150, 200);  // reaches 16384: the whole side halves, itself included
  EXPECT_EQ(entry, 8192);
  EXPECT_EQ(historyScore[kWhite][kPawn][40], 3);
  EXPECT_EQ(historyScore[kWhite][kQueen][0], 1);
  EXPECT_EQ(historyScore[kBlack][kPawn][40], 9);

  entry = kHistoryLimit - 1;
  updateHistory(nf3, 200, 200);  // 16383 is still within the limit
  EXPECT_EQ(entry, kHistoryLimit);
}

TEST(ThinkingLine, DecimalDigits) {
  char buffer[24];
  EXPECT_STREQ(formatDecimal64(buffer, 0), "0");
  EXPECT_STREQ(formatDecimal64(buffer, 5000000), "5000000");
  EXPECT_STREQ(formatDecimal64(buffer, 18446744073709551615ull), "18446744073709551615");
}

TEST(ThinkingLine, HeadFieldsAndMoves) {
  ASSERT_TRUE(setFen(kStartFen));
  char buffer[kThinkingBufferSize];
  Move line[kMaxLine] = {quiet("e2", "e4", kPawn), quiet("e7", "e5", kPawn)};
  formatThinking(buffer, 1234, 7, 0, 5000000, line);
  EXPECT_STREQ(buffer, " 7  127    0    5000000 e2e4 e7e5 \n");
  formatThinking(buffer, -1234, 12, 345, 17, line);
  EXPECT_STREQ(buffer, "12 -127  345         17 e2e4 e7e5 \n");
  Move empty[kMaxLine] = {};
  formatThinking(buffer, 1000, 3, 1, 0, empty);
  EXPECT_STREQ(buffer, " 3  100    1          0 \n");
  // A mate score is wider than its field and simply pushes the rest along.
  formatThinking(buffer, 999995, 9, 10, 1, empty);
  EXPECT_STREQ(buffer, " 9 100004   10          1 \n");
}

TEST(ThinkingLine, ShowsAtMostFourteenMoves) {
  ASSERT_TRUE(setFen(kStartFen));
  Move line[kMaxLine] = {};
  const Move cycle[4] = {quiet("g1", "f3", kKnight), quiet("g8", "f6", kKnight),
                         quiet("f3", "g1", kKnight), quiet("f6", "g8", kKnight)};
  for (int i = 0; i < 20; ++i) line[i] = cycle[i % 4];
  char buffer[kThinkingBufferSize];
  formatThinking(buffer, 0, 5, 0, 0, line);
  std::string text = buffer;
  std::string moves = text.substr(24);
  EXPECT_EQ(moves.size(), 14u * 5u + 1u);
  EXPECT_EQ(moves.substr(0, 10), "g1f3 g8f6 ");
  EXPECT_EQ(moves.back(), '\n');
}

class RootRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(setFen(kStartFen));
    clearSearchTables();
    listStart[0] = 0;
    listStart[1] = 2;
    moveStack[0] = rootMoves[0].move = e2e4;
    moveStack[1] = rootMoves[1].move = d2d4;
    startClock();
  }
  const Move e2e4 = quiet("e2", "e4", kPawn);
  const Move d2d4 = quiet("d2", "d4", kPawn);
  const Move e7e5 = quiet("e7", "e5", kPawn);
};

TEST_F(RootRecord, UpdatesTheRecordAndPrintsTheLine) {
  Move child[kMaxLine] = {};
  child[0] = 0x777;  // the child's own ply 0 slot is never read
  child[1] = e7e5;
  searchClock.pollCount = 5000;  // elapsed is 0: the rate divides by 1
  testing::internal::CaptureStdout();
  recordRootMove(child, d2d4, 1234, 1000000, 7);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, " 7  127    0    5000000 d2d4 e7e5 \n");
  const RootMove& r = rootMoves[1];
  EXPECT_EQ(r.depth, 7);
  EXPECT_EQ(r.score, 1234);
  EXPECT_EQ(r.bound, 3);
  EXPECT_EQ(r.line[0], d2d4);
  EXPECT_EQ(r.line[1], e7e5);
  EXPECT_EQ(r.line[2], 0u);
  EXPECT_EQ(rootMoves[0].depth, 0);

  testing::internal::CaptureStdout();
  recordRootMove(child, e2e4, 40, 40, 8);  // at beta: a lower bound
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(rootMoves[0].bound, 2);
}

TEST_F(RootRecord, LongLinesAreCutAndOldTailsCleared) {
  Move child[kMaxLine];
  for (int k = 0; k < kMaxLine; ++k) child[k] = e7e5;
  testing::internal::CaptureStdout();
  recordRootMove(child, e2e4, 0, 100, 3);
  EXPECT_EQ(rootMoves[0].line[95], e7e5);
  EXPECT_EQ(rootMoves[0].line[96], 0u);  // at most 96 moves
  Move shorter[kMaxLine] = {};
  recordRootMove(shorter, e2e4, 0, 100, 4);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(rootMoves[0].line[0], e2e4);
  EXPECT_EQ(rootMoves[0].line[1], 0u);
  EXPECT_EQ(rootMoves[0].line[95], 0u);
}

TEST_F(RootRecord, RateUsesTheStoredClockReading) {
  searchClock.now = searchClock.searchStart + 250;
  searchClock.pollCount = 1000;
  Move child[kMaxLine] = {};
  testing::internal::CaptureStdout();
  recordRootMove(child, e2e4, 0, 100, 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " 2    0  250       4000 e2e4 \n");
}

TEST_F(RootRecord, MoveWithoutRecordStopsTheProcess) {
  Move child[kMaxLine] = {};
  EXPECT_DEATH(recordRootMove(child, e7e5, 0, 100, 2), "");
}

}  // namespace
