// Chess960 castling: generation, legality, make/unmake, rights, FEN and move text.
#include <gtest/gtest.h>

#include <string>

#include "board/movegen.h"
#include "board/position_check.h"
#include "book/book_table.h"
#include "eval/eval_setup.h"
#include "eval/evaluate.h"
#include "test_support.h"

namespace {

// Chess960 rules (or standard ones) for the positions set up while it lives.
struct Chess960Rules {
  explicit Chess960Rules(bool on = true) { chess960Rules = on; }
  ~Chess960Rules() { chess960Rules = 0; }
};

// The legal castling moves as text, in generation order.
std::string legalCastlings() {
  std::string list;
  char text[8];
  generateLegalMoves();
  for (int i = listStart[searchPly]; i < listStart[searchPly + 1]; ++i)
    if (moveStack[i] & kCastleMask) list += std::string(list.empty() ? "" : " ") + moveToText(moveStack[i], text);
  return list;
}

// Placement, side and castling field of the position text (no castling field when there are no rights).
std::string fenFields() {
  char text[kPositionTextSize];
  const std::string fields = positionText(text);
  const size_t third = fields.find(' ', fields.find(' ') + 1);
  return third == std::string::npos ? fields : fields.substr(0, fields.find(' ', third + 1));
}

TEST(Chess960, CastlingMovesAndTheBoardAfterThem) {
  const Chess960Rules rules;
  const struct { const char* fen; const char* castlings; int legalCount; const char* after; } rows[] = {
      // King already on g1, the only legal move; f1 may be attacked, only the king's squares count.
      {"k4r2/8/8/8/8/7p/7P/6KR w H -", "g1h1", 1, "k4r2/8/8/8/8/7p/7P/5RK1 b"},
      {"k7/8/8/8/8/8/8/4KR2 w F -", "e1f1", 0, "k7/8/8/8/8/8/8/5RK1 b"},  // rook already on f1: only the king moves
      {"7k/8/8/8/8/8/8/RK6 w A -", "b1a1", 0, "7k/8/8/8/8/8/8/2KR4 b"},  // the rook passes the king, which steps
      // King and rook cross each other, king side first, or each lands on the other's square.
      {"k7/8/8/8/8/8/8/1KR5 w C -", "b1c1", 0, "k7/8/8/8/8/8/8/5RK1 b"}, {"k7/8/8/8/8/8/8/5KR1 w G -", "f1g1", 0, "k7/8/8/8/8/8/8/5RK1 b"},
      {"1r4kr/8/8/8/8/8/8/K7 b hb -", "g8h8 g8b8", 0, "1r3rk1/8/8/8/8/8/8/K7 w"},
      // A square the king crosses attacked or occupied; the rook on b1 shields c1 from a1 until it leaves.
      {"k3r3/8/8/8/8/8/8/1K5R w H -", "", 0, nullptr}, {"k7/8/8/8/8/8/8/1K1N3R w H -", "", 0, nullptr},
      {"k7/8/8/8/8/8/8/rRK5 w B -", "", 0, nullptr},
      // In check there is no castling; the queen-side knight's square may be attacked.
      {"1k2r3/8/8/8/8/8/8/R3K2R w HA -", "", 0, nullptr}, {"1r4k1/8/8/8/8/8/8/R3K2R w KQ -", "e1h1 e1a1", 0, "1r4k1/8/8/8/8/8/8/R4RK1 b"}};
  for (const auto& r : rows) {
    ASSERT_TRUE(setFen(r.fen)) << r.fen;
    EXPECT_EQ(legalCastlings(), r.castlings) << r.fen;
    EXPECT_TRUE(!r.legalCount || listStart[1] - listStart[0] == r.legalCount) << r.fen;
    if (!r.after) continue;
    Move move = 0;
    ASSERT_TRUE(parseMove(std::string(r.castlings).substr(0, 4).c_str(), &move) && (move & kCastleMask));
    const PositionImage before;
    makeMove(move);
    EXPECT_TRUE(positionIsConsistent() && fenFields() == r.after) << r.fen << ": " << fenFields();
    const uint64_t key = currentKey();
    unmakeMove(move);
    EXPECT_TRUE(before.unchanged()) << r.fen;
    // The key kept by make is the key of the board set up afresh.
    EXPECT_TRUE(setFen(r.after) && currentKey() == key) << r.fen;
  }
}

// A right ends when its king or rook leaves, or the rook is taken on its square; both rules.
TEST(CastlingRights, FollowTheKingAndTheCastlingRooks) {
  const char *const corners = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq", *const twoRooks = "3k4/8/8/8/8/8/8/RR2K2R w HB -";
  const struct { bool chess960; const char* fen; const char* moves; int rights, castled; } rows[] = {
      {false, corners, "e1g1 e8c8", 0, 2}, {false, corners, "a1a8", kWhiteKingSide | kBlackKingSide, 0},
      {false, corners, "h1h4 e8d8 h4h1 d8e8", kWhiteQueenSide, 0},
      {false, "4k3/8/8/8/8/8/R7/r3K2R w KQ", "a2a1", kWhiteQueenSide | kWhiteKingSide, 0},  // not its corner
      {true, "k7/8/8/8/8/8/b7/1R2K2R b HB -", "a2b1", kWhiteKingSide, 0},
      {true, twoRooks, "a1a2", kWhiteKingSide | kWhiteQueenSide, 0},  // not the castling rook
      {true, twoRooks, "b1b2 d8d7 b2b1", kWhiteKingSide, 0},          // back on its square, right gone
      {true, twoRooks, "e1f1", 0, 0}, {true, "rk5r/8/8/8/8/8/8/4K2R w Hha -", "h1h8", kBlackQueenSide, 0}};
  for (const auto& r : rows) {
    const Chess960Rules rules(r.chess960);
    ASSERT_TRUE(setFen(r.fen) && playMoves(r.moves, true)) << r.fen << " " << r.moves;
    EXPECT_EQ(std::make_pair(pos.castleRights, pos.castledCount[kWhite] + pos.castledCount[kBlack]),
              std::make_pair(r.rights, r.castled)) << r.fen << " " << r.moves;
  }
}

TEST(Chess960, CastlingFieldsReadInBothDialectsAndWrittenWithFiles) {
  const Chess960Rules rules;
  const struct { const char* fen; const char* written; } rows[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha"},
      {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9", "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf"},
      {"1r2k1rr/8/8/8/8/8/8/RR2K2R b KBkq -", "1r2k1rr/8/8/8/8/8/8/RR2K2R b HBhb"},  // X-FEN: K, k outermost
      {"4k3/8/8/8/8/8/8/R3K2R w Aa -", "4k3/8/8/8/8/8/8/R3K2R w A"}};               // no rook on a8: not written
  for (const auto& r : rows)
    for (const char* text : {r.fen, r.written}) EXPECT_TRUE(setFen(text) && fenFields() == r.written) << text << ": " << fenFields();
  // The king off its first row, a letter on the king's file, no rook for K.
  for (const char* refused : {"4k3/8/8/8/8/8/4K3/7R w H -", "4k3/8/8/8/8/8/8/4K2R w E -",
                              "4k3/8/8/8/8/8/8/R3K3 w K -", "4k3/8/8/8/8/8/8/R3K3 w I -"})
    EXPECT_FALSE(setFen(refused)) << refused;
}

TEST(Chess960, StandardRulesKeepTheirCastlingText) {
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  EXPECT_EQ(legalCastlings(), "e1g1 e1c1");
  EXPECT_EQ(fenFields(), "r3k2r/8/8/8/8/8/8/R3K2R w QKqk");
  EXPECT_FALSE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w HAha -"));
  const Chess960Rules rules;
  ASSERT_TRUE(setFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"));
  EXPECT_EQ(legalCastlings(), "e1h1 e1a1");
  const struct { const char* text; Move castle; } reads[] = {
      {"e1h1", kCastleKingSide}, {"o-o", kCastleKingSide}, {"O-O", kCastleKingSide}, {"0-0", kCastleKingSide},
      {"e1a1", kCastleQueenSide}, {"O-O-O", kCastleQueenSide}, {"0-0-0", kCastleQueenSide}, {"e1g1", 0}};
  for (const auto& r : reads) {
    Move move = 0;
    EXPECT_EQ(parseMove(r.text, &move) ? move & kCastleMask : 0, r.castle) << r.text;
  }
}

// The king's castling prospects are judged from its own arrangement: keeping
// both rights is worth as much to a king on g1 between its rooks as on e1.
TEST(Chess960, CastlingProspectsFollowTheArrangement) {
  const auto rightsWorth = [](const std::string& board, const char* rights) {
    EXPECT_TRUE(setFen((board + " w " + rights + " -").c_str())) << board;
    prepareEvaluation();
    const int with = evaluate(-1000000, 1000000);
    EXPECT_TRUE(setFen((board + " w - -").c_str()));
    prepareEvaluation();
    return with - evaluate(-1000000, 1000000);
  };
  const int standard = rightsWorth("r2qk2r/pppppppp/8/8/8/8/PPPPPPPP/R2QK2R", "KQ");
  EXPECT_GT(standard, 0);
  const Chess960Rules rules;
  EXPECT_EQ(rightsWorth("1r1q2kr/pppppppp/8/8/8/8/PPPPPPPP/1R1Q2KR", "HB"), standard);
  EXPECT_EQ(rightsWorth("1r1q2kr/pppppppp/8/8/8/8/PPPPPPPP/1R1Q2KR", "H"), rightsWorth("r2qk2r/pppppppp/8/8/8/8/PPPPPPPP/R2QK2R", "K"));
}

}  // namespace
