// Tables the search fills and consults during one move choice: history,
// per-ply best moves, root move records; and the thinking line.
#pragma once

#include <cstdint>

#include "board/per_thread.h"
#include "board/position.h"
#include "search/root_move.h"

constexpr int kMaxRootMoves = 400;
constexpr int kMaxSearchPly = 100;
constexpr int kHistoryLimit = 16383;  // an entry above this halves its side
constexpr int kThinkingMoves = 14;    // moves shown per thinking line
constexpr int kThinkingBufferSize = 192;

// Depths of the first and the last iteration of a deepening.
constexpr int kFirstIteration = 2;
constexpr int kLastIteration = 90;

// Deepest ply at which a node still searches; deeper nodes only evaluate.
constexpr int kDeepestSearchPly = 96;

// Set while the search is inside a null move's subtree.
extern PER_THREAD int inNullMove;
// The deepest ply the current think has reached (quiescence included).
extern PER_THREAD int selDepth;

// [side that moved][piece field, the promoted piece for promotions][target]
extern PER_THREAD int historyScore[2][8][64];
extern PER_THREAD Move bestAtPly[kMaxSearchPly];
extern PER_THREAD Move pvAtPly[kMaxSearchPly];
// Record i belongs to the root move moveStack[listStart[0] + i].
extern PER_THREAD RootMove rootMoves[kMaxRootMoves];

// Credits a move that raised alpha at the node of sideToMove (move unmade).
void updateHistory(Move move, int score, int beta);

// The root search found a new best move: update its record and tell the
// listener below. childLine is indexed by ply, childLine[1] is the reply.
void recordRootMove(const Move* childLine, Move move, int score, int beta, int depth);

// Hears of each new best root move: its record, the centiseconds of the
// think and the node count. nullptr (the default) prints the thinking line.
extern PER_THREAD void (*newBestMoveListener)(const RootMove& record, int elapsed, uint64_t nodes);

// Writes the thinking line (with its newline) into a buffer of
// kThinkingBufferSize chars; returns its length.
int formatThinking(char* buffer, int score, int depth, int elapsed, uint64_t rate, const Move* line);
void printThinking(int score, int depth, int elapsed, uint64_t rate, const Move* line);

// Decimal digits of value without leading zeros ("0" for zero); buffer needs 21 chars.
char* formatDecimal64(char* buffer, uint64_t value);

// Start of a move choice: both transposition tables, history, the per-ply
// slots and the root move records.
void clearSearchTables();
