#!/usr/bin/env node
// Builds Morvek's opening book text (data/Morvek.bk) from a Polyglot book.
//
// Polyglot's dump-book lists, for one colour, every book line with the share
// of each of that colour's moves among the moves of its position. Both
// colours' dumps give every position's shares for its side to move. From the
// start position we then follow only the popular moves (a share of at least
// --min-share percent), stop a line once the product of the shares along it
// falls under --min-line-share or at --max-ply plies, and write each line as
// coordinate moves (e2e4 e7e5 g1f3 ...), the engine's move text.
//
// Usage: node make_book.js [--bin book.bin] [--polyglot path] [--out file]
//                          [--max-ply 18] [--min-share 10] [--min-line-share 0.00005]

'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');

function parseArguments(argv) {
  const options = {
    bin: '/usr/share/games/gnuchess/book.bin',
    polyglot: '/usr/games/polyglot',
    out: '-',
    maxPly: 18,
    minShare: 10,
    minLineShare: 0.00005,
  };
  for (let i = 0; i < argv.length; i += 2) {
    const value = argv[i + 1];
    switch (argv[i]) {
      case '--bin': options.bin = value; break;
      case '--polyglot': options.polyglot = value; break;
      case '--out': options.out = value; break;
      case '--max-ply': options.maxPly = Number(value); break;
      case '--min-share': options.minShare = Number(value); break;
      case '--min-line-share': options.minLineShare = Number(value); break;
      default: throw new Error(`unknown option ${argv[i]}`);
    }
  }
  return options;
}

function dumpBook(options, colour) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'make-book-'));
  const file = path.join(dir, `${colour}.txt`);
  try {
    execFileSync(options.polyglot,
      ['dump-book', '-bin', options.bin, '-color', colour, '-out', file], { stdio: 'ignore' });
    return fs.readFileSync(file, 'utf8');
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// Position identity for merging: FEN without the move counters.
function positionKey(chess) {
  return chess.fen().split(' ').slice(0, 4).join(' ');
}

function coordinateText(move) {
  return move.from + move.to + (move.promotion ? move.promotion : '');
}

// shares: position key -> Map(coordinate move -> percent) for its side to move.
// Dump lines come in tree order, so each line replays only the moves after
// the part it shares with the line before.
function readDump(text, shares) {
  const chess = new Chess();
  let played = [];
  for (const rawLine of text.split('\n')) {
    const match = /^\d+:\s+(.*)$/.exec(rawLine);
    if (!match) continue;
    const body = match[1].replace(/\{[a-z]+:[^}]*\}/g, ' ');
    const tokens = body.split(/\s+/).filter((token) => token && !/^\d+\.+$/.test(token));
    let common = 0;
    while (common < tokens.length && common < played.length && tokens[common] === played[common]) {
      ++common;
    }
    for (let i = played.length; i > common; --i) chess.undo();
    for (const token of tokens.slice(common)) {
      const annotated = /^([^{]+)\{(\d+)%\}$/.exec(token);
      const san = annotated ? annotated[1] : token;
      const key = positionKey(chess);
      let move;
      try {
        move = chess.move(san);
      } catch (error) {
        throw new Error(`cannot play ${san} in ${key}: ${rawLine}`);
      }
      if (!annotated) continue;
      if (!shares.has(key)) shares.set(key, new Map());
      shares.get(key).set(coordinateText(move), Number(annotated[2]));
    }
    played = tokens;
  }
}

function collectLines(shares, options) {
  const lines = [];
  const chess = new Chess();
  const moves = [];
  function walk(lineShare) {
    let extended = false;
    if (moves.length < options.maxPly) {
      const here = shares.get(positionKey(chess));
      const popular = here ? [...here].filter(([, share]) => share >= options.minShare) : [];
      popular.sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1));
      for (const [text, share] of popular) {
        const next = lineShare * share / 100;
        if (next < options.minLineShare) continue;
        chess.move({ from: text.slice(0, 2), to: text.slice(2, 4), promotion: text[4] });
        moves.push(text);
        walk(next);
        moves.pop();
        chess.undo();
        extended = true;
      }
    }
    if (!extended && moves.length > 0) lines.push(moves.join(' '));
  }
  walk(1);
  return lines;
}

function main() {
  const options = parseArguments(process.argv.slice(2));
  const shares = new Map();
  readDump(dumpBook(options, 'white'), shares);
  readDump(dumpBook(options, 'black'), shares);
  const lines = collectLines(shares, options);
  const header = [
    '# Morvek opening book: one line per opening, moves from the start position.',
    '# Made by tools/make_book from the public-domain GNU Chess book',
    `# (popular moves only: share >= ${options.minShare}%, line share >= ${options.minLineShare},` +
      ` at most ${options.maxPly} plies).`,
  ];
  const text = header.concat(lines).join('\n') + '\n';
  if (options.out === '-') process.stdout.write(text);
  else fs.writeFileSync(options.out, text);
  const plies = lines.reduce((sum, line) => sum + line.split(' ').length, 0);
  process.stderr.write(`${lines.length} lines, ${plies} moves\n`);
}

main();
