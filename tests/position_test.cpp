#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/position.h"
#include "board/random.h"
#include "test_support.h"

namespace {

TEST(RandomGenerator, ReproducesTheClassicSequence) {
  seedRandom(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int value : expected) EXPECT_EQ(nextRandom(), value);
}

TEST(HashKeys, ComeFromTheFreshGenerator) {
  initEngineOnce();
  EXPECT_EQ(pieceKey[kWhite][kPawn][0], 0x9904662FB3C24AE1ull);
  EXPECT_EQ(pieceKey[kWhite][kPawn][1], 0xC59ADCABB4A95F90ull);
  for (int side = 0; side < 2; ++side)
    for (int sq = 0; sq < 64; ++sq) {
      EXPECT_EQ(pieceKey[side][kNone][sq], 0u);
      EXPECT_EQ(pieceKey[side][7][sq], 0u);
    }
  // 768 drawn keys, all different.
  std::vector<uint64_t> keys;
  for (int side = 0; side < 2; ++side)
    for (int type = kPawn; type <= kKing; ++type)
      for (int sq = 0; sq < 64; ++sq) keys.push_back(pieceKey[side][type][sq]);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(std::unique(keys.begin(), keys.end()), keys.end());
}

TEST(LastMove, IsZeroAtTheStartOfTheRecord) {
  ASSERT_TRUE(setFen(kStartFen));
  pos.moveHistory[0] = 3;  // the redo limit is not a move
  EXPECT_EQ(lastMove(), 0u);
}

TEST(PieceEdits, RemovingAKingKeepsItsSquareOnRecord) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w"));
  removePiece(kWhite, 60, kKing, 0);
  EXPECT_EQ(pos.kingSquare[kWhite], 60);
  placePiece(kWhite, 59, kKing, 0);
  EXPECT_EQ(pos.kingSquare[kWhite], 59);
}

TEST(PieceEditsDeathTest, InconsistentEditsStopTheProcess) {
  ASSERT_TRUE(setFen("4k3/8/8/8/8/8/8/4K3 w"));
  EXPECT_DEATH(placePiece(kWhite, 60, kQueen, 1), "");  // occupied square
  EXPECT_DEATH(placePiece(kWhite, 36, kQueen, 0), "");  // slot in use
  EXPECT_DEATH(removePiece(kWhite, 60, kQueen, 0), "");  // wrong type
  EXPECT_DEATH(removePiece(kBlack, 60, kKing, 0), "");   // wrong side
  EXPECT_DEATH(removePiece(kWhite, 60, kKing, 1), "");   // wrong slot
  EXPECT_DEATH(removePiece(kWhite, 36, kPawn, 1), "");   // nothing there
}

}  // namespace
