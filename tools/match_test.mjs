// Checks of the match runner's arbiter and clock against scripted engines
// that misbehave on purpose: each fault must lose the game with its reason,
// and only engine 1's faults may fail the run. Then morvek itself in UCI
// mode, driven as GUIs drive it: games past ply 200, and a stored game of 330
// plies sent position by position.
//
//   node tools/match_test.mjs          runs the checks (about 100 s)
//   node tools/match_test.mjs MODE     is the scripted engine itself
//
// MODE (xboard): legal (plays the first legal move), illegal, crash, slow
// (2.5 s a move), claim (claims a win at its third move), resign (at its
// third move).
// MODE (UCI): uci plays the first legal move, with a pv of two moves and as
// ponder move the opponent's first legal reply at its odd moves, its second at
// even ones (so that the scripted opponent hits the one and misses the other).
// It checks what it is told and ends with code 5 on a "go" without both
// clocks, 6 on a sudden-death "go" (SUDDEN set) with a move count or without
// the 0.5 s increment, 8 on a wrong movestogo (MPS set), 9 on a position after
// "stop" that is not the ponder position with another last move, 10 on a
// "ponderhit" with no ponder search; it writes every line it reads to $UCI_LOG
// and, DELAY set, waits that many ms before every bestmove; the xboard one,
// MOVE_DELAY set, as long before every move.
// Its faulty kinds do one thing wrong at their third move of a game: uci-illegal (an
// illegal bestmove), uci-pv (an illegal second pv move), uci-ponder (an
// illegal ponder move), uci-early (bestmove while pondering, at once),
// uci-stop (an illegal bestmove after "stop"), uci-crash (exits), uci-hang
// (says nothing, though it still hears "quit"); uci-exit
// ends with code 3 when told to quit.
import { spawnSync } from 'node:child_process';
import { appendFileSync, existsSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';
import { startEngine, stopEngine } from './engine.mjs';
import { positionCommand, illegalIn, judgeBest, pvOf, uciHandshake, isReady, watchSearch, awaitBest, kStartFen }
  from './uci_engine.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const mode = process.argv[2];

if (mode && mode.startsWith('uci')) {
  let chess = new Chess();
  let moves = [];
  let pondering = false;
  let ponderMoves = null;  // the position of the last ponder search
  let afterStop = false;
  let answers = 0;
  const out = (text) => process.stdout.write(text + '\n');
  // DELAY ms of thought before every answer, so that its clock runs down faster than the opponent's.
  const answer = (afterPonderStop) => (process.env.DELAY ? setTimeout(think, Number(process.env.DELAY), afterPonderStop)
    : think(afterPonderStop));
  const think = (afterPonderStop) => {
    answers += 1;
    const legal = chess.moves({ verbose: true });
    const move = legal[0];
    if (mode === 'uci-crash' && answers === 3) process.exit(3);
    if (mode === 'uci-hang' && answers === 3) return;
    if (afterPonderStop && mode === 'uci-stop') return out('bestmove e1e5');
    chess.move(move);
    const replies = chess.moves({ verbose: true });
    chess.undo();
    const reply = replies[answers % 2 === 1 ? 0 : Math.min(1, replies.length - 1)];
    const third = answers === 3;
    out('info string pv e1e5 is no move of this engine');
    out(`info depth 2 score cp 0 pv ${move.lan} ${third && mode === 'uci-pv' ? move.lan : reply ? reply.lan : ''}`.trim());
    if (third && mode === 'uci-illegal') return out('bestmove e1e5');
    if (third && mode === 'uci-ponder') return out(`bestmove ${move.lan} ponder ${move.lan}`);
    out(`bestmove ${move.lan}${reply ? ` ponder ${reply.lan}` : ''}`);
  };
  createInterface({ input: process.stdin }).on('line', (line) => {
    if (process.env.UCI_LOG) appendFileSync(process.env.UCI_LOG, line + '\n');
    const words = line.trim().split(/\s+/);
    const word = words[0];
    if (word === 'uci') out('id name scripted-uci\nuciok');
    else if (word === 'isready') out('readyok');
    else if (word === 'ucinewgame') { answers = 0; pondering = false; afterStop = false; }
    else if (word === 'quit') process.exit(mode === 'uci-exit' ? 3 : 0);
    else if (word === 'position') {
      const at = words.indexOf('moves');
      chess = new Chess(words[1] === 'fen' ? words.slice(2, 8).join(' ') : undefined);
      moves = at < 0 ? [] : words.slice(at + 1);
      for (const move of moves) chess.move({ from: move.slice(0, 2), to: move.slice(2, 4), promotion: move[4] });
      if (afterStop) {
        afterStop = false;
        const n = ponderMoves.length;
        if (moves.length !== n || moves.slice(0, n - 1).join() !== ponderMoves.slice(0, n - 1).join()
          || moves[n - 1] === ponderMoves[n - 1]) process.exit(9);
      }
    } else if (word === 'go') {
      const value = (name) => (words.includes(name) ? words[words.indexOf(name) + 1] : undefined);
      if (value('wtime') === undefined || value('btime') === undefined) process.exit(5);
      if (process.env.SUDDEN && (value('movestogo') !== undefined || value('winc') !== '500' || value('binc') !== '500')) process.exit(6);
      if (process.env.MPS) {
        const perControl = Number(process.env.MPS);
        const own = Math.floor(moves.length / 2);  // moves made by the side to move, from the start position
        if (Number(value('movestogo')) !== perControl - (own % perControl)) process.exit(8);
      }
      if (words[1] === 'ponder') {
        pondering = true;
        ponderMoves = moves;
        if (mode === 'uci-early') answer(false);
      } else answer(false);
    } else if (word === 'ponderhit') {
      if (!pondering) process.exit(10);
      pondering = false;
      answer(false);
    } else if (word === 'stop' && pondering) {
      pondering = false;
      afterStop = true;
      answer(true);
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
    else if (process.env.MOVE_DELAY) setTimeout(answer, Number(process.env.MOVE_DELAY));
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
  // Every morvek started here holds a lock of its own: a game really being
  // played elsewhere must not make it the second instance, nor it that game.
  process.env.MORVEK_INSTANCE_LOCK = join(dir, 'morvek.lock');
  const engine = (m) => `${process.execPath} ${fileURLToPath(import.meta.url)} ${m}`;
  let runs = 0;
  const runMatch = (one, two, extra = [], tc = '40/2', env = process.env) => {
    const pgn = join(dir, `match-${++runs}.pgn`);
    const run = spawnSync(process.execPath, [join(here, 'match.mjs'), '--engine1', one, '--engine2', two,
      '--games', '2', '--tc', tc, '--pgn', pgn, ...extra], { encoding: 'utf8', env });
    return { code: run.status, out: run.stdout + run.stderr, pgn: existsSync(pgn) ? readFileSync(pgn, 'utf8') : '' };
  };
  const match = (first, second, extra, tc, env) => runMatch(engine(first), engine(second), extra, tc, env);
  let failed = 0;
  const check = (name, ok, detail) => {
    if (!ok) { failed += 1; console.log(`FAIL ${name}\n${detail}`); } else console.log(`ok   ${name}`);
  };
  // The games of a PGN file as chess.js games, headers kept.
  const gamesOf = (pgn) => pgn.split(/\n(?=\[Event )/).filter((t) => t.trim()).map((text) => {
    const chess = new Chess();
    chess.loadPgn(text);
    return chess;
  });

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
  // No adjudication unless asked: the scripted pair repeats at ply 35.
  const capped = match('legal', 'legal', ['--max-plies', '20']);
  check('--max-plies adjudicates a draw at that ply, and only when given', capped.code === 0
    && gamesOf(capped.pgn).every((g) => g.history().length === 20 && g.getHeaders().Result === '1/2-1/2')
    && (capped.out.match(/adjudicated a draw at 20 plies/g) || []).length === 2
    && gamesOf(clean.pgn).every((g) => g.history().length === 35) && !/adjudicated/.test(clean.out), capped.out + clean.out);

  // UCI, driven as GUIs drive it: clock words at both controls (the scripted
  // engine dies on a wrong one), the engine kept from game to game.
  for (const [tc, env] of [['40/2', { ...process.env, MPS: '40' }], ['0/2+0.5', { ...process.env, SUDDEN: '1' }]]) {
    const log = join(dir, `uci-${tc.replace(/\W/g, '-')}.log`);
    const uci = match('uci', 'legal', ['--uci1', '--ponder1'], tc, { ...env, UCI_LOG: log, DELAY: '40' });
    const lines = readFileSync(log, 'utf8').trim().split('\n');
    check(`a UCI engine plays both games at ${tc}, pondering`, uci.code === 0 && /faults of node: none, bad exits 0/.test(uci.out)
      && gamesOf(uci.pgn).length === 2 && lines.filter((l) => l === 'uci').length === 1
      && lines.filter((l) => l === 'ucinewgame').length === 2 && lines.at(-1) === 'quit', uci.out + lines.join('\n'));
    // Its 40 ms a move against the opponent's few: at its last move of a game
    // its own clock (white's in game 1, black's in game 2) is well behind.
    const lastGo = (game) => {
      const from = lines.indexOf('ucinewgame', game === 1 ? 0 : lines.indexOf('ucinewgame') + 1);
      const to = game === 1 ? lines.indexOf('ucinewgame', from + 1) : lines.length;
      const go = lines.slice(from, to).filter((l) => l.startsWith('go wtime ')).at(-1) || '';
      const [w, b] = ['wtime', 'btime'].map((k) => Number(go.split(' ')[go.split(' ').indexOf(k) + 1]));
      return game === 1 ? b - w : w - b;
    };
    check(`each side's clock goes to its own word at ${tc}`, lastGo(1) > 250 && lastGo(2) > 250, `${lastGo(1)} ${lastGo(2)}`);
    // Every "go ponder" ends in "ponderhit" or "stop", and both happen.
    const ponders = lines.flatMap((l, i) => (l.startsWith('go ponder ') ? [lines[i + 1]] : []));
    check(`pondering at ${tc} ends each ponder search with ponderhit or stop`, ponders.length > 4
      && ponders.every((l) => l === 'ponderhit' || l === 'stop') && ponders.includes('ponderhit') && ponders.includes('stop'),
    lines.join('\n'));
  }
  // The first words of a game: the options, the handshake, the opening (game
  // 1 has tools/openings.txt's first line, 8 plies) and the full clock.
  {
    const log = join(dir, 'uci-start.log');
    const r = match('uci', 'legal', ['--uci1', '--option1', 'Hash=8', '--option1', 'BookFile=/no such/book.bin'], '40/2',
      { ...process.env, UCI_LOG: log });
    const lines = readFileSync(log, 'utf8').split('\n');
    const opening = readFileSync(join(here, 'openings.txt'), 'utf8').split('\n').find((l) => /^[a-h]/.test(l)).trim();
    const expected = ['uci', 'setoption name Hash value 8', 'setoption name BookFile value /no such/book.bin', 'isready',
      'ucinewgame', 'isready', `position startpos moves ${opening}`, 'go wtime 2000 btime 2000 winc 0 binc 0 movestogo 36'];
    check('options, handshake, position and clock come as a GUI sends them', r.code === 0
      && expected.every((l, i) => lines[i] === l), lines.slice(0, 10).join('\n'));
  }
  // Each UCI fault of engine 1 loses both games and fails the run.
  for (const [m, fault, extra] of [['uci-illegal', 'illegal move', []], ['uci-pv', 'illegal pv', []],
    ['uci-ponder', 'illegal ponder move', []], ['uci-early', 'bestmove while pondering', ['--ponder1']],
    ['uci-stop', 'illegal move', ['--ponder1']], ['uci-crash', 'crash', []]]) {
    // The opponent's moves come late enough that an early bestmove is read
    // before the ponder search ends (on a loaded machine it could come after
    // the stop, where it is only an answer to the stop).
    const r = match(m, 'legal', ['--uci1', ...extra], undefined, m === 'uci-early' ? { ...process.env, MOVE_DELAY: '300' } : undefined);
    check(`UCI ${m}: ${fault} loses and fails`, r.code === 1 && r.out.includes('+0 =0 -2')
      && r.out.includes(`faults of node: ${fault} 2,`) && r.pgn.includes(`[Termination "${fault}"]`), r.out);
  }
  // A UCI engine that stopped answering is quit and started afresh for the
  // next game; its clean exit then is no fault.
  {
    const log = join(dir, 'uci-hang.log');
    const r = match('uci-hang', 'legal', ['--uci1'], '0/1', { ...process.env, UCI_LOG: log });
    const lines = readFileSync(log, 'utf8').trim().split('\n');
    check('a silent UCI engine loses on no reply and is started again', r.code === 1 && r.out.includes('+0 =0 -2')
      && r.out.includes('faults of node: no reply 2, bad exits 0;') && lines.filter((l) => l === 'uci').length === 2,
    r.out + lines.join('\n'));
  }
  const badExit = match('uci-exit', 'legal', ['--uci1']);
  check('a UCI engine that ends badly after the match is counted once', badExit.code === 1
    && badExit.out.includes('+0 =2 -0') && badExit.out.includes('faults of node: none, bad exits 1;'), badExit.out);

  // What is legal in UCI text, as the runner judges bestmoves and pvs.
  const promote = '4k3/P7/8/8/8/8/8/4K2R w K - 0 1';
  check('UCI move text is judged strictly', [
    illegalIn(promote, ['a7a8q', 'e8d7', 'e1g1']) === null,
    illegalIn(promote, ['a7a8']) === 'move 1 (a7a8)',        // a promotion needs its letter
    illegalIn(promote, ['a7a8Q']) === 'move 1 (a7a8Q)',      // in lower case
    illegalIn(promote, ['e1e2q']) === 'move 1 (e1e2q)',      // and nothing else takes one
    illegalIn(promote, ['e1f1', 'e8d8', 'f1g1', 'd8e8', 'e1g1']) === 'move 5 (e1g1)',  // the king is not on e1
    illegalIn('7k/6Q1/6K1/8/8/8/8/8 b - - 0 1', ['h8g8']) === 'move 1 (h8g8)',  // mated: nothing follows
    pvOf('info string pv e1e5') === null && pvOf('info depth 3 nodes 7') === null,
    pvOf('info depth 3 multipv 2 score cp 5 pv e2e4 e7e5').join() === 'e2e4,e7e5',
    judgeBest(kStartFen, 'bestmove e2e4 ponder e7e5').ponder === 'e7e5',
    judgeBest(kStartFen, 'bestmove e2e4 ponder e2e4').fault === 'illegal ponder move',
    judgeBest(kStartFen, 'bestmove 0000').fault === 'illegal move',
    judgeBest(kStartFen, 'bestmove e2e4', 'x').fault === 'illegal pv',
  ].every(Boolean), 'a case of illegalIn, pvOf or judgeBest is wrong');

  // Bad arguments are refused before any game.
  for (const [name, args] of [['a malformed clock', ['--tc', '40']], ['an option of a non-UCI engine', ['--option1', 'Hash=8']],
    ['a bad ply limit', ['--max-plies', '0']]]) {
    const bad = spawnSync(process.execPath, [join(here, 'match.mjs'), '--engine1', 'x', '--engine2', 'y', ...args], { encoding: 'utf8' });
    check(`${name} is refused`, bad.status === 2, bad.stderr);
  }

  // Morvek itself in UCI mode. Its position lines pass 1,000 characters
  // past ply 200: the games must go there, every line must be read whole.
  const morvek = process.env.MORVEK || join(here, '..', 'build', 'morvek');
  if (!existsSync(morvek)) {
    check(`morvek in UCI mode (${morvek})`, false, 'no binary: build it first (see README) or set MORVEK');
  } else {
    const own = ['--uci1', '--option1', 'SaveLearning=false', '--uci2', '--option2', 'SaveLearning=false',
      '--openings', join(here, '..', 'tests', 'data', 'long_endgame_openings.txt')];
    // Games 1 and 2 have the file's first line, 3 and 4 its second (a FEN).
    for (const [what, tc, extra, fen] of [['from the start position, 40 moves in 4 s, pondering', '40/4', ['--ponder1'], undefined],
      ['from a FEN, sudden death 3 s + 0.05 s', '0/3+0.05', ['--first', '3'], 'rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2']]) {
      const r = runMatch(morvek, morvek, [...own, ...extra], tc);
      const games = gamesOf(r.pgn);
      const plies = games.map((g) => g.history().length);
      const longest = games.map((g) => positionCommand(g.getHeaders().FEN || kStartFen,
        g.history({ verbose: true }).map((m) => m.lan)).length);
      check(`morvek plays two games past ply 200 ${what} (plies ${plies.join(', ')}; last position line ${longest.join(', ')} characters)`,
        r.code === 0 && /faults of morvek: none, bad exits 0; of morvek: none, bad exits 0/.test(r.out)
        && games.length === 2 && plies.every((n) => n > 200) && longest.every((n) => n > 1022)
        && games.every((g) => g.getHeaders().Termination === 'normal' && g.getHeaders().FEN === fen), r.out);
    }
    await replay(morvek, check);
  }
  process.exit(failed ? 1 : 0);
}

// A stored game of 330 plies sent as a GUI sends it when it shows an engine's
// analysis of every position: "position startpos moves ..." with all the
// moves so far, then "go" with a small clock; each bestmove, its ponder move
// and every pv must be legal there.
async function replay(morvek, check) {
  const game = new Chess();
  game.loadPgn(readFileSync(join(here, '..', 'tests', 'data', 'long_game_330.pgn'), 'utf8'));
  const moves = game.history({ verbose: true });
  const engine = startEngine(morvek, 'morvek');
  const bad = [];
  const started = Date.now();
  try {
    await uciHandshake(engine, [['SaveLearning', 'false']]);
    await isReady(engine, ['ucinewgame']);
    for (let ply = 0; ply < moves.length && bad.length < 5; ply++) {
      watchSearch(engine, ply ? moves[ply - 1].after : kStartFen);
      const position = positionCommand(kStartFen, moves.slice(0, ply).map((m) => m.lan));
      const verdict = await awaitBest(engine, [position, 'go wtime 1000 btime 1000 winc 0 binc 0'], 10000);
      if (verdict.fault) bad.push(`ply ${ply}: ${verdict.fault}: ${verdict.detail}`);
    }
  } catch (error) {
    bad.push(error.message);
  }
  const exit = await stopEngine(engine);
  check(`morvek answers all ${moves.length} positions of a stored game with legal moves and pvs (${((Date.now() - started) / 1000).toFixed(0)} s)`,
    bad.length === 0 && exit.code === 0 && moves.length >= 300, `${bad.join('\n')}\nexit ${JSON.stringify(exit)}`);
}
