#include "platform/page_input.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// Module.pageInput is the worker glue's reader of the page's lines
// (web/morvek-core.js); without one (a program run on its own, as the
// benchmark is) the input is closed.
//
// The same objects link into both engine builds. The shared-memory build's
// reader blocks in Atomics.wait. The build without shared memory is linked
// with Asyncify (web/web.cmake) and its reader has "whenReadable" and
// "afterEvents": a wait hands the worker back to its event loop, where the
// page's messages arrive, and the engine resumes from the callback. Such a
// reader must answer through handleSleep on every call, even when it
// answers at once, for a resumed call to find its answer there.
EM_JS(int, pageInputReadJs, (char* buffer, int room, int wait), {
  var source = Module["pageInput"];
  if (!source) return 0;
  if (source.whenReadable) {
    return Asyncify.handleSleep(function(wakeUp) {
      source.whenReadable(wait != 0, function() { wakeUp(source.read(HEAPU8.subarray(buffer, buffer + room), false)); });
    });
  }
  return source.read(HEAPU8.subarray(buffer, buffer + room), wait != 0);
});

// A search asks this every few thousand nodes; the reader without shared
// memory lets the worker's queued messages in every 10 milliseconds, else
// answers from what it already holds.
EM_JS(int, pageInputReadyJs, (), {
  var source = Module["pageInput"];
  if (!source) return 1;
  if (source.afterEvents) {
    return Asyncify.handleSleep(function(wakeUp) {
      source.afterEvents(function() { wakeUp(source.ready() ? 1 : 0); });
    });
  }
  return source.ready() ? 1 : 0;
});

int pageInputRead(char* buffer, int room, int wait) { return pageInputReadJs(buffer, room, wait); }

bool pageInputReady() { return pageInputReadyJs() != 0; }
#endif
