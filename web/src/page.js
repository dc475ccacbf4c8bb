// The page: a board to play Morvek on or to analyse with it. The engine runs
// in its UCI worker (morvek-worker.js); chess.js keeps the rules (chessops, in
// chess960.js, those of Chess960), cm-chessboard draws the board and takes the
// moves (drag or two taps).
import { Chess } from 'chess.js';
import { Chessboard, COLOR, INPUT_EVENT_TYPE, FEN } from 'cm-chessboard/src/Chessboard.js';
import { Markers, MARKER_TYPE } from 'cm-chessboard/src/extensions/markers/Markers.js';
import { PromotionDialog } from 'cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js';
import { newClock, recordMove, forgetMove, goWords, timeLeft, clockStarted, formatTime } from './clock.js';
import { Game960, startFen960, number960 } from './chess960.js';
import { Engine, scoreText, whiteScore } from './uci.js';
import { drawGraph } from './graph.js';
import { learnedRecords, learnedSummary } from './learned.js';
import { engineAddress, watchEngine } from './runtime.js';

const $ = (id) => document.getElementById(id);

const state = {
  mode: 'play',          // 'play' or 'analyse'
  startFen: FEN.start,
  game: new Chess(),
  chess960: false,       // the game's rules; state.game is a Game960 then
  engine960: false,      // what the engine was last told of UCI_Chess960
  human: 'w',
  clock: null,
  turnStart: 0,          // when the side to move began thinking
  evals: [],             // White's score after each ply, where known
  over: null,            // the result text once the game has ended
  ponderMove: null,      // the engine's expected reply while it ponders
  ponderSearch: null,
  lines: new Map(),      // analysis lines by multipv number
  analysing: false,
  multipv: 1,            // the lines the engine was last asked for
};

const engine = new Engine(engineAddress());
watchEngine(engine);

const board = new Chessboard($('board'), {
  position: FEN.start,
  assetsUrl: './',
  style: { pieces: { file: 'pieces/standard.svg' }, animationDuration: 150 },
  extensions: [{ class: Markers, props: { autoMarkers: MARKER_TYPE.square } }, { class: PromotionDialog }],
});
window.morvek = { state, engine, board, pgnText: () => pgnText() };  // for the browser tests and the curious

// --- Positions and moves ---

function positionWords() {
  const start = state.startFen === FEN.start ? 'startpos' : `fen ${state.startFen}`;
  const moves = state.game.history({ verbose: true }).map((m) => m.lan);
  return moves.length ? `${start} moves ${moves.join(' ')}` : start;
}

// A game from fen under the rules of the one on the board.
function gameAt(fen) {
  return state.chess960 ? new Game960(fen) : new Chess(fen);
}

function sanLine(fen, pv, count = 12) {
  const game = gameAt(fen);
  const out = [];
  for (const lan of pv.slice(0, count)) {
    let move = null;
    try {
      move = game.move(lan);
    } catch (e) {
      move = null;
    }
    if (!move) break;
    out.push(move.san);
  }
  return out.join(' ');
}

function showLastMove() {
  board.removeMarkers(MARKER_TYPE.frame);
  const last = state.game.history({ verbose: true }).at(-1);
  if (last) {
    board.addMarker(MARKER_TYPE.frame, last.from);
    board.addMarker(MARKER_TYPE.frame, last.to);
  }
}

function refresh() {
  board.setPosition(state.game.fen(), false);
  showLastMove();
  $('fen').value = state.game.fen();
  const history = state.game.history();
  const firstNumber = Number(state.startFen.split(' ')[5] ?? 1);
  const blackFirst = state.startFen.split(' ')[1] === 'b';
  const parts = [];
  history.forEach((san, i) => {
    const ply = i + (blackFirst ? 1 : 0);
    if (ply % 2 === 0) parts.push(`${firstNumber + ply / 2}.`);
    else if (i === 0) parts.push(`${firstNumber}…`);
    parts.push(san);
  });
  $('moves').textContent = parts.join(' ') + (state.over ? ` ${state.over}` : '');
  $('moves').scrollTop = $('moves').scrollHeight;
  $('status').textContent = statusText();
  drawGraph($('graph'), state.evals, history.length);
  updateClocks();
}

function statusText() {
  if (state.over) return `Game over: ${state.over}`;
  if (state.mode === 'analyse') return state.analysing ? 'Analysing…' : 'Analysis stopped';
  const toMove = state.game.turn() === 'w' ? 'White' : 'Black';
  return state.game.turn() === state.human ? `${toMove} to move: your move` : `${toMove} to move: Morvek thinks`;
}

