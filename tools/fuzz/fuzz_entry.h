// One fuzz input through each reader of untrusted input: the command
// stream, position text with move generation, the book text and the
// learning file. The libFuzzer targets and the regression test that replays
// their findings share these, so a stored input takes exactly the same road.
//
// Each returns false when an invariant the engine promises was broken (the
// fuzz targets turn that into a crash); memory errors surface through the
// sanitizers instead.
#pragma once

#include <cstddef>
#include <cstdint>

// Attack tables, hash keys and evaluation tables, once per process. The
// regression test uses its own equivalent set-up instead.
void initFuzzEngine();

// Splits the bytes into lines as the command loop reads them and handles
// them with the second-instance flag set and a zero time budget, so no file
// is written and every search stops at its first clock poll.
bool fuzzCommandStream(const uint8_t* data, size_t size);

// Position text up to the first newline; the bytes after it steer a walk of
// a few plies. At every ply every legal move is made, checked, evaluated and
// unmade, and its text must read back as the same move.
bool fuzzPositionWalk(const uint8_t* data, size_t size);

// The bytes as a book text file, parsed into an empty book table.
bool fuzzBookText(const uint8_t* data, size_t size);

// The bytes as a learning file: loaded, used by the book choice, saved and
// reloaded; the saved file must read back whole and save identically.
bool fuzzLearningFile(const uint8_t* data, size_t size);

// Scratch directory of this process for the files the targets write.
const char* fuzzScratchDirectory();
