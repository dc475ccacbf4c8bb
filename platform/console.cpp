#include "platform/console.h"

#include <signal.h>
#include <stdio.h>

void prepareConsole() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stdin, nullptr, _IONBF, 0);
  signal(SIGINT, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}
