#include <gtest/gtest.h>

#include <string>

#include "board/move_text.h"
#include "tests/test_support.h"

namespace {

// Text read in a position and written back; "-" when refused (and the move
// left alone). Characters after the move are ignored; no case folding but
// for the promotion letter, which defaults to the queen.
TEST(MoveText, ReadsLegalMovesAndWritesThemBack) {
  struct Case { const char* fen; const char* text; const char* back; Move castle = 0; };
  const char* const castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
  const char* const noRights = "r3k2r/8/8/8/8/8/8/R3K2R w - -";
  const char* const promotes = "k7/4P3/8/8/8/8/8/4K3 w";
  const Case cases[] = {
      {kStartFen, "e2e4", "e2e4"}, {kStartFen, "e2e4x", "e2e4"}, {kStartFen, "g1f3", "g1f3"},
      {kStartFen, "e2e5", "-"}, {kStartFen, "e2", "-"}, {kStartFen, "", "-"}, {kStartFen, "E2E4", "-"},
      {kStartFen, "e2E4", "-"}, {kStartFen, "e7e5", "-"}, {kStartFen, "o-o", "-"}, {kStartFen, "go", "-"},
      {promotes, "e7e8", "e7e8q"}, {promotes, "e7e8N", "e7e8n"}, {promotes, "e7e8r", "e7e8r"},
      {promotes, "e7e8b", "e7e8b"}, {promotes, "e7e8k", "e7e8q"},
      {castles, "o-o", "e1g1", kCastleKingSide}, {castles, "e1g1", "e1g1", kCastleKingSide},
      {castles, "o-o-o", "e1c1", kCastleQueenSide}, {castles, "O-O", "-"}, {castles, "0-0", "-"},
      {castles, "o-o-o-o", "-"}, {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq -", "o-o-o", "e8c8", kCastleQueenSide},
      {noRights, "o-o", "-"}, {noRights, "e1c1", "-"},
      {"4k3/8/8/8/8/8/8/4R1K1 w - -", "g1g2", "-"},  // black king in check: nothing is legal
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(setFen(c.fen));
    Move move = 12345;
    const int read = parseMove(c.text, &move);
    char buffer[8];
    EXPECT_EQ(read ? std::string(moveToText(move, buffer)) : "-", c.back) << c.fen << " " << c.text;
    EXPECT_EQ(read ? move & kCastleMask : move, read ? c.castle : 12345u) << c.text;
    EXPECT_EQ(searchPly, 0);
  }
}

TEST(MoveText, WritesPromotionsEnPassantAndThePass) {
  char buffer[8];
  EXPECT_STREQ(moveToText(makeMoveWord(49, 56, kKnight) | kPromotion | kCapture, buffer), "b2a1n");
  EXPECT_STREQ(moveToText(makeMoveWord(36, 43, kPawn) | kCapture | kEnPassant, buffer), "e4d3");
  EXPECT_STREQ(moveToText(0, buffer), "a8a8");
}

}  // namespace