function gameResult() {
  const game = state.game;
  if (game.isCheckmate()) return game.turn() === 'w' ? '0-1' : '1-0';
  if (game.isDraw() || game.isStalemate() || game.isThreefoldRepetition() || game.isInsufficientMaterial()) return '1/2-1/2';
  return null;
}

// A move made on the board or by the engine.
function playMove(lan) {
  const side = state.game.turn();
  let move = null;
  try {
    move = state.game.move(lan);
  } catch (e) {
    move = null;
  }
  if (!move) return null;
  if (state.mode === 'play' && state.clock) {
    const elapsed = performance.now() - state.turnStart;
    if (!recordMove(state.clock, side, elapsed)) {
      state.game.undo();
      endGame(side === 'w' ? '0-1 (White lost on time)' : '1-0 (Black lost on time)');
      return null;
    }
  }
  state.turnStart = performance.now();
  state.evals.length = state.game.history().length;
  const result = gameResult();
  if (result && state.mode === 'play') endGame(result, false);  // the caller redraws
  return move;
}

function endGame(result, redraw = true) {
  state.over = result;
  engine.dropAll();
  state.ponderMove = state.ponderSearch = null;
  saveLearning();
  if (redraw) refresh();
}

function saveLearning() {
  engine.worker.postMessage({ save: true });
}

// --- Playing ---

function engineToMove() {
  if (state.mode !== 'play' || state.over || state.game.turn() === state.human) return;
  const after = state.game.history({ verbose: true }).at(-1);
  if (state.ponderSearch && !state.ponderSearch.dropped && after && after.lan === state.ponderMove) {
    // The expected reply: the pondering search carries on as the real one.
    const search = state.ponderSearch;
    state.ponderSearch = null;
    state.ponderMove = null;
    const fen = state.game.fen();
    const side = state.game.turn();
    search.onInfo = (info) => thinking(info, fen, side);
    search.onBest = engineMoved;
    engine.send('ponderhit');
    window.morvek.ponderhits = (window.morvek.ponderhits ?? 0) + 1;
    return;
  }
  state.ponderSearch = null;
  state.ponderMove = null;
  const fen = state.game.fen();
  const side = state.game.turn();
  engine.search(positionWords(), goWords(state.clock, side), {
    onInfo: (info) => thinking(info, fen, side),
    onBest: engineMoved,
  }, settingLines());
}

// The level and the learning chosen for the engine's game moves, said
// before each of them so that a change applies from the next move.
function settingLines() {
  const lines = [];
  // An analysis may have asked for several lines; a game move wants one.
  if (state.multipv > 1) lines.push('setoption name MultiPV value 1');
  state.multipv = 1;
  if (engine.options.has('Learning')) lines.push(`setoption name Learning value ${$('learningMode').value}`);
  if (!engine.options.has('UCI_LimitStrength')) return lines;
  const level = $('strength').value;
  return lines.concat(level === 'full' ? ['setoption name UCI_LimitStrength value false']
    : ['setoption name UCI_LimitStrength value true', `setoption name UCI_Elo value ${level}`]);
}

function thinking(info, fen, side) {
  const sign = whiteScore(info, side);
  $('thinking').textContent = `${scoreText(info, side)}  depth ${info.depth}  ${sanLine(fen, info.pv)}`;
  if (info.multipv === 1) state.evals[state.game.history().length] = sign;
}

function engineMoved(best, ponder) {
  if (state.over || state.mode !== 'play') return;
  const fenBefore = state.game.fen();
  if (best === '0000' || !playMove(best)) {
    console.warn(`engine move ${best} refused in ${fenBefore}`);
    return;
  }
  // The score the engine gave stays on the ply it played.
  state.evals[state.game.history().length] = state.evals[state.game.history().length - 1];
  refresh();
  if (!state.over && ponder && $('ponder').checked) {
    const side = state.game.turn() === 'w' ? 'b' : 'w';
    const words = `${positionWords()}${state.game.history().length ? '' : ' moves'} ${ponder}`;
    const ponderFen = (() => {
      const g = gameAt(state.game.fen());
      try { g.move(ponder); } catch (e) { return null; }
      return g.fen();
    })();
    if (!ponderFen) return;
    state.ponderMove = ponder;
    const search = engine.search(words, goWords(state.clock, side, true), {
      onInfo: (info) => {
        $('thinking').textContent = `pondering ${ponder}: ${scoreText(info, side)}  depth ${info.depth}  ${sanLine(ponderFen, info.pv)}`;
      },
      // Only a ponderhit (which replaces this) makes the answer a move.
      onBest: () => {
        if (state.ponderSearch === search) state.ponderSearch = null;
      },
    }, settingLines());
    state.ponderSearch = search;
  }
}

