// The engine's UCI worker in Node, each case with both builds (shared
// memory, and without: morvek-async): the transcripts a page relies on, the
// lines that must act during a search, the learning kept across the
// restart a save makes, and the bench signature of the same build.
//   node --no-experimental-fetch web/test/worker_test.mjs build-web/site
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';
import { startWorker } from './uci_worker.mjs';
import { epdOf, learnedRecords, learnedSummary } from '../src/learned.js';

const here = dirname(fileURLToPath(import.meta.url));
const site = resolve(process.argv[2] ?? join(here, '../../build-web/site'));
const results = [];
async function check(name, body) {
  for (const build of ['shared', 'async']) {
    const engine = startWorker(site, build);
    try {
      await body(engine);
      results.push(`ok   ${build}: ${name}`);
    } catch (error) {
      results.push(`FAIL ${build}: ${name}: ${error.message}`);
      process.exitCode = 1;
    } finally {
      await engine.end();
    }
  }
}
const is = (word) => (line) => line === word || line.startsWith(word + ' ');

await check('start-up and identity: banner, uciok, readyok', async (engine) => {
  engine.send('uci');
  await engine.expect((l) => l === 'Morvek chess v1.0');
  await engine.expect(is('id name'));
  await engine.expect(is('uciok'));
  engine.send('isready');
  await engine.expect(is('readyok'));
  assert.deepEqual(engine.errors, []);
});

await check('game moves: legal bestmove with a legal ponder move, from a book and a search', async (engine) => {
  engine.send('uci');
  engine.send('setoption name OwnBook value false');
  const rows = [
    ['startpos', []],
    ['startpos', ['e2e4', 'e7e5', 'g1f3']],
    ['fen 8/8/8/8/8/5k2/8/4K2q w - - 0 1', []],  // one legal move: Kd2
  ];
  for (const [start, moves] of rows) {
    engine.send(`position ${start}${moves.length ? ' moves ' + moves.join(' ') : ''}`);
    engine.send('go movetime 300');
    const reply = (await engine.expect(is('bestmove'))).line.split(' ');
    const game = new Chess(start === 'startpos' ? undefined : start.slice(4));
    for (const m of moves) game.move(m);
    const legal = game.moves({ verbose: true }).map((m) => m.lan);
    assert.ok(legal.includes(reply[1]), `${reply[1]} legal in ${game.fen()}`);
    if (reply[2] === 'ponder') {
      game.move(reply[1]);
      assert.ok(game.moves({ verbose: true }).map((m) => m.lan).includes(reply[3]));
    }
  }
});

await check('a checkmated side answers bestmove 0000', async (engine) => {
  engine.send('uci');
  engine.send('position startpos moves f2f3 e7e5 g2g4 d8h4');
  engine.send('go depth 3');
  assert.equal((await engine.expect(is('bestmove'))).line, 'bestmove 0000');
});

// Stop, isready and ponderhit during searches that would never end by
// themselves: each must act within 100 ms of being posted (a bound with
// room for a loaded machine; the look at the input comes every 4096 nodes).
await check('stop, isready and ponderhit act during a search', async (engine) => {
  engine.send('uci');
  engine.send('position startpos moves e2e4 c7c5');
  engine.send('go infinite');
  await engine.expect(is('info'));
  await new Promise((r) => setTimeout(r, 300));
  let sent = performance.now();
  engine.send('isready');
  const ready = await engine.expect(is('readyok'));
  const readyDelay = ready.at - sent;
  await new Promise((r) => setTimeout(r, 200));
  sent = performance.now();
  engine.send('stop');
  const best = await engine.expect(is('bestmove'));
  const stopDelay = best.at - sent;
  // Pondering a position out of the book, so that it searches.
  engine.send('position fen r1bq1r1k/ppp2pp1/2nbp2p/6NQ/3P4/2PB4/P1P2PPP/R1B2RK1 b - - 0 12');
  engine.send('go ponder wtime 60000 btime 60000');
  await engine.expect(is('info'));
  await new Promise((r) => setTimeout(r, 200));
  engine.send('ponderhit');
  // A one-minute clock plans about a second and a half per move; credited
  // with the time pondered, the move comes well within it.
  sent = performance.now();
  const ponderBest = await engine.expect(is('bestmove'), 5000);
  console.log(`isready answered in ${readyDelay.toFixed(1)} ms, stop to bestmove ${stopDelay.toFixed(1)} ms, ponderhit to bestmove ${(ponderBest.at - sent).toFixed(0)} ms`);
  assert.ok(readyDelay < 100, `readyok after ${readyDelay} ms`);
  assert.ok(stopDelay < 100, `bestmove after ${stopDelay} ms`);
});

