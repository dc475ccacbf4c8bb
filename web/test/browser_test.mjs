// The page in Debian's chromium (headless, driven by puppeteer-core; nothing
// downloaded): a whole game played through the board against the engine,
// every engine move found as the one legal move that gives the board it
// shows; a strength level chosen; analysis of a set-up position with
// several lines; an infinite search stopped; the learning kept across a
// reload; a Chess960 game with its castlings from the board; a move by touch
// at phone size; the bench signature in a browser worker; no console errors.
// Screenshots go to build-web/screenshots/.
//   node web/test/browser_test.mjs [build-web/site]
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';
import { Chess as Position960 } from 'chessops/chess';
import { makeBoardFen, makeFen, parseFen } from 'chessops/fen';
import { parsePgn, startingPosition } from 'chessops/pgn';
import { parseSan } from 'chessops/san';
import { parseUci } from 'chessops/util';
import puppeteer from 'puppeteer-core';
import { startServer } from '../serve.mjs';
import { checker, clickSquare, collectProblems, dragOnBoard, sleep, waitFor } from './page_driver.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const site = resolve(process.argv[2] ?? join(here, '../../build-web/site'));
const shots = join(dirname(site), 'screenshots');
mkdirSync(shots, { recursive: true });
const signature = readFileSync(join(here, '../../tools/bench_signature.txt'), 'utf8')
  .split('\n').find((l) => l.startsWith('8 ')).split(' ')[1];

const server = await startServer(site, 0);
const url = `http://localhost:${server.address().port}/`;
const profile = mkdtempSync(join(tmpdir(), 'morvek-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run'],
});
const problems = [];
const results = [];
const check = checker(results);
async function openPage(viewport) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  collectProblems(page, problems);
  await page.evaluateOnNewDocument(() => {
    addEventListener('unhandledrejection', (e) => console.error(`unhandled rejection: ${e.reason && (e.reason.stack || e.reason)}`));
  });
  await page.goto(url);
  await page.waitForSelector('body[data-engine="ready"]', { timeout: 30000 });
  return page;
}

// The piece placement the board shows, as a FEN's first field.
const boardPlacement = (page) => page.evaluate(() => {
  const pieces = {};
  for (const g of document.querySelectorAll('#board g[data-square][data-piece]')) pieces[g.dataset.square] = g.dataset.piece;
  let fen = '';
  for (let rank = 8; rank >= 1; --rank) {
    let empty = 0;
    for (const file of 'abcdefgh') {
      const piece = pieces[file + rank];
      if (!piece) { ++empty; continue; }
      if (empty) fen += empty;
      empty = 0;
      fen += piece[0] === 'w' ? piece[1].toUpperCase() : piece[1];
    }
    if (empty) fen += empty;
    if (rank > 1) fen += '/';
  }
  return fen;
});

async function waitForBoard(page, placement, what) {
  let shown = null;
  for (let wait = 0; wait < 100 && shown !== placement; ++wait) {
    if (wait) await sleep(50);
    shown = await boardPlacement(page);
  }
  assert.equal(shown, placement, what);
}

// Plays move (a chess.js move) on the board by two clicks (or taps).
async function playOnBoard(page, move, tap = false) {
  await clickSquare(page, move.from, tap);
  await sleep(60);
  await clickSquare(page, move.to, tap);
  if (move.promotion) {
    const button = await page.waitForSelector(`rect.promotion-dialog-button[data-piece="${move.color}${move.promotion}"]`);
    await button.click();
  }
}

// The one legal move of game that leads to placement; fails when none does.
function moveGiving(game, placement) {
  const found = game.moves({ verbose: true }).filter((m) => m.after.split(' ')[0] === placement);
  assert.ok(found.length >= 1, `no legal move of ${game.fen()} gives ${placement}`);
  return found[0];
}

const page = await openPage({ width: 1280, height: 860 });
let savedDigest = null;

