// Polyglot ".bin" books: the key, entries, the draw, and a book through UCI.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "board/movegen.h"
#include "board/random.h"
#include "book/book_choice.h"
#include "book/polyglot.h"
#include "book/polyglot_random.h"
#include "tests/engine_process.h"
#include "tests/test_support.h"

namespace {

std::vector<std::string> written;  // removed when each test ends

// Writes entries as a book file; returns its path.
std::string writeBook(const char* name, const std::vector<PolyglotEntry>& entries) {
  const std::string path = "/tmp/morvek-polyglot-" + std::to_string(getpid()) + "-" + name;
  written.push_back(path);
  FILE* f = fopen(path.c_str(), "wb");
  unsigned char bytes[kPolyglotEntrySize] = {};
  for (const PolyglotEntry& e : entries) encodePolyglotEntry(e, bytes), fwrite(bytes, 1, sizeof bytes, f);
  fclose(f);
  return path;
}

// Polyglot's move field from coordinate text: "e1h1", "a7a8" with promo 1..4.
uint16_t rawMove(const char* t, int promotion = 0) {
  return uint16_t((t[2] - 'a') | (t[3] - '1') << 3 | (t[0] - 'a') << 6 | (t[1] - '1') << 9 | promotion << 12);
}

std::string moveText(Move m) { char text[16]; return moveToText(m, text); }

// An entry's move (the book's pick without one) among the root moves as think lists them.
Move atRoot(int raw = -1) {
  searchPly = 0;
  generateLegalMoves();
  return raw < 0 ? pickPolyglotMove(listStart[0], listStart[1] - 1) : polyglotMove(uint16_t(raw), listStart[0], listStart[1] - 1);
}

struct BookFixture : ::testing::Test {
  char message[4300];
  bool open(const std::string& path) { return openPolyglotBook(path.c_str(), message, sizeof message) == 1; }
  void TearDown() override {
    closePolyglotBook();
    for (const std::string& path : written) remove(path.c_str());
    written.clear();
  }
};

TEST(PolyglotKey, MatchesThePublishedTestKeys) {
  // Set up by FEN, and by moves (the en passant file then comes from the last move).
  const struct { const char* fen; const char* moves; uint64_t key; } rows[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "", 0x463b96181691fc9cull},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", "e2e4", 0x823c9b50fd114196ull},
      {"rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2", "e2e4 d7d5", 0x0756b94461c50fb0ull},
      {"rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2", "e2e4 d7d5 e4e5", 0x662fafb965db29d4ull},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", "e2e4 d7d5 e4e5 f7f5", 0x22a48b5a8e47ff78ull},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR b kq - 0 3", "e2e4 d7d5 e4e5 f7f5 e1e2", 0x652a607ca3f242c1ull},
      {"rnbq1bnr/ppp1pkpp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR w - - 0 4", "e2e4 d7d5 e4e5 f7f5 e1e2 e8f7",
       0x00fdd303c946bdd9ull},
      {"rnbqkbnr/p1pppppp/8/8/PpP4P/8/1P1PPPP1/RNBQKBNR b KQkq c3 0 3", "a2a4 b7b5 h2h4 b5b4 c2c4",
       0x3c8123ea7b067637ull},
      {"rnbqkbnr/p1pppppp/8/8/P6P/R1p5/1P1PPPP1/1NBQKBNR b Kkq - 0 4", "a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3",
       0x5c3f9b829b279560ull},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(setFen(row.fen)) << row.fen;
    EXPECT_EQ(polyglotKey(), row.key) << row.fen;
    ASSERT_TRUE(setFen(kStartFen) && playMoves(row.moves, true)) << row.moves;
    EXPECT_EQ(polyglotKey(), row.key) << row.moves;
  }
  // Each right has its own number (K Q k q): the last position short of one of black's.
  const struct { const char* rights; int dropped; } rights[] = {{"Kk", 3}, {"Kq", 2}, {"kq", 0}};
  for (const auto& r : rights) {
    ASSERT_TRUE(setFen((std::string("rnbqkbnr/p1pppppp/8/8/P6P/R1p5/1P1PPPP1/1NBQKBNR b ") + r.rights + " - 0 4").c_str()));
    EXPECT_EQ(polyglotKey(), 0x5c3f9b829b279560ull ^ kPolyglotRandom[kPolyglotCastleOffset + r.dropped]) << r.rights;
  }
}

