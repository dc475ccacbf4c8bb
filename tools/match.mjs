// Match runner: two engines, each speaking xboard or UCI, play N games from a
// set of opening lines, colours swapped for each line, on a clock kept here.
// chess.js is the arbiter: it checks every move and ends the game on mate,
// stalemate, threefold repetition, the 50-move rule and insufficient
// material. Nothing else ends a game early unless --max-plies asks.
//
//   node tools/match.mjs --engine1 CMD --engine2 CMD [--games N]
//        [--tc MOVES/SECONDS[+INC] | --st SECONDS] [--openings FILE] [--pgn FILE]
//        [--dir1 DIR] [--dir2 DIR] [--first K] [--timeuse] [--uci1] [--uci2]
//        [--ponder1] [--option1 NAME=VALUE ...] [--option2 NAME=VALUE ...]
//        [--max-plies N]
//
// CMD is a program path or a command line, split at blanks. An openings line
// is moves from the start position, or a FEN (six fields) and moves from it.
// --tc 40/60 gives 60 seconds for each 40 moves, --tc 0/60 sudden death in 60
// seconds, --tc 0/30+0.3 adds 0.3 seconds after every move; a move that ends
// after the flag fell loses on time, and an engine silent 10 seconds past its
// flag has given no reply. --st gives a fixed time per move and only checks
// for no reply (3 times the time plus 10 s): as in xboard, it is not a clock.
// xboard engines get "level" with the control, then "time"/"otim" in
// centiseconds before every move ("st" once with --st; "setboard" for a FEN).
// --uci1 / --uci2: that engine speaks UCI and is driven as GUIs and match
// runners drive one: "uci", its options, "isready"; started once for the
// match, "ucinewgame" and "isready" before each game (started again only
// after it died or stopped answering); before every move the whole game as
// "position startpos moves ..." ("position fen F moves ..." from a FEN) and
// "go wtime W btime B winc I binc I" from the runner's clock in ms, with
// "movestogo N" under a MOVES/SECONDS control ("go movetime" with --st).
// Every bestmove, the ponder move after it and every move of every "info ...
// pv" must be legal in the position sent, or it is a fault.
// --option1 / --option2 NAME=VALUE (repeatable) sends "setoption" to that UCI
// engine as it starts (--option2 UCI_LimitStrength=true --option2 UCI_Elo=1400).
// --ponder1 lets engine 1 ponder: xboard "hard" (both get "easy" otherwise);
// in UCI, after each bestmove with a ponder move, "go ponder" on the position
// after it with the clocks of that moment, then "ponderhit" when the opponent
// plays it (the clock runs from there), else "stop" (the bestmove checked and
// dropped) and the new position.
// --max-plies N adjudicates a draw at ply N of a game (counted from its start
// position, the opening included).
// Every fault loses the game and is counted: illegal move, illegal pv,
// illegal ponder move, bestmove while pondering, crash, no reply, time
// forfeit, false claim. A resignation or a claim of one's own loss is a loss
// but no fault. A fault of a UCI engine in a ponder search left over at the
// end of a game is counted without changing the result.
// Stopped by SIGINT or SIGTERM, it prints the tally of the games finished.
// --first K numbers the games from K, with the openings and colours game K
// would have had: a long match can be played in parts.
// --timeuse reports engine 1's largest move time beyond morvek's own budget
// and the least clock it had left when a control was reached.
// Every game line tells engine 1's clock left at the end, the share of the
// time it was given that it used, and its mean move time over its moves
// 11-40 and 41-60; the tally adds these up over the match.
//
// Exit code 0 when engine 1, the engine under test, made no fault and ended
// cleanly (code 0 after "quit", at the end of each game for xboard, of the
// match for UCI); 1 otherwise (the opponent's faults are counted but leave
// the code alone); 2 on bad arguments.
import { readFileSync, appendFileSync, writeFileSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { Chess } from 'chess.js';
import { startEngine, send, ask, handshake, stopEngine, applyMove, morvekBudget } from './engine.mjs';
import { kStartFen, positionCommand, movesToGo, clockWords, playUci, uciHandshake, isReady, watchSearch, awaitBest }
  from './uci_engine.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const options = {
  engine1: null, engine2: null, dir1: undefined, dir2: undefined, games: 2, tc: '40/60', st: null,
  openings: join(here, 'openings.txt'), pgn: null, timeuse: false, first: 1, uci1: false, uci2: false, ponder1: false,
  options1: [], options2: [], maxPlies: null,
};
const flags = { '--engine1': 'engine1', '--engine2': 'engine2', '--dir1': 'dir1', '--dir2': 'dir2',
  '--games': 'games', '--tc': 'tc', '--st': 'st', '--openings': 'openings', '--pgn': 'pgn', '--first': 'first',
  '--max-plies': 'maxPlies' };