// Our side: no move that allows a mate at once, captures of the most
// valuable piece often, else any move; the game lasts longer than random play.
const kValue = { p: 1, n: 3, b: 3, r: 5, q: 9 };
function chooseMove(game, random) {
  const moves = game.moves({ verbose: true });
  const safe = moves.filter((m) => {
    game.move(m);
    const mated = game.moves({ verbose: true }).some((r) => r.san.endsWith('#'));
    game.undo();
    return !mated;
  });
  const pool = safe.length ? safe : moves;
  const captures = pool.filter((m) => m.captured).sort((a, b) => kValue[b.captured] - kValue[a.captured]);
  if (captures.length && random() < 0.8) return captures[0];
  return pool[Math.floor(random() * pool.length)];
}

await check('a whole game through the board with pondering, every engine move legal', async () => {
  // Fixed time per move, short; we play White, the engine ponders.
  await page.select('#clockKind', 'fixed');
  await page.$eval('#fixedSeconds', (e) => { e.value = '0.15'; });
  await page.select('#color', 'w');
  await page.click('#ponder');
  await page.click('#newGame');
  await sleep(300);
  const game = new Chess();
  let seed = 11;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  for (let ply = 0; ply < 400 && !game.isGameOver(); ++ply) {
    if (game.turn() === 'w') {
      // Half the time the reply the engine ponders on, when it is safe.
      const expected = await page.evaluate(() => window.morvek.state.ponderMove);
      let move = chooseMove(game, random);
      const hit = expected && game.moves({ verbose: true }).find((m) => m.lan === expected);
      if (hit && random() < 0.5) move = hit;
      await playOnBoard(page, move);
      game.move(move);
      await waitFor(page, (n) => window.morvek.state.game.history().length >= n, 5000, 'our move taken', game.history().length);
      continue;
    }
    const placementBefore = game.fen().split(' ')[0];
    await waitFor(page, () => {
      const s = window.morvek.state;
      return s.game.turn() === 'w' || s.over;
    }, 30000, 'the engine move');
    // The board shows it once drawn.
    let shown = placementBefore;
    for (let wait = 0; wait < 100 && shown === placementBefore; ++wait) {
      await sleep(50);
      shown = await boardPlacement(page);
    }
    assert.notEqual(shown, placementBefore, `the board shows the engine move after ${game.history().join(' ')}`);
    const pageHistory = await page.evaluate(() => window.morvek.state.game.history().join(' '));
    assert.ok(pageHistory.startsWith(game.history().join(' ')), `page ${pageHistory} arbiter ${game.history().join(' ')}`);
    game.move(moveGiving(game, shown).san);
  }
  assert.ok(game.isGameOver(), `the game ended: ${game.history().join(' ')}`);
  const over = await waitFor(page, () => window.morvek.state.over, 5000, 'the result');
  // The PGN the page copies and downloads: the arbiter's game and its result.
  const pgn = await page.evaluate(() => window.morvek.pgnText());
  const replay = new Chess();
  replay.loadPgn(pgn);
  assert.equal(replay.fen(), game.fen(), 'the page and the arbiter agree');
  assert.equal(replay.getHeaders().Result, over.split(' ')[0]);
  assert.equal(replay.getHeaders().Black, 'Morvek');
  assert.equal(await page.$eval('#fen', (e) => e.value), game.fen(), 'the FEN box shows the position');
  const pondered = await page.evaluate(() => window.morvek.ponderhits ?? 0);
  const saved = await waitFor(page, () => window.morvek.learning && window.morvek.learning.saved, 20000, 'the learning saved');
  assert.ok(saved.bytes > 100000);
  savedDigest = saved.digest;
  await page.screenshot({ path: join(shots, 'desktop-game.png') });
  // Take back: the position before our last move, our turn again.
  await page.click('#takeBack');
  const back = await page.evaluate(() => [window.morvek.state.game.fen(), window.morvek.state.over]);
  const expected = new Chess();
  const played = game.history();
  for (const san of played.slice(0, game.turn() === 'w' ? -2 : -1)) expected.move(san);
  assert.deepEqual(back, [expected.fen(), null]);
  return `${game.history().length} plies, ${over}, ${pondered} ponder hits, learning ${saved.bytes} bytes saved`;
});

