// A UCI worker in Node (morvek-worker.js in a worker thread) with the page's
// side of the convention: post a line, wait for an output line. build:
// "shared" or "async" (the build without shared memory), as a page names it.
import { Worker } from 'node:worker_threads';
import { join } from 'node:path';

export function startWorker(site, build = 'shared') {
  const worker = new Worker(join(site, 'morvek-worker.js'), { workerData: { build } });
  const lines = [];
  const errors = [];
  const controls = [];
  let waiters = [];
  worker.on('message', (message) => {
    if (typeof message === 'string') lines.push({ line: message, at: performance.now() });
    else if (message.stderr !== undefined) errors.push(message.stderr);
    else controls.push(message);
    const ready = waiters;
    waiters = [];
    for (const wake of ready) wake();
  });
  worker.on('error', (error) => errors.push(String(error)));
  let seen = 0;
  const engine = {
    lines, errors, controls,
    send(line) { worker.postMessage(line); },
    save() { worker.postMessage({ save: true }); },
    askLearned() { worker.postMessage({ learned: true }); },
    // The next output line (after those already taken) matching test.
    async expect(test, timeoutMs = 20000) {
      const deadline = performance.now() + timeoutMs;
      for (;;) {
        while (seen < lines.length) {
          const entry = lines[seen++];
          if (test(entry.line)) return entry;
        }
        const left = deadline - performance.now();
        if (left <= 0) throw new Error(`no line expected by ${test} in ${timeoutMs} ms; last: ${lines.slice(-3).map((e) => e.line).join(' | ')}; errors: ${errors.join(' | ')}`);
        await new Promise((resolve) => {
          const timer = setTimeout(resolve, left);
          waiters.push(() => { clearTimeout(timer); resolve(); });
        });
      }
    },
    async control(test, timeoutMs = 20000) {
      const deadline = performance.now() + timeoutMs;
      while (performance.now() < deadline) {
        const found = controls.find(test);
        if (found) return found;
        await new Promise((resolve) => setTimeout(resolve, 10));
      }
      throw new Error('no control message');
    },
    end() { return worker.terminate(); },
  };
  return engine;
}
