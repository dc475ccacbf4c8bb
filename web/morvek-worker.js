// Morvek as a UCI worker, the convention of stockfish.js: every string
// posted to it is one input line, every string it posts is one output line.
//
// The engine's command loop runs in a second worker (morvek-core.js) and
// blocks on its input the way it blocks on a pipe. This worker stays free
// for messages and hands each line over through shared memory at once, so
// that "stop", "ponderhit" and "isready" reach a running search at its next
// look at the input (every 4096 nodes), and the search itself runs at full
// speed. Shared memory needs a cross-origin isolated page (COOP/COEP
// headers, from the server or from the offline copy, sw.js).
//
// Two builds: "shared" (morvek.js, the above) and "async" (morvek-async.js),
// for pages without isolation: the lines go as messages, which the engine
// takes when it waits and, while searching, every 10 milliseconds
// (see morvek-core.js). The page names one in this script's address
// (morvek-worker.js?build=async); without a name, "shared" where shared
// memory can be had. {build: NAME} is posted first.
//
// Learning: the engine writes its learning file when it ends. Posting the
// object {save: true} ends the engine with "quit" once it is not searching,
// keeps the file (in IndexedDB in a browser) and starts it again with it,
// replaying "uci" and the options so the page sees no difference; then
// {saved: true, bytes: N, digest} is posted. The file is read from IndexedDB
// at start, and {learning: {bytes: N, digest}} says what was found.
// Other posted objects: {stderr: line} carries the engine's error output.
'use strict';

const inNode = typeof importScripts !== 'function' && typeof require === 'function';
let post, newCore, readAsset, asked;
if (inNode) {
  const { parentPort, Worker, workerData } = require('worker_threads');
  asked = workerData && workerData.build;
  const fs = require('fs');
  const path = require('path');
  post = (message) => parentPort.postMessage(message);
  parentPort.on('message', (data) => receive(data));
  newCore = (onMessage) => {
    const core = new Worker(path.join(__dirname, 'morvek-core.js'));
    core.on('message', onMessage);
    return { post: (m) => core.postMessage(m), end: () => core.terminate() };
  };
  readAsset = async (name) => {
    const bytes = fs.readFileSync(path.join(__dirname, name));
    return bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length);
  };
} else {
  asked = new URLSearchParams(self.location.search).get('build');
  post = (message) => self.postMessage(message);
  self.onmessage = (event) => receive(event.data);
  newCore = (onMessage) => {
    const core = new Worker('morvek-core.js');
    core.onmessage = (event) => onMessage(event.data);
    return { post: (m) => core.postMessage(m), end: () => core.terminate() };
  };
  readAsset = async (name) => {
    const response = await fetch(name);
    if (!response.ok) throw new Error(`${name}: ${response.status}`);
    return response.arrayBuffer();
  };
}

const sharedMemory = typeof SharedArrayBuffer === 'function' && (inNode || self.crossOriginIsolated === true);
const build = asked === 'shared' || asked === 'async' ? asked : sharedMemory ? 'shared' : 'async';
const glue = build === 'shared' ? 'morvek' : 'morvek-async';

