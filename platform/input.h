// Standard input, owned here: whole lines of any length up to
// kMaxLineLength, "\r\n" arriving as "\n" on every platform, and whether a
// line is waiting can be asked without blocking, so that a search can look at
// the input between nodes. Lines a front end looks at during a search and
// keeps for later are handed out again, in order, before anything read
// after them.
//
// A line that cannot be a command is refused whole and never handed out:
// longer than kMaxLineLength, holding a zero byte, or not UTF-8. The front
// end in charge says so through refusedLineListener; the line after it is
// read as usual. GUIs send a whole game in one "position" line, so the limit
// is far above any game's length.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kMaxLineLength = size_t(1) << 20;  // characters, the newline not counted

enum class LineFault { kTooLong, kZeroByte, kNotUtf8 };

// Told of every refused line with its length (the newline not counted);
// nullptr drops them without a word.
using RefusedLineListener = void (*)(LineFault fault, uint64_t length);
extern RefusedLineListener refusedLineListener;

// The text of a fault, for the front ends' messages: "longer than 1048576
// characters", "holds a zero byte", "is not UTF-8".
const char* lineFaultText(LineFault fault);

// Waits for the next line and returns it with its newline (when it had one):
// a buffer of this unit, valid until the next readInputLine, which the caller
// may cut into words. nullptr at the end of input, or at once after a
// termination signal (lines not yet handled are dropped, as a closed input
// would drop them).
char* readInputLine();

// Never blocks (one system call at most): true when a line not yet looked at
// can be had at once, or the input has ended.
bool inputLineWaiting();

// The next line not yet looked at, when one is complete; nullptr otherwise
// (the end of input included). The buffer is another than readInputLine's,
// valid until the next look. The line stays in the input until
// dropWaitingLine (it was handled) or keepWaitingLine (it waits for
// readInputLine, behind the lines kept before it).
char* nextWaitingLine();
void dropWaitingLine();
void keepWaitingLine();
// True while lines looked at and kept wait for readInputLine.
bool linesKept();
// As nextWaitingLine, but waits for the line; nullptr only at the end of input.
char* waitForNextLine();

// True once the end of the input was seen (kept lines may still wait).
bool inputEnded();

// Tests: reads from fd instead of standard input, with an empty buffer.
void resetInput(int fd);
