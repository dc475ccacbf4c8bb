// The page's clock: what each kind takes and gives per move, and the "go"
// words the engine gets.   node web/test/clock_test.mjs
import assert from 'node:assert/strict';
import { newClock, recordMove, forgetMove, goWords, movesToGo, formatTime, timeLeft } from '../src/clock.js';

// Each side's first move is free (no time off, no increment): its clock
// starts once it has moved.
const rows = [
  // kind, settings, moves [side, elapsed ms], expected remaining {w, b}, expected go for side
  ['sudden', { minutes: 1, increment: 2 }, [['w', 9000], ['b', 9000], ['w', 5000], ['b', 1000]], { w: 57000, b: 61000 },
    ['w', 'go wtime 57000 btime 61000 winc 2000 binc 2000']],
  ['sudden', { minutes: 1, increment: 0 }, [['w', 9000], ['b', 9000], ['w', 5000]], { w: 55000, b: 60000 },
    ['b', 'go wtime 55000 btime 60000']],
  ['sudden', { minutes: 1, increment: 2 }, [['b', 70000]], { w: 60000, b: 60000 }, ['w', 'go wtime 60000 btime 60000 winc 2000 binc 2000']],
  // The second control's time arrives with the control's last move.
  ['moves', { moves: 2, minutes: 1 }, [['w', 9000], ['b', 1000], ['w', 10000]], { w: 110000, b: 60000 },
    ['b', 'go wtime 110000 btime 60000 movestogo 1']],
  ['fixed', { seconds: 2.5 }, [['w', 99999]], { w: 0, b: 0 }, ['b', 'go movetime 2500']],
];
for (const [kind, settings, moves, remaining, [side, go]] of rows) {
  const clock = newClock(kind, settings);
  for (const [mover, elapsed] of moves) assert.ok(recordMove(clock, mover, elapsed), `${kind}: ${mover} in time`);
  assert.deepEqual(clock.remaining, remaining, `${kind}: remaining`);
  assert.equal(goWords(clock, side), go, `${kind}: go words`);
}

// Before its first move a side's clock stands; it runs from then on, and
// stands again when that move is taken back.
{
  const clock = newClock('sudden', { minutes: 0.5, increment: 10 });
  assert.equal(timeLeft(clock, 'w', 40000), 30000);
  recordMove(clock, 'w', 40000);
  assert.equal(timeLeft(clock, 'w', 1000), 29000);
  forgetMove(clock, 'w');
  assert.equal(timeLeft(clock, 'w', 1000), 30000);
  recordMove(clock, 'w', 1000);
  // A move that took all the time left is lost on time, increment or not.
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
console.log('ok   clock: kinds, controls, the free first move, flags, go words, display');
