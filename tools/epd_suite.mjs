// An EPD test suite against a UCI engine: each position searched for a
// fixed time, solved when the bestmove is one of its "bm" moves (and none
// of its "am" moves), both given in SAN. Prints the unsolved ids and the
// count, e.g. for Win at Chess or Bratko-Kopec (files not kept here).
//
//   node tools/epd_suite.mjs FILE [--engine PATH] [--ms 1000] [--option NAME=VALUE ...]
//
// The engine gets OwnBook false and Learning off unless the options say
// otherwise, and "ucinewgame" before every position.
import { Chess } from 'chess.js';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { startEngine, stopEngine } from './engine.mjs';
import { uciHandshake, watchSearch, awaitBest, isReady } from './uci_engine.mjs';

const args = process.argv.slice(2);
const file = args.shift();
let enginePath = fileURLToPath(new URL('../build/morvek', import.meta.url));
let ms = 1000;
const options = new Map([['OwnBook', 'false'], ['Learning', 'off']]);
while (args.length) {
  const word = args.shift();
  if (word === '--engine') enginePath = args.shift();
  else if (word === '--ms') ms = Number(args.shift());
  else if (word === '--option') {
    const [name, ...value] = args.shift().split('=');
    options.set(name, value.join('='));
  } else {
    console.error('usage: node tools/epd_suite.mjs FILE [--engine PATH] [--ms 1000] [--option NAME=VALUE ...]');
    process.exit(2);
  }
}
if (!file) {
  console.error('usage: node tools/epd_suite.mjs FILE [--engine PATH] [--ms 1000] [--option NAME=VALUE ...]');
  process.exit(2);
}

// "FEN4 op1 arg; op2 arg; ..." into the FEN (with move counters) and the operations.
function readEpd(line) {
  const fields = line.trim().split(/\s+/);
  const fen = `${fields.slice(0, 4).join(' ')} 0 1`;
  const ops = new Map();
  for (const op of fields.slice(4).join(' ').split(';')) {
    const m = /^\s*(\w+)\s+(.*?)\s*$/.exec(op);
    if (m) ops.set(m[1], m[2].replace(/^"|"$/g, ''));
  }
  return { fen, ops };
}

// SAN moves of an operation as UCI text; a move that is not legal is dropped.
function uciMoves(fen, sans) {
  const out = [];
  for (const san of (sans || '').split(/\s+/).filter(Boolean)) {
    try {
      const move = new Chess(fen).move(san);
      out.push(move.from + move.to + (move.promotion || ''));
    } catch { /* not legal here */ }
  }
  return out;
}

const positions = readFileSync(file, 'utf8').split('\n').filter((l) => l.trim() && !l.startsWith('#')).map(readEpd);
const engine = startEngine(enginePath, 'engine');
await uciHandshake(engine, [...options]);
let solved = 0;
const missed = [];
const started = Date.now();
for (const [i, { fen, ops }] of positions.entries()) {
  const best = uciMoves(fen, ops.get('bm'));
  const avoid = uciMoves(fen, ops.get('am'));
  await isReady(engine, ['ucinewgame']);
  watchSearch(engine, fen);
  const answer = await awaitBest(engine, [`position fen ${fen}`, `go movetime ${ms}`], ms + 30000);
  if (answer.fault) throw new Error(`${answer.fault}: ${answer.detail}`);
  const ok = (best.length === 0 || best.includes(answer.move)) && !avoid.includes(answer.move);
  if (ok) solved++;
  else missed.push(`${ops.get('id') || i + 1} (${answer.move})`);
}
stopEngine(engine);
console.log(`unsolved: ${missed.join(', ') || 'none'}`);
console.log(`${file}: ${solved} of ${positions.length} solved at ${ms} ms a position (${Math.round((Date.now() - started) / 1000)} s)`);
