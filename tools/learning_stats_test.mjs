// The learning experiment's statistics on game lists whose answers are known.
import assert from 'node:assert/strict';
import { eloOf, gamesOf, summarize } from './learning_stats.mjs';

const close = (a, b, what) => assert.ok(Math.abs(a - b) < 0.05, `${what}: ${a} against ${b}`);
const games = (list) => list.map(([opening, result]) => ({ opening, result }));

// Elo of a score: 0 at an even score, +-191 at 75%/25%, infinite at the ends.
close(eloOf(0.5), 0, 'even');
close(eloOf(0.75), 190.85, '75%');
close(eloOf(0.25), -190.85, '25%');
assert.equal(eloOf(1), Infinity);
assert.equal(eloOf(0), -Infinity);

// Pentanomial counts: each opening's two games as one pair.
const mixed = summarize(games([['a', 1], ['a', 1], ['b', 1], ['b', 0], ['c', 0.5], ['c', 0], ['d', 0], ['d', 0]]));
assert.deepEqual([mixed.games, mixed.wins, mixed.draws, mixed.losses], [8, 3, 1, 4]);
assert.deepEqual(mixed.penta, [1, 1, 1, 0, 1]);
close(mixed.score, 3.5 / 8, 'score');
// Pair means 1, .5, .25, 0 around 0.4375: var = sum (m - s)^2 / pairs^2.
const pairSigma = Math.sqrt((0.5625 ** 2 + 0.0625 ** 2 + 0.1875 ** 2 + 0.4375 ** 2)) / 4;
close(mixed.sigma * 1000, pairSigma * 1000, 'sigma of the pairs');
close(mixed.eloLow, eloOf(mixed.score - 1.96 * pairSigma), 'low end');
close(mixed.eloHigh, eloOf(mixed.score + 1.96 * pairSigma), 'high end');

// Pairs that split every time (a win and a loss on each opening) measure
// the openings, not the players: an even score with no spread at all.
const split = summarize(games([['a', 1], ['a', 0], ['b', 0], ['b', 1]]));
assert.deepEqual(split.penta, [0, 0, 2, 0, 0]);
assert.equal(split.sigma, 0);
close(split.elo, 0, 'split pairs');

// A game without its pair counts alone, as a unit of one game.
const odd = summarize(games([['a', 1], ['a', 1], ['b', 0]]));
assert.deepEqual(odd.penta, [0, 0, 0, 0, 1]);
close(odd.score, 2 / 3, 'odd score');
close(odd.sigma, Math.sqrt((2 * (1 - 2 / 3)) ** 2 + (2 / 3) ** 2) / 3, 'odd sigma');

// Results read from PGN for one player, either colour; unfinished games skipped.
const pgn = ['[Event "e"]\n[Opening "a"]\n[White "morvek"]\n[Black "sf"]\n[Result "1-0"]\n\n1. e4 1-0\n',
  '[Event "e"]\n[Opening "a"]\n[White "sf"]\n[Black "morvek"]\n[Result "1-0"]\n\n1. e4 1-0\n',
  '[Event "e"]\n[Opening "b"]\n[White "sf"]\n[Black "morvek"]\n[Result "1/2-1/2"]\n\n1. e4 1/2-1/2\n',
  '[Event "e"]\n[Opening "b"]\n[White "morvek"]\n[Black "sf"]\n[Result "*"]\n\n1. e4 *\n'].join('\n');
assert.deepEqual(gamesOf(pgn, 'morvek'), games([['a', 1], ['a', 0], ['b', 0.5]]));
// tools/match.mjs: engine 1 is White in odd rounds; rounds 1-2 and 3-4 pair.
const rounds = ['[Event "e"]\n[Round "1"]\n[Result "0-1"]\n\n0-1\n', '[Event "e"]\n[Round "2"]\n[Result "0-1"]\n\n0-1\n',
  '[Event "e"]\n[Round "3"]\n[Result "1/2-1/2"]\n\n1/2-1/2\n'].join('\n');
assert.deepEqual(gamesOf(rounds), games([['0', 0], ['0', 1], ['1', 0.5]]));
console.log('learning_stats: all checks passed');