// Chess960 position 944, BBRKRNNQ: the king may castle queen side at once,
// king side once both knights are out.
const start944 = 'bbrkrnnq/pppppppp/8/8/8/8/PPPPPPPP/BBRKRNNQ w KQkq - 0 1';

await check('a Chess960 game: both castlings from the board, the engine\'s replies legal, FEN and PGN', async () => {
  // What the page tells the engine is kept.
  await page.evaluate(() => {
    const engine = window.morvek.engine;
    window.talk = [];
    engine.send = (line) => { window.talk.push(line); Object.getPrototypeOf(engine).send.call(engine, line); };
  });
  await page.select('#variant', '960');
  await page.$eval('#number960', (e) => { e.value = '944'; });
  await page.select('#color', 'w');
  await page.click('#newGame');
  assert.equal(await page.$eval('#fen', (e) => e.value), start944);
  assert.equal(await page.$eval('#game960', (e) => e.textContent), 'Chess960 no. 944');
  const told = await page.evaluate(() => window.talk);
  const told960 = told.indexOf('setoption name UCI_Chess960 value true');
  assert.ok(told960 >= 0 && told960 < told.lastIndexOf('ucinewgame'), told.join(' | '));
  // The arbiter (chessops) keeps the positions; each of our moves and the
  // engine's replies must be legal there and shown on the board.
  const positions = [Position960.fromSetup(parseFen(start944).unwrap()).unwrap()];
  const played = [];
  const playAndAnswer = async (input) => {
    await input();
    const lans = await waitFor(page, (n) => {
      const moves = window.morvek.state.game.history({ verbose: true });
      return moves.length >= n + 2 && moves.slice(n).map((m) => m.lan);
    }, 20000, 'our move and the engine\'s reply', played.length);
    for (const lan of lans) {
      const position = positions.at(-1).clone();
      assert.ok(position.isLegal(parseUci(lan)), `${lan} after ${played.join(' ')}`);
      position.play(parseUci(lan));
      positions.push(position);
      played.push(lan);
    }
    await waitForBoard(page, makeBoardFen(positions.at(-1).board), `the board after ${played.join(' ')}`);
    return lans[0];
  };
  await playAndAnswer(() => playOnBoard(page, { from: 'f1', to: 'e3' }));
  await playAndAnswer(() => playOnBoard(page, { from: 'g1', to: 'h3' }));
  const castlings = [
    // how, the input, the move the engine is told, its SAN
    ['the king dragged onto its rook', () => dragOnBoard(page, 'd1', 'e1'), 'd1e1', 'O-O'],
    ['the king dragged two squares', () => dragOnBoard(page, 'd1', 'b1'), 'd1c1', 'O-O-O'],
    ['the king clicked, then its rook', async () => {
      await clickSquare(page, 'd1');
      await sleep(60);
      await clickSquare(page, 'c1');
    }, 'd1c1', 'O-O-O'],
  ];
  for (const [i, [how, input, lan, san]] of castlings.entries()) {
    if (i > 0) {
      await page.click('#takeBack');
      positions.length -= 2;
      played.length -= 2;
    }
    assert.equal(await playAndAnswer(input), lan, how);
    assert.equal(await page.evaluate((n) => window.morvek.state.game.history()[n], played.length - 2), san, how);
    const talk = await page.evaluate(() => window.talk);
    assert.ok(talk.some((l) => l.startsWith(`position fen ${start944} moves ${played.slice(0, -1).join(' ')}`)), `${how}: ${talk.slice(-6).join(' | ')}`);
  }
  const fen = makeFen(positions.at(-1).toSetup());
  assert.equal(await page.$eval('#fen', (e) => e.value), fen, 'the FEN box shows the position');
  await page.screenshot({ path: join(shots, 'desktop-960.png') });
  // The PGN, as chessops reads it: its tags and the same game.
  const [pgn] = parsePgn(await page.evaluate(() => window.morvek.pgnText()));
  assert.deepEqual(['Variant', 'SetUp', 'FEN', 'Black'].map((tag) => pgn.headers.get(tag)), ['Chess960', '1', start944, 'Morvek']);
  const replay = startingPosition(pgn.headers).unwrap();
  for (const node of pgn.moves.mainline()) replay.play(parseSan(replay, node.san));
  assert.equal(makeFen(replay.toSetup()), fen);
  // Analysis of the position reached, by the strong search: every line legal.
  await page.select('#searchKind', 'strong');
  await page.click('#modeAnalyse');
  const lines = await waitFor(page, () => {
    const l = [...window.morvek.state.lines.values()];
    return l.length && l.every((i) => i.depth >= 4) && l.map((i) => i.pv);
  }, 30000, 'analysis lines');
  for (const pv of lines) {
    const position = positions.at(-1).clone();
    for (const lan of pv) {
      assert.ok(position.isLegal(parseUci(lan)), `${pv.join(' ')} from ${fen}`);
      position.play(parseUci(lan));
    }
  }
  assert.ok((await page.evaluate(() => window.talk)).includes('setoption name Search value strong'));
  await page.select('#searchKind', 'exact');
  // A standard game again: the engine is told so.
  await page.select('#variant', 'standard');
  await page.click('#newGame');
  assert.equal(await page.evaluate(() => window.morvek.state.game.fen()), new Chess().fen());
  const after = await page.evaluate(() => window.talk);
  assert.ok(after.lastIndexOf('setoption name UCI_Chess960 value false') > after.lastIndexOf('setoption name UCI_Chess960 value true'));
  await page.evaluate(() => { delete window.morvek.engine.send; });
  return `${[...pgn.moves.mainline()].map((m) => m.san).join(' ')}; ${lines.length} analysis lines`;
});

