// Chess960 on the page: the start positions by number and a game with the
// part of chess.js's interface the page uses, its rules kept by chessops
// (lichess's library; chess.js castles only from the standard squares).
// Moves are written as the engine reads them with UCI_Chess960 on: castling
// as the king taking its own rook (e1h1); FENs in X-FEN (KQkq while the
// castling rooks are the outermost ones, a file letter otherwise), as
// lichess writes them.
import { Chess } from 'chessops/chess';
import { makeFen, parseFen } from 'chessops/fen';
import { Node, extend, makePgn } from 'chessops/pgn';
import { makeSan } from 'chessops/san';
import { makeSquare, parseSquare, parseUci, squareRank } from 'chessops/util';

// The knights' places among the five squares the bishops and the queen leave.
const kKnights = ['NN---', 'N-N--', 'N--N-', 'N---N', '-NN--', '-N-N-', '-N--N', '--NN-', '--N-N', '---NN'];

// White's back rank of start position n (Scharnagl's numbering, 0-959; 518
// is the standard one): n's base-4 digits place the light- and the
// dark-squared bishop, a base-6 digit the queen on the free squares, the rest
// the knights; rook, king, rook take the three squares left.
export function backRank960(n) {
  const rank = Array(8).fill('');
  const free = () => rank.flatMap((piece, file) => (piece ? [] : [file]));
  rank[2 * (n % 4) + 1] = 'B';
  rank[2 * (Math.floor(n / 4) % 4)] = 'B';
  rank[free()[Math.floor(n / 16) % 6]] = 'Q';
  const five = free();
  [...kKnights[Math.floor(n / 96)]].forEach((c, i) => { if (c === 'N') rank[five[i]] = 'N'; });
  const [queenRook, king, kingRook] = free();
  rank[queenRook] = rank[kingRook] = 'R';
  rank[king] = 'K';
  return rank.join('');
}

export function startFen960(n) {
  const rank = backRank960(n);
  return `${rank.toLowerCase()}/pppppppp/8/8/8/8/PPPPPPPP/${rank} w KQkq - 0 1`;
}

// The number of a start position, or null when fen is none.
export function number960(fen) {
  const [placement, turn, castling] = fen.split(' ');
  if (turn !== 'w' || castling !== 'KQkq') return null;
  for (let n = 0; n < 960; ++n) if (startFen960(n).startsWith(`${placement} `)) return n;
  return null;
}

export class Game960 {
  // Throws on a FEN chessops refuses (Shredder-FEN and X-FEN are read).
  constructor(fen) {
    this.chess960 = true;
    this.startFen = fen;
    this.positions = [Chess.fromSetup(parseFen(fen).unwrap()).unwrap()];
    this.played = [];  // chess.js-like records of the moves played
  }

  get position() { return this.positions.at(-1); }
  fen() { return makeFen(this.position.toSetup()); }
  turn() { return this.position.turn[0]; }

  // A move in UCI form ('e2e4', 'e7e8q', castling 'e1h1') or {from, to,
  // promotion}; throws on an illegal one, as chess.js does.
  move(input) {
    const text = typeof input === 'string' ? input : `${input.from}${input.to}${input.promotion ?? ''}`;
    const move = parseUci(text);
    const before = this.position;
    // chessops also takes the king's two-square step for castling: the page
    // asks castlingSquare for that, so only the rook's square counts here.
    if (!move || !before.dests(move.from).has(move.to) || !before.isLegal(move)) throw new Error(`Invalid move: ${text}`);
    const after = before.clone();
    after.play(move);
    const record = {
      color: this.turn(), from: text.slice(0, 2), to: text.slice(2, 4), lan: text.slice(0, 5),
      san: makeSan(before, move), promotion: text[4], before: this.fen(), after: makeFen(after.toSetup()),
    };
    this.positions.push(after);
    this.played.push(record);
    return record;
  }

  undo() {
    if (this.played.length === 0) return null;
    this.positions.pop();
    return this.played.pop();
  }

  history({ verbose = false } = {}) {
    return verbose ? [...this.played] : this.played.map((m) => m.san);
  }

  // The legal moves (of one square), as UCI records or SAN.
  moves({ square, verbose = false } = {}) {
    const pos = this.position;
    const out = [];
    for (const [from, dests] of pos.allDests()) {
      if (square && makeSquare(from) !== square) continue;
      for (const to of dests) {
        const promotes = pos.board.pawn.has(from) && (squareRank(to) === 0 || squareRank(to) === 7);
        for (const promotion of promotes ? ['q', 'r', 'b', 'n'] : ['']) {
          const lan = makeSquare(from) + makeSquare(to) + promotion;
          out.push(verbose ? { from: makeSquare(from), to: makeSquare(to), lan, promotion: promotion || undefined }
            : makeSan(pos, parseUci(lan)));
        }
      }
    }
    return out;
  }

  // Where a king dropped on `to` castles: on its own castling rook, or two
  // files along the back rank toward one (no other king move goes there).
  // Any other square is returned as it is.
  castlingSquare(from, to) {
    const pos = this.position;
    const king = parseSquare(from);
    const target = parseSquare(to);
    if (king === undefined || target === undefined || !pos.board.king.has(king) || pos.board.get(king).color !== pos.turn
      || squareRank(king) !== squareRank(target) || Math.abs(target - king) !== 2) return to;
    const rook = pos.castles.rook[pos.turn][target > king ? 'h' : 'a'];
    return rook !== undefined && pos.dests(king).has(rook) ? makeSquare(rook) : to;
  }

  isCheck() { return this.position.isCheck(); }
  isCheckmate() { return this.position.isCheckmate(); }
  isStalemate() { return this.position.isStalemate(); }
  isInsufficientMaterial() { return this.position.isInsufficientMaterial(); }
  isThreefoldRepetition() {
    const keys = this.positions.map((p) => makeFen(p.toSetup(), { epd: true }));
    return keys.filter((key) => key === keys.at(-1)).length >= 3;
  }
  isDraw() {
    return this.position.halfmoves >= 100 || this.isStalemate() || this.isInsufficientMaterial() || this.isThreefoldRepetition();
  }
  isGameOver() { return this.isCheckmate() || this.isDraw(); }

  // The game as PGN: the headers given ([name, value] pairs, Seven Tag
  // Roster first), then the ones that make it a Chess960 game.
  pgn(headers) {
    const game = {
      headers: new Map([...headers, ['Variant', 'Chess960'], ['SetUp', '1'], ['FEN', makeFen(this.positions[0].toSetup())]]),
      moves: new Node(),
    };
    extend(game.moves, this.played.map((m) => ({ san: m.san })));
    return makePgn(game);
  }
}