function onBoardInput(event) {
  if (event.type === INPUT_EVENT_TYPE.moveInputStarted) {
    if (state.over) return false;
    if (state.mode === 'play' && state.game.turn() !== state.human) return false;
    return state.game.moves({ square: event.squareFrom }).length > 0;
  }
  if (event.type === INPUT_EVENT_TYPE.validateMoveInput) {
    // The board never moves a piece on its own: the page draws every
    // position it accepts, so the board and the game cannot drift apart.
    const to = state.chess960 ? state.game.castlingSquare(event.squareFrom, event.squareTo) : event.squareTo;
    const legal = state.game.moves({ square: event.squareFrom, verbose: true }).filter((m) => m.to === to);
    if (legal.length === 0) return false;
    if (legal[0].promotion) {
      board.showPromotionDialog(event.squareTo, state.game.turn(), (result) => {
        if (result && result.piece) humanMove(event.squareFrom + event.squareTo + result.piece.charAt(1));
        else refresh();
      });
      return false;
    }
    humanMove(event.squareFrom + to);
    return false;
  }
  if (event.type === INPUT_EVENT_TYPE.moveInputCanceled && event.reason === 'clickedAnotherPiece' && state.chess960
      && state.game.moves({ square: event.squareFrom, verbose: true }).some((m) => m.to === event.squareTo)) {
    // The king clicked, then its own rook: castling. The board puts the
    // king back where it stood once this returns; draw the game again then.
    humanMove(event.squareFrom + event.squareTo);
    setTimeout(() => board.setPosition(state.game.fen(), false));
  }
  return true;
}

function humanMove(lan) {
  if (!playMove(lan)) {
    refresh();
    return;
  }
  refresh();
  if (state.mode === 'play') {
    if (state.ponderSearch && lan !== state.ponderMove) {
      engine.dropAll();
      state.ponderSearch = null;
    }
    engineToMove();
  } else {
    analyse();
  }
}

function clockSettings() {
  const kind = $('clockKind').value;
  if (kind === 'sudden') return newClock(kind, { minutes: Number($('sdMinutes').value), increment: Number($('sdIncrement').value) });
  if (kind === 'moves') return newClock(kind, { moves: Number($('mcMoves').value), minutes: Number($('mcMinutes').value) });
  return newClock(kind, { seconds: Number($('fixedSeconds').value) });
}

function newGame(fen = FEN.start, chess960 = state.chess960) {
  engine.dropAll();
  // A game left unfinished is a game played: what it taught is kept too.
  if (!state.over && state.mode === 'play' && state.game.history().length > 0) saveLearning();
  state.chess960 = chess960;
  state.game = gameAt(fen);
  state.startFen = fen;
  state.evals = [];
  state.over = null;
  state.ponderMove = state.ponderSearch = null;
  state.clock = clockSettings();
  state.turnStart = performance.now();
  state.lines.clear();
  $('thinking').textContent = '';
  $('lines').innerHTML = '';
  const number = chess960 ? number960(state.game.fen()) : null;
  $('game960').textContent = chess960 ? `Chess960${number === null ? '' : ` no. ${number}`}` : '';
  // Said only when it changes, so a standard game's talk stays as it was.
  if (chess960 !== state.engine960) {
    engine.send(`setoption name UCI_Chess960 value ${chess960}`);
    state.engine960 = chess960;
  }
  engine.send('ucinewgame');
  engine.send(`setoption name Ponder value ${$('ponder').checked}`);
  turnBoard(state.human === 'w' ? COLOR.white : COLOR.black);
  refresh();
  if (state.mode === 'play') engineToMove();
  else analyse();
}

function takeBack() {
  engine.dropAll();
  state.ponderSearch = state.ponderMove = null;
  if (state.over) state.over = null;
  // Back to the human's turn: one ply after an engine move, two otherwise.
  const plies = state.mode === 'play' && state.game.turn() === state.human ? 2 : 1;
  for (let i = 0; i < plies && state.game.history().length > 0; ++i) {
    const undone = state.game.undo();
    if (state.clock) forgetMove(state.clock, undone.color);
  }
  state.evals.length = state.game.history().length + 1;
  state.turnStart = performance.now();
  refresh();
  if (state.mode === 'play') engineToMove();
  else analyse();
}

// --- Analysis ---

