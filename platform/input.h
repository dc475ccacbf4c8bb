// Standard input, owned here: the lines come as fgets with a 1023-character
// buffer gives them (at most 1022 characters, the newline kept, a longer line
// in pieces), "\r\n" arrives as "\n" on every platform, and whether a line is
// waiting can be asked without blocking, so that a search can look at the
// input between nodes. Lines a front end looks at during a search and keeps
// for later are handed out again, in order, before anything read after them.
#pragma once

constexpr int kInputLineSize = 1024;  // a line with its zero

// Waits for the next line; false at the end of input, or at once after a
// termination signal (lines not yet handled are dropped, as a closed input
// would drop them).
bool readInputLine(char line[kInputLineSize]);

// Never blocks (one system call at most): true when a line not yet looked at
// can be had at once, or the input has ended.
bool inputLineWaiting();

// The next line not yet looked at, when one is complete; false otherwise
// (the end of input included). The line stays in the input until
// dropWaitingLine (it was handled) or keepWaitingLine (it waits for
// readInputLine, behind the lines kept before it).
bool nextWaitingLine(char line[kInputLineSize]);
void dropWaitingLine();
void keepWaitingLine();
// True while lines looked at and kept wait for readInputLine.
bool linesKept();
// As nextWaitingLine, but waits for the line; false only at the end of input.
bool waitForNextLine(char line[kInputLineSize]);

// True once the end of the input was seen (kept lines may still wait).
bool inputEnded();

// Tests: reads from fd instead of standard input, with an empty buffer.
void resetInput(int fd);
