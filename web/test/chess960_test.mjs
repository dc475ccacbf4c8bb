// The page's Chess960 rules: start positions by number, castling from the
// board, FEN and PGN as other tools read them.   node web/test/chess960_test.mjs
import assert from 'node:assert/strict';
import { parsePgn, startingPosition } from 'chessops/pgn';
import { parseSan } from 'chessops/san';
import { makeFen } from 'chessops/fen';
import { Game960, backRank960, startFen960, number960 } from '../src/chess960.js';

for (const [n, rank] of [[0, 'BBQNNRKR'], [1, 'BQNBNRKR'], [518, 'RNBQKBNR'], [959, 'RKRNNQBB'], [944, 'BBRKRNNQ']])
  assert.equal(backRank960(n), rank, `position ${n}`);
// Every number a different legal arrangement, found again from its FEN.
const seen = new Set();
for (let n = 0; n < 960; ++n) {
  const rank = backRank960(n);
  const [b1, b2] = [...rank].flatMap((p, file) => (p === 'B' ? [file] : []));
  assert.ok(/^[^K]*R[^R]*K[^R]*R[^K]*$/.test(rank) && (b1 + b2) % 2 === 1 && [...rank].sort().join('') === 'BBKNNQRR', `${n}: ${rank}`);
  seen.add(rank);
  if (n % 97 === 0) assert.equal(number960(startFen960(n)), n);
}
assert.equal(seen.size, 960);
assert.equal(number960('bbrkrnnq/pppppppp/8/8/8/8/PPPPPPPP/BBRKRNNQ b KQkq - 0 1'), null, 'not a start: Black to move');

// BBRKRNNQ after 1. Ne3 a6 2. Nh3 a5: the king on d1 may castle either way.
const game = new Game960(startFen960(944));
assert.equal(game.castlingSquare('d1', 'f1'), 'f1', 'king side still blocked at the start');
for (const lan of ['f1e3', 'a7a6', 'g1h3', 'a6a5']) game.move(lan);
for (const [from, to, square] of [
  ['d1', 'e1', 'e1'], ['d1', 'c1', 'c1'],   // onto the castling rook
  ['d1', 'f1', 'e1'], ['d1', 'b1', 'c1'],   // two files toward it
  ['d1', 'd2', 'd2'], ['e3', 'c4', 'c4'], ['e3', 'g4', 'g4'],  // no castling: as given
]) assert.equal(game.castlingSquare(from, to), square, `${from}-${to}`);
assert.throws(() => game.move('d1g1'), /Invalid move/, 'castling is the king taking its rook');
assert.deepEqual(game.moves({ square: 'd1', verbose: true }).map((m) => m.lan).sort(), ['d1c1', 'd1e1']);
const castled = game.move('d1e1');
assert.deepEqual([castled.san, castled.lan, castled.color], ['O-O', 'd1e1', 'w']);
assert.equal(game.fen(), 'bbrkrnnq/1ppppppp/8/p7/8/4N2N/PPPPPPPP/BBR2RKQ b kq - 1 3');
game.undo();
game.move('d1c1');
assert.equal(game.fen(), 'bbrkrnnq/1ppppppp/8/p7/8/4N2N/PPPPPPPP/BBKRR2Q b kq - 1 3');

// The PGN read back by chessops gives the same game.
const [pgn] = parsePgn(game.pgn([['Event', 'Test'], ['Result', '*']]));
assert.equal(pgn.headers.get('Variant'), 'Chess960');
assert.equal(pgn.headers.get('SetUp'), '1');
assert.equal(pgn.headers.get('FEN'), startFen960(944));
const replay = startingPosition(pgn.headers).unwrap();
for (const { san } of pgn.moves.mainline()) replay.play(parseSan(replay, san));
assert.equal(makeFen(replay.toSetup()), game.fen());

// Shredder-FEN read, X-FEN written: KQkq for the outermost rooks, the file
// for an inner one.
for (const [fen, written] of [
  ['rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1', 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1'],
  ['4k3/8/8/8/8/8/8/1R1K1R1R w F - 0 1', '4k3/8/8/8/8/8/8/1R1K1R1R w F - 0 1'],
]) assert.equal(new Game960(fen).fen(), written);

// The same position a third time is a draw.
const shuffle = new Game960(startFen960(518));
for (const lan of ['g1f3', 'g8f6', 'f3g1', 'f6g8', 'g1f3', 'g8f6', 'f3g1']) shuffle.move(lan);
assert.equal(shuffle.isDraw(), false);
shuffle.move('f6g8');
assert.deepEqual([shuffle.isThreefoldRepetition(), shuffle.isGameOver()], [true, true]);
console.log('ok   chess960: numbering, castling from the board, FEN, PGN, repetition');