// Searches 90 plies deep, where the build without shared memory leaves
// and resumes its deepest stack for each look at the input.
await check('stop deep in a search', async (engine) => {
  engine.send('uci');
  engine.send('position fen 8/8/1p6/8/8/2K5/8/k7 w - - 0 1');
  engine.send('go infinite');
  await engine.expect((l) => l.startsWith('info depth 90 '), 20000);
  await new Promise((r) => setTimeout(r, 300));
  const sent = performance.now();
  engine.send('stop');
  const best = await engine.expect(is('bestmove'));
  assert.ok(best.at - sent < 100, `bestmove after ${best.at - sent} ms`);
  assert.deepEqual(engine.errors, []);
});

await check('long lines: a whole game before every move, 1 MiB whole, 2 MiB refused', async (engine) => {
  engine.send('uci');
  engine.send('setoption name OwnBook value false');
  const [moveLine, ...fens] = readFileSync(join(here, '../../tests/data/long_game.txt'), 'utf8').trim().split('\n');
  const moves = moveLine.split(' ');
  const legalIn = (fen, move) => new Chess(fen).moves({ verbose: true }).some((m) => m.lan === move);
  for (let ply = 20; ply <= moves.length; ply += 40) {
    engine.send(`position startpos moves ${moves.slice(0, ply).join(' ')}`);
    engine.send('go depth 1');
    const reply = (await engine.expect(is('bestmove'))).line.split(' ')[1];
    assert.ok(legalIn(fens[ply - 1], reply), `ply ${ply}: ${reply} legal in ${fens[ply - 1]}`);
  }
  const padded = (length) => {
    const head = 'position startpos moves e2e4', tail = ' e7e5';
    return head + ' '.repeat(length - head.length - tail.length) + tail;
  };
  engine.send(padded(1 << 20));
  engine.send('go depth 1');
  const reply = (await engine.expect(is('bestmove'))).line.split(' ')[1];
  assert.ok(legalIn('rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2', reply), `${reply} after e2e4 e7e5`);
  engine.send(padded(2 << 20));
  engine.send('isready');
  await engine.expect((l) => l === 'info string error: line of 2097152 characters ignored: longer than 1048576 characters');
  await engine.expect(is('readyok'));
  assert.deepEqual(engine.errors, []);
});

await check('a save keeps the learning file and the engine goes on as before', async (engine) => {
  engine.send('uci');
  engine.send('setoption name OwnBook value false');
  engine.send('position startpos moves d2d4 d7d5 c2c4');
  engine.send('go movetime 500');
  engine.save();  // waits for the bestmove
  await engine.expect(is('bestmove'));
  const saved = await engine.control((m) => m.saved);
  assert.ok(saved.bytes > 100000, `learning file of ${saved.bytes} bytes`);
  // The page's list of what was learned reads the file kept: the searched
  // position is there with its depth, every record whole.
  engine.askLearned();
  const kept = await engine.control((m) => m.learnedFile !== undefined);
  const records = learnedRecords(kept.learnedFile);
  assert.ok(records && records.length > 1000, 'every record read');
  const searched = learnedSummary(records).searched;
  assert.ok(searched.some((r) => epdOf(r.text) === 'rnbqkbnr/ppp1pppp/8/3p4/2PP4/8/PP2PPPP/RNBQKBNR b KQkq -' && r.depth > 0),
    JSON.stringify(searched.slice(0, 3)));
  assert.equal(learnedRecords(kept.learnedFile.slice(0, kept.learnedFile.length - 3)), null, 'a cut file is refused');
  // Restarted unseen: still in UCI mode, the option still off.
  engine.send('isready');
  await engine.expect(is('readyok'));
  assert.ok(!engine.lines.some((e) => e.line.startsWith('feature') && engine.lines.indexOf(e) > 3),
    'no second start-up shown');
  engine.send('position startpos');
  engine.send('go movetime 200');
  const reply = await engine.expect(is('bestmove'));
  const before = engine.lines.slice(0, engine.lines.indexOf(reply)).map((e) => e.line);
  assert.ok(!before.slice(-3).some((l) => l.includes('book')), 'no book move');
  assert.deepEqual(engine.errors, []);
});

// The search signatures of the WebAssembly build: the exact search's and the strong one's.
const signatures = readFileSync(join(here, '../../tools/bench_signature.txt'), 'utf8').split('\n');
for (const [row, args] of [['8 ', ['8']], ['strong 12 ', ['12', '--search', 'strong']]]) {
  const out = execFileSync(process.execPath, ['--no-experimental-fetch', join(site, 'bench.js'), ...args], { encoding: 'utf8' });
  const expected = signatures.find((l) => l.startsWith(row)).slice(row.length);
  const found = /Bench: (\d+)/.exec(out)?.[1];
  console.log(out.trim().split('\n').slice(-2)[0]);
  if (found === expected) results.push(`ok   bench signature ${found} (${args.join(' ')})`);
  else {
    results.push(`FAIL bench signature ${found} (${args.join(' ')}), expected ${expected}`);
    process.exitCode = 1;
  }
}
console.log(results.join('\n'));