TEST_F(BookFixture, EntriesWrittenAreReadBackAndTheirMovesDecoded) {
  const char* const castling = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", *promoting = "8/P6k/8/8/8/8/8/K7 w - - 0 1";
  const uint64_t castles = (setFen(castling), polyglotKey()), promotes = (setFen(promoting), polyglotKey());
  // King takes rook is castling; rook and bishop promotions too (the generator lists only queen and knight).
  const struct { const char* fen; const char* raw; int promotion; const char* text; Move mask, flags; } moves[] = {
      {castling, "e1h1", 0, "e1g1", kCastleMask, kCastleKingSide}, {castling, "e1a1", 0, "e1c1", kCastleMask, kCastleQueenSide},
      {castling, "e1f1", 0, "e1f1", 0, 0}, {castling, "e2e4", 0, "", 0, 0}, {castling, "h1h8", 0, "h1h8", kCapture, kCapture},
      {promoting, "a7a8", 1, "a7a8n", kPromotion, kPromotion}, {promoting, "a7a8", 2, "a7a8b", kPromotion, kPromotion},
      {promoting, "a7a8", 3, "a7a8r", kPromotion, kPromotion}, {promoting, "a7a8", 4, "a7a8q", kPromotion, kPromotion},
      {promoting, "a7a8", 0, "", 0, 0}};
  std::vector<PolyglotEntry> entries = {{1, rawMove("a1a2"), 65535, 0xFFFFFFFF}, {~0ull, rawMove("h8h7"), 1, 0}};  // both ends
  for (const auto& m : moves)
    entries.push_back({m.fen == castling ? castles : promotes, rawMove(m.raw, m.promotion), uint16_t(entries.size()), 7});
  std::stable_sort(entries.begin(), entries.end(), [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
  ASSERT_TRUE(open(writeBook("roundtrip.bin", entries))) << message;
  EXPECT_NE(std::string(message).find(": 12 entries"), std::string::npos) << message;
  PolyglotEntry found[kMaxPolyglotMoves];
  for (uint64_t key : {uint64_t(1), castles, promotes, ~uint64_t(0), uint64_t(2)}) {
    std::vector<PolyglotEntry> expected;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(expected), [&](auto& e) { return e.key == key; });
    const int n = polyglotEntries(key, found, kMaxPolyglotMoves);
    EXPECT_TRUE(n == int(expected.size()) && (n == 0 || memcmp(found, expected.data(), n * sizeof *found) == 0))
        << std::hex << key;  // memcmp: an entry has no padding
  }
  EXPECT_EQ(polyglotEntries(castles, found, 2), 2);  // never beyond the room given
  for (const auto& m : moves) {
    ASSERT_TRUE(setFen(m.fen));
    const Move move = atRoot(rawMove(m.raw, m.promotion));
    EXPECT_EQ(move == 0 ? "" : moveText(move), m.text) << m.raw << m.promotion;
    EXPECT_EQ(move & m.mask, m.flags) << m.raw << m.promotion;
  }
}

TEST_F(BookFixture, PicksByWeightOnlyLegalMovesAndNeverAWeightOfZero) {
  const PolyglotEntry entries[4] = {{0, 0, 0, 0}, {0, 1, 1, 0}, {0, 2, 3, 0}, {0, 3, 6, 0}};
  const struct { uint64_t draw; int index; } rows[] = {{0, 1}, {1, 2}, {3, 2}, {4, 3}, {9, 3}, {10, 1}, {~0ull, 3}};
  for (const auto& row : rows) EXPECT_EQ(drawPolyglotEntry(entries, 4, row.draw), row.index) << row.draw;
  EXPECT_TRUE(drawPolyglotEntry(entries, 1, 12345) == -1 && drawPolyglotEntry(entries, 0, 12345) == -1);  // no move
  const uint64_t start = (setFen(kStartFen), polyglotKey());
  ASSERT_TRUE(open(writeBook("pick.bin", {{start, rawMove("e2e4"), 1, 0}, {start, rawMove("d2d4"), 3, 0},
                                          {start, rawMove("e2e5"), 1000, 0}, {start, rawMove("g1f3"), 0, 0}}))) << message;
  seedRandom(7);
  int e4 = 0, d4 = 0;
  for (int i = 0; i < 4000; ++i) { const std::string m = moveText(atRoot()); e4 += m == "e2e4", d4 += m == "d2d4"; }
  EXPECT_EQ(e4 + d4, 4000);  // never the illegal e2e5 nor the weightless g1f3
  EXPECT_NEAR(e4 / 4000.0, 0.25, 0.03);
  EXPECT_TRUE(playMoves("e2e4", true) && atRoot() == 0u);  // not in the book
}

// A game move comes from the book at once, an analysis searches; <empty> is the own book again.
TEST(PolyglotTranscript, UciPlaysTheBookAtOnceAndSaysWhatTheFileHolds) {
  if (getenv("MORVEK_ENGINE_BINARY") != nullptr) GTEST_SKIP() << "the engine built here only";
  if (access(MORVEK_GNUCHESS_BOOK, R_OK) != 0) GTEST_SKIP() << "no gnuchess-book";
  EngineDir dir;
  const EngineRun book = runEngine(dir, "uci\nsetoption name BookFile value " MORVEK_GNUCHESS_BOOK "\n"
                                        "position startpos moves e2e4 c7c6 d2d4 d7d6 b1c3 g7g6\n"
                                        "go wtime 60000 btime 60000\ngo depth 3\n"
                                        "setoption name BookFile value <empty>\n");
  const size_t first = book.out.find("info string BookFile " MORVEK_GNUCHESS_BOOK ": 180358 entries\nbestmove ");
  ASSERT_NE(first, std::string::npos) << book.out;
  // The five moves "polyglot dump-book" shows there: Be3, f4, Nf3, a4, Bc4.
  const std::string move = book.out.substr(book.out.find("bestmove ", first) + 9, 4);
  EXPECT_NE(std::string(" c1e3 f2f4 g1f3 a2a4 f1c4 ").find(" " + move + " "), std::string::npos) << book.out;
  EXPECT_NE(book.out.find("info depth 3 "), std::string::npos) << book.out;
  EXPECT_NE(book.out.find("info string BookFile empty: the engine's own book\n"), std::string::npos) << book.out;
}

}  // namespace
