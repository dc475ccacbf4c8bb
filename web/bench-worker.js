// The search signature in a browser: bench.js at the depth posted, its
// output lines posted back, then null when it is done.
'use strict';
self.onmessage = (event) => {
  self.Module = {
    arguments: [String(event.data)],
    print: (line) => self.postMessage(line),
    printErr: (line) => self.postMessage(`stderr: ${line}`),
    onExit: () => self.postMessage(null),
  };
  importScripts('bench.js');
};