await check('a level chosen on the page holds the engine to that level\'s work', async () => {
  await page.select('#strength', '1000');
  await page.select('#learningMode', 'read-only');
  await page.select('#color', 'b');
  await page.$eval('#fixedSeconds', (e) => { e.value = '1'; });
  if (await page.$eval('#ponder', (e) => e.checked)) await page.click('#ponder');
  await page.click('#newGame');
  await waitFor(page, () => window.morvek.state.game.history().length, 20000, 'the engine opening');
  await page.evaluate(() => {
    const engine = window.morvek.engine;
    window.talk = [];
    const send = engine.send.bind(engine);
    engine.send = (line) => { window.talk.push(`> ${line}`); send(line); };
    engine.listeners.push((line) => window.talk.push(line));
  });
  // Out of the book, the engine (White) to move: a search of a second at
  // full strength (millions of nodes), of some 35,000 at level 1000 (the
  // cap is read between batches of nodes).
  const fen = 'r2q1rk1/pp2bppp/2n1bn2/3p4/3P4/2NBBN2/PP3PPP/R2Q1RK1 w - - 4 11';
  await page.$eval('#fen', (e, v) => { e.value = v; }, fen);
  await page.click('#setFen');
  const move = await waitFor(page, () => window.morvek.state.game.history({ verbose: true })[0]?.lan, 20000, 'the engine move');
  new Chess(fen).move(move);
  // What was said from the last "go" on: that search's setup, lines and move.
  const talk = await waitFor(page, () => {
    const sent = window.talk.findLastIndex((l) => l.startsWith('> go '));
    const since = window.talk.slice(sent - 5);
    return since.some((l) => l.startsWith('bestmove')) && since;
  }, 5000, 'the bestmove');
  assert.ok(talk.includes('> setoption name UCI_Elo value 1000'), talk.join(' | '));
  assert.ok(talk.includes('> setoption name Learning value read-only'), talk.join(' | '));
  const last = talk.filter((l) => /^info depth .* nodes /.test(l)).at(-1);
  const nodes = Number(/ nodes (\d+)/.exec(last)[1]);
  assert.ok(nodes > 0 && nodes <= 50000, last);
  await page.select('#strength', 'full');
  await page.select('#learningMode', 'on');
  return `${move} after ${nodes} nodes`;
});

