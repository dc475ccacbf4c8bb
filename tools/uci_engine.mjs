// A UCI engine driven as GUIs and match runners drive one: "uci", the
// options, "isready"; before every move the whole game as "position startpos
// moves ..." (or "position fen F moves ...") and "go" with both clocks; "go
// ponder" on the expected reply, then "ponderhit" or "stop". Everything the
// engine says about a position is checked against it with chess.js: the
// bestmove, the ponder move after it, and every move of every "info ... pv".
import { Chess } from 'chess.js';
import { send, ask } from './engine.mjs';

export const kStartFen = new Chess().fen();

// "position" for the game from startFen with the moves (UCI text) played.
export function positionCommand(startFen, moves) {
  const start = startFen === kStartFen ? 'position startpos' : `position fen ${startFen}`;
  return moves.length ? `${start} moves ${moves.join(' ')}` : start;
}

// Moves to go, this one included, under an N-move control for the side
// about to make its move at ply (0 at the game's start): 0 for sudden death.
export function movesToGo(movesPerControl, ply) {
  return movesPerControl > 0 ? movesPerControl - (Math.floor(ply / 2) % movesPerControl) : 0;
}

// "go" words for a real clock: clocks in ms (white, black), increment in ms.
export function clockWords(whiteMs, blackMs, incrementMs, toGo) {
  const ms = (x) => Math.max(0, Math.round(x));
  const words = `wtime ${ms(whiteMs)} btime ${ms(blackMs)} winc ${incrementMs} binc ${incrementMs}`;
  return toGo > 0 ? `${words} movestogo ${toGo}` : words;
}

// Plays one move in UCI text on chess, strictly: the text must be that of a
// legal move, promotion letter included. Returns the chess.js move or null.
export function playUci(chess, text) {
  if (!/^[a-h][1-8][a-h][1-8][qrbn]?$/.test(text)) return null;
  let move;
  try {
    move = chess.move({ from: text.slice(0, 2), to: text.slice(2, 4), promotion: text[4] });
  } catch {
    return null;
  }
  if (move.lan !== text) {  // a promotion letter on a move that is none
    chess.undo();
    return null;
  }
  return move;
}

// The moves of an "info" line's pv, or null when it has none.
export function pvOf(line) {
  const words = line.trim().split(/\s+/);
  if (words[0] !== 'info' || words[1] === 'string') return null;
  const at = words.indexOf('pv');
  return at < 0 ? null : words.slice(at + 1);
}

// The first move of moves that is not a legal continuation of fen, as
// "move N (text)", or null when all are.
export function illegalIn(fen, moves) {
  const chess = new Chess(fen);
  for (const [i, text] of moves.entries()) {
    if (!playUci(chess, text)) return `move ${i + 1} (${text})`;
  }
  return null;
}

// The engine's options are set once, after "uciok"; "isready" then waits
// until it has taken them in.
export async function uciHandshake(engine, options = [], timeoutMs = 30000) {
  engine.uci = true;
  await ask(engine, ['uci'], timeoutMs, (line) => {
    if (line.startsWith('id name ')) engine.displayName = line.slice(8).trim();
    return line === 'uciok' ? true : undefined;
  });
  const lines = options.map(([name, value]) => `setoption name ${name} value ${value}`);
  await isReady(engine, lines, timeoutMs);
}

export function isReady(engine, lines = [], timeoutMs = 30000) {
  return ask(engine, [...lines, 'isready'], timeoutMs, (line) => (line === 'readyok' ? true : undefined));
}

// Watches the search from fen: every pv must be legal there. The first bad
// one is kept in engine.badPv for whoever takes the bestmove.
export function watchSearch(engine, fen) {
  engine.root = fen;
  engine.badPv = null;
  engine.earlyBest = null;
  engine.listener = (line) => {
    const pv = pvOf(line);
    if (pv && !engine.badPv) {
      const bad = illegalIn(fen, pv);
      if (bad) engine.badPv = `${bad} of "${line}" in ${fen}`;
    }
    // Pondering, an engine may say bestmove only after "stop" or "ponderhit".
    if (engine.pondering && /^bestmove\b/.test(line)) engine.earlyBest = line;
  };
}

const bestLine = (line) => (/^bestmove\b/.test(line) ? line : undefined);

// Sends lines and waits for the bestmove of the search watched from
// engine.root. Resolves { move, ponder, fault, detail }: move is the text of
// a legal bestmove, ponder that of a legal reply to it (or null); fault, when
// set, is "illegal move", "illegal ponder move" or "illegal pv". Rejects as
// ask does on a timeout or an exit.
export async function awaitBest(engine, lines, timeoutMs) {
  const line = await ask(engine, lines, timeoutMs, bestLine);
  return judgeBest(engine.root, line, engine.badPv);
}

// The verdict on "bestmove X [ponder P]" from fen, given the first bad pv.
export function judgeBest(fen, line, badPv = null) {
  const words = line.trim().split(/\s+/);
  const move = words[1] || '';
  const ponder = words[2] === 'ponder' ? words[3] || '' : null;
  const chess = new Chess(fen);
  if (!playUci(chess, move)) return { fault: 'illegal move', detail: `bestmove ${move} in ${fen}` };
  if (ponder !== null && !playUci(chess, ponder)) {
    return { fault: 'illegal ponder move', detail: `ponder ${ponder} after ${move} in ${fen}` };
  }
  if (badPv) return { move, ponder, fault: 'illegal pv', detail: badPv };
  return { move, ponder };
}