// --- The learning file's store: IndexedDB in a browser, memory in Node ---
// Two kinds of record: the file's versions under "learning:N", and
// "current" naming the one in force. A save writes the new version and
// moves "current" in one transaction, so a save cut short leaves the
// previous version in force.
const learningStore = (() => {
  if (inNode || typeof indexedDB === 'undefined') {
    let kept = null;
    return { load: async () => kept, save: async (bytes) => { kept = bytes; } };
  }
  const open = () => new Promise((resolve, reject) => {
    const request = indexedDB.open('morvek', 1);
    request.onupgradeneeded = () => request.result.createObjectStore('files');
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  const done = (request) => new Promise((resolve, reject) => {
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return {
    async load() {
      const db = await open();
      const files = db.transaction('files').objectStore('files');
      const current = await done(files.get('current'));
      const bytes = current ? await done(files.get(current.key)) : null;
      db.close();
      return bytes || null;
    },
    async save(bytes) {
      const db = await open();
      const transaction = db.transaction('files', 'readwrite');
      const files = transaction.objectStore('files');
      const current = await done(files.get('current'));
      const serial = current ? current.serial + 1 : 1;
      const key = `learning:${serial}`;
      files.put(bytes, key);
      files.put({ key, serial, saved: Date.now() }, 'current');
      if (current) files.delete(current.key);
      await new Promise((resolve, reject) => {
        transaction.oncomplete = resolve;
        transaction.onerror = transaction.onabort = () => reject(transaction.error);
      });
      db.close();
    },
  };
})();

// --- The shared line buffer: this worker writes, the engine's worker reads ---
const kRingSize = 1 << 16;
function LineBuffer() {
  this.shared = { control: new SharedArrayBuffer(12), ring: new SharedArrayBuffer(kRingSize) };
  const control = new Int32Array(this.shared.control);
  const ring = new Uint8Array(this.shared.ring);
  let waiting = new Uint8Array(0);  // bytes that found no room yet
  let retry = null;
  const flush = () => {
    retry = null;
    while (waiting.length > 0) {
      const written = Atomics.load(control, 0);
      const read = Atomics.load(control, 1);
      // One byte stays free so that a full ring differs from an empty one.
      const free = (read - written - 1 + kRingSize) % kRingSize;
      const count = Math.min(free, kRingSize - written, waiting.length);
      if (count === 0) break;
      ring.set(waiting.subarray(0, count), written);
      Atomics.store(control, 0, (written + count) % kRingSize);
      Atomics.notify(control, 0);
      waiting = waiting.subarray(count);
    }
    if (waiting.length > 0 && retry === null) retry = setTimeout(flush, 5);
  };
  this.write = (text) => {
    const bytes = new TextEncoder().encode(text);
    const joined = new Uint8Array(waiting.length + bytes.length);
    joined.set(waiting);
    joined.set(bytes, waiting.length);
    waiting = joined;
    flush();
  };
  this.close = () => {
    Atomics.store(control, 2, 1);
    Atomics.notify(control, 0);
  };
}

// The same for the build without shared memory: each write is one message.
function MessageLines(toCore) {
  this.write = (text) => toCore.post({ line: text });
  this.close = () => toCore.post({ close: true });
}

// --- The engine ---
let assets = null;  // {wasm, book}
let core = null;
let input = null;
let starting = null;      // resolves when the engine runs
let held = [];            // lines posted while the engine restarts
let restarting = false;
let searching = 0;        // "go" lines sent whose "bestmove" has not come yet
let saveAsked = false;
let replay = new Map();   // "uci" and the latest value of each option
let swallowUntil = null;  // after a restart: output hidden up to this line

function onCoreMessage(message) {
  if (typeof message === 'string') {
    if (swallowUntil !== null) {
      if (message === swallowUntil) swallowUntil = null;
      return;
    }
    if (message.startsWith('bestmove')) {
      searching = Math.max(0, searching - 1);
      if (saveAsked && searching === 0) setTimeout(save, 0);
    }
    post(message);
  } else if (message.stderr !== undefined) {
    post(message);
  } else if (message.exit !== undefined) {
    finished(message);
  }
}

let onFinished = null;
function finished(message) {
  core.end();
  core = null;
  if (message.error) post({ stderr: `engine failed: ${message.error}` });
  if (onFinished) onFinished(message);
  // Ended by a "quit" of the page's own: what it wrote is kept all the same.
  else if (message.learning) learningStore.save(message.learning).catch((e) => post({ stderr: `learning not kept: ${e}` }));
}

async function startCore(learning) {
  searching = 0;
  core = newCore(onCoreMessage);
  input = build === 'shared' ? new LineBuffer() : new MessageLines(core);
  core.post({ glue: `${glue}.js`, wasm: assets.wasm.slice(0), book: assets.book.slice(0), learning, input: input.shared });
}

function send(line) {
  const text = line.endsWith('\n') ? line : line + '\n';
  const word = text.trim().split(/\s+/)[0];
  if (word === 'uci') replay.set('uci', 'uci');
  if (word === 'setoption') {
    const name = /name\s+(.*?)(\s+value\s|$)/.exec(text.trim());
    if (name) replay.set(`option:${name[1].toLowerCase()}`, text.trim());
  }
  if (word === 'go') searching += 1;
  if (word === 'quit') replay.clear();
  input.write(text);
}

async function save() {
  if (restarting || !core) return;
  if (searching > 0) {
    saveAsked = true;  // after the last bestmove
    return;
  }
  saveAsked = false;
  restarting = true;
  const ended = new Promise((resolve) => { onFinished = resolve; });
  input.write('quit\n');
  input.close();
  const message = await ended;
  onFinished = null;
  let bytes = 0;
  let learning = message.learning || null;
  if (learning) {
    try {
      await learningStore.save(learning);
      bytes = learning.length;
    } catch (e) {
      post({ stderr: `learning not kept: ${e}` });
    }
  }
  if (!learning) learning = await learningStore.load().catch(() => null);
  await startCore(learning);
  // Back to where the page left it, unseen.
  const lines = [...replay.values()];
  if (lines.length > 0) {
    swallowUntil = 'readyok';
    for (const line of lines) input.write(line + '\n');
    input.write('isready\n');
  }
  restarting = false;
  const waiting = held;
  held = [];
  for (const line of waiting) send(line);
  post({ saved: true, bytes, digest: digest(message.learning) });
}

async function boot() {
  post({ build });
  const [wasm, book, learning] = await Promise.all([
    readAsset(`${glue}.wasm`), readAsset('Morvek.bk'), learningStore.load().catch(() => null)]);
  assets = { wasm, book };
  post({ learning: { bytes: learning ? learning.byteLength : 0, digest: digest(learning) } });
  await startCore(learning);
}

// FNV-1a of the learning file: the page and the tests tell versions apart.
function digest(bytes) {
  if (!bytes) return null;
  const view = new Uint8Array(bytes.buffer ? bytes.buffer : bytes, bytes.byteOffset || 0, bytes.byteLength);
  let hash = 0x811c9dc5;
  for (let i = 0; i < view.length; ++i) hash = Math.imul(hash ^ view[i], 0x01000193) >>> 0;
  return hash.toString(16).padStart(8, '0');
}

function receive(data) {
  if (typeof data === 'string') {
    for (const line of data.split('\n')) {
      if (line === '' && data !== '') continue;
      if (restarting || !core) held.push(line);
      else send(line);
    }
  } else if (data && data.save) {
    starting.then(save);
  } else if (data && data.learned) {
    // The learning file as last kept, for the page's list of what was learned.
    learningStore.load().catch(() => null).then((bytes) => post({ learnedFile: bytes }));
  }
}

starting = boot().then(() => {
  const waiting = held;
  held = [];
  for (const line of waiting) send(line);
}, (error) => post({ stderr: `engine not started: ${error}` }));
