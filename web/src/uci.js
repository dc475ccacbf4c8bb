// The page's side of the UCI worker: lines in, lines out, and the reading
// of "info" lines into records.

export function parseInfo(line) {
  const words = line.split(' ');
  if (words[0] !== 'info') return null;
  const info = { multipv: 1 };
  for (let i = 1; i < words.length; ++i) {
    const word = words[i];
    if (word === 'pv') {
      info.pv = words.slice(i + 1);
      break;
    }
    if (word === 'string') return null;
    if (word === 'score') {
      const kind = words[++i];
      const value = Number(words[++i]);
      if (kind === 'cp') info.cp = value;
      else if (kind === 'mate') info.mate = value;
      if (words[i + 1] === 'lowerbound' || words[i + 1] === 'upperbound') info.bound = words[++i];
    } else if (['depth', 'seldepth', 'multipv', 'nodes', 'nps', 'time', 'hashfull'].includes(word)) {
      info[word] = Number(words[++i]);
    }
  }
  return info.pv && (info.cp !== undefined || info.mate !== undefined) ? info : null;
}

// A score from the side to move's view, as the graph and the text use it
// from White's: centipawns, a mate as +-100000 less its distance.
export function whiteScore(info, sideToMove) {
  const sign = sideToMove === 'w' ? 1 : -1;
  if (info.mate !== undefined) return sign * Math.sign(info.mate || 1) * (100000 - Math.abs(info.mate));
  return sign * info.cp;
}

export function scoreText(info, sideToMove) {
  const white = whiteScore(info, sideToMove);
  if (info.mate !== undefined) return `${white >= 0 ? '+' : '-'}M${Math.abs(info.mate)}`;
  return `${white >= 0 ? '+' : ''}${(white / 100).toFixed(2)}`;
}

// The worker and the bookkeeping of its searches: one "go" ends in one
// "bestmove"; a search the page no longer wants is stopped and its answer
// dropped.
export class Engine {
  // url: the worker's address, or a promise of it; what is posted before
  // the worker exists waits for it.
  constructor(url) {
    const early = [];
    this.worker = { postMessage: (message) => early.push(message) };
    this.searches = [];      // {onInfo, onBest, dropped}, in the order of their "go"
    this.listeners = [];     // every line
    this.controls = [];      // non-line messages
    this.options = new Set();
    this.lastStopAt = 0;
    this.stopDelays = [];    // ms from each "stop" to its bestmove
    this.recent = [];
    Promise.resolve(url).then((address) => {
      const worker = new Worker(address);
      worker.onmessage = (event) => this.receive(event.data);
      worker.onerror = (event) => this.receive({ stderr: `worker failed: ${event.message || 'its script did not load'}` });
      for (const message of early) worker.postMessage(message);
      this.worker = worker;
    }).catch((error) => this.receive({ stderr: `worker failed: ${error.message || error}` }));
  }

  send(line) {
    this.recent.push(`> ${line}`);
    this.worker.postMessage(line);
  }

  receive(message) {
    if (typeof message !== 'string') {
      if (message.stderr !== undefined) console.warn(`engine: ${message.stderr}`);
      for (const listen of this.controls) listen(message);
      return;
    }
    for (const listen of this.listeners) listen(message);
    this.recent.push(message);  // the last lines, for a look when something goes wrong
    if (this.recent.length > 40) this.recent.shift();
    if (message.startsWith('option name ')) this.options.add(/option name (.*?) type/.exec(message)?.[1]);
    const search = this.searches[0];
    if (message.startsWith('bestmove')) {
      this.searches.shift();
      if (this.lastStopAt) {
        this.stopDelays.push(performance.now() - this.lastStopAt);
        this.lastStopAt = 0;
      }
      const words = message.split(' ');
      if (search && !search.dropped) search.onBest(words[1], words[3] ?? null);
    } else if (search && !search.dropped && message.startsWith('info')) {
      const info = parseInfo(message);
      if (info && search.onInfo) search.onInfo(info);
    }
  }

  // Starts a search from the position (a "position" command's words after
  // "position") with the "go" words; the setup lines (setoption) go after
  // the stop of the search before, which a line queued behind would delay.
  search(position, go, handlers, setup = []) {
    this.dropAll();
    const search = { ...handlers, dropped: false };
    this.searches.push(search);
    for (const line of setup) this.send(line);
    this.send(`position ${position}`);
    this.send(go);
    return search;
  }

  // Searches not yet answered: dropped, and stopped.
  dropAll() {
    if (this.searches.length === 0) return;
    for (const search of this.searches) search.dropped = true;
    this.stop();
  }

  stop() {
    if (!this.lastStopAt) this.lastStopAt = performance.now();
    this.send('stop');
  }

  busy() {
    return this.searches.some((s) => !s.dropped);
  }

  waitFor(test) {
    return new Promise((resolve) => {
      const listen = (line) => {
        if (!test(line)) return;
        this.listeners.splice(this.listeners.indexOf(listen), 1);
        resolve(line);
      };
      this.listeners.push(listen);
    });
  }
}
