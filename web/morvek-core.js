// The engine's own worker: runs the WebAssembly engine's command loop, which
// blocks on its input as it would on a pipe. Each output line goes back as
// one message; when the engine ends ("quit") its learning file goes back
// with the exit status. The first message names the build and brings its
// files. Input: with shared memory, the line buffer that morvek-worker.js
// fills (PageInput); without, the lines come as later messages
// (MessageInput) to the build that can wait for them (morvek-async.js).
// Runs as a browser worker (importScripts) or a Node worker thread (require).
'use strict';

const inNode = typeof importScripts !== 'function';
let post;
let messageInput = null;
const load = (glue) => {
  if (inNode) return require(`./${glue}`);
  importScripts(glue);
  return self.MorvekModule;
};
const receive = (data) => {
  if (messageInput) messageInput.receive(data);
  else start(data, load(data.glue));
};
if (inNode) {
  const { parentPort } = require('worker_threads');
  post = (message) => parentPort.postMessage(message);
  parentPort.on('message', receive);
} else {
  post = (message) => self.postMessage(message);
  self.onmessage = (event) => receive(event.data);
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

// Lines as messages ({line} or {close}), for the build without shared
// memory: they arrive only while the engine has left the stack, so a wait
// for input resumes it from the message, and a search is let out to the
// event loop (afterEvents) every kYieldMs, to resume behind the messages
// already queued: in a browser from a message posted to ourselves (a timer
// would be held back 4 ms), in Node from setImmediate (a port there takes
// its own new messages before any other port's).
const kYieldMs = 10;
function MessageInput() {
  let bytes = new Uint8Array(0);
  let closed = false;
  let waiting = null;
  let resume = null;
  let lastYield = performance.now();
  let later;
  if (inNode) later = () => setImmediate(resumeSearch);
  else {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => resumeSearch();
    later = () => channel.port2.postMessage(0);
  }
  // The engine runs on from here until its next wait.
  const run = (then) => {
    lastYield = performance.now();
    try {
      then();
    } catch (e) {
      failed(e);
    }
  };
  const wake = () => {
    const then = waiting;
    waiting = null;
    run(then);
  };
  const resumeSearch = () => {
    const then = resume;
    resume = null;
    run(then);
  };
  this.ready = () => bytes.length > 0 || closed;
  this.read = (into) => {
    if (bytes.length === 0) return closed ? 0 : -1;
    const count = Math.min(bytes.length, into.length);
    into.set(bytes.subarray(0, count));
    bytes = bytes.subarray(count);
    return count;
  };
  this.whenReadable = (wait, then) => {
    if (!wait || this.ready()) then();
    else waiting = then;
  };
  this.afterEvents = (then) => {
    if (performance.now() - lastYield < kYieldMs) then();
    else {
      resume = then;
      later();
    }
  };
  this.receive = (message) => {
    if (message.close) closed = true;
    else {
      const added = new TextEncoder().encode(message.line);
      const joined = new Uint8Array(bytes.length + added.length);
      joined.set(bytes);
      joined.set(added, bytes.length);
      bytes = joined;
    }
    if (waiting) wake();
  };
}

function failed(e) {
  if (!(e && e.name === 'ExitStatus')) post({ exit: -1, error: String(e && e.stack || e) });
}

function start(data, factory) {
  if (!data.input) messageInput = new MessageInput();
  const module = {
    wasmBinary: data.wasm,
    thisProgram: kProgram,
    pageInput: data.input ? new PageInput(data.input) : messageInput,
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
      if (instance.runMain) instance.runMain([]);
      else instance.callMain([]);
    } catch (e) {
      failed(e);
    }
  }, (error) => post({ exit: -1, error: String(error) }));
}