function analyse() {
  state.lines.clear();
  $('lines').innerHTML = '';
  if (state.game.isGameOver()) {
    engine.dropAll();
    state.analysing = false;
    refresh();
    return;
  }
  const count = Math.max(1, Math.min(8, Number($('multipv').value) || 1));
  if (engine.options.has('MultiPV')) engine.send(`setoption name MultiPV value ${count}`);
  state.multipv = count;
  const fen = state.game.fen();
  const side = state.game.turn();
  const ply = state.game.history().length;
  state.analysing = true;
  engine.search(positionWords(), 'go infinite', {
    onInfo: (info) => {
      state.lines.set(info.multipv, info);
      if (info.multipv === 1) {
        state.evals[ply] = whiteScore(info, side);
        drawGraph($('graph'), state.evals, ply);
      }
      showLines(fen, side);
    },
    onBest: () => {
      state.analysing = false;
      refresh();
    },
  });
  refresh();
}

function showLines(fen, side) {
  const rows = [...state.lines.entries()].sort((a, b) => a[0] - b[0]);
  $('lines').innerHTML = '';
  for (const [, info] of rows) {
    const row = document.createElement('div');
    row.className = 'line';
    const score = document.createElement('b');
    score.textContent = scoreText(info, side);
    row.append(score, ` d${info.depth} `, sanLine(fen, info.pv));
    $('lines').append(row);
  }
  const first = state.lines.get(1);
  if (first) $('thinking').textContent = `depth ${first.depth}  ${first.nodes ?? ''} nodes  ${first.nps ?? ''} nps`;
}

function setMode(mode) {
  state.mode = mode;
  document.body.dataset.mode = mode;
  engine.dropAll();
  state.ponderSearch = state.ponderMove = null;
  state.analysing = false;
  $('thinking').textContent = '';
  if (mode === 'analyse') {
    state.over = null;
    analyse();
  } else {
    newGame(state.game.fen());
  }
  refresh();
}

// The side at the bottom, its clock below the board.
function turnBoard(color) {
  document.body.dataset.orientation = color;
  if (board.getOrientation() !== color) board.setOrientation(color);
}

// --- Clocks ---

function updateClocks() {
  const clock = state.clock;
  if (!clock) return;
  const running = state.mode === 'play' && !state.over;
  for (const side of ['w', 'b']) {
    const spent = running && state.game.turn() === side ? performance.now() - state.turnStart : 0;
    const left = timeLeft(clock, side, spent);
    const element = $(side === 'w' ? 'clockWhite' : 'clockBlack');
    element.textContent = `${side === 'w' ? 'White' : 'Black'} ${formatTime(left)}`;
    element.classList.toggle('running', running && state.game.turn() === side && clockStarted(clock, side));
    if (running && state.game.turn() === side && left <= 0) {
      endGame(side === 'w' ? '0-1 (White lost on time)' : '1-0 (Black lost on time)');
      return;
    }
  }
}

// --- PGN and FEN ---

function pgnText() {
  const date = new Date();
  const headers = [
    ['Event', state.mode === 'play' ? 'Game against Morvek' : 'Analysis'],
    ['Site', location.host || 'local'],
    ['Date', `${date.getFullYear()}.${String(date.getMonth() + 1).padStart(2, '0')}.${String(date.getDate()).padStart(2, '0')}`],
    ['White', state.mode === 'play' && state.human === 'b' ? 'Morvek' : 'Player'],
    ['Black', state.mode === 'play' && state.human === 'w' ? 'Morvek' : 'Player'],
    ['Result', state.over ? state.over.split(' ')[0] : '*'],
  ];
  if (state.chess960) return state.game.pgn(headers);
  const game = new Chess(state.startFen);
  for (const m of state.game.history({ verbose: true })) game.move(m.lan);
  for (const [name, value] of headers) game.setHeader(name, value);
  return game.pgn();
}

async function copyPgn() {
  const text = pgnText();
  try {
    await navigator.clipboard.writeText(text);
    $('status').textContent = 'PGN copied';
  } catch (e) {
    $('pgnOut').value = text;
    $('pgnOut').hidden = false;
    $('pgnOut').select();
  }
}

