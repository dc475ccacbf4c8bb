// Self-play through the morvek binary: two engine processes play complete
// games against each other, and every move they print is checked by chess.js,
// which knows nothing of the engine's own move generator.
//
//   node tools/selfplay.mjs --engine PATH [--games N] [--time CS] [--max-plies N]
//   node tools/selfplay.mjs --engine PATH --timeuse
//
// Needs chess.js: run "npm ci --prefix tools" once.
//
// --time CS is sent as "time CS" before every move; a small value such as 40
// gives a budget of 0, which stops the search at its first clock reading.
// --timeuse plays one game at 40 moves in 60 seconds per side, keeping real
// clocks, and prints the largest overrun of a move beyond its budget.
//
// Exit code 0 when every game ended without an illegal move, a crash, a hang
// or an error line from an engine; 1 otherwise.
import { Chess } from 'chess.js';
import { startEngine as spawnEngine, send, ask as askEngine, stopEngine, applyMove, morvekBudget as budgetFor } from './engine.mjs';

const options = { games: 3, time: 40, maxPlies: 300, engine: null, timeuse: false, moveTimeout: 60000 };
for (let i = 2; i < process.argv.length; i++) {
  const a = process.argv[i];
  if (a === '--engine') options.engine = process.argv[++i];
  else if (a === '--games') options.games = Number(process.argv[++i]);
  else if (a === '--time') options.time = Number(process.argv[++i]);
  else if (a === '--max-plies') options.maxPlies = Number(process.argv[++i]);
  else if (a === '--timeuse') options.timeuse = true;
  else {
    console.error(`selfplay: unknown argument ${a}`);
    process.exit(2);
  }
}
if (!options.engine) {
  console.error('selfplay: --engine PATH is required');
  process.exit(2);
}

const startEngine = (name) => spawnEngine(options.engine, name);
const ask = (engine, lines) => askEngine(engine, lines, options.moveTimeout);

async function playGame(number) {
  const chess = new Chess();
  const engines = [startEngine('white'), startEngine('black')];
  for (const e of engines) send(e, 'new');
  const result = { number, plies: 0, end: null, illegal: null, failure: null, maxOverrun: -Infinity, worst: null };
  const clock = [6000, 6000];  // centiseconds, for --timeuse
  let lastMove = null;
  try {
    while (true) {
      if (chess.isCheckmate()) { result.end = 'checkmate'; break; }
      if (chess.isStalemate()) { result.end = 'stalemate'; break; }
      if (chess.isInsufficientMaterial()) { result.end = 'insufficient material'; break; }
      if (chess.isThreefoldRepetition()) { result.end = 'threefold repetition'; break; }
      if (chess.isDraw()) { result.end = 'fifty-move rule'; break; }
      if (result.plies >= options.maxPlies) { result.end = 'move limit'; break; }

      const side = chess.turn() === 'w' ? 0 : 1;
      const engine = engines[side];
      const remaining = options.timeuse ? clock[side] : options.time;
      const lines = [`time ${remaining}`, lastMove === null ? 'go' : lastMove];
      const started = Date.now();
      const text = await ask(engine, lines);
      const spent = Math.round((Date.now() - started) / 10);
      if (options.timeuse) {
        const replying = lastMove !== null;
        const timePly = replying ? result.plies - 1 : result.plies;
        const timeWhite = replying ? side === 1 : side === 0;
        const budget = budgetFor(remaining, timePly, timeWhite, result.plies);
        const overrun = spent - budget;
        if (overrun > 10) {
          console.log(`  ply ${result.plies}: spent ${spent} cs of a budget of ${budget} cs (clock ${remaining} cs)`);
          for (const l of engine.recent) console.log(`    ${l}`);
        }
        if (overrun > result.maxOverrun) {
          result.maxOverrun = overrun;
          result.worst = { ply: result.plies, spent, budget };
        }
        clock[side] -= spent;
        // Each side's 40th, 80th, ... move brings the next 60 seconds.
        if (Math.floor(result.plies / 2) % 40 === 39) clock[side] += 6000;
        if (clock[side] < 0) clock[side] = 0;
      }
      const played = applyMove(chess, text);
      if (!played) {
        result.illegal = { ply: result.plies, text, fen: chess.fen(), side: engine.name };
        result.end = 'illegal move';
        break;
      }
      result.plies += 1;
      lastMove = text;
    }
  } catch (error) {
    result.failure = error.message;
    result.end = 'failure';
  }
  for (const e of engines) {
    const exit = await stopEngine(e);
    if (!result.failure && (exit.signal || exit.code !== 0)) {
      result.failure = `${e.name} ended with code ${exit.code}, signal ${exit.signal}`;
    }
    const errors = e.errors.filter((l) => l.startsWith('#error'));
    if (errors.length && !result.failure) result.failure = `${e.name} reported: ${errors.join(' | ')}`;
  }
  return result;
}

const games = options.timeuse ? 1 : options.games;
let illegal = 0;
let failures = 0;
const endings = {};
for (let g = 1; g <= games; g++) {
  const r = await playGame(g);
  endings[r.end] = (endings[r.end] || 0) + 1;
  let line = `game ${g}: ${r.plies} plies, ${r.end}`;
  if (r.illegal) {
    illegal += 1;
    line += ` -- ILLEGAL ${r.illegal.text} by ${r.illegal.side} in ${r.illegal.fen}`;
  }
  if (r.failure) {
    failures += 1;
    line += ` -- FAILURE ${r.failure}`;
  }
  if (options.timeuse) {
    line += `; largest overrun ${r.maxOverrun} cs (ply ${r.worst.ply}: spent ${r.worst.spent} cs of a budget of ${r.worst.budget} cs)`;
  }
  console.log(line);
}
console.log(`games ${games}, illegal moves ${illegal}, crashes or hangs ${failures}, endings ${JSON.stringify(endings)}`);
process.exit(illegal || failures ? 1 : 0);
