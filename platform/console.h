// Console set-up for a protocol engine driven through pipes.
#pragma once

// Unbuffered standard output, then standard input, so that every answer
// leaves at once and no input is read ahead. Interrupt and broken-pipe
// signals are ignored: the interface sends SIGINT to engines on Linux (and
// Ctrl-C reaches every console process on Windows), and a closed output pipe
// must not kill the engine before it saves its learning. The streams keep
// the platform's text mode: interfaces read "\r\n" on Windows as usual.
// On POSIX systems SIGTERM ends the input instead of the process, so that
// the learning file is still written when xboard sends it right after "quit".
void prepareConsole();
