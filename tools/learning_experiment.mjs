// Does learning help against this opponent? Two arms start from the same
// learning file (or none): one plays with learning on, the control with it
// read-only (the same engine in every game). Each epoch both arms play the
// same training openings, each with both colours, and a few held-out
// openings that neither has played before; the arms' scores per epoch, with
// 95% intervals from the game pairs, go to a CSV and a plot.
//
//   node tools/learning_experiment.mjs --out DIR [--engine build/morvek]
//        [--start LEARNING_FILE] [--opponent CMD] [--xboard-opponent]
//        [--elo N] [--openings FILE] [--train N] [--heldout N] [--epochs N]
//        [--tc 0/10+0.1] [--jobs N]
//
// Defaults: Debian's Stockfish limited to UCI_Elo 1800 as the opponent,
// tools/openings.txt, 8 training and 2 held-out openings an epoch, 10
// epochs, 10 s + 0.1 s, both arms at once (--jobs 2). Each arm lives in
// DIR/arm-on and DIR/arm-read-only: a copy of the engine and its book, the
// learning file it starts from and its own instance lock, so the two never
// share a file. The games of an epoch are DIR/epochE-ARM-SET.pgn, written
// whole when the epoch ends; run again with the same --out, the experiment
// goes on from the first epoch not finished (an interrupted one is played
// again). results.csv and plot.svg are written after every epoch.
import { spawn } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, readFileSync, renameSync, rmSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { gamesOf, summarize } from './learning_stats.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const options = {
  out: null, engine: join(here, '..', 'build', 'morvek'), start: null, opponent: '/usr/games/stockfish',
  xboardOpponent: false, elo: '1800', openings: join(here, 'openings.txt'), train: 8, heldout: 2, epochs: 10,
  tc: '0/10+0.1', jobs: 2,
};
const flags = { '--out': 'out', '--engine': 'engine', '--start': 'start', '--opponent': 'opponent', '--elo': 'elo',
  '--openings': 'openings', '--train': 'train', '--heldout': 'heldout', '--epochs': 'epochs', '--tc': 'tc',
  '--jobs': 'jobs' };
for (let i = 2; i < process.argv.length; i++) {
  const a = process.argv[i];
  if (a === '--xboard-opponent') options.xboardOpponent = true;
  else if (flags[a] && i + 1 < process.argv.length) options[flags[a]] = process.argv[++i];
  else usage(`unknown argument ${a}`);
}
for (const key of ['train', 'heldout', 'epochs', 'jobs']) options[key] = Number(options[key]);
if (!options.out) usage('--out is required');
if (![options.train, options.epochs, options.jobs].every((n) => Number.isInteger(n) && n > 0)
  || !Number.isInteger(options.heldout) || options.heldout < 0) usage('--train, --epochs and --jobs must be positive whole numbers');

function usage(why) {
  console.error(`learning_experiment: ${why}\nusage: node tools/learning_experiment.mjs --out DIR [--engine PATH] `
    + '[--start FILE] [--opponent CMD] [--xboard-opponent] [--elo N] [--openings FILE] [--train N] [--heldout N] '
    + '[--epochs N] [--tc TC] [--jobs N]');
  process.exit(2);
}

const arms = ['on', 'read-only'];
const out = resolve(options.out);
mkdirSync(out, { recursive: true });

// The openings: the first --train lines every epoch, then --heldout fresh
// ones an epoch from the rest, for as long as the rest lasts.
const lines = readFileSync(options.openings, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l && !l.startsWith('#'));
if (lines.length < options.train) usage(`${options.openings} has fewer than ${options.train} openings`);
const training = lines.slice(0, options.train);
const heldoutFor = (epoch) => lines.slice(options.train + (epoch - 1) * options.heldout, options.train + epoch * options.heldout);

// Each arm's own directory, made once: what a resumed run finds is kept.
function prepareArm(arm) {
  const dir = join(out, `arm-${arm}`);
  if (existsSync(join(dir, 'morvek'))) return dir;
  mkdirSync(dir, { recursive: true });
  copyFileSync(options.engine, join(dir, 'morvek'));
  copyFileSync(join(dirname(options.engine), 'Morvek.bk'), join(dir, 'Morvek.bk'));
  if (options.start) copyFileSync(options.start, join(dir, 'zivorur12.dat'));
  return dir;
}

function runMatch(arm, dir, openingLines, pgn) {
  const openingsFile = `${pgn}.openings`;
  writeFileSync(openingsFile, openingLines.join('\n') + '\n');
  const args = [join(here, 'match.mjs'), '--engine1', `${join(dir, 'morvek')} --learning ${arm}`, '--dir1', dir,
    '--engine2', options.opponent, '--games', String(2 * openingLines.length), '--tc', options.tc,
    '--openings', openingsFile, '--pgn', `${pgn}.part`];
  if (!options.xboardOpponent) {
    args.push('--uci2');
    if (options.elo) args.push('--option2', 'UCI_LimitStrength=true', '--option2', `UCI_Elo=${options.elo}`);
  }
  return new Promise((done, fail) => {
    const child = spawn(process.execPath, args, {
      stdio: ['ignore', 'pipe', 'inherit'], env: { ...process.env, MORVEK_INSTANCE_LOCK: join(dir, 'instance.lock') },
    });
    let text = '';
    child.stdout.on('data', (d) => { text += d; });
    child.on('close', (code) => {
      writeFileSync(`${pgn}.log`, text);
      // Code 1 is a fault of Morvek's, kept in the log and lost as a game.
      if (code === 0 || code === 1) {
        renameSync(`${pgn}.part`, pgn);
        rmSync(openingsFile);
        done();
      } else {
        fail(new Error(`match for ${pgn} ended with code ${code}; see ${pgn}.log`));
      }
    });
  });
}

