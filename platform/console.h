// Console set-up for a protocol engine driven through pipes.
#pragma once

// Unbuffered standard output, then standard input, so that every answer
// leaves at once and no input is read ahead. Interrupt and broken-pipe
// signals are ignored: the interface sends SIGINT to engines on Linux (and
// Ctrl-C reaches every console process on Windows), and a closed output pipe
// must not kill the engine before it saves its learning. The streams keep
// the platform's text mode: interfaces read "\r\n" on Windows as usual.
// On POSIX systems SIGTERM (xboard sends it right after "quit") and SIGHUP
// (a closed terminal or interface) do not end the process: they end the
// input and stop a running search, so the learning file is still written.
void prepareConsole();

// True once a termination signal came; the search and the input reader
// look at it.
bool terminationRequested();
