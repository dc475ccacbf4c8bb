#include "platform/console.h"

#include <signal.h>
#include <stdio.h>

void prepareConsole() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stdin, nullptr, _IONBF, 0);
  signal(SIGINT, SIG_IGN);
#ifdef SIGPIPE
  signal(SIGPIPE, SIG_IGN);
#endif
}
