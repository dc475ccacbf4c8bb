// Console set-up for a protocol engine driven through pipes.
#pragma once

// Unbuffered standard output, then standard input, so that every answer
// leaves at once and no input is read ahead. Interrupt and broken-pipe
// signals are ignored: the interface sends SIGINT to engines on Linux, and a
// closed output pipe must not kill the engine before it saves its learning.
void prepareConsole();
