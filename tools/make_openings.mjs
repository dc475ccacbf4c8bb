// Balanced opening positions for engine matches: the lines of
// tools/openings.txt, then random walks of a few plies from the start,
// each kept only when Stockfish at a shallow depth scores it within a
// margin, so that neither colour starts from a won game.
//
//   node tools/make_openings.mjs COUNT [PLIES] [MARGIN_CP] > openings.epd
//
// Prints EPD (four FEN fields) one per line; deterministic for a given
// COUNT since the walk uses its own seeded generator.
import { Chess } from 'chess.js';
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createInterface } from 'node:readline';

const count = Number(process.argv[2] || 100);
const plies = Number(process.argv[3] || 8);
const margin = Number(process.argv[4] || 60);

let seed = 20261210;
const random = () => ((seed = (seed * 1103515245 + 12345) >>> 0) >>> 8) / (1 << 24);

const stockfish = spawn('/usr/games/stockfish');
const lines = createInterface({ input: stockfish.stdout });
const waiting = [];
lines.on('line', (line) => { if (waiting.length) waiting[0](line); });
const send = (text) => stockfish.stdin.write(text + '\n');
const until = (test) => new Promise((resolve) => {
  let last = '';
  waiting.push((line) => {
    if (line.startsWith('info') && line.includes(' score ')) last = line;
    if (test(line)) { waiting.shift(); resolve(last); }
  });
});

async function scoreOf(fen) {
  send(`position fen ${fen}`);
  send('go depth 12');
  const info = await until((line) => line.startsWith('bestmove'));
  const mate = / score mate /.test(info);
  const cp = Number((/ score cp (-?\d+)/.exec(info) || [])[1]);
  return mate ? Infinity : Math.abs(cp);
}

const epdOf = (game) => game.fen().split(' ').slice(0, 4).join(' ');
const seen = new Set();
const chosen = [];
async function offer(game) {
  const epd = epdOf(game);
  if (seen.has(epd) || game.isGameOver()) return;
  seen.add(epd);
  if ((await scoreOf(game.fen())) <= margin) chosen.push(epd);
}

send('uci');
await until((line) => line === 'uciok');
for (const line of readFileSync(new URL('./openings.txt', import.meta.url), 'utf8').split('\n')) {
  if (!line.trim() || line.startsWith('#') || chosen.length >= count) continue;
  const words = line.trim().split(/\s+/);
  const game = words[0].includes('/') ? new Chess(words.splice(0, 6).join(' ')) : new Chess();
  for (const move of words) game.move({ from: move.slice(0, 2), to: move.slice(2, 4), promotion: move[4] });
  await offer(game);
}
while (chosen.length < count) {
  const game = new Chess();
  for (let ply = 0; ply < plies && !game.isGameOver(); ply++) {
    const moves = game.moves();
    game.move(moves[Math.floor(random() * moves.length)]);
  }
  await offer(game);
}
send('quit');
process.stdout.write(chosen.join('\n') + '\n');
