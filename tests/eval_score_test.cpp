// Whole evaluations: worked positions, dead draws, the lazy window, the caches, "score".
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "eval/attack_map.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/phase.h"
#include "eval/pieces.h"
#include "engine_process.h"
#include "test_support.h"

namespace {

constexpr int kFull = 1000000;

int scoreOf(const char* fen) {
  EXPECT_TRUE(setFen(fen)) << fen;
  prepareEvaluation();
  return evaluate(-kFull, kFull);
}

// A side's first n parts: positional, piece-square, common, hanging count, then each kind's, pawn to king.
std::vector<int> partsOf(int s, size_t n) {
  const EvalBreakdown& b = lastEvalBreakdown;
  std::vector<int> parts{b.positional[s], b.pieceSquare[s], b.common[s], b.hanging[s]};
  parts.insert(parts.end(), b.kind[s] + kPawn, b.kind[s] + kKing + 1);
  return parts.resize(n), parts;
}

TEST(EvalScore, WorkedPositionsAndTheirBreakdowns) {
  // Start: knights 2 x 50, bishops 2 x 55, rooks 2 x 42; rooks undefended, the king defended by the queen.
  // A lone pawn: white +1 for its pawn count, black -16 for having none.
  const std::vector<int> start{541, 134, -1, 0, 0, 100, 110, 84, 116, -2};
  const struct { const char* fen; int score; std::vector<int> white, black; } rows[] = {
      {kStartFen, 0, start, start}, {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -", -30, {571}, {541}},
      {"8/8/8/4k3/8/8/4P3/4K3 w - -", 1011, {17, 4, -1, 0, 13, 0, 0, 0, 0, 0}, {6, 23, -1, 0, 0, 0, 0, 0, 0, 0}}};
  for (const auto& r : rows) {
    EXPECT_EQ(scoreOf(r.fen), r.score) << r.fen;
    EXPECT_EQ(partsOf(kWhite, r.white.size()), r.white) << r.fen;
    EXPECT_EQ(partsOf(kBlack, r.black.size()), r.black) << r.fen;
  }
}

TEST(EvalScore, DeadDrawAndLazyExitBoundaries) {
  // Neither side can mate (bare kings, one or two knights or one bishop each): 0 whatever the window;
  // then a pawn, a rook, a queen, two bishops, bishop and knight, three knights can.
  for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/3NKN2 b - -", "4kn2/8/8/8/8/8/8/4KB2 w - -",
                          "4k3/8/8/8/8/8/8/2B1K3 b - -", "3nkn2/8/8/8/8/8/8/4KB2 w - -", "2b1k3/8/8/8/8/8/8/4KB2 w - -"})
    EXPECT_TRUE(scoreOf(fen) == 0 && evaluate(50000, 50001) == 0) << fen;
  for (const char* fen : {"4k3/8/8/8/8/8/8/3NKB2 w - -", "4k3/p7/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/2BBK3 w - -",
                          "4k3/8/8/8/8/8/8/4K2R w - -", "4k3/8/8/8/8/8/8/3QK3 b - -", "4k3/8/8/8/8/8/8/1NNNK3 w - -",
                          "4kbn1/8/8/8/8/8/8/4K3 w - -", "2b1kb2/8/8/8/8/8/8/4K3 w - -"})
    EXPECT_NE(scoreOf(fen), 0) << fen;
  const int D = 5000;  // white is a rook up: the lazy exit answers D outside a 500 margin, for either side
  const int full = scoreOf("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 w - -");
  ASSERT_NE(full, D);
  const int windows[][3] = {{D + 500, kFull, D}, {D + 499, kFull, full}, {-kFull, D - 500, D}, {-kFull, D - 499, full}};
  for (const auto& w : windows) EXPECT_EQ(evaluate(w[0], w[1]), w[2]) << w[0] << " " << w[1];
  ASSERT_TRUE(setFen("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 b - -"));
  EXPECT_TRUE(evaluate(-D + 500, kFull) == -D && evaluate(-D + 499, kFull) == -full);
}

// Random games; visit sees every position, and again after two moves taken back every sixth ply.
template <typename Visit>
void playRandomGames(uint32_t seed, std::initializer_list<const char*> starts, int games, Visit visit) {
  for (const char* fen : starts)
    for (int game = 0; game < games; game++) {
      ASSERT_TRUE(setFen(fen));
      prepareEvaluation();
      for (int ply = 0; ply < 120 && !::testing::Test::HasFatalFailure(); ply++) {
        visit(fen);
        if (ply % 6 == 5 && pos.gamePly >= 2) {
          ASSERT_TRUE(takeBackGameMove() == 1 && takeBackGameMove() == 1);
          visit("after undo");
        }
        const int count = generateLegalMoves();
        if (count == 0) break;
        seed = seed * 1664525u + 1013904223u;
        ASSERT_EQ(commitGameMove(moveStack[listStart[0] + (seed >> 8) % count]), 1);
      }
    }
}

