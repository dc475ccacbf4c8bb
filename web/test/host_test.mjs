// The page on a static host that sends no headers of its own (python3 -m
// http.server), in Debian's chromium, each case in a fresh browser context:
// with service workers, the first visit reloads once under the offline copy
// and runs the shared-memory build; without them (navigator.serviceWorker
// taken away before the page's scripts run, which is how a browser without
// them, or with them switched off, shows it to the page), the build without
// shared memory. Each plays a whole game, analyses three lines, stops
// infinite searches within 100 ms and keeps its learning across a reload;
// the first then works offline. Also: both builds' speed on one search, the
// page installable as an app, a browser without WebAssembly told so.
// Screenshots: build-web/screenshots/static-*.png
//   node web/test/host_test.mjs [build-web/site]
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';
import puppeteer from 'puppeteer-core';
import { checker, clickSquare, collectProblems, sleep, waitFor } from './page_driver.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const site = resolve(process.argv[2] ?? join(here, '../../build-web/site'));
const shots = join(dirname(site), 'screenshots');
mkdirSync(shots, { recursive: true });

const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '0', '--directory', site],
  { stdio: ['ignore', 'pipe', 'ignore'] });
const port = await new Promise((done, fail) => {
  server.stdout.on('data', (text) => { const m = / port (\d+)/.exec(text); if (m) done(m[1]); });
  server.on('exit', () => fail(new Error('python3 -m http.server did not start')));
});
const url = `http://localhost:${port}/`;
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run'],
});
const problems = [];
const results = [];
const check = checker(results);

// A page of context; hide takes a global away before the page's scripts run.
async function openPage(context, viewport, hide, query = '') {
  const page = await context.newPage();
  await page.setViewport(viewport);
  collectProblems(page, problems);
  if (hide) await page.evaluateOnNewDocument(hide);
  await page.goto(url + query);
  return page;
}
const ready = (page) => page.waitForSelector('body[data-engine="ready"]', { timeout: 60000 });
const hideServiceWorkers = () => { delete Navigator.prototype.serviceWorker; };

// We play White with moves drawn from a seeded sequence, none that allows
// a mate at once, the most valuable capture first; the engine, at 0.1 s a
// move, ends the game.
async function playGame(page) {
  await page.select('#clockKind', 'fixed');
  await page.$eval('#fixedSeconds', (e) => { e.value = '0.1'; });
  await page.select('#color', 'w');
  await page.click('#newGame');
  let seed = 7;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  for (let ply = 0; ply < 400; ++ply) {
    const history = await waitFor(page, () => {
      const s = window.morvek.state;
      return (s.game.turn() === 'w' || s.over) && { moves: s.game.history({ verbose: true }).map((m) => m.lan), over: s.over };
    }, 30000, 'our turn');
    if (history.over) return history;
    const game = new Chess();
    for (const lan of history.moves) game.move(lan);
    const all = game.moves({ verbose: true });
    const safe = all.filter((m) => {
      game.move(m);
      const mated = game.moves().some((r) => r.endsWith('#'));
      game.undo();
      return !mated;
    });
    const moves = safe.length ? safe : all;
    const captures = moves.filter((m) => m.captured).sort((a, b) => 'pnbrq'.indexOf(b.captured) - 'pnbrq'.indexOf(a.captured));
    const move = captures.length && random() < 0.7 ? captures[0] : moves[Math.floor(random() * moves.length)];
    await clickSquare(page, move.from);
    await sleep(40);
    await clickSquare(page, move.to);
    if (move.promotion) await (await page.waitForSelector(`rect.promotion-dialog-button[data-piece="wq"]`)).click();
    await waitFor(page, (n) => window.morvek.state.game.history().length > n, 5000, 'our move taken', history.moves.length);
  }
  throw new Error('no end in 400 plies');
}

// Three lines of an infinite analysis, then stops of infinite searches:
// the times from a stop to its bestmove, shortest first.
async function analyseAndStop(page) {
  await page.click('#modeAnalyse');
  const fen = 'r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3';
  await page.$eval('#fen', (e, v) => { e.value = v; }, fen);
  await page.$eval('#multipv', (e) => { e.value = '3'; });
  await page.click('#setFen');
  const lines = await waitFor(page, () => {
    const l = [...window.morvek.state.lines.values()];
    return l.length >= 3 && l.every((i) => i.depth >= 5) && l.map((i) => i.pv);
  }, 30000, 'three lines at depth 5');
  for (const pv of lines) {
    const game = new Chess(fen);
    for (const lan of pv) game.move(lan);  // throws on an illegal move
  }
  assert.equal(new Set(lines.map((pv) => pv[0])).size, 3, 'each line starts with its own move');
  await page.evaluate(() => { window.morvek.engine.stopDelays.length = 0; });
  for (let i = 0; i < 5; ++i) {
    if (i > 0) await page.click('#go');
    await sleep(400);
    assert.ok(await page.evaluate(() => window.morvek.state.analysing), 'searching');
    await page.click('#stop');
    await waitFor(page, () => !window.morvek.state.analysing, 2000, 'the bestmove after stop');
  }
  const delays = await page.evaluate(() => window.morvek.engine.stopDelays);
  assert.equal(delays.length, 5);
  return delays.sort((a, b) => a - b);
}

// Nodes per second of one search to a fixed depth.
const speed = (page) => page.evaluate(() => new Promise((done) => {
  let last = null;
  window.morvek.engine.search('startpos', 'go depth 10', { onInfo: (info) => { last = info; }, onBest: () => done(last.nps) });
}));

