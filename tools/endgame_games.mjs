// Endgame games: each position set up by FEN, morvek (UCI) against a second
// UCI engine, every move checked by chess.js, each game played out to mate or
// a draw (stalemate, too little material, threefold repetition, the fifty-move
// rule). Prints one line per game with its result and length.
//
//   node tools/endgame_games.mjs --engine build/morvek --opponent /usr/games/stockfish
//        [--syzygy DIR] [--movetime MS] [--positions FILE]
//
// --syzygy gives morvek the tables (the opponent never has them). A
// positions file holds lines "FEN ; expected" with expected "win" (morvek,
// the side to move, must win) or "draw" (morvek must not lose).
import { spawn } from 'node:child_process';
import { readFileSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Chess } from 'chess.js';

const options = { engine: 'build/morvek', opponent: '/usr/games/stockfish', syzygy: '', movetime: '200', positions: '' };
for (let i = 2; i + 1 < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];

const defaultPositions = [
  '8/8/8/4k3/8/8/8/KBN5 w - - 0 1 ; win',
  '8/8/3k4/8/8/8/8/4KBN1 w - - 0 1 ; win',
  '8/8/8/8/2k5/8/1K6/R7 w - - 0 1 ; win',
  '3k4/8/8/8/8/8/1P6/1K6 w - - 0 1 ; win',
  '8/8/8/3k4/8/8/3r4/K4Q2 w - - 0 1 ; win',
  '7k/8/8/8/8/8/8/R3K3 w - - 0 1 ; win',
  '8/8/1k6/8/8/8/5P2/6K1 w - - 0 1 ; win',
  '4k3/8/8/8/8/8/3r4/3QK3 w - - 0 1 ; win',
  '4k3/8/8/8/8/8/4P3/4K3 b - - 0 1 ; draw',
  '8/8/8/8/3k4/8/3P4/3K4 b - - 0 1 ; draw',
  '8/8/8/8/8/k7/8/KQ5r b - - 0 1 ; draw',
];
const positions = (options.positions ? readFileSync(options.positions, 'utf8').split('\n') : defaultPositions)
  .map((l) => l.trim()).filter((l) => l && !l.startsWith('#'))
  .map((l) => { const [fen, expected] = l.split(';').map((s) => s.trim()); return { fen, expected }; });

// One UCI engine: send lines, wait for a line that matches.
function startEngine(command, env) {
  const child = spawn(command, [], { env: { ...process.env, ...env }, stdio: ['pipe', 'pipe', 'ignore'] });
  let buffer = '';
  let waiting = null;
  const lines = [];
  child.stdout.on('data', (data) => {
    buffer += data.toString();
    let n;
    while ((n = buffer.indexOf('\n')) >= 0) {
      lines.push(buffer.slice(0, n).replace(/\r$/, ''));
      buffer = buffer.slice(n + 1);
    }
    if (waiting) waiting();
  });
  return {
    send: (text) => child.stdin.write(text + '\n'),
    until: (pattern) => new Promise((resolve) => {
      const look = () => {
        while (lines.length) {
          const line = lines.shift();
          if (pattern.test(line)) { waiting = null; resolve(line); return; }
        }
      };
      waiting = look;
      look();
    }),
    quit: () => { child.stdin.write('quit\n'); child.stdin.end(); },
  };
}

async function playGame({ fen, expected }) {
  const dir = mkdtempSync(join(tmpdir(), 'morvek-endgame-'));
  const morvek = startEngine(options.engine, { MORVEK_INSTANCE_LOCK: join(dir, 'lock') });
  const other = startEngine(options.opponent, {});
  morvek.send('uci');
  await morvek.until(/^uciok/);
  morvek.send('setoption name SaveLearning value false');
  morvek.send('setoption name OwnBook value false');
  if (options.syzygy) morvek.send(`setoption name SyzygyPath value ${options.syzygy}`);
  other.send('uci');
  await other.until(/^uciok/);
  other.send('setoption name Threads value 1');
  other.send('setoption name Hash value 16');
  const game = new Chess(fen);
  const morvekColour = game.turn();
  const moves = [];
  while (!game.isGameOver()) {
    const engine = game.turn() === morvekColour ? morvek : other;
    engine.send(`position fen ${fen}${moves.length ? ' moves ' + moves.join(' ') : ''}`);
    engine.send('isready');
    await engine.until(/^readyok/);
    engine.send(`go movetime ${options.movetime}`);
    const line = await engine.until(/^bestmove /);
    const text = line.split(/\s+/)[1];
    const played = game.move({ from: text.slice(0, 2), to: text.slice(2, 4), promotion: text[4] });
    if (!played) throw new Error(`illegal move ${text} in ${game.fen()}`);
    moves.push(text);
  }
  morvek.quit();
  other.quit();
  let result = 'draw';
  let reason = game.isStalemate() ? 'stalemate' : game.isInsufficientMaterial() ? 'material'
    : game.isThreefoldRepetition() ? 'repetition' : 'fifty moves';
  if (game.isCheckmate()) {
    result = game.turn() === morvekColour ? 'loss' : 'win';
    reason = 'mate';
  }
  const ok = expected === 'win' ? result === 'win' : result !== 'loss';
  return { fen, expected, result, reason, plies: moves.length, ok };
}

let failures = 0;
for (const position of positions) {
  const g = await playGame(position);
  if (!g.ok) failures += 1;
  console.log(`${g.ok ? 'ok  ' : 'FAIL'} ${g.fen} expected ${g.expected}: ${g.result} (${g.reason}) after ${g.plies} plies`);
}
console.log(`${positions.length - failures} of ${positions.length} as expected`);
process.exit(failures ? 1 : 0);
