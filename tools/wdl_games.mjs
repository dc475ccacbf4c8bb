// Self-play positions for the win/draw/loss model of UCI_ShowWDL: Morvek
// plays itself through UCI at a fixed number of nodes a move, from the
// opening lines of tools/openings.txt each followed by a few random plies,
// and every position after the opening is written with the search's score
// (centipawns, side to move), the material on the board (P 1, N 3, B 3,
// R 5, Q 9, both sides) and the game's result for the side to move.
//
//   node tools/wdl_games.mjs --engine build/morvek [--games 400] [--nodes 20000]
//        [--jobs 2] [--seed 1] > positions.csv
//
// Then tools/wdl_fit.mjs fits the model to the file. Needs chess.js (npm ci
// --prefix tools).
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';

const here = dirname(fileURLToPath(import.meta.url));
const options = { engine: null, games: 400, nodes: 20000, jobs: 2, seed: 1, maxPlies: 400, skipPlies: 16 };
for (let i = 2; i < process.argv.length; i += 2) {
  const key = process.argv[i].replace(/^--/, '');
  if (!(key in options) || i + 1 >= process.argv.length) {
    console.error(`wdl_games: unknown or incomplete argument ${process.argv[i]}`);
    process.exit(2);
  }
  options[key] = key === 'engine' ? process.argv[i + 1] : Number(process.argv[i + 1]);
}
if (!options.engine) {
  console.error('usage: node tools/wdl_games.mjs --engine PATH [--games N] [--nodes N] [--jobs N] [--seed N]');
  process.exit(2);
}

const openings = readFileSync(join(here, 'openings.txt'), 'utf8').split('\n')
  .filter((l) => l.trim() && !l.startsWith('#')).map((l) => l.trim().split(/\s+/));

let seed = options.seed;
function random() {
  seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
  return seed / 4294967296;
}

const kValue = { p: 1, n: 3, b: 3, r: 5, q: 9, k: 0 };
function material(game) {
  let sum = 0;
  for (const row of game.board()) for (const square of row) if (square) sum += kValue[square.type];
  return sum;
}

function startEngine() {
  const lock = mkdtempSync(join(tmpdir(), 'morvek-wdl-'));
  const child = spawn(options.engine, [], { stdio: ['pipe', 'pipe', 'inherit'],
    env: { ...process.env, MORVEK_INSTANCE_LOCK: join(lock, 'lock') } });
  let buffer = '';
  let waiting = null;
  child.stdout.setEncoding('utf8');
  child.stdout.on('data', (chunk) => {
    buffer += chunk;
    let nl;
    while ((nl = buffer.indexOf('\n')) >= 0) {
      const line = buffer.slice(0, nl).trim();
      buffer = buffer.slice(nl + 1);
      if (waiting) waiting(line);
    }
  });
  const engine = {
    send: (text) => child.stdin.write(text + '\n'),
    // Lines up to the first one test accepts.
    until: (test) => new Promise((resolve) => {
      const lines = [];
      waiting = (line) => {
        lines.push(line);
        if (test(line)) {
          waiting = null;
          resolve(lines);
        }
      };
    }),
    quit: () => child.stdin.end('quit\n'),
  };
  engine.send('uci');
  engine.send('setoption name OwnBook value false');
  engine.send('setoption name SaveLearning value false');
  return engine;
}

// One game: its positions, each with the score and material, and the result.
async function playGame(engine, opening, randomPlies) {
  const game = new Chess();
  const moves = [];
  for (const m of opening) {
    game.move(m);
    moves.push(m);
  }
  for (let i = 0; i < randomPlies && !game.isGameOver(); ++i) {
    const list = game.moves({ verbose: true });
    const pick = list[Math.floor(random() * list.length)];
    game.move(pick);
    moves.push(pick.lan);
  }
  engine.send('ucinewgame');
  const positions = [];
  while (!game.isGameOver() && moves.length < options.maxPlies) {
    engine.send(`position startpos moves ${moves.join(' ')}`);
    engine.send(`go nodes ${options.nodes}`);
    const lines = await engine.until((l) => l.startsWith('bestmove'));
    const scored = lines.filter((l) => / score (cp|mate) /.test(l)).at(-1);
    const cp = scored && / score cp (-?\d+)/.exec(scored);
    if (cp && moves.length >= options.skipPlies) {
      positions.push({ score: Number(cp[1]), material: material(game), side: game.turn() });
    }
    const move = lines.at(-1).split(' ')[1];
    game.move({ from: move.slice(0, 2), to: move.slice(2, 4), promotion: move[4] });
    moves.push(move);
  }
  const winner = game.isCheckmate() ? (game.turn() === 'w' ? 'b' : 'w') : null;
  return positions.map((p) => ({ ...p, result: winner === null ? 0 : winner === p.side ? 1 : -1 }));
}

console.log('score,material,result');
let next = 0;
let done = 0;
async function worker() {
  const engine = startEngine();
  while (next < options.games) {
    const index = next++;
    const opening = openings[index % openings.length];
    for (const p of await playGame(engine, opening, 2 + (index % 5))) console.log(`${p.score},${p.material},${p.result}`);
    if (++done % 20 === 0) console.error(`wdl_games: ${done} games`);
  }
  engine.quit();
}
await Promise.all(Array.from({ length: options.jobs }, worker));
