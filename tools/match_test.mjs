// Checks of the match runner's arbiter and clock against scripted engines
// that misbehave on purpose: each fault must lose the game with its reason,
// and only engine 1's faults may fail the run.
//
//   node tools/match_test.mjs          runs the checks (a few seconds)
//   node tools/match_test.mjs MODE     is the scripted engine itself
//
// MODE: legal (plays the first legal move), illegal, crash, slow (2.5 s a
// move), claim (claims a win at its third move), resign (at its third move),
// uci (legal, but through UCI; it ends with code 5 on a "go" without both
// clocks, and 6 on a sudden-death "go" with a move count or no increment).
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';

const here = dirname(fileURLToPath(import.meta.url));
const mode = process.argv[2];

if (mode === 'uci') {
  const chess = new Chess();
  const out = (text) => process.stdout.write(text + '\n');
  createInterface({ input: process.stdin }).on('line', (line) => {
    const words = line.trim().split(/\s+/);
    if (words[0] === 'uci') out('id name scripted-uci\nuciok');
    else if (words[0] === 'isready') out('readyok');
    else if (words[0] === 'quit') process.exit(0);
    else if (words[0] === 'position') {
      chess.reset();
      for (const move of words.slice(3)) chess.move({ from: move.slice(0, 2), to: move.slice(2, 4), promotion: move[4] });
    } else if (words[0] === 'go') {
      if (!words.includes('wtime') || !words.includes('btime')) process.exit(5);
      if (process.env.SUDDEN && (words.includes('movestogo') || words[words.indexOf('winc') + 1] !== '500')) process.exit(6);
      out(`bestmove ${chess.moves({ verbose: true })[0].lan}`);
    }
  });
} else if (mode) {
  const chess = new Chess();
  let force = false;
  let moves = 0;
  const out = (text) => process.stdout.write(text + '\n');
  const play = () => {
    moves += 1;
    if (mode === 'crash' && moves === 3) process.exit(3);
    if (mode === 'claim' && moves === 3) return out(chess.turn() === 'w' ? '1-0 {mate, trust me}' : '0-1 {mate, trust me}');
    if (mode === 'resign' && moves === 3) return out('resign');
    if (mode === 'illegal' && moves === 3) return out('move e1e5');
    const move = chess.moves({ verbose: true })[0];
    chess.move(move);
    const answer = () => out(`move ${move.lan}`);
    if (mode === 'slow') setTimeout(answer, 2500);
    else answer();
  };
  createInterface({ input: process.stdin }).on('line', (line) => {
    const [word] = line.trim().split(/\s+/);
    if (word === 'protover') out('feature myname="scripted" done=1');
    else if (word === 'new') { chess.reset(); force = false; }
    else if (word === 'force') force = true;
    else if (word === 'go') { force = false; play(); }
    else if (word === 'quit') process.exit(0);
    else if (/^[a-h][1-8][a-h][1-8][qrbn]?$/.test(word)) {
      chess.move({ from: word.slice(0, 2), to: word.slice(2, 4), promotion: word[4] });
      if (!force) play();
    }
  });
} else {
  const dir = mkdtempSync(join(tmpdir(), 'match-test-'));
  const engine = (m) => `${process.execPath} ${fileURLToPath(import.meta.url)} ${m}`;
  const match = (first, second, extra = [], tc = '40/2', env = process.env) => {
    const pgn = join(dir, `${first}-${second}.pgn`);
    const run = spawnSync(process.execPath, [join(here, 'match.mjs'), '--engine1', engine(first),
      '--engine2', engine(second), '--games', '2', '--tc', tc, '--pgn', pgn, ...extra], { encoding: 'utf8', env });
    return { code: run.status, out: run.stdout + run.stderr, pgn: readFileSync(pgn, 'utf8') };
  };
  let failed = 0;
  const check = (name, ok, detail) => {
    if (!ok) { failed += 1; console.log(`FAIL ${name}\n${detail}`); } else console.log(`ok   ${name}`);
  };

  const clean = match('legal', 'legal');
  check('two sound engines finish both games without faults', clean.code === 0
    && /faults of node: none, bad exits 0; of node: none, bad exits 0/.test(clean.out)
    && (clean.pgn.match(/\[Result "(1-0|0-1|1\/2-1\/2)"\]/g) || []).length === 2
    && !/\[Result "\*"\]/.test(clean.pgn), clean.out);

  // Each fault of engine 1 loses both games and fails the run.
  for (const [m, fault] of [['illegal', 'illegal move'], ['crash', 'crash'], ['slow', 'time forfeit'],
    ['claim', 'false claim']]) {
    const r = match(m, 'legal');
    check(`${fault} loses and fails`, r.code === 1 && r.out.includes('+0 =0 -2')
      && r.out.includes(`faults of node: ${fault} 2,`) && r.pgn.includes(`[Termination "${fault}"]`), r.out);
  }
  // Sudden death: no second control, but the increment after every move. The
  // slow engine's first move fits in 3 s, its second not in the 0.5 s left plus 1 s.
  const sudden = match('legal', 'legal', [], '0/2+0.5');
  check('sudden death with increment finishes and reports the clock', sudden.code === 0
    && /TimeControl "2\+0.5"/.test(sudden.pgn) && /used \d+% of \d+ ms/.test(sudden.out), sudden.out);
  const flagged = match('slow', 'legal', [], '0/3+1');
  check('sudden death flags the second slow move', flagged.code === 1 && flagged.out.includes('faults of node: time forfeit 2,')
    && /took 2[5-9]\d\d ms with 1[0-5]\d\d ms/.test(flagged.out + flagged.pgn), flagged.out + flagged.pgn);
  // The opponent's faults are counted but do not fail the engine under test.
  const opponent = match('legal', 'illegal');
  check('an opponent fault wins and passes', opponent.code === 0 && opponent.out.includes('+2 =0 -0')
    && opponent.out.includes('of node: illegal move 2,'), opponent.out);
  const resigned = match('resign', 'legal');
  check('resigning loses without a fault', resigned.code === 0 && resigned.out.includes('+0 =0 -2'), resigned.out);

  // A UCI engine through the bridge: its clock words, both controls.
  for (const [tc, env] of [['40/2', process.env], ['0/2+0.5', { ...process.env, SUDDEN: '1' }]]) {
    const uci = match('uci', 'legal', ['--uci1'], tc, env);
    check(`a UCI engine plays both games at ${tc}`, uci.code === 0 && /faults of node: none, bad exits 0/.test(uci.out)
      && (uci.pgn.match(/\[Result "(1-0|0-1|1\/2-1\/2)"\]/g) || []).length === 2, uci.out);
  }

  // Bad arguments are refused before any game.
  const bad = spawnSync(process.execPath, [join(here, 'match.mjs'), '--engine1', 'x', '--engine2', 'y', '--tc', '40'], { encoding: 'utf8' });
  check('a malformed clock is refused', bad.status === 2, bad.stderr);
  process.exit(failed ? 1 : 0);
}
