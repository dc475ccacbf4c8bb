// The board: set-up, guards, game record, generation order, make/unmake.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "board/movegen.h"
#include "board/position_check.h"
#include "test_support.h"

namespace {

bool commit(const char* moves) { return playMoves(moves, true); }

// A success empties the game record; a refusal leaves the whole record as it was.
TEST(FenSetup, AcceptsWhatTheRulesAllowAndRefusesTheRestWhole) {
  const std::string fits = "4k3/8/8/8/8/8/8/4K3" + std::string(kFenBufferSize - 22, ' ') + " b";
  const std::string tooLong = " " + fits;  // cutting it would drop the side to move
  const struct { const char* text; int side, rights; const char* ep; } accepted[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R", kWhite, 0, nullptr}, {"4k3/8/8/8/8/8/8/3K4 w KQkq", kWhite, 15, nullptr},  // as written
      {"\n  4k3/8/8/8/8/8/8/4K3  \n b   Kq\n - 12 40", kBlack, kWhiteKingSide | kBlackQueenSide, nullptr},
      {"k/8/8/8/8/8/8/K", kWhite, 0, nullptr}, {fits.c_str(), kBlack, 0, nullptr},  // short ranks are not counted
      {"4k3/8/8/4p3/8/8/8/4K3 w - e6", kWhite, 0, "e6"}, {"4k3/8/8/8/4P3/8/8/4K3 b - e3", kBlack, 0, "e3"}};
  const char* refused[] = {
      tooLong.c_str(), nullptr, "", "4k3/8/8/8/8/8/8/4K3x", "4k3/8/8/8/8/8/8/9", "4k3/8/8/8/8/8/8/K6kq",  // beyond h1
      "8/8/8/8/8/8/8/K7", "4k3/8/8/8/8/8/8/KK2", "QQQQQQQQ/QQQQQQQQ/K6k",  // 17 white pieces
      "4k3/8/8/8/8/8/8/4K3 white", "4k3/8/8/8/8/8/8/4K3 w KQx", "4k3/8/8/4p3/8/8/8/4K3 w - E6",
      "4k3/8/8/4p3/8/8/8/4K3 w - e3", "4k3/8/8/4P3/8/8/8/4K3 w - e6", "4k3/4n3/8/4p3/8/8/8/4K3 w - e6",
      "4k2P/8/8/8/8/8/8/4K3", "4k3/8/8/8/8/8/8/p3K3", "4k3/8/4n3/4p3/8/8/8/4K3 w - e6",  // the passing square taken
      "4k3N/8/8/8/8/8/8/4K3", "4k4/K", "4k3/8/8/8/8/8/8/4K4", "rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR"};  // 9-square ranks
  for (const char* text : refused) {
    ASSERT_TRUE(setFen(kStartFen) && commit("e2e4 e7e5"));
    const PositionImage before(sizeof(Position));
    EXPECT_TRUE(!setFen(text) && before.unchanged()) << text;
  }
  for (const auto& c : accepted) {
    ASSERT_TRUE(setFen(kStartFen) && commit("e2e4 e7e5") && setFen(c.text)) << c.text;
    EXPECT_EQ(std::make_tuple(pos.gamePly, pos.moveHistory[0], pos.sideToMove, pos.castleRights, pos.epSquare),
              std::make_tuple(0, 0u, c.side, c.rights, c.ep ? squareFromName(c.ep) : 0)) << c.text;
  }
}

TEST(BoardDeathTest, InconsistentEditsStop) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4KB1R w K"));  // rights as written: f1 blocks the rook
  EXPECT_DEATH(placePiece(kWhite, squareFromName("e1"), kQueen, 5), "");  // occupied square
  EXPECT_DEATH(removePiece(kBlack, squareFromName("e1"), kKing, 0), "");   // wrong side
  EXPECT_DEATH(makeMove(boardMove("e1", "g1", kKing, kCastleKingSide)), "");
  EXPECT_DEATH(makeMove(boardMove("d1", "d2", kRook)), "");
  pos.gamePly = kMaxGameMoves;  // a line past the record
  EXPECT_DEATH((searchPly = kMaxHistory - 1 - kMaxGameMoves, makeMove(0)), "");
}