const char* const kMiddleGame = "r3k2r/pp3ppp/2n1bn2/q7/3P4/2N2N2/PP2QPPP/R3K2R w KQkq - 0 12";

// The cache answers as the evaluation whatever the window, side to move, castling or tables, stored or not.
TEST(EvalScore, CachedEvaluationIsTheEvaluationOverRandomPlay) {
  int positions = 0;
  auto agree = [&positions](const char* where) {
    const int windows[][2] = {{-kFull, kFull}, {-30, 30}, {400, 401}, {-2000, -1999}, {-600, 600}};
    positions++;
    for (int round = 0; round < 2; round++) {
      const int full = evaluate(-kFull, kFull);
      for (int side = 0; side < 2; side++) {
        for (const auto& w : windows) ASSERT_EQ(cachedEvaluate(w[0], w[1]), evaluate(w[0], w[1])) << where << " " << w[0];
        pos.sideToMove ^= 1, pos.opponent ^= 1;
        ASSERT_EQ(evaluate(-kFull, kFull), side == 0 ? -full : full) << where;
      }
    }
  };
  playRandomGames(7, {kStartFen, kMiddleGame, "r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12",
                      "4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63"}, 8, agree);
  EXPECT_GT(positions, 2500);
  // One board castled, placed there (scored apart), placed with rights it cannot use, under other king tables.
  scoreOf("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1");
  ASSERT_TRUE(playMoves("e1g1", true));
  const int castled = evaluate(-kFull, kFull);
  agree("castled");
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R4RK1 b kq - 0 1"));
  EXPECT_NE(evaluate(-kFull, kFull), castled);
  agree("placed");
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R4RK1 b Qkq - 0 1"));
  agree("placed with rights");
  scoreOf("4k3/8/8/8/8/8/8/4K3 w - - 0 1");  // bare kings: the king tables change
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R4RK1 b Qkq - 0 1"));
  agree("other tables");
}

// The pawn table's records are the current pawns' through fills, revisits and evictions.
TEST(EvalScore, PawnTableRecordsAreThePawnStructureOverRandomPlay) {
  int pawnsSeen = 0;
  auto check = [&pawnsSeen](const std::string& where) {
    for (int round = 0; round < 2; round++) {
      const uint16_t* record = pawnStructures();
      buildAttackMaps();
      for (int side = kWhite; side <= kBlack; side++)
        for (uint64_t set = pos.piecesOf[side][kPawn]; set; set &= set - 1, pawnsSeen++) {
          const int q = __builtin_ctzll(set);
          const double ph = opponentPhase(side);
          ASSERT_EQ(record[q], pawnStructure(side, q)) << where << " square " << q;
          ASSERT_EQ(pawnTerms(side, q, ph, record[q]), evaluatePawn(side, q, ph)) << where << " square " << q;
        }
    }
  };
  playRandomGames(3, {kStartFen, kMiddleGame, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                      "4k3/pp4pp/8/2PP4/8/8/5PPP/4K3 w - - 0 1"}, 12, check);
  EXPECT_GT(pawnsSeen, 80000);
  // White pawns under hundreds of black pairs: many share a slot, told apart by the black pawns.
  for (int a = 8; a < 48; a++)
    for (int b = a + 1; b < 48; b++) {
      std::string fen = "4k3/";
      for (int q = 8; q < 48; q++) fen += std::string(q == a || q == b ? "p" : "1") + (q % 8 == 7 ? "/" : "");
      ASSERT_TRUE(setFen((fen + "PPPPPPPP/4K3 w - - 0 1").c_str())) << fen;
      check(fen);
    }
}

TEST(EvalScore, ScoreCommandAgreesWithTheUnit) {
  std::string input, expected;
  for (const char* fen : {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -",
                          "r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0",
                          "4k3/8/8/8/8/8/8/3QK3 b - -"}) {  // far from level: no lazy exit either
    input += std::string("setboard ") + fen + "\nscore\n";
    expected += "# " + std::to_string(scoreOf(fen)) + "\n";
  }
  EngineDir dir;
  const EngineRun run = runEngine(dir, input + "quit\n");
  EXPECT_NE(run.out.find("\n" + expected), std::string::npos) << run.out;
}

}  // namespace
