// Compares morvek's "go perft" with an independent move generator
// (chessops, the library lichess builds on): every root move's count, for
// every position of an EPD file, in Chess960 (king-takes-rook castling) or
// standard chess, with the castling field as written and, in Chess960, also
// rewritten to X-FEN (KQkq for the outermost rooks).
//
//   node tools/perft_compare.mjs [--engine PATH] [--suite FILE] [--depth N]
//                                [--first N] [--standard]
//
// Defaults: build/morvek, tests/data/fischer.epd, depth 3, every position.
// Exit code 0 when every count matches, 1 otherwise, 2 on bad arguments.
import { parseFen } from 'chessops/fen';
import { Chess } from 'chessops/chess';
import { makeUci } from 'chessops/util';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { ask, send, startEngine, stopEngine } from './engine.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const args = { engine: join(here, '../build/morvek'), suite: join(here, '../tests/data/fischer.epd'), depth: 3, first: Infinity };
let standard = false;
for (let i = 2; i < process.argv.length; ++i) {
  const name = process.argv[i].replace(/^--/, '');
  if (name === 'standard') standard = true;
  else if (name in args && i + 1 < process.argv.length) args[name] = ['depth', 'first'].includes(name) ? Number(process.argv[++i]) : process.argv[++i];
  else {
    console.error(`perft_compare: unknown argument ${process.argv[i]}`);
    process.exit(2);
  }
}

// chessops writes castling as the king taking its rook; standard UCI as the
// king's two-square step.
function moveText(pos, move) {
  const text = makeUci(move);
  const piece = pos.board.get(move.from);
  const target = pos.board.get(move.to);
  if (standard && piece?.role === 'king' && target?.role === 'rook' && target.color === piece.color)
    return text.slice(0, 2) + (move.to > move.from ? 'g' : 'c') + text[3];
  return text;
}

function legalMoves(pos) {
  const moves = [];
  for (const [from, dests] of pos.allDests()) {
    for (const to of dests) {
      const promotes = pos.board.get(from).role === 'pawn' && (to >> 3 === 0 || to >> 3 === 7);
      for (const promotion of promotes ? ['queen', 'rook', 'bishop', 'knight'] : [undefined])
        moves.push(promotion ? { from, to, promotion } : { from, to });
    }
  }
  return moves;
}

function leaves(pos, depth) {
  if (depth === 0) return 1;
  let sum = 0;
  for (const move of legalMoves(pos)) {
    const child = pos.clone();
    child.play(move);
    sum += depth === 1 ? 1 : leaves(child, depth - 1);
  }
  return sum;
}

// Shredder-FEN castling letters to X-FEN: K/Q (k/q) where the rook is the
// outermost on its side of the king, the file letter otherwise.
function toXfen(fen) {
  const fields = fen.split(' ');
  if (fields[2] === '-') return fen;
  const ranks = fields[0].split('/');
  const row = (rank) => rank.replace(/\d/g, (n) => '.'.repeat(Number(n)));
  const rows = { w: row(ranks[7]), b: row(ranks[0]) };
  fields[2] = [...fields[2]].map((letter) => {
    const white = letter === letter.toUpperCase();
    const line = white ? rows.w : rows.b;
    const rook = white ? 'R' : 'r';
    const king = line.indexOf(white ? 'K' : 'k');
    const file = letter.toLowerCase().charCodeAt(0) - 97;
    const outer = file > king ? line.slice(file + 1).includes(rook) : line.slice(0, file).includes(rook);
    if (outer) return letter;
    const side = file > king ? 'k' : 'q';
    return white ? side.toUpperCase() : side;
  }).join('');
  return fields.join(' ');
}

const engine = startEngine(args.engine, 'morvek');
const heard = [];
engine.listener = (line) => heard.push(line);

async function enginePerft(fen, depth) {
  heard.length = 0;
  await ask(engine, [`position fen ${fen}`, `go perft ${depth}`], 600000, (line) => (line.startsWith('Nodes searched:') ? true : undefined));
  const counts = new Map();
  for (const line of heard) {
    const m = /^(\S+): (\d+)$/.exec(line);
    if (m) counts.set(m[1], Number(m[2]));
  }
  return counts;
}

send(engine, `uci\nsetoption name UCI_Chess960 value ${standard ? 'false' : 'true'}`);
const positions = readFileSync(args.suite, 'utf8').split('\n').filter((l) => l.trim()).map((l) => l.split(';')[0].trim());
let checked = 0, faults = 0, nodes = 0;
const started = Date.now();
for (const fen of positions.slice(0, args.first)) {
  const pos = Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
  const expected = new Map();
  for (const move of legalMoves(pos)) {
    const child = pos.clone();
    child.play(move);
    expected.set(moveText(pos, move), leaves(child, args.depth - 1));
  }
  for (const text of standard ? [fen] : [...new Set([fen, toXfen(fen)])]) {
    const got = await enginePerft(text, args.depth);
    const diff = [...new Set([...expected.keys(), ...got.keys()])].filter((m) => expected.get(m) !== got.get(m));
    if (diff.length) {
      ++faults;
      console.log(`MISMATCH ${text}: ${diff.map((m) => `${m} engine ${got.get(m)} chessops ${expected.get(m)}`).join(', ')}`);
    }
    ++checked;
    for (const n of got.values()) nodes += n;
  }
}
stopEngine(engine);
console.log(`${checked} position texts at depth ${args.depth}, ${nodes} leaves, ${faults} mismatches, ${((Date.now() - started) / 1000).toFixed(1)} s`);
process.exit(faults ? 1 : 0);