// Neither a refused move text nor a searched line at ply 0 may eat the moves waiting for "redo".
TEST(GameRecord, UndoAndRedoSurviveLegalityTestsAndSearchesAndTheRecordFills) {
  ASSERT_TRUE(setFen(kStartFen));
  const PositionImage atStart;
  EXPECT_TRUE(!commitGameMove(0) && !takeBackGameMove() && atStart.unchanged());  // a pass never enters the game
  ASSERT_TRUE(commit("e2e4 e7e5 g1f3"));
  const PositionImage afterThree;
  ASSERT_TRUE(takeBackGameMove() && takeBackGameMove() && !commit("e7e4") && playMoves("d7d5 c2c4 --"));
  while (searchPly > 0) unmakeMove(lastMove());
  EXPECT_TRUE(replayGameMove() && replayGameMove() && !replayGameMove() && afterThree.unchanged());
  EXPECT_TRUE(takeBackGameMove() && commit("b1c3") && !replayGameMove() && pos.moveHistory[0] == 3);  // a new move ends the chain
  // The record holds the longest game the fifty-move rule lets be played, no more.
  static_assert(kMaxGameMoves >= 2 * 5949, "a lawful game would not fit");
  ASSERT_TRUE(setFen(kStartFen));
  for (int i = 0; i < kMaxGameMoves / 4; ++i) ASSERT_TRUE(commit("g1f3 g8f6 f3g1 f6g8")) << i;
  const PositionImage full;
  EXPECT_TRUE(pos.gamePly == kMaxGameMoves && !commitGameMove(boardMove("g1", "f3", kKnight)) && full.unchanged());
}

std::vector<Move> currentList() { return std::vector<Move>(moveStack + listStart[searchPly], moveStack + listStart[searchPly + 1]); }

// The list as text with promotion letters and "ep" marks; "none" on a king capture.
std::string listed(int (*generator)()) {
  listStart[searchPly + 1] = -1;
  if (!generator()) return listStart[searchPly + 1] == listStart[searchPly] ? "none" : "none, list not emptied";
  std::string s;
  for (Move m : currentList())
    s += std::string(s.empty() ? "" : " ") + kSquareName[moveOrigin(m)] + kSquareName[moveTarget(m)] +
         (m & kPromotion ? std::string(1, " pnbrqk"[movePiece(m)]) : "") + (m & kEnPassant ? "ep" : "");
  return s;
}

// A slider stops at the first piece, a king included; only its row tells a pawn's direction.
TEST(Attacks, OnePieceReachesThroughEmptySquaresOnly) {
  ASSERT_TRUE(setFen("4k3/8/8/8/K7/8/4P3/R6b w - -"));
  const struct { const char* from; int type; Side side; const char* target; int reaches; } rows[] = {
      {"a1", kRook, kWhite, "a3", 1}, {"a1", kRook, kWhite, "a4", 1}, {"a1", kRook, kWhite, "a5", 0},
      {"a1", kRook, kWhite, "h1", 1}, {"h1", kBishop, kBlack, "a8", 1}, {"h1", kBishop, kBlack, "b8", 0},
      {"e2", kPawn, kWhite, "d3", 1}, {"e2", kPawn, kWhite, "f1", 0}, {"e2", kPawn, kBlack, "d1", 1},
      {"a4", kKing, kWhite, "b5", 1}, {"a4", kKing, kWhite, "c4", 0}};
  for (const auto& r : rows)
    EXPECT_EQ(pieceAttacks(squareFromName(r.from), r.type, r.side, squareFromName(r.target)), r.reaches) << r.from << r.target;
}

