#include <gtest/gtest.h>

#include <string>

#include "board/move_text.h"
#include "tests/test_support.h"

namespace {

Move parsed(const char* text) {
  Move move = 0;
  EXPECT_EQ(parseMove(text, &move), 1) << text;
  return move;
}

bool refused(const char* text) {
  Move move = 12345;
  return parseMove(text, &move) == 0 && move == 12345;
}

std::string text(Move move) {
  char buffer[8];
  return moveToText(move, buffer);
}

TEST(MoveText, CoordinateMoveInTheStartPosition) {
  ASSERT_TRUE(setFen(kStartFen));
  Move move = parsed("e2e4");
  EXPECT_EQ(moveOrigin(move), 52);
  EXPECT_EQ(moveTarget(move), 36);
  EXPECT_EQ(movePiece(move), kPawn);
  EXPECT_EQ(move & (kCastleMask | kEnPassant | kCapture | kPromotion), 0u);
  EXPECT_EQ(text(move), "e2e4");
  EXPECT_EQ(parsed("e2e4x"), move);  // characters after the fourth are ignored
  EXPECT_EQ(movePiece(parsed("g1f3")), kKnight);
}

TEST(MoveText, RefusesMalformedUpperCaseAndIllegalTexts) {
  ASSERT_TRUE(setFen(kStartFen));
  for (const char* bad : {"e2e5", "e2", "", "E2E4", "e2E4", "zzzz", "e7e5", "o-o", "go"})
    EXPECT_TRUE(refused(bad)) << bad;
  EXPECT_EQ(searchPly, 0);
}

TEST(MoveText, PromotionLetterChoosesThePiece) {
  ASSERT_TRUE(setFen("k7/4P3/8/8/8/8/8/4K3 w - -"));
  struct Case { const char* text; int piece; const char* back; };
  const Case cases[] = {{"e7e8", kQueen, "e7e8q"},  {"e7e8q", kQueen, "e7e8q"},
                        {"e7e8n", kKnight, "e7e8n"}, {"e7e8N", kKnight, "e7e8n"},
                        {"e7e8r", kRook, "e7e8r"},   {"e7e8b", kBishop, "e7e8b"},
                        {"e7e8x", kQueen, "e7e8q"},  {"e7e8k", kQueen, "e7e8q"}};
  for (const Case& c : cases) {
    Move move = parsed(c.text);
    EXPECT_TRUE(move & kPromotion) << c.text;
    EXPECT_EQ(movePiece(move), c.piece) << c.text;
    EXPECT_EQ(text(move), c.back);
  }
}

TEST(MoveText, CastlingByWordOrByKingSquares) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  Move kingSide = parsed("o-o");
  EXPECT_TRUE(kingSide & kCastleKingSide);
  EXPECT_EQ(moveOrigin(kingSide), 60);
  EXPECT_EQ(moveTarget(kingSide), 62);
  EXPECT_EQ(parsed("e1g1"), kingSide);
  EXPECT_EQ(text(kingSide), "e1g1");  // no castling mark in the text
  Move queenSide = parsed("o-o-o");
  EXPECT_TRUE(queenSide & kCastleQueenSide);
  EXPECT_EQ(moveTarget(queenSide), 58);
  for (const char* bad : {"O-O", "0-0", "o-o-o-o", "o-"}) EXPECT_TRUE(refused(bad)) << bad;

  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq -"));
  EXPECT_EQ(moveTarget(parsed("o-o")), 6);
  EXPECT_EQ(parsed("e8c8"), parsed("o-o-o"));

  // No rights: the castling texts name no legal move.
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w - -"));
  EXPECT_TRUE(refused("o-o"));
  EXPECT_TRUE(refused("e1c1"));
}

TEST(MoveText, IllegalPositionRefusesEverything) {
  // White to move while the black king stands in check.
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4R1K1 w - -"));
  EXPECT_TRUE(refused("g1g2"));
  EXPECT_TRUE(refused("e1e8"));
}

TEST(MoveText, WritesPromotionCaptureAndNullMove) {
  Move capture = makeMoveWord(49, 56, kQueen) | kPromotion | kCapture;
  EXPECT_EQ(text(capture), "b2a1q");
  EXPECT_EQ(text(makeMoveWord(49, 56, kKnight) | kPromotion | kCapture), "b2a1n");
  EXPECT_EQ(text(makeMoveWord(36, 43, kPawn) | kCapture | kEnPassant), "e4d3");
  EXPECT_EQ(text(0), "a8a8");
}

}  // namespace
