#include "platform/console.h"

#include <signal.h>
#include <stdio.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t terminationSeen = 0;

// xboard follows "quit" at once with SIGTERM. Dying there would lose the
// learning file, so the signal only ends the input: standard input becomes
// /dev/null, the loop sees the end of input after the current command and
// the normal exit path saves. open and dup2 are async-signal-safe.
void endInputOnTermination(int) {
  if (terminationSeen) return;
  terminationSeen = 1;
  int devNull = open("/dev/null", O_RDONLY);
  if (devNull < 0) return;
  dup2(devNull, STDIN_FILENO);
  close(devNull);
}

}  // namespace
#endif

void prepareConsole() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stdin, nullptr, _IONBF, 0);
  signal(SIGINT, SIG_IGN);
#ifndef _WIN32
  signal(SIGPIPE, SIG_IGN);
  struct sigaction action = {};
  action.sa_handler = endInputOnTermination;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read returns at once
  sigaction(SIGTERM, &action, nullptr);
#endif
}