function download(name, text, type = 'text/plain') {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([text], { type }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function downloadPgn() {
  download('morvek.pgn', pgnText(), 'application/x-chess-pgn');
}

// A FEN set up under the rules the Variant box names.
function setFen() {
  const fen = $('fen').value.trim();
  const chess960 = $('variant').value === '960';
  try {
    if (chess960) new Game960(fen);
    else new Chess(fen);
  } catch (e) {
    $('status').textContent = `FEN refused: ${e.message}`;
    return;
  }
  newGame(fen, chess960);
}

// The start the Variant box asks for: the standard one, or the Chess960 one
// of the number typed (a random one when none is).
function chosenStart() {
  if ($('variant').value !== '960') return [FEN.start, false];
  const typed = $('number960').value.trim();
  const number = typed === '' ? Math.floor(Math.random() * 960) : Math.max(0, Math.min(959, Math.floor(Number(typed)) || 0));
  return [startFen960(number), true];
}

// --- Start ---

function wire() {
  board.enableMoveInput(onBoardInput);
  $('newGame').onclick = () => {
    state.human = $('color').value === 'random' ? (Math.random() < 0.5 ? 'w' : 'b') : $('color').value;
    if (state.mode !== 'play') setMode('play');
    newGame(...chosenStart());
  };
  $('takeBack').onclick = takeBack;
  $('flip').onclick = () => turnBoard(document.body.dataset.orientation === COLOR.white ? COLOR.black : COLOR.white);
  $('copyPgn').onclick = copyPgn;
  $('downloadPgn').onclick = downloadPgn;
  $('setFen').onclick = setFen;
  $('modePlay').onclick = () => setMode('play');
  $('modeAnalyse').onclick = () => setMode('analyse');
  $('go').onclick = () => analyse();
  $('stop').onclick = () => engine.stop();
  $('multipv').onchange = () => { if (state.mode === 'analyse') analyse(); };
  // Said only on a change: a game with the default search sends what it always sent.
  $('searchKind').onchange = () => {
    engine.send(`setoption name Search value ${$('searchKind').value}`);
    if (state.mode === 'analyse' && state.analysing) analyse();
  };
  $('ponder').onchange = () => {
    engine.send(`setoption name Ponder value ${$('ponder').checked}`);
    if (!$('ponder').checked && state.ponderSearch) {
      engine.dropAll();
      state.ponderSearch = state.ponderMove = null;
    }
  };
  $('clockKind').onchange = () => { document.body.dataset.clock = $('clockKind').value; };
  document.body.dataset.clock = $('clockKind').value;
  $('variant').onchange = () => { document.body.dataset.variant = $('variant').value; };
  document.body.dataset.variant = $('variant').value;
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') saveLearning();
  });
  // What was learned: asked of the worker when the panel opens.
  let learnedEpd = '';
  $('learnedPanel').ontoggle = () => {
    if ($('learnedPanel').open) engine.worker.postMessage({ learned: true });
  };
  $('learnedEpd').onclick = () => download('morvek-learned.epd', learnedEpd);
  engine.controls.push((message) => {
    if (message.learnedFile !== undefined) {
      const records = message.learnedFile ? learnedRecords(message.learnedFile) : [];
      if (records === null) {
        $('learnedSummary').textContent = 'The learning file kept here cannot be read.';
        return;
      }
      const summary = learnedSummary(records);
      learnedEpd = summary.epd;
      window.morvek.learned = summary;
      $('learnedSummary').textContent = records.length
        ? `${summary.positions} positions: ${summary.book} from the book, ${summary.searched.length} with a search result`
          + (summary.searched.length ? ' (deepest first, score for the side to move):' : '.')
        : 'Nothing learned in this browser yet.';
      $('learnedList').replaceChildren(...summary.searched.slice(0, 20).map((r) => {
        const item = document.createElement('li');
        item.textContent = `depth ${r.depth}, ${r.score} cp: ${r.text}`;
        return item;
      }));
      return;
    }
    if (message.saved) $('learning').textContent = `Learning saved in this browser (${message.bytes} bytes).`;
    if (message.learning) $('learning').textContent = message.learning.bytes
      ? `Learning read from this browser (${message.learning.bytes} bytes).`
      : 'No learning kept in this browser yet: starting from the book.';
    window.morvek.learning = { ...(window.morvek.learning || {}), ...(message.learning || {}), ...(message.saved ? { saved: message } : {}) };
    if (message.saved) window.morvek.saves = (window.morvek.saves ?? 0) + 1;
  });
  setInterval(updateClocks, 200);
}

async function start() {
  wire();
  const ready = engine.waitFor((line) => line === 'uciok');
  engine.send('uci');
  await ready;
  $('multipvRow').hidden = !engine.options.has('MultiPV');
  $('strengthRow').hidden = !engine.options.has('UCI_LimitStrength');
  $('variantRow').hidden = !engine.options.has('UCI_Chess960');
  $('searchRow').hidden = !engine.options.has('Search');
  const isReady = engine.waitFor((line) => line === 'readyok');
  engine.send('isready');
  await isReady;
  document.body.dataset.engine = 'ready';
  newGame();
}

start();
