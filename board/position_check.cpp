#include "board/position_check.h"

#include <cstring>

#include "board/position.h"

bool positionIsConsistent() {
  if (pos.opponent != (pos.sideToMove ^ 1) || (pos.sideToMove & ~1) != 0) return false;
  if (pos.listFirst[kWhite] != 0 || pos.listFirst[kBlack] != 16) return false;
  if (pos.listLast[kWhite] > 15 || pos.listLast[kBlack] > 31) return false;

  int count[2][8] = {};
  int material[2] = {};
  int onFile[2][8] = {};
  int onRow[2][8] = {};
  uint64_t occupied[2] = {};
  uint64_t pieces[2][8] = {};
  uint64_t key = 0;
  for (Square sq = 0; sq < 64; ++sq) {
    int type = pos.pieceAt[sq];
    int side = pos.colourAt[sq];
    int slot = pos.slotAt[sq];
    if (type == kNone) {
      if (side != kNoColour || slot != -1) return false;
      continue;
    }
    if (type < kPawn || type > kKing || side < 0 || side > 1) return false;
    // The slot must lie in the owner's half and in its used range.
    if (slot < pos.listFirst[side] || slot > pos.listLast[side] || pos.pieceList[slot] != sq)
      return false;
    if (type == kPawn && ((sq >> 3) == 0 || (sq >> 3) == 7)) return false;
    if (type == kKing && pos.kingSquare[side] != sq) return false;
    count[side][type] += 1;
    occupied[side] |= uint64_t(1) << sq;
    pieces[side][type] |= uint64_t(1) << sq;
    material[side] += kPieceValue[type];
    if (type == kPawn) {
      onFile[side][sq & 7] += 1;
      onRow[side][sq >> 3] += 1;
    }
    key ^= pieceKey[side][type][sq];
  }
  for (int slot = 0; slot < 32; ++slot) {
    int sq = pos.pieceList[slot];
    if (sq == -1) continue;
    if (sq < 0 || sq > 63 || pos.slotAt[sq] != slot) return false;
  }
  if (memcmp(count, pos.pieceCount, sizeof count) != 0) return false;
  if (memcmp(material, pos.material, sizeof material) != 0) return false;
  if (memcmp(onFile, pos.pawnsOnFile, sizeof onFile) != 0) return false;
  if (memcmp(onRow, pos.pawnsOnRow, sizeof onRow) != 0) return false;
  if (memcmp(occupied, pos.occupiedBy, sizeof occupied) != 0) return false;
  if (memcmp(pieces, pos.piecesOf, sizeof pieces) != 0) return false;
  if (count[kWhite][kKing] != 1 || count[kBlack][kKing] != 1) return false;

  // A passed move leaves its marker in the key: the pawn key of a8, which no
  // pawn can occupy, once per null move of the current line.
  uint64_t current = currentKey();
  if (current == key) return true;
  for (int side = 0; side < 2; ++side)
    if (current == (key ^ pieceKey[side][kPawn][0])) return true;
  return current == (key ^ pieceKey[0][kPawn][0] ^ pieceKey[1][kPawn][0]);
}