const context = { async: await browser.createBrowserContext(), shared: browser.defaultBrowserContext() };
for (const [build, hide] of [['async', hideServiceWorkers], ['shared', null]]) {
  let page = null;
  const what = 'which build, a whole game, three lines, stops, learning across a reload';
  await check(`${build} build, served with no headers${hide ? ', no service workers' : ''}: ${what}`, async () => {
    page = await openPage(context[build], { width: 1280, height: 860 }, hide);
    await ready(page);
    const seen = await page.evaluate(() => ({
      build: document.body.dataset.build, worker: document.body.dataset.engineBuild, isolated: crossOriginIsolated,
      load: performance.getEntriesByType('navigation')[0].type, why: document.getElementById('engineBuild').textContent,
    }));
    assert.deepEqual([seen.build, seen.worker, seen.isolated], [build, build, build === 'shared'], seen.why);
    // With the offline copy, isolation comes from the one reload.
    assert.equal(seen.load, build === 'shared' ? 'reload' : 'navigate');
    assert.match(seen.why, build === 'shared' ? /offline copy adds the isolation headers/ : /service workers are unavailable/);
    const game = await playGame(page);
    const pgn = new Chess();
    pgn.loadPgn(await page.evaluate(() => window.morvek.pgnText()));
    assert.equal(pgn.history({ verbose: true }).map((m) => m.lan).join(' '), game.moves.join(' '));
    const saved = await waitFor(page, () => window.morvek.learning && window.morvek.learning.saved, 20000, 'the learning saved');
    await page.screenshot({ path: join(shots, `static-${build}-desktop.png`) });
    const stops = await analyseAndStop(page);
    // On a machine busy with more than this test one stop in five may wait
    // for a core; the middle one must be quick, none lost.
    assert.ok(stops[2] < 100 && stops[4] < 500, `stop to bestmove ${stops.join(', ')} ms`);
    // A reload as the user makes it (DevTools' own reload passes by the service worker).
    await Promise.all([page.waitForNavigation(), page.evaluate(() => location.reload())]);
    await ready(page);
    const loaded = await waitFor(page, () => window.morvek.learning?.digest !== undefined && window.morvek.learning,
      10000, 'the learning read');
    assert.equal(loaded.digest, saved.digest);
    assert.equal(await page.evaluate(() => document.body.dataset.engineBuild), build);
    const times = stops.map((t) => t.toFixed(0)).join(', ');
    return `${game.moves.length} plies, ${game.over}; stops ${times} ms; learning ${loaded.bytes} bytes kept`;
  });
  await check(`${build} build at phone size`, async () => {
    const size = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 };
    const phone = await openPage(context[build], size, hide);
    await ready(phone);
    assert.equal(await phone.evaluate(() => document.body.dataset.engineBuild), build);
    await phone.screenshot({ path: join(shots, `static-${build}-phone.png`), fullPage: true });
    await phone.close();
  });
  if (build === 'shared') {
    await check('installable: a manifest with icons, no installability errors', async () => {
      const client = await page.createCDPSession();
      const manifest = await client.send('Page.getAppManifest');
      assert.deepEqual(manifest.errors, []);
      const { installabilityErrors } = await client.send('Page.getInstallabilityErrors');
      assert.deepEqual(installabilityErrors, []);
      const icons = JSON.parse(manifest.data).icons.map((i) => i.src);
      const fetched = await page.evaluate((list) => Promise.all(list.map(async (src) => (await fetch(src)).status)), icons);
      assert.deepEqual(fetched, icons.map(() => 200));
    });
  }
}
await context.async.close();

// Taken in turns, the best of three each: other work on the machine
// slows both alike.
await check('the build without shared memory within 2x of the other\'s speed', async () => {
  const pages = {};
  for (const build of ['shared', 'async']) {
    pages[build] = await openPage(context.shared, { width: 800, height: 600 }, null, build === 'async' ? '?engine=async' : '');
    await ready(pages[build]);
    assert.equal(await pages[build].evaluate(() => document.body.dataset.engineBuild), build);
  }
  const best = { shared: 0, async: 0 };
  for (let round = 0; round < 3; ++round) {
    for (const build of ['shared', 'async']) best[build] = Math.max(best[build], await speed(pages[build]));
  }
  for (const page of Object.values(pages)) await page.close();
  assert.ok(best.async * 2 > best.shared, JSON.stringify(best));
  return `${best.async} nps against ${best.shared}: the shared-memory build ${(best.shared / best.async).toFixed(2)} times as fast`;
});

await check('a browser without WebAssembly: the page says it cannot start', async () => {
  const other = await browser.createBrowserContext();
  const page = await openPage(other, { width: 800, height: 600 }, () => { delete globalThis.WebAssembly; });
  await page.waitForSelector('body[data-engine="unavailable"]', { timeout: 10000 });
  assert.match(await page.$eval('#status', (e) => e.textContent), /^Morvek cannot start in this browser: it lacks WebAssembly/);
  await other.close();
});

// Last, as the server goes: the page opened again with no server at all.
await check('offline after the first visit: a new tab runs the shared-memory build from the offline copy', async () => {
  server.kill();
  await new Promise((done) => server.on('exit', done));
  const page = await openPage(context.shared, { width: 1280, height: 860 }, null);
  await ready(page);
  assert.deepEqual(await page.evaluate(() => [document.body.dataset.engineBuild, crossOriginIsolated]), ['shared', true]);
});

await browser.close();
server.kill();
if (problems.length) {
  results.push(`FAIL no console errors: ${problems.join(' | ')}`);
  process.exitCode = 1;
} else {
  results.push('ok   no console errors');
}
console.log(results.join('\n'));