await check('the list of what was learned, from the file kept in this browser', async () => {
  await page.click('#learnedPanel summary');
  const learned = await waitFor(page, () => window.morvek.learned, 10000, 'the learned list');
  assert.ok(learned.positions > 1000 && learned.searched.length > 0, JSON.stringify(learned.searched.slice(0, 2)));
  const shown = await page.$$eval('#learnedList li', (items) => items.map((i) => i.textContent));
  assert.equal(shown.length, Math.min(20, learned.searched.length));
  assert.match(shown[0], new RegExp(`^depth ${learned.searched[0].depth}, `));
  await page.click('#learnedPanel summary');
  return `${learned.positions} positions, ${learned.searched.length} with a search result`;
});

await check('analysis of a set-up position with several lines, and stop', async () => {
  await page.click('#modeAnalyse');
  const fen = 'r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3';
  await page.$eval('#fen', (e, v) => { e.value = v; }, fen);
  await page.$eval('#multipv', (e) => { e.value = '3'; });
  await page.click('#setFen');
  const multi = await page.evaluate(() => window.morvek.engine.options.has('MultiPV'));
  const want = multi ? 3 : 1;
  const lines = await waitFor(page, (n) => {
    const l = [...window.morvek.state.lines.values()];
    return l.length >= n && l.every((i) => i.depth >= 5) ? l.map((i) => ({ pv: i.pv, multipv: i.multipv })) : null;
  }, 30000, `${want} lines at depth 5`, want);
  const firsts = new Set();
  for (const line of lines) {
    const game = new Chess(fen);
    for (const lan of line.pv) game.move(lan);  // throws on an illegal move
    firsts.add(line.pv[0]);
  }
  assert.equal(firsts.size, lines.length, 'each line starts with its own move');
  await page.screenshot({ path: join(shots, 'desktop-analysis.png') });
  // An infinite search, stopped from the page.
  await page.evaluate(() => { window.morvek.engine.stopDelays.length = 0; });
  await sleep(500);
  assert.ok(await page.evaluate(() => window.morvek.state.analysing), 'still searching');
  await page.click('#stop');
  await waitFor(page, () => !window.morvek.state.analysing, 2000, 'the bestmove after stop');
  const delay = await page.evaluate(() => window.morvek.engine.stopDelays[0]);
  assert.ok(delay < 250, `stop to bestmove ${delay} ms`);
  return `${lines.length} lines${multi ? '' : ' (no MultiPV in this engine)'}, stop to bestmove ${delay.toFixed(1)} ms`;
});

