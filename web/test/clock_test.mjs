// The page's clock: what each kind takes and gives per move, and the "go"
// words the engine gets.   node web/test/clock_test.mjs
import assert from 'node:assert/strict';
import { newClock, recordMove, goWords, movesToGo, formatTime, timeLeft } from '../src/clock.js';

const rows = [
  // kind, settings, moves [side, elapsed ms], expected remaining {w, b}, expected go for side
  ['sudden', { minutes: 1, increment: 2 }, [['w', 5000], ['b', 1000]], { w: 57000, b: 61000 },
    ['w', 'go wtime 57000 btime 61000 winc 2000 binc 2000']],
  ['sudden', { minutes: 1, increment: 0 }, [['w', 5000]], { w: 55000, b: 60000 }, ['b', 'go wtime 55000 btime 60000']],
  // The second control's time arrives with the control's last move.
  ['moves', { moves: 2, minutes: 1 }, [['w', 10000], ['b', 1000], ['w', 10000]], { w: 100000, b: 59000 },
    ['b', 'go wtime 100000 btime 59000 movestogo 1']],
  ['fixed', { seconds: 2.5 }, [['w', 99999]], { w: 0, b: 0 }, ['b', 'go movetime 2500']],
];
for (const [kind, settings, moves, remaining, [side, go]] of rows) {
  const clock = newClock(kind, settings);
  for (const [mover, elapsed] of moves) assert.ok(recordMove(clock, mover, elapsed), `${kind}: ${mover} in time`);
  assert.deepEqual(clock.remaining, remaining, `${kind}: remaining`);
  assert.equal(goWords(clock, side), go, `${kind}: go words`);
}

// A move that took all the time left is lost on time, increment or not.
{
  const clock = newClock('sudden', { minutes: 0.5, increment: 10 });
  assert.equal(recordMove(clock, 'w', 30000), false);
  const fixed = newClock('fixed', { seconds: 1 });
  assert.equal(recordMove(fixed, 'w', 1e9), true, 'a fixed time per move has no flag');
  assert.equal(timeLeft(fixed, 'w'), Infinity);
  assert.equal(goWords(fixed, 'w', true), 'go ponder movetime 1000');
}
// Moves to the control count per side and start again after it.
{
  const clock = newClock('moves', { moves: 3, minutes: 1 });
  const seen = [];
  for (let i = 0; i < 4; ++i) {
    seen.push(movesToGo(clock, 'b'));
    recordMove(clock, 'b', 100);
  }
  assert.deepEqual(seen, [3, 2, 1, 3]);
  assert.equal(goWords(clock, 'b', true).startsWith('go ponder wtime'), true);
}
for (const [ms, text] of [[0, '0:00.0'], [9950, '0:09.9'], [10000, '0:10'], [61000, '1:01'], [-5, '0:00.0'], [Infinity, '—']])
  assert.equal(formatTime(ms), text);
console.log('ok   clock: kinds, controls, flags, go words, display');
