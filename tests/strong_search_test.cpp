// The strong search's parts: the static exchange it orders and prunes by,
// the limits of its null move and reductions (its games are in uci_test).
#include <gtest/gtest.h>

#include "board/exchange.h"
#include "search/strong_search.h"
#include "tests/test_support.h"

namespace {

TEST(Exchange, WinsWhatTheFightOnItsSquareLeaves) {
  const struct { const char* fen; const char* move; int value; } rows[] = {
      {"1k1r4/1pp4p/p7/4p3/8/P5P1/1PP4P/2K1R3 w - - 0 1", "e1e5", 1000},                   // an undefended pawn
      {"1k1r3q/1ppn3p/p4b2/4p3/8/P2N2P1/1PP1R1BP/2K1Q3 w - - 0 1", "d3e5", -2000},         // a knight for a pawn
      {"4k3/8/8/3p4/8/2N5/8/4K3 w - - 0 1", "c3e4", -3000},                                // a quiet move into a pawn's reach
      {"3rk3/8/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 1000},                               // the rook behind joins in
      {"3rk3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5", -4000},                               // no rook behind it
      {"3rk3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", -4000},                            // the rook behind the recapturer joins too
      {"4k3/5p2/8/7B/8/8/8/4KR2 w - - 0 1", "h5f7", 1000},                                 // the king may not take back
      {"4k3/8/2p5/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5", 9000},                               // a pawn takes a defended queen
      {"4k3/8/8/8/8/8/p7/1N2K3 b - - 0 1", "a2b1q", 12000},                                // a capture that promotes
      {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", "e1d2", 10000},                                  // the king takes what nothing guards
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen)) << row.fen;
    Move move = 0;
    ASSERT_TRUE(parseMove(row.move, &move)) << row.move;
    EXPECT_TRUE(exchangeAtLeast(move, row.value)) << row.fen << " " << row.move;
    EXPECT_FALSE(exchangeAtLeast(move, row.value + 1)) << row.fen << " " << row.move;
  }
  // A king may not take a guarded piece, whatever it is worth.
  ASSERT_TRUE(setFen("3rk3/8/8/8/8/8/3q4/4K3 w - - 0 1"));
  EXPECT_FALSE(exchangeAtLeast(boardMove("e1", "d2", kKing, kCapture), -900000));
}

TEST(StrongSearch, NullMoveAndReductionsKeepTheirLimits) {
  const struct { const char* fen; bool white, black; } endings[] = {
      {"4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1", false, false},  // pawns only: zugzwang is near
      {"4k3/pp6/8/8/8/8/PP6/4KN2 w - - 0 1", true, false},
      {"4k1r1/8/8/8/8/8/8/4K3 w - - 0 1", false, true},
  };
  for (const auto& e : endings) {
    ASSERT_TRUE(setFen(e.fen));
    EXPECT_EQ(nullMoveFits(kWhite), e.white) << e.fen;
    EXPECT_EQ(nullMoveFits(kBlack), e.black) << e.fen;
  }
  const struct { int depth, number; bool quiet, pv, inCheck, givesCheck; int history, plies; } rows[] = {
      {10, 20, true, false, false, false, 0, 3},            // 0.75 + ln 10 ln 20 / 2.25
      {10, 20, true, true, false, false, 0, 2},             // a principal line keeps a ply
      {10, 20, false, false, false, false, 0, 0},           // a capture is never reduced
      {10, 20, true, false, true, false, 0, 0},             // nor an evasion
      {10, 20, true, false, false, true, 0, 0},             // nor a check
      {10, 20, true, false, false, false, kStatLimit, 1},   // good history keeps two plies
      {10, 20, true, false, false, false, -kStatLimit, 5},  // bad history loses two more
      {40, 60, true, false, false, false, -kStatLimit, 9},
      {4, 60, true, false, false, false, -kStatLimit, 2},   // at least a ply is left
      {2, 30, true, false, false, false, 0, 0},             // too shallow
      {10, 1, true, false, false, false, 0, 0},             // the first move
  };
  for (const auto& r : rows)
    EXPECT_EQ(lateMoveReduction(r.depth, r.number, r.quiet, r.pv, r.inCheck, r.givesCheck, r.history), r.plies)
        << r.depth << " " << r.number << " " << r.history;
}

}  // namespace