await check('a game of 260 plies analysed from its whole move list', async () => {
  const [moveLine, ...fens] = readFileSync(join(here, '../../tests/data/long_game.txt'), 'utf8').trim().split('\n');
  const moves = moveLine.split(' ');
  await page.click('#modeAnalyse');
  await page.click('#stop');
  await waitFor(page, () => !window.morvek.state.analysing, 2000, 'no analysis running');
  await page.$eval('#multipv', (e) => { e.value = '1'; });
  await page.evaluate((list) => {
    const { state, engine } = window.morvek;
    window.talk = [];
    const send = engine.send.bind(engine);
    engine.send = (line) => { window.talk.push(`> ${line}`); send(line); };
    state.game.reset();
    state.startFen = state.game.fen();
    for (const lan of list) state.game.move({ from: lan.slice(0, 2), to: lan.slice(2, 4), promotion: lan[4] });
  }, moves);
  await page.click('#go');
  // Lines of the search before may still come in: wait for this one's.
  const pv = await waitFor(page, (fen) => {
    const line = window.morvek.state.lines.get(1);
    if (!line || line.depth < 4) return null;
    try {
      new window.morvek.state.game.constructor(fen).move(line.pv[0]);
    } catch {
      return null;
    }
    return line.pv;
  }, 30000, 'a line at depth 4', fens.at(-1));
  const game = new Chess(fens.at(-1));
  for (const lan of pv) game.move(lan);  // throws on an illegal move
  const sent = await page.evaluate(() => window.talk.findLast((l) => l.startsWith('> position')));
  assert.equal(sent, `> position startpos moves ${moves.join(' ')}`);
  await page.click('#stop');
  await waitFor(page, () => !window.morvek.state.analysing, 2000, 'the bestmove after stop');
  return `${sent.length - 2} characters sent, ${pv.length} moves of a legal line`;
});

await check('the bench signature in a browser worker', async () => {
  const out = await page.evaluate(() => new Promise((resolve) => {
    const worker = new Worker('bench-worker.js');
    const lines = [];
    worker.onmessage = (event) => {
      if (event.data === null) { worker.terminate(); resolve(lines); } else lines.push(event.data);
    };
    worker.postMessage(8);
  }));
  const found = /Bench: (\d+)/.exec(out.join('\n'))?.[1];
  assert.equal(found, signature);
  return out.at(-2);
});

await check('the learning is kept across a reload', async () => {
  assert.ok(savedDigest, 'a game saved its learning');
  // One more save, the one a hidden page makes: the latest version is read.
  const saves = await page.evaluate(() => window.morvek.saves);
  await page.evaluate(() => {
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
    delete document.visibilityState;
  });
  await waitFor(page, (n) => window.morvek.saves > n, 20000, 'the save of a hidden page', saves);
  savedDigest = await page.evaluate(() => window.morvek.learning.saved.digest);
  await page.reload();
  await page.waitForSelector('body[data-engine="ready"]', { timeout: 30000 });
  const loaded = await waitFor(page, () => window.morvek.learning && window.morvek.learning.digest !== undefined && window.morvek.learning, 10000, 'the learning read');
  assert.equal(loaded.digest, savedDigest);
  return `${loaded.bytes} bytes, digest ${loaded.digest}`;
});

await check('a save cut short by closing the page leaves a whole learning file', async () => {
  const other = await openPage({ width: 800, height: 600 });
  await other.evaluate(() => window.morvek.engine.worker.postMessage({ save: true }));
  await sleep(30);
  await other.close();
  await page.reload();
  await page.waitForSelector('body[data-engine="ready"]', { timeout: 30000 });
  const loaded = await waitFor(page, () => window.morvek.learning && window.morvek.learning.digest !== undefined && window.morvek.learning, 10000, 'the learning read');
  assert.ok(loaded.bytes > 100000, `${loaded.bytes} bytes read`);
  // The engine took it: a save now writes a file as large.
  const saves = await page.evaluate(() => window.morvek.saves ?? 0);
  await page.evaluate(() => window.morvek.engine.worker.postMessage({ save: true }));
  await waitFor(page, (n) => (window.morvek.saves ?? 0) > n, 20000, 'a save', saves);
  const saved = await page.evaluate(() => window.morvek.learning.saved);
  assert.equal(saved.bytes, loaded.bytes);
  return `${loaded.bytes} bytes, ${loaded.digest === savedDigest ? 'the version before' : 'the new version'}`;
});

