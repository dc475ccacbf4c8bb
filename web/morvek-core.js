// The engine's own worker: runs the WebAssembly engine's command loop, which
// blocks on its input as it would on a pipe. Input comes from the shared
// line buffer that morvek-worker.js fills (see PageInput); each output line
// goes back as one message. When the engine ends ("quit") its learning file
// goes back with the exit status.
// Runs as a browser worker (importScripts) or a Node worker thread (require).
'use strict';

const inNode = typeof importScripts !== 'function';
let post;
if (inNode) {
  const { parentPort } = require('worker_threads');
  post = (message) => parentPort.postMessage(message);
  parentPort.once('message', (data) => start(data, require('./morvek.js')));
} else {
  post = (message) => self.postMessage(message);
  importScripts('morvek.js');
  self.onmessage = (event) => start(event.data, self.MorvekModule);
}

const kDirectory = '/morvek';
const kProgram = kDirectory + '/morvek';
const kLearning = kDirectory + '/zivorur12.dat';

// The reading end of the shared buffer: control words [written, read,
// closed] over a byte ring. Only this side moves "read"; only the writer
// moves "written" and "closed".
function PageInput(shared) {
  const control = new Int32Array(shared.control);
  const ring = new Uint8Array(shared.ring);
  const size = ring.length;
  this.ready = () => Atomics.load(control, 0) !== Atomics.load(control, 1) || Atomics.load(control, 2) !== 0;
  this.read = (into, wait) => {
    for (;;) {
      const written = Atomics.load(control, 0);
      const read = Atomics.load(control, 1);
      if (written !== read) {
        const available = written > read ? written - read : size - read;  // up to the wrap
        const count = Math.min(available, into.length);
        into.set(ring.subarray(read, read + count));
        Atomics.store(control, 1, (read + count) % size);
        return count;
      }
      if (Atomics.load(control, 2) !== 0) return 0;
      if (!wait) return -1;
      // The writer wakes us; the bound only covers a close that raced the wait.
      Atomics.wait(control, 0, written, 200);
    }
  };
}

function start(data, factory) {
  const module = {
    wasmBinary: data.wasm,
    thisProgram: kProgram,
    pageInput: new PageInput(data.input),
    print: (line) => post(line),
    printErr: (line) => post({ stderr: line }),
    preRun: [() => {
      const FS = module.FS;
      FS.mkdir(kDirectory);
      // The engine looks for its data files beside its program file.
      FS.writeFile(kProgram, '');
      FS.chmod(kProgram, 0o755);
      if (data.book) FS.writeFile(kDirectory + '/Morvek.bk', new Uint8Array(data.book));
      if (data.learning) FS.writeFile(kLearning, new Uint8Array(data.learning));
    }],
    onExit: (status) => {
      let learning = null;
      try {
        learning = module.FS.readFile(kLearning);
      } catch (e) {
        learning = null;  // nothing was saved
      }
      post({ exit: status, learning });
    },
    // Leave the thread to the worker that started it.
    quit: (status, toThrow) => { throw toThrow; },
  };
  factory(module).then((instance) => {
    module.FS = instance.FS;
    try {
      instance.callMain([]);
    } catch (e) {
      if (!(e && e.name === 'ExitStatus')) post({ exit: -1, error: String(e && e.stack || e) });
    }
  }, (error) => post({ exit: -1, error: String(error) }));
}
