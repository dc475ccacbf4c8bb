// Whole evaluations: worked positions with their breakdowns, the dead draw,
// the lazy window, the order of the terms, the side-to-move symmetry over
// random play, the search's tables of evaluations and pawn structures against
// what they stand for, and the "score" command of the real program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/make_move.h"
#include "board/movegen.h"
#include "eval/attack_map.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
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

// A side's part of the last evaluation: positional, piece-square, common,
// hanging count, then what each kind added, pawn to king.
std::vector<int> partsOf(int s) {
  const EvalBreakdown& b = lastEvalBreakdown;
  std::vector<int> parts{b.positional[s], b.pieceSquare[s], b.common[s], b.hanging[s]};
  for (int t = kPawn; t <= kKing; t++) parts.push_back(b.kind[s][t]);
  return parts;
}

TEST(EvalScore, WorkedPositionsAndTheirBreakdowns) {
  // Knights 2 x 50, bishops 2 x 55, rooks 2 x 42; rooks undefended, the king
  // defended by the queen.
  const std::vector<int> start{541, 134, -1, 0, 0, 100, 110, 84, 116, -2};
  EXPECT_EQ(scoreOf(kStartFen), 0);
  EXPECT_EQ(partsOf(kWhite), start);
  EXPECT_EQ(partsOf(kBlack), start);
  EXPECT_EQ(scoreOf("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"), -30);
  EXPECT_EQ(partsOf(kWhite)[0], 571);
  EXPECT_EQ(partsOf(kBlack)[0], 541);
  // White +1 for its pawn count, black -16 for having none.
  EXPECT_EQ(scoreOf("8/8/8/4k3/8/8/4P3/4K3 w - -"), 1011);
  EXPECT_EQ(partsOf(kWhite), (std::vector<int>{17, 4, -1, 0, 13, 0, 0, 0, 0, 0}));
  EXPECT_EQ(partsOf(kBlack), (std::vector<int>{6, 23, -1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(scoreOf("8/8/8/4k3/8/8/4P3/4K3 b - -"), -1011);
}

TEST(EvalScore, DeadDrawAndLazyExitBoundaries) {
  // Bare kings, one or two knights, a minor each: 0 whatever the window.
  for (const char* fen :
       {"4k3/8/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/3NKN2 b - -", "4kn2/8/8/8/8/8/8/4KB2 w - -"}) {
    EXPECT_EQ(scoreOf(fen), 0) << fen;
    EXPECT_EQ(evaluate(50000, 50001), 0) << fen;
  }
  for (const char* fen :
       {"4k3/8/8/8/8/8/8/3NKB2 w - -", "4k3/p7/8/8/8/8/8/4K3 w - -", "4k3/8/8/8/8/8/8/2BBK3 w - -"})
    EXPECT_NE(scoreOf(fen), 0) << fen;

  const int D = 5000;  // white is a rook up
  const int full = scoreOf("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 w - -");
  ASSERT_NE(full, D);
  EXPECT_EQ(evaluate(D + 500, kFull), D);
  EXPECT_EQ(evaluate(D + 499, kFull), full);
  EXPECT_EQ(evaluate(-kFull, D - 500), D);
  EXPECT_EQ(evaluate(-kFull, D - 499), full);
  ASSERT_TRUE(setFen("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 b - -"));
  EXPECT_EQ(evaluate(-D + 500, kFull), -D);
  EXPECT_EQ(evaluate(-D + 499, kFull), -full);
}

TEST(EvalScore, RookRoundsWhatTheEarlierPiecesAdded) {
  // The king on e6 precedes the rook in the piece list and leaves a negative
  // running sum, which the rook's endgame step (ph 0.75) rounds toward zero
  // together with its own terms: a different term order gives another value.
  ASSERT_TRUE(setFen("rnbqk1n1/8/4K3/8/8/8/8/R7 w - -"));
  prepareEvaluation();
  ASSERT_EQ(opponentPhase(kWhite), 0.75);
  buildAttackMaps();
  const int own = rookTerms(kWhite, squareFromName("a1"), 1.0, 0);  // ph 1: no rounding
  evaluate(-kFull, kFull);
  const EvalBreakdown& b = lastEvalBreakdown;
  const int before = b.pieceSquare[kWhite] + b.common[kWhite] + b.kind[kWhite][kKing];
  ASSERT_LT(before + own, -3);
  EXPECT_EQ(b.kind[kWhite][kRook], own + 3);  // trunc(x + 2.5) = x + 3 for x < -3
  EXPECT_EQ(b.positional[kWhite], before + own + 3 - 16);
}

TEST(EvalScore, OtherSideToMoveNegatesOverRandomPlay) {
  uint32_t state = 1;  // the test's own generator leaves the engine's alone
  auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
  const char* starts[] = {kStartFen, "r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12",
                          "4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63"};
  int positions = 0;
  for (const char* fen : starts) {
    for (int game = 0; game < 12; game++) {
      ASSERT_TRUE(setFen(fen));
      prepareEvaluation();
      for (int ply = 0; ply < 150; ply++) {
        const int full = evaluate(-kFull, kFull);
        pos.sideToMove ^= 1, pos.opponent ^= 1;
        ASSERT_EQ(evaluate(-kFull, kFull), -full) << ply;
        pos.sideToMove ^= 1, pos.opponent ^= 1;
        positions++;
        const int count = generateLegalMoves();
        if (count == 0) break;
        ASSERT_EQ(commitGameMove(moveStack[listStart[0] + next() % count]), 1);
      }
    }
  }
  EXPECT_GT(positions, 3000);
}

// The table answers exactly as the evaluation, whatever the window, side to
// move, castling state or piece-square tables; revisits and a flipped side
// to move make it answer from stored entries.
TEST(EvalScore, CachedEvaluationIsTheEvaluationOverRandomPlay) {
  uint32_t state = 7;
  auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
  auto agree = [](const char* where) {
    const int windows[][2] = {{-kFull, kFull}, {-30, 30}, {400, 401}, {-2000, -1999}, {-600, 600}};
    for (int round = 0; round < 2; round++) {
      for (int side = 0; side < 2; side++) {
        for (const auto& w : windows)
          ASSERT_EQ(cachedEvaluate(w[0], w[1]), evaluate(w[0], w[1])) << where << " " << w[0];
        pos.sideToMove ^= 1, pos.opponent ^= 1;
      }
    }
  };
  const char* starts[] = {kStartFen, "r3k2r/pp3ppp/2n1bn2/q7/3P4/2N2N2/PP2QPPP/R3K2R w KQkq - 0 12",
                          "4b3/2R3B1/5P2/pk5p/2p2r1P/P1K5/1P6/8 w - - 0 63"};
  int positions = 0;
  for (const char* fen : starts) {
    for (int game = 0; game < 8; game++) {
      ASSERT_TRUE(setFen(fen));
      prepareEvaluation();
      for (int ply = 0; ply < 120; ply++) {
        agree(fen);
        positions++;
        // Now and then back out of two moves and go on from there: the
        // positions come round again.
        if (ply % 7 == 6 && pos.gamePly >= 2) {
          ASSERT_EQ(takeBackGameMove(), 1);
          ASSERT_EQ(takeBackGameMove(), 1);
          agree("after undo");
        }
        const int count = generateLegalMoves();
        if (count == 0) break;
        ASSERT_EQ(commitGameMove(moveStack[listStart[0] + next() % count]), 1);
      }
    }
  }
  EXPECT_GT(positions, 1500);

  // One board, three states: castled, placed there, placed with rights the
  // board cannot use; and the same board again under other king tables.
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1"));
  prepareEvaluation();
  ASSERT_TRUE(playMoves("e1g1", true));
  const int castled = evaluate(-kFull, kFull);
  agree("castled");
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R4RK1 b kq - 0 1"));
  EXPECT_NE(evaluate(-kFull, kFull), castled);
  agree("placed");
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R4RK1 b Qkq - 0 1"));
  agree("placed with rights");
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  prepareEvaluation();  // bare kings: the king tables change
  ASSERT_TRUE(setFen("r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R4RK1 b Qkq - 0 1"));
  agree("other tables");
}

// The pawn table hands out, for every pawn, the record computed from the
// current pawns, through fills, revisits and evictions; the terms built on
// it are the pawn's terms.
TEST(EvalScore, PawnTableRecordsAreThePawnStructureOverRandomPlay) {
  uint32_t state = 3;
  auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
  const char* starts[] = {kStartFen, "r3k2r/pp3ppp/2n1bn2/q7/3P4/2N2N2/PP2QPPP/R3K2R w KQkq - 0 12",
                          "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "4k3/pp4pp/8/2PP4/8/8/5PPP/4K3 w - - 0 1"};
  int pawnsSeen = 0;
  for (const char* fen : starts) {
    for (int game = 0; game < 12; game++) {
      ASSERT_TRUE(setFen(fen));
      prepareEvaluation();
      for (int ply = 0; ply < 120; ply++) {
        for (int round = 0; round < 2; round++) {  // the second one reads the stored entry
          const uint16_t* record = pawnStructures();
          buildAttackMaps();
          for (int side = kWhite; side <= kBlack; side++) {
            const double ph = opponentPhase(side);
            for (uint64_t set = pos.piecesOf[side][kPawn]; set; set &= set - 1) {
              const int q = __builtin_ctzll(set);
              ASSERT_EQ(record[q], pawnStructure(side, q)) << fen << " ply " << ply << " square " << q;
              ASSERT_EQ(pawnTerms(side, q, ph, record[q]), evaluatePawn(side, q, ph));
              pawnsSeen++;
            }
          }
        }
        if (ply % 5 == 4 && pos.gamePly >= 2) {
          ASSERT_EQ(takeBackGameMove(), 1);
          ASSERT_EQ(takeBackGameMove(), 1);
        }
        const int count = generateLegalMoves();
        if (count == 0) break;
        ASSERT_EQ(commitGameMove(moveStack[listStart[0] + next() % count]), 1);
      }
    }
  }
  EXPECT_GT(pawnsSeen, 40000);

  // One set of white pawns under hundreds of black pairs: many share a slot,
  // and only the black pawns tell their entries apart.
  auto check = [](const std::string& board) {
    ASSERT_EQ(board.size(), 64u);
    std::string fen;
    for (int row = 0; row < 8; row++) {
      int empty = 0;
      for (int file = 0; file < 8; file++) {
        const char c = board[8 * row + file];
        if (c == '.') {
          empty++;
          continue;
        }
        if (empty) fen += char('0' + empty);
        empty = 0;
        fen += c;
      }
      if (empty) fen += char('0' + empty);
      if (row < 7) fen += '/';
    }
    ASSERT_TRUE(setFen((fen + " w - - 0 1").c_str())) << fen;
    const uint16_t* record = pawnStructures();
    for (int side = kWhite; side <= kBlack; side++)
      for (uint64_t set = pos.piecesOf[side][kPawn]; set; set &= set - 1) {
        const int q = __builtin_ctzll(set);
        ASSERT_EQ(record[q], pawnStructure(side, q)) << fen << " square " << q;
      }
  };
  const std::string base = "....k..." + std::string(40, '.') + "PPPPPPPP....K...";
  for (int a = 8; a < 48; a++)
    for (int b = a + 1; b < 48; b++) {
      std::string board = base;
      board[a] = board[b] = 'p';
      check(board);
    }
}

TEST(EvalScore, ScoreCommandAgreesWithTheUnit) {
  const char* fens[] = {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -", "8/8/8/4k3/8/8/4P3/4K3 w - -",
                        "r4rk1/4Rp2/6p1/1p1p1bNp/p1qP3P/2P1Q3/P4PP1/4R1K1 b - - 0 0",
                        "r3kb1r/ppp1pppp/2n2n2/q4b2/2BP4/2N2P2/PPP1N1PP/R1BQK2R w KQkq - 1 8"};
  std::string input, expected;
  for (const char* fen : fens) {
    input += std::string("setboard ") + fen + "\nscore\n";
    expected += "# " + std::to_string(scoreOf(fen)) + "\n";
  }
  EngineDir dir;
  const EngineRun run = runEngine(dir, input + "quit\n");
  EXPECT_NE(run.out.find("\n" + expected), std::string::npos) << run.out;
}

}  // namespace