await check('offline once loaded: the page and the engine come from the offline copy', async () => {
  await waitFor(page, () => navigator.serviceWorker.controller !== null, 10000, 'the offline copy');
  await page.setOfflineMode(true);
  const before = problems.length;
  await page.reload();
  await page.waitForSelector('body[data-engine="ready"]', { timeout: 30000 });
  await page.setOfflineMode(false);
  // The failed network requests the offline copy answered are no fault.
  problems.splice(before).filter((p) => !p.startsWith('request failed')).forEach((p) => problems.push(p));
});

await check('phone size, playing Black: the engine opens, a reply by touch, the engine answers; then a Chess960 game', async () => {
  const phone = await openPage({ width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 });
  await phone.select('#clockKind', 'moves');
  await phone.select('#color', 'b');
  await phone.tap('#newGame');
  const first = await waitFor(phone, () => window.morvek.state.game.history({ verbose: true })[0]?.lan, 20000, 'the engine opening');
  const game = new Chess();
  game.move(first);
  await waitFor(phone, () => window.morvek.board.getOrientation() === 'b', 5000, 'Black at the bottom');
  // Each side's clock starts with its own first move: after a while on
  // Black's first one, both still read the five minutes, neither running.
  await sleep(1200);
  assert.deepEqual(await phone.$$eval('.clock', (c) => c.map((e) => `${e.textContent}${e.classList.contains('running') ? ' running' : ''}`)),
    ['Black 5:00', 'White 5:00']);
  const reply = game.moves({ verbose: true }).find((m) => !m.captured);
  await playOnBoard(phone, reply, true);
  game.move(reply);
  await waitFor(phone, () => window.morvek.state.game.history().length >= 3, 20000, 'the engine reply');
  let shown = game.fen().split(' ')[0];
  for (let wait = 0; wait < 100 && shown === game.fen().split(' ')[0]; ++wait) {
    await sleep(50);
    shown = await boardPlacement(phone);
  }
  moveGiving(game, shown);
  // The board fits the screen's width.
  const width = await phone.$eval('#board', (e) => e.getBoundingClientRect().width);
  assert.ok(width <= 390 && width > 300, `board ${width} px wide`);
  await phone.screenshot({ path: join(shots, 'phone.png'), fullPage: true });
  // A Chess960 game: the engine opens, we castle queen side by two taps,
  // king then rook, and the board holds the position the game has (two
  // seconds a move: the engine's reply, which redraws it, comes later).
  await phone.select('#variant', '960');
  await phone.$eval('#number960', (e) => { e.value = '944'; });
  await phone.select('#clockKind', 'fixed');
  await phone.tap('#newGame');
  const opened = await waitFor(phone, () => {
    const s = window.morvek.state;
    return s.chess960 && s.game.history().length === 1 && s.game.history({ verbose: true })[0].lan;
  }, 20000, 'the engine opening a Chess960 game');
  const position = Position960.fromSetup(parseFen(start944).unwrap()).unwrap();
  assert.ok(position.isLegal(parseUci(opened)), opened);
  position.play(parseUci(opened));
  await waitForBoard(phone, makeBoardFen(position.board), 'the engine\'s opening on the board');
  await clickSquare(phone, 'd8', true);
  await sleep(60);
  await clickSquare(phone, 'c8', true);
  position.play(parseUci('d8c8'));
  await sleep(300);
  assert.deepEqual(await phone.evaluate(() => [window.morvek.state.game.history()[1], window.morvek.board.getPosition()]),
    ['O-O-O', makeBoardFen(position.board)]);
  await waitFor(phone, () => window.morvek.state.game.history().length >= 3, 20000, 'the engine reply');
  await phone.screenshot({ path: join(shots, 'phone-960.png'), fullPage: true });
  await phone.close();
});

await browser.close();
server.close();
rmSync(profile, { recursive: true, force: true });
if (problems.length) {
  results.push(`FAIL no console errors: ${problems.join(' | ')}`);
  process.exitCode = 1;
} else {
  results.push('ok   no console errors');
}
console.log(results.join('\n'));
