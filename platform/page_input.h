// The input source of the WebAssembly build: lines the page hands over.
// The page's worker writes them into shared memory while the engine runs
// its command loop in a worker of its own, so the engine reads them as it
// reads a pipe elsewhere: a blocking read when it waits for a command, a
// look without blocking between nodes of a search. Only that build
// compiles these; everything above the input reader is the same.
#pragma once

#ifdef __EMSCRIPTEN__
// Copies up to room bytes of waiting input into buffer. With wait, blocks
// until there is some; returns the count, 0 once the input is closed, -1
// when nothing waits and wait was false.
int pageInputRead(char* buffer, int room, int wait);
// True when a read would not block: bytes wait or the input is closed.
bool pageInputReady();
#endif
