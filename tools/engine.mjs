// An engine as a child process, for the self-play check and the match
// runner: a line reader, replies awaited one at a time, the xboard
// protocol-2 handshake, and engine move text turned into chess.js moves.
// tools/uci_engine.mjs drives UCI engines on the same reader.
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';

// command is a program path, or else a command line split at blanks
// (program and its arguments).
export function startEngine(command, name, { cwd } = {}) {
  const words = existsSync(command) ? [command] : command.trim().split(/\s+/);
  const child = spawn(words[0], words.slice(1), { stdio: ['pipe', 'pipe', 'pipe'], cwd });
  const engine = {
    name, child, buffer: '', waiting: null, listener: null, errors: [], exited: null, recent: [], features: {},
  };
  child.stdout.setEncoding('utf8');
  child.stderr.setEncoding('utf8');
  child.stdout.on('data', (chunk) => {
    engine.buffer += chunk;
    let nl;
    while ((nl = engine.buffer.indexOf('\n')) >= 0) {
      const raw = engine.buffer.slice(0, nl).trim();
      engine.buffer = engine.buffer.slice(nl + 1);
      hearLine(engine, raw);
    }
  });
  child.stderr.on('data', (chunk) => engine.errors.push(...chunk.split('\n').filter((l) => l.trim())));
  child.on('error', (error) => finish(engine, { code: null, signal: null, error: error.message }));
  child.on('exit', (code, signal) => finish(engine, { code, signal }));
  child.stdin.on('error', () => {});  // a dead engine is reported by its exit
  return engine;
}

// One line from the engine: kept among the recent ones, features read
// during the handshake, shown to the listener (which sees every line, even
// with nobody waiting, as a pondering UCI engine talks unasked), and handed
// to whoever waits for an answer.
function hearLine(engine, line) {
  engine.recent.push(line);
  if (engine.recent.length > 4) engine.recent.shift();
  if (engine.listener) engine.listener(line);
  if (line.startsWith('feature ') && !engine.handshakeOver) readFeatures(engine, line);
  if (engine.waiting) {
    const answer = engine.waiting.accept(line);
    if (answer !== undefined) {
      const w = engine.waiting;
      engine.waiting = null;
      w.resolve(answer);
    }
  }
}

function finish(engine, exit) {
  if (engine.exited) return;
  engine.exited = exit;
  if (engine.waiting) {
    const w = engine.waiting;
    engine.waiting = null;
    const why = exit.error ? `could not start (${exit.error})` : `exited (code ${exit.code}, signal ${exit.signal})`;
    w.reject(Object.assign(new Error(`${engine.name} ${why}`), { crash: true }));
  }
}

// feature a=1 b="text with blanks" ...
function readFeatures(engine, line) {
  const re = /(\w+)=("([^"]*)"|\S+)/g;
  let m;
  while ((m = re.exec(line)) !== null) engine.features[m[1]] = m[3] !== undefined ? m[3] : m[2];
}

export function send(engine, text) {
  if (!engine.exited) engine.child.stdin.write(text + '\n');
}

export const moveLine = (line) => (line.startsWith('move ') ? line.slice(5).trim() : undefined);

// Sends the lines and waits for the first line that accept() answers (by
// default a "move"). Rejects on timeout (error.timeout) or exit (error.crash).
export function ask(engine, lines, timeoutMs, accept = moveLine) {
  return new Promise((resolve, reject) => {
    if (engine.exited) return reject(Object.assign(new Error(`${engine.name} is not running`), { crash: true }));
    const timer = setTimeout(() => {
      engine.waiting = null;
      // The last lines it did say tell a hung engine from a lost command.
      const said = engine.recent.length ? ` (last said: ${engine.recent.join(' | ')})` : '';
      reject(Object.assign(new Error(`${engine.name} gave no answer within ${timeoutMs / 1000} s${said}`), { timeout: true }));
    }, timeoutMs);
    engine.waiting = {
      accept,
      resolve: (m) => { clearTimeout(timer); resolve(m); },
      reject: (e) => { clearTimeout(timer); reject(e); },
    };
    // One write, as xboard does: GNU Chess can lose lines that come apart.
    if (lines.length && !engine.exited) engine.child.stdin.write(lines.map((l) => l + '\n').join(''));
  });
}

