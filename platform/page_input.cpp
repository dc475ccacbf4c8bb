#include "platform/page_input.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// Module.pageInput is the worker glue's reader of the shared line buffer
// (web/morvek-core.js); without one (a program run on its own, as the
// benchmark is) the input is closed.
EM_JS(int, pageInputReadJs, (char* buffer, int room, int wait), {
  var source = Module["pageInput"];
  if (!source) return 0;
  return source.read(HEAPU8.subarray(buffer, buffer + room), wait != 0);
});

EM_JS(int, pageInputReadyJs, (), {
  var source = Module["pageInput"];
  return !source || source.ready() ? 1 : 0;
});

int pageInputRead(char* buffer, int room, int wait) { return pageInputReadJs(buffer, room, wait); }

bool pageInputReady() { return pageInputReadyJs() != 0; }
#endif