// "has" is a run of the list in its order; no word of "lacks" may appear.
TEST(GenerateMoves, ListsInTheEngineOrderUnderTheRules) {
  const auto all = generateMoves, legal = generateLegalMoves;
  const char *const passing = "4k3/4p3/8/3P1P2/8/8/8/4K3 b", *const epText = "4k3/8/8/3Pp3/8/8/8/4K3 w - e6";
  const struct { const char* fen; const char* moves; int (*generator)(); const char* has; const char* lacks; } cases[] = {
      {kStartFen, "", all,
       "a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 b1c3 b1a3 g1h3 g1f3", ""},
      {"3r1b2/4P3/8/8/8/8/8/k3K3 w", "", all, "e7e8q e7e8n e7d8q e7d8n e7f8q e7f8n", ""},
      // En passant right after the double step, the pawn to its right first; lapsed after a pass on each side.
      {passing, "e7e5", all, "f5e6ep d5e6ep", ""}, {passing, "e7e5 -- --", all, "", "ep"},
      {epText, "", all, "d5e6ep", ""}, {epText, "-- --", all, "", "ep"},
      // Castling needs the right, the rook, empty squares; legal, no check on the king's path (b1 may be attacked).
      {"4k3/8/8/8/8/8/8/R3K2R w KQ", "", all, "e1g1 e1c1", ""}, {"4k3/8/8/8/8/8/8/R3K2R w Q", "", all, "e1c1", "e1g1"},
      {"4k3/8/8/8/8/8/8/4K2R w KQ", "", all, "e1g1", "e1c1"}, {"4k3/8/8/8/8/8/8/RN2K1NR w KQ", "", all, "", "e1g1 e1c1"},
      {"1r2k3/8/8/8/8/8/8/R3K2R w KQ", "", legal, "e1g1 e1c1", ""}, {"3rk3/8/8/8/8/8/8/R3K2R w KQ", "", legal, "e1g1", "e1c1"},
      {"4r1k1/8/8/8/8/8/8/R3K2R w KQ", "", legal, "", "e1g1 e1c1"},
      // A king can be taken: the position is illegal for every generator.
      {"4k3/3P4/8/8/8/8/8/4K3 w", "", all, "none", ""}, {"R3k3/8/8/8/8/8/8/4K3 w", "", generateCaptures, "none", ""},
      {"4k3/8/5N2/8/8/8/8/4K3 w", "", legal, "none", ""}};
  for (const auto& c : cases) {
    ASSERT_TRUE(setFen(c.fen) && playMoves(c.moves)) << c.fen;
    const std::string list = listed(c.generator);
    EXPECT_NE(list.find(c.has), std::string::npos) << c.fen << " " << c.moves << ": " << list;
    std::istringstream lacks(c.lacks);
    for (std::string word; lacks >> word;) EXPECT_EQ(list.find(word), std::string::npos) << c.fen << " " << c.moves << ": " << list;
  }
}

// Random games with the odd pass: moves made and taken back whole; captures and legal moves filter the full list.
TEST(GenerateMoves, AgreesWithMakeAndUnmakeOverRandomGames) {
  const char* starts[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", "4k3/8/8/3Pp3/8/8/8/4K3 w - e6"};
  std::mt19937 random(11);
  for (int game = 0; game < 72; ++game) {
    ASSERT_TRUE(setFen(starts[game % 6]));
    const PositionImage atStart;
    for (int ply = 0; ply < 70; ++ply) {
      ASSERT_EQ(generateMoves(), 1);
      std::vector<Move> captures, legal;
      const int mover = pos.sideToMove;
      for (Move m : currentList()) {
        if ((m & (kCapture | kPromotion)) && !(m & kEnPassant)) captures.push_back(m);
        const PositionImage before;
        makeMove(m);
        ASSERT_TRUE(positionIsConsistent() && lastMove() == m);
        const bool exposed = sideAttacks(pos.sideToMove, pos.kingSquare[mover]);
        unmakeMove(m);
        // Unmade whole; the test without making the move agrees (castling has its own).
        ASSERT_TRUE(before.unchanged() && ((m & kCastleMask) || (moveExposesKing(m) != 0) == exposed)) << m;
        if (!exposed && (!(m & kCastleMask) || castleIsLegal(m))) legal.push_back(m);
      }
      ASSERT_TRUE(generateCaptures() && currentList() == captures && generateLegalMoves() && currentList() == legal);
      if (legal.empty()) break;
      makeMove(random() % 10 == 0 && !inCheck() ? 0 : legal[random() % legal.size()]);
    }
    while (searchPly > 0) unmakeMove(lastMove());
    EXPECT_TRUE(atStart.unchanged());
  }
}

}  // namespace