// Protocol 2 start: "xboard", a pause, "protover 2", then the features up to
// done=1.
// An engine silent for two seconds is asked once more, then after eight more
// seconds taken as protocol 1; done=0 asks for
// up to a minute more. Every feature is accepted, as xboard does; the runner
// then honours usermove, san, ping and myname. Features that come later are
// ignored, so that the way moves are sent cannot change in mid-game.
export async function handshake(engine) {
  const accepted = new Set();
  const answer = (line) => {
    if (!line.startsWith('feature ')) return undefined;
    for (const key of Object.keys(engine.features)) {
      if (!accepted.has(key)) {
        accepted.add(key);
        send(engine, `accepted ${key}`);
      }
    }
    if (engine.features.done === '1') return true;
    return undefined;
  };
  const wait = (lines, ms) => ask(engine, lines, ms, answer).then(() => true, (e) => { if (e.crash) throw e; return false; });
  // GNU Chess often stalls for good when "protover" comes in the same breath
  // as "xboard" (and, started with -x, even when it does not): give it a
  // moment between the two, and ask once more if it stays silent.
  send(engine, 'xboard');
  await new Promise((resolve) => setTimeout(resolve, 200));
  if (!(await wait(['protover 2'], 2000)) && Object.keys(engine.features).length === 0) {
    await wait(['protover 2'], 8000);
  }
  if (engine.features.done === '0') await wait([], 60000);
  engine.handshakeOver = true;
  if (engine.features.myname) engine.displayName = engine.features.myname;
}

export function stopEngine(engine) {
  return new Promise((resolve) => {
    if (engine.exited) return resolve(engine.exited);
    const timer = setTimeout(() => { engine.child.kill('SIGKILL'); }, 5000);
    engine.child.on('exit', (code, signal) => { clearTimeout(timer); resolve({ code, signal }); });
    send(engine, 'quit');
    engine.child.stdin.end();
  });
}

// Engine move text to a chess.js move, or null when illegal: coordinate
// notation with an optional promotion letter, o-o / o-o-o / O-O / 0-0, or SAN.
export function applyMove(chess, text) {
  const castle = text.replace(/0/g, 'O').toUpperCase();
  let move;
  if (castle === 'O-O' || castle === 'O-O-O') {
    const rank = chess.turn() === 'w' ? '1' : '8';
    move = { from: 'e' + rank, to: (castle === 'O-O' ? 'g' : 'c') + rank };
  } else if (/^[a-h][1-8][a-h][1-8][qrbnQRBN]?$/.test(text)) {
    move = { from: text.slice(0, 2), to: text.slice(2, 4) };
    if (text.length === 5) move.promotion = text[4].toLowerCase();
  } else {
    move = text;  // SAN
  }
  try {
    return chess.move(move);
  } catch {
    return null;
  }
}

// Moves to go and budget exactly as morvek derives them from "time". Under
// the 40-move control it reads "time" before the opponent's move reaches it,
// so it counts moves to go from that earlier position: ply timePly with
// timeWhite to move. Every other control (control.moves, 0 for sudden death,
// with control.baseCs and control.incrementCs) is planned at the ply of the
// think itself, as is the doubling, which those controls hold to a ceiling.
export function morvekBudget(remaining, timePly, timeWhite, thinkPly, control = { moves: 40, incrementCs: 0 }) {
  const doubling = thinkPly < 60;
  if (control.moves === 40) {
    const m = timeWhite ? 40 - (Math.trunc(timePly / 2) % 40) : 40 - (Math.trunc((timePly - 2) / 2) % 38);
    // never more than the clock less its 20 cs reserve
    const budget = Math.min(Math.trunc((Math.trunc(remaining / m) * 99) / 100), Math.max(0, remaining - 20));
    return doubling ? 2 * budget : budget;
  }
  const increment = Math.trunc((control.incrementCs * 3) / 4);
  const reserve = 20 + Math.max(Math.trunc(remaining / 40), Math.trunc((control.baseCs || 0) / 50));
  let budget;
  let ceiling;
  if (control.moves === 0) {
    const usable = Math.max(0, remaining - reserve);
    const movesLeft = Math.max(20, 45 - Math.trunc(thinkPly / 4));
    ceiling = Math.trunc(usable / 4);
    budget = Math.trunc(usable / movesLeft) + increment;
  } else {
    const m = control.moves - (Math.trunc(thinkPly / 2) % control.moves);
    const afford = Math.max(0, remaining - reserve);
    ceiling = m === 1 ? afford : Math.trunc(afford / 2);
    budget = Math.trunc((Math.trunc(remaining / m) * 99) / 100) + increment;
  }
  budget = Math.min(budget, ceiling);
  return doubling ? Math.min(2 * budget, Math.max(budget, ceiling)) : budget;
}