async function playEpoch(epoch) {
  const work = [];
  for (const arm of arms) {
    const dir = prepareArm(arm);
    // One arm's games one after another: the "on" arm learns from each.
    work.push((async () => {
      for (const [set, openingLines] of [['train', training], ['heldout', heldoutFor(epoch)]]) {
        const pgn = join(out, `epoch${epoch}-${arm}-${set}.pgn`);
        if (openingLines.length === 0 || existsSync(pgn)) continue;
        await runMatch(arm, dir, openingLines, pgn);
      }
    })());
    if (work.length >= options.jobs) await Promise.all(work.splice(0));
  }
  await Promise.all(work);
}

function results() {
  const rows = [];
  for (let epoch = 1; epoch <= options.epochs; epoch++) {
    for (const arm of arms) {
      for (const set of ['train', 'heldout']) {
        const pgn = join(out, `epoch${epoch}-${arm}-${set}.pgn`);
        if (!existsSync(pgn)) continue;
        rows.push({ epoch, arm, set, ...summarize(gamesOf(readFileSync(pgn, 'utf8'))) });
      }
    }
  }
  return rows;
}

const fixed = (x, digits = 0) => (Number.isFinite(x) ? x.toFixed(digits) : x > 0 ? 'inf' : '-inf');

function writeCsv(rows) {
  const head = 'epoch,arm,set,games,wins,draws,losses,score,elo,elo_low,elo_high,penta_ll,penta_ld,penta_dd_wl,penta_wd,penta_ww';
  const body = rows.map((r) => [r.epoch, r.arm, r.set, r.games, r.wins, r.draws, r.losses, fixed(r.score, 4),
    fixed(r.elo), fixed(r.eloLow), fixed(r.eloHigh), ...r.penta].join(','));
  writeFileSync(join(out, 'results.csv'), [head, ...body].join('\n') + '\n');
}

// Score per epoch, a curve per arm (training openings solid, held-out
// dashed), the 95% interval as a bar around each point.
function writePlot(rows) {
  const width = 640, height = 460, left = 60, right = 20, top = 30, bottom = 110;
  const x = (epoch) => left + (epoch - 0.5) / options.epochs * (width - left - right);
  const y = (score) => top + (1 - score) * (height - top - bottom);
  const colours = { on: '#1f77b4', 'read-only': '#d62728' };
  const parts = [`<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}" font-family="sans-serif" font-size="12">`,
    `<rect width="${width}" height="${height}" fill="white"/>`,
    `<text x="${width / 2}" y="18" text-anchor="middle">Score against the opponent per epoch (95% intervals)</text>`];
  for (const s of [0, 0.25, 0.5, 0.75, 1]) {
    parts.push(`<line x1="${left}" x2="${width - right}" y1="${y(s)}" y2="${y(s)}" stroke="#ddd"/>`,
      `<text x="${left - 6}" y="${y(s) + 4}" text-anchor="end">${s * 100}%</text>`);
  }
  for (let e = 1; e <= options.epochs; e++) parts.push(`<text x="${x(e)}" y="${height - bottom + 18}" text-anchor="middle">${e}</text>`);
  parts.push(`<text x="${width / 2}" y="${height - bottom + 36}" text-anchor="middle">epoch</text>`);
  let legend = 0;
  for (const arm of arms) {
    for (const set of ['train', 'heldout']) {
      const points = rows.filter((r) => r.arm === arm && r.set === set && r.games > 0);
      if (!points.length) continue;
      const shift = (arm === 'on' ? -4 : 4) + (set === 'train' ? 0 : 2);
      const path = points.map((r, i) => `${i ? 'L' : 'M'}${x(r.epoch) + shift},${y(r.score)}`).join(' ');
      parts.push(`<path d="${path}" fill="none" stroke="${colours[arm]}" stroke-width="2"${set === 'heldout' ? ' stroke-dasharray="5,4"' : ''}/>`);
      for (const r of points) {
        const low = Math.max(0, r.score - 1.96 * r.sigma), high = Math.min(1, r.score + 1.96 * r.sigma);
        parts.push(`<line x1="${x(r.epoch) + shift}" x2="${x(r.epoch) + shift}" y1="${y(low)}" y2="${y(high)}" stroke="${colours[arm]}"/>`,
          `<circle cx="${x(r.epoch) + shift}" cy="${y(r.score)}" r="3" fill="${colours[arm]}"/>`);
      }
      parts.push(`<text x="${left + 10 + 280 * (legend % 2)}" y="${height - bottom + 60 + 16 * Math.floor(legend++ / 2)}" fill="${colours[arm]}">learning ${arm}, ${set === 'train' ? 'training' : 'held-out'} openings</text>`);
    }
  }
  parts.push('</svg>');
  writeFileSync(join(out, 'plot.svg'), parts.join('\n') + '\n');
}

const started = Date.now();
for (let epoch = 1; epoch <= options.epochs; epoch++) {
  await playEpoch(epoch);
  const rows = results();
  writeCsv(rows);
  writePlot(rows);
  for (const r of rows.filter((row) => row.epoch === epoch)) {
    console.log(`epoch ${epoch} ${r.arm.padEnd(9)} ${r.set.padEnd(7)} ${r.wins}-${r.draws}-${r.losses} `
      + `${(100 * r.score).toFixed(1)}% Elo ${fixed(r.elo)} [${fixed(r.eloLow)}, ${fixed(r.eloHigh)}]`);
  }
}
console.log(`done in ${((Date.now() - started) / 60000).toFixed(1)} min: ${join(out, 'results.csv')}, ${join(out, 'plot.svg')}`);