for (let i = 2; i < process.argv.length; i++) {
  const a = process.argv[i];
  if (a === '--timeuse') options.timeuse = true;
  else if (a === '--ponder1') options.ponder1 = true;
  else if (a === '--uci1' || a === '--uci2') options[a.slice(2)] = true;
  else if ((a === '--option1' || a === '--option2') && i + 1 < process.argv.length && /^[^=]+=/.test(process.argv[i + 1])) {
    const text = process.argv[++i];
    options[`options${a.slice(-1)}`].push([text.slice(0, text.indexOf('=')), text.slice(text.indexOf('=') + 1)]);
  }
  else if (flags[a] && i + 1 < process.argv.length) options[flags[a]] = process.argv[++i];
  else usage(`unknown or incomplete argument ${a}`);
}
function usage(message) {
  console.error(`match: ${message}`);
  console.error('usage: node tools/match.mjs --engine1 CMD --engine2 CMD [--games N] [--tc MOVES/SECONDS[+INC] | --st SECONDS] [--openings FILE] [--pgn FILE] [--dir1 DIR] [--dir2 DIR] [--first K] [--timeuse] [--uci1] [--uci2] [--ponder1] [--option1 NAME=VALUE] [--option2 NAME=VALUE] [--max-plies N]');
  process.exit(2);
}
if (!options.engine1 || !options.engine2) usage('--engine1 and --engine2 are required');
if (options.options1.length && !options.uci1) usage('--option1 needs --uci1');
if (options.options2.length && !options.uci2) usage('--option2 needs --uci2');
if (options.maxPlies !== null) {
  options.maxPlies = Number(options.maxPlies);
  if (!Number.isInteger(options.maxPlies) || options.maxPlies < 1) usage('--max-plies must be a positive whole number');
}
options.games = Number(options.games);
if (!Number.isInteger(options.games) || options.games < 1) usage('--games must be a positive whole number');
options.first = Number(options.first);
if (!Number.isInteger(options.first) || options.first < 1) usage('--first must be a positive whole number');
let movesPerControl = 0;  // 0: sudden death
let controlMs = 0;
let incrementMs = 0;
let fixedSeconds = null;
if (options.st !== null) {
  fixedSeconds = Number(options.st);
  if (!(fixedSeconds > 0)) usage('--st must be a positive number of seconds');
} else {
  const m = /^(\d+)\/(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/.exec(options.tc);
  if (!m || !(Number(m[2]) > 0)) usage('--tc must look like 40/60 or 0/30+0.3 (moves/seconds+increment)');
  movesPerControl = Number(m[1]);
  controlMs = Math.round(Number(m[2]) * 1000);
  incrementMs = m[3] === undefined ? 0 : Math.round(Number(m[3]) * 1000);
}
const kNoReplyMs = 10000;

// A line is moves from the start position, or a FEN (its six fields) and
// moves from there.
function readOpenings(path) {
  const lines = [];
  for (const raw of readFileSync(path, 'utf8').split('\n')) {
    const text = raw.trim();
    if (!text || text.startsWith('#')) continue;
    let words = text.split(/\s+/);
    let fen = kStartFen;
    if (words[0].includes('/')) {
      fen = words.slice(0, 6).join(' ');
      words = words.slice(6);
    }
    let chess;
    try {
      chess = new Chess(fen);
    } catch (error) {
      usage(`${path}: bad FEN in "${text}" (${error.message})`);
    }
    fen = chess.fen();
    const moves = [];
    for (const word of words) {
      const move = applyMove(chess, word);
      if (!move) usage(`${path}: illegal move ${word} in "${text}"`);
      moves.push(move);
    }
    lines.push({ fen, moves });
  }
  if (lines.length === 0) usage(`${path}: no opening lines`);
  return lines;
}

// "level 40 1 0" / "level 0 0:30 0.3": base time in minutes[:seconds], the
// increment in seconds.
function levelCommand() {
  const seconds = Math.round(controlMs / 1000);
  const base = seconds % 60 === 0 ? `${seconds / 60}` : `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
  return `level ${movesPerControl} ${base} ${incrementMs / 1000}`;
}

function moveText(engine, move) {
  const text = engine.features.san === '1' ? move.san : move.lan;
  return engine.features.usermove === '1' ? `usermove ${text}` : text;
}

// The first answer of an engine asked to move: its move, a resignation or a
// result claim. "Illegal move" means it refused the move it was sent. GNU
// Chess announces its moves as "My move is : e7e5", which xboard accepts too.
function reply(line) {
  let m = /^(?:move|My move is\s*:)\s+(\S+)/.exec(line);
  if (m) return { move: m[1] };
  if (/^resign\b/i.test(line)) return { resign: true };
  m = /^(1-0|0-1|1\/2-1\/2)\s*(.*)$/.exec(line);
  if (m) return { claim: m[1], text: m[2] };
  if (/^Illegal move/i.test(line)) return { refused: line };
  return undefined;
}

function arbiterEnd(chess) {
  if (chess.isCheckmate()) return { result: chess.turn() === 'w' ? '0-1' : '1-0', reason: 'checkmate' };
  if (chess.isStalemate()) return { result: '1/2-1/2', reason: 'stalemate' };
  if (chess.isInsufficientMaterial()) return { result: '1/2-1/2', reason: 'insufficient material' };
  if (chess.isThreefoldRepetition()) return { result: '1/2-1/2', reason: 'threefold repetition' };
  if (chess.isDraw()) return { result: '1/2-1/2', reason: 'fifty-move rule' };
  return null;
}

const lossFor = (side) => (side === 0 ? '0-1' : '1-0');

// A UCI player's engine lives from game to game, as under a GUI: started and
// set up once, "ucinewgame" before each game; started again only after it
// died or stopped answering (then it was quit at the end of that game).
async function uciEngine(player, colour) {
  let engine = player.engine;
  if (!engine || engine.exited) {
    engine = startEngine(player.command, colour, { cwd: player.dir });
    player.engine = engine;
    await uciHandshake(engine, player.uciOptions);
  }
  engine.name = colour;
  await isReady(engine, ['ucinewgame']);
  return engine;
}

// players[0] plays white. Returns the finished game record.
async function playGame(round, opening, players) {
  const chess = new Chess(opening.fen);
  const colours = ['white', 'black'];
  const engines = players.map((p, i) => (p.uci ? p.engine : startEngine(p.command, colours[i], { cwd: p.dir })));
  const game = { round, result: '*', reason: '', fault: null, faultSide: null, moveTimes: [], names: [], lateFaults: [] };
  const clock = [controlMs, controlMs];
  const inForce = [true, true];
  const lans = [];  // the game's moves in UCI text, the opening's included
  let lastMove = null;
  const faultEnd = (side, fault, detail) => {
    game.result = lossFor(side);
    game.fault = fault;
    game.faultSide = side;
    game.reason = `${fault}: ${detail}`;
  };
  const goWords = (ply) => (fixedSeconds !== null ? `movetime ${fixedSeconds * 1000}`
    : clockWords(clock[0], clock[1], incrementMs, movesToGo(movesPerControl, ply)));
  try {
    for (let side = 0; side < 2; side++) {
      try {
        if (players[side].uci) {
          const old = players[side].engine;
          if (old && old.exited && !old.accounted) {
            old.accounted = true;
            game.exitFaults = (game.exitFaults || []).concat({ side, text: `${old.displayName || players[side].name} died between games (code ${old.exited.code}, signal ${old.exited.signal})` });
          }
          engines[side] = await uciEngine(players[side], colours[side]);
        } else await handshake(engines[side]);
      } catch (error) {
        if (players[side].uci) engines[side] = players[side].engine;
        if (error.timeout && engines[side]) engines[side].broken = true;
        faultEnd(side, error.crash ? 'crash' : 'no reply', error.message);
        throw error;
      }
    }
    game.names = engines.map((e, i) => e.displayName || players[i].name);
    for (const [i, e] of engines.entries()) {
      if (e.uci) continue;
      if (opening.fen !== kStartFen && e.features.setboard !== '1') {
        console.error(`match: ${game.names[i]} cannot set up a FEN (no setboard feature): ${opening.fen}`);
        process.exit(2);
      }
      send(e, 'new');
      // No pondering, as both share the machine, unless engine 1 is asked to.
      send(e, players[i].ponder ? 'hard' : 'easy');
      send(e, fixedSeconds !== null ? `st ${fixedSeconds}` : levelCommand());
      send(e, 'force');
      if (opening.fen !== kStartFen) send(e, `setboard ${opening.fen}`);
      for (const move of opening.moves) send(e, moveText(e, move));
    }
    // Like xboard, wait until an engine with ping has taken all that in:
    // GNU Chess still works through "new" when the first move arrives.
    for (const e of engines) {
      if (e.uci || e.features.ping !== '1') continue;
      try {
        await ask(e, [`ping ${round}`], 30000, (line) => (line === `pong ${round}` ? true : undefined));
      } catch (error) {
        faultEnd(engines.indexOf(e), error.crash ? 'crash' : 'no reply', error.message);
        throw error;
      }
    }
    for (const move of opening.moves) lans.push(chess.move(move).lan);

    while (true) {
      const end = arbiterEnd(chess);
      if (end) { game.result = end.result; game.reason = end.reason; break; }
      if (options.maxPlies !== null && chess.history().length >= options.maxPlies) {
        game.result = '1/2-1/2';
        game.reason = `adjudicated a draw at ${options.maxPlies} plies`;
        break;
      }
      const side = chess.turn() === 'w' ? 0 : 1;
      const engine = engines[side];
      const ply = chess.history().length;  // the opening included
      const limit = fixedSeconds !== null ? fixedSeconds * 3000 + kNoReplyMs : clock[side] + kNoReplyMs;
      let answer;
      let started;
      try {
        if (engine.uci) {
          // As a GUI does: the expected move ends the ponder search with
          // "ponderhit"; any other is "stop" (its bestmove thrown away, once
          // checked) and the whole game again.
          let lines = null;
          const ponder = engine.pondering;
          engine.pondering = null;
          if (engine.earlyBest) { faultEnd(side, 'bestmove while pondering', engine.earlyBest); break; }
          if (ponder && ponder.move === lastMove.lan) {
            lines = ['ponderhit'];
          } else if (ponder) {
            const dropped = await awaitBest(engine, ['stop'], kNoReplyMs);
            if (dropped.fault) { faultEnd(side, dropped.fault, `${dropped.detail} (ponder search)`); break; }
          }
          if (!lines) {
            watchSearch(engine, chess.fen());
            lines = [positionCommand(opening.fen, lans), `go ${goWords(ply)}`];
          }
          started = process.hrtime.bigint();
          answer = await awaitBest(engine, lines, limit);
        } else {
          const lines = [];
          if (fixedSeconds === null) {
            lines.push(`time ${Math.trunc(clock[side] / 10)}`, `otim ${Math.trunc(clock[1 - side] / 10)}`);
          }
          if (lastMove) lines.push(moveText(engine, lastMove));
          if (inForce[side]) lines.push('go');
          started = process.hrtime.bigint();
          answer = await ask(engine, lines, limit, reply);
        }
      } catch (error) {
        if (error.timeout) engine.broken = true;
        faultEnd(side, error.crash ? 'crash' : 'no reply', error.message);
        break;
      }
      const spent = Number((process.hrtime.bigint() - started) / 1000000n);
      inForce[side] = false;
      if (answer.resign) { game.result = lossFor(side); game.reason = `${game.names[side]} resigns`; break; }
      if (answer.refused) { faultEnd(side, 'refused a legal move', answer.refused); break; }
      if (answer.claim) {
        const end = arbiterEnd(chess);
        if (answer.claim === lossFor(side)) { game.result = answer.claim; game.reason = `${game.names[side]} resigns ${answer.text}`.trim(); }
        else if (end && end.result === answer.claim) { game.result = end.result; game.reason = end.reason; }
        else faultEnd(side, 'false claim', `${answer.claim} ${answer.text}`.trim());
        break;
      }
      const record = { side, ply, remaining: clock[side], spent, replying: lastMove !== null };
      game.moveTimes.push(record);
      if (fixedSeconds === null) {
        clock[side] -= spent;
        if (clock[side] < 0) {
          faultEnd(side, 'time forfeit', `move ${answer.move} took ${spent} ms with ${record.remaining} ms on the clock`);
          break;
        }
        // The side's 40th, 80th, ... move brings the next control; the
        // increment comes after every move.
        const ownMoves = Math.floor(ply / 2) + 1;
        if (movesPerControl > 0 && ownMoves % movesPerControl === 0) {
          record.leftAtControl = clock[side];
          clock[side] += controlMs;
        }
        clock[side] += incrementMs;
        record.after = clock[side];
      }
      if (answer.fault) { faultEnd(side, answer.fault, answer.detail); break; }
      const played = engine.uci ? playUci(chess, answer.move) : applyMove(chess, answer.move);
      if (!played) {
        faultEnd(side, 'illegal move', `${answer.move} in ${chess.fen()}`);
        break;
      }
      lans.push(played.lan);
      lastMove = played;
      // Pondering: the position after the expected reply, with the clocks
      // as they stand now, unless that reply ends the game.
      if (engine.uci && players[side].ponder && answer.ponder) {
        playUci(chess, answer.ponder);
        const over = arbiterEnd(chess);
        const fen = chess.fen();
        chess.undo();
        if (!over) {
          watchSearch(engine, fen);
          engine.pondering = { move: answer.ponder };
          send(engine, `${positionCommand(opening.fen, [...lans, answer.ponder])}\ngo ponder ${goWords(ply + 2)}`);
        }
      }
    }
  } catch (error) {
    if (!game.fault) faultEnd(0, 'crash', error.message);
  }
  for (let side = 0; side < 2; side++) {
    const engine = engines[side];
    if (!engine) continue;
    const wasDead = engine.exited !== null;
    if (wasDead) engine.accounted = true;  // a crash in the game is its fault already
    if (engine.uci && !wasDead && !engine.broken) {
      // The engine stays for the next game; a ponder search left running is
      // stopped and its bestmove checked.
      if (!engine.pondering) continue;
      engine.pondering = null;
      try {
        const dropped = await awaitBest(engine, ['stop'], kNoReplyMs);
        if (dropped.fault) game.lateFaults.push({ side, fault: dropped.fault, text: `${dropped.detail} (ponder search after the game)` });
      } catch (error) {
        if (error.timeout) engine.broken = true;
        game.lateFaults.push({ side, fault: error.crash ? 'crash' : 'no reply', text: `${error.message} (ponder search after the game)` });
      }
      if (!engine.broken) continue;
    }
    if (!wasDead && !engine.uci) send(engine, `result ${game.result} {${game.reason}}`);
    if (engine.exited !== null) continue;
    const exit = await stopEngine(engine);
    engine.accounted = true;  // its exit is judged here, not as a death between games
    // A crash at exit does not change a finished game, but it is a fault.
    if (!wasDead && (exit.signal || exit.code !== 0)) {
      game.exitFaults = (game.exitFaults || []).concat({ side, text: `${game.names[side] || players[side].name} ended with code ${exit.code}, signal ${exit.signal}` });
    }
  }
  game.chess = chess;
  game.opening = opening;
  return game;
}

function pgnOf(game, white, black) {
  const chess = new Chess(game.opening.fen);
  for (const move of game.chess.history({ verbose: true })) chess.move(move);
  const now = new Date();
  const date = `${now.getFullYear()}.${String(now.getMonth() + 1).padStart(2, '0')}.${String(now.getDate()).padStart(2, '0')}`;
  for (const [key, value] of [['Event', 'tools/match'], ['Site', 'local'], ['Date', date],
    ['Round', String(game.round)], ['White', white], ['Black', black], ['Result', game.result],
    ['TimeControl', fixedSeconds !== null ? `${fixedSeconds}` : movesPerControl === 0
      ? `${controlMs / 1000}${incrementMs ? `+${incrementMs / 1000}` : ''}` : `${movesPerControl}/${controlMs / 1000}`],
    ['Termination', game.fault ? game.fault : 'normal']]) chess.setHeader(key, value);
  chess.setComment(game.reason);
  return chess.pgn() + '\n\n';  // unwrapped: chess.js 1.4 drops blanks when wrapping
}

// Elo from the score fraction, with the 95% interval's half width from the
// per-game variance of the score.
function eloEstimate(wins, draws, losses) {
  const n = wins + draws + losses;
  const score = (wins + draws / 2) / n;
  const elo = (p) => (p <= 0 ? -Infinity : p >= 1 ? Infinity : -400 * Math.log10(1 / p - 1));
  const variance = (wins * (1 - score) ** 2 + draws * (0.5 - score) ** 2 + losses * score ** 2) / n;
  const margin = 1.96 * Math.sqrt(variance / n);
  return { score, elo: elo(score), error: (elo(Math.min(1, score + margin)) - elo(Math.max(0, score - margin))) / 2 };
}

const fmtElo = (x) => (Number.isFinite(x) ? x.toFixed(0) : x > 0 ? '+inf' : '-inf');

const openings = readOpenings(options.openings);
const players = [
  { command: options.engine1, dir: options.dir1, name: basename(options.engine1.split(/\s+/)[0]), uci: options.uci1,
    uciOptions: options.options1, ponder: options.ponder1 },
  { command: options.engine2, dir: options.dir2, name: basename(options.engine2.split(/\s+/)[0]), uci: options.uci2,
    uciOptions: options.options2, ponder: false },
];
if (options.pgn) writeFileSync(options.pgn, '');
const tally = { w: 0, d: 0, l: 0 };
const faults = [{}, {}];
const exitFaults = [0, 0];
const timeUse = { overrun: -Infinity, worst: null, leastAtControl: Infinity, leastClock: Infinity,
  leastAtEnd: Infinity, spent: 0, given: 0, middle: [0, 0], late: [0, 0] };
let played = 0;
// Stopped by hand (Ctrl-C, kill), a long match still reports the games it
// finished; the engines see their input end and quit on their own.
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.on(signal, () => {
    console.log(`stopped by ${signal} after ${played} of ${options.games} games`);
    process.exit(report());
  });
}
for (let g = options.first - 1; g < options.first - 1 + options.games; g++) {
  const opening = openings[Math.floor(g / 2) % openings.length];
  const firstWhite = g % 2 === 0;
  const order = firstWhite ? [players[0], players[1]] : [players[1], players[0]];
  const game = await playGame(g + 1, opening, order);
  const names = game.names.length ? game.names : order.map((p) => p.name);
  const firstSide = firstWhite ? 0 : 1;
  const points = game.result === '1/2-1/2' ? 0.5 : game.result === (firstSide === 0 ? '1-0' : '0-1') ? 1 : 0;
  if (points === 1) tally.w++;
  else if (points === 0.5) tally.d++;
  else tally.l++;
  if (game.fault) {
    const who = (game.faultSide === firstSide) ? 0 : 1;
    faults[who][game.fault] = (faults[who][game.fault] || 0) + 1;
  }
  for (const late of game.lateFaults) {
    const who = late.side === firstSide ? 0 : 1;
    faults[who][late.fault] = (faults[who][late.fault] || 0) + 1;
  }
  for (const bad of game.exitFaults || []) exitFaults[bad.side === firstSide ? 0 : 1]++;
  const use = gameTimeUse(game, firstSide);
  for (const t of game.moveTimes) {
    if (t.side !== firstSide) continue;
    if (t.leftAtControl !== undefined) timeUse.leastAtControl = Math.min(timeUse.leastAtControl, t.leftAtControl);
    timeUse.leastClock = Math.min(timeUse.leastClock, t.remaining - t.spent);
    if (options.timeuse && fixedSeconds === null) {
      const timePly = t.replying ? t.ply - 1 : t.ply;
      const timeWhite = t.replying ? t.side === 1 : t.side === 0;
      const control = { moves: movesPerControl, baseCs: Math.trunc(controlMs / 10), incrementCs: Math.trunc(incrementMs / 10) };
      const budgetMs = morvekBudget(Math.trunc(t.remaining / 10), timePly, timeWhite, t.ply, control) * 10;
      if (t.spent - budgetMs > timeUse.overrun) {
        timeUse.overrun = t.spent - budgetMs;
        timeUse.worst = { game: g + 1, ply: t.ply, spent: t.spent, budget: budgetMs };
      }
    }
  }
  if (options.pgn) appendFileSync(options.pgn, pgnOf(game, names[0], names[1]));
  const bad = [...(game.exitFaults || []).map((b) => b.text), ...game.lateFaults.map((f) => `${f.fault}: ${f.text}`)];
  const extra = bad.length ? ` [${bad.join('; ')}]` : '';
  let useText = '';
  if (use) {
    timeUse.leastAtEnd = Math.min(timeUse.leastAtEnd, use.left);
    timeUse.spent += use.spent;
    timeUse.given += use.given;
    for (const k of [0, 1]) { timeUse.middle[k] += use.middle[k]; timeUse.late[k] += use.late[k]; }
    useText = `; ${players[0].name} ended with ${use.left} ms, used ${(100 * use.spent / use.given).toFixed(0)}% of ${use.given} ms, `
      + `mean move ${meanText(use.middle)} over moves 11-40, ${meanText(use.late)} over 41-60`;
  }
  console.log(`game ${g + 1}: ${names[0]} - ${names[1]} ${game.result} (${game.reason}), ${game.chess.history().length} plies${extra}${useText}`);
  played++;
}
// UCI engines stay from game to game; they end with the match.
for (const [who, player] of players.entries()) {
  const engine = player.engine;
  if (!engine || engine.exited) {
    if (engine && !engine.accounted) {
      exitFaults[who]++;
      console.log(`${engine.displayName || player.name} died after the last game (code ${engine.exited.code}, signal ${engine.exited.signal})`);
    }
    continue;
  }
  const exit = await stopEngine(engine);
  if (exit.signal || exit.code !== 0) {
    exitFaults[who]++;
    console.log(`${engine.displayName || player.name} ended with code ${exit.code}, signal ${exit.signal}`);
  }
}
process.exit(report());

function meanText([sum, count]) { return count ? `${Math.round(sum / count)} ms` : '-'; }

// Engine 1's clock in one game: what it had left after its last move, what
// it spent and was given in all (start, controls, increments), and its move
// times summed and counted over its own moves 11-40 and 41-60 (opening
// moves included in the count, as the clock counts them).
function gameTimeUse(game, side) {
  if (fixedSeconds !== null) return null;
  const own = game.moveTimes.filter((t) => t.side === side && t.after !== undefined);
  if (own.length === 0) return null;
  const use = { left: own[own.length - 1].after, spent: 0, given: 0, middle: [0, 0], late: [0, 0] };
  for (const t of own) {
    use.spent += t.spent;
    const number = Math.floor(t.ply / 2) + 1;
    const bucket = number >= 11 && number <= 40 ? use.middle : number >= 41 && number <= 60 ? use.late : null;
    if (bucket) { bucket[0] += t.spent; bucket[1] += 1; }
  }
  use.given = use.spent + use.left;
  return use;
}

// Prints the tally of the games played; returns the exit code.
function report() {
  const n = played;
  if (n === 0) return 1;
  const est = eloEstimate(tally.w, tally.d, tally.l);
  const faultText = (f) => (Object.keys(f).length ? Object.entries(f).map(([k, v]) => `${k} ${v}`).join(', ') : 'none');
  console.log(`${players[0].name} vs ${players[1].name}: +${tally.w} =${tally.d} -${tally.l}, score ${(tally.w + tally.d / 2)}/${n} (${(100 * est.score).toFixed(1)}%), Elo ${fmtElo(est.elo)} +/- ${Number.isFinite(est.error) ? est.error.toFixed(0) : 'inf'}`);
  console.log(`faults of ${players[0].name}: ${faultText(faults[0])}, bad exits ${exitFaults[0]}; of ${players[1].name}: ${faultText(faults[1])}, bad exits ${exitFaults[1]}`);
  if (fixedSeconds === null) {
    const atControl = Number.isFinite(timeUse.leastAtControl) ? `${timeUse.leastAtControl} ms` : 'no control reached';
    let line = `time use of ${players[0].name}: least clock left at a control ${atControl}, least clock after a move ${timeUse.leastClock} ms`;
    if (Number.isFinite(timeUse.leastAtEnd)) {
      const middle = timeUse.middle[1] ? timeUse.middle[0] / timeUse.middle[1] : 0;
      const late = timeUse.late[1] ? timeUse.late[0] / timeUse.late[1] : 0;
      line += `, least clock at the end of a game ${timeUse.leastAtEnd} ms, used ${(100 * timeUse.spent / timeUse.given).toFixed(1)}% of the time given`
        + `, mean move ${meanText(timeUse.middle)} over moves 11-40 (${timeUse.middle[1]}), ${meanText(timeUse.late)} over 41-60 (${timeUse.late[1]})`
        + (middle > 0 && late > 0 ? `, ratio ${(late / middle).toFixed(2)}` : '');
    }
    if (options.timeuse && timeUse.worst) {
      const w = timeUse.worst;
      line += `, largest overrun beyond its budget ${timeUse.overrun} ms (game ${w.game}, ply ${w.ply}: ${w.spent} ms of ${w.budget} ms)`;
    }
    console.log(line);
  }
  return Object.keys(faults[0]).length + exitFaults[0] > 0 ? 1 : 0;
}
