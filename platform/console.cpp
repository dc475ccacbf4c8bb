#include "platform/console.h"

#include <signal.h>
#include <stdio.h>

namespace {

volatile sig_atomic_t terminationSeen = 0;

}  // namespace

bool terminationRequested() { return terminationSeen != 0; }

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

namespace {

// xboard follows "quit" at once with SIGTERM, and a closed terminal sends
// SIGHUP. Dying there would lose the learning file, so the signal only
// raises the flag (a running search stops at its next clock reading) and
// ends the input: standard input becomes /dev/null, so even a read that
// was about to block sees the end, and the normal exit path saves. open and
// dup2 are async-signal-safe.
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
  sigaction(SIGHUP, &action, nullptr);
#endif
}
