// A UCI engine seen through the xboard words the match runner speaks: what
// the runner writes is turned into UCI ("new" -> ucinewgame, a move or "go"
// -> position + go with the clock, "ping" -> isready), and what the engine
// says back into xboard ("uciok" -> the feature lines, "bestmove" -> "move",
// "readyok" -> "pong"). The bridge keeps the game's moves, since UCI sends
// the whole game with every "go".

// Moves to go under an N-move control for the side with ownMoves moves made.
export function movesToGo(movesPerControl, ownMoves) {
  return movesPerControl > 0 ? movesPerControl - (ownMoves % movesPerControl) : 0;
}

// "level MPS BASE INC": BASE in minutes or minutes:seconds, INC in seconds.
function readLevel(words) {
  const [mps, base, inc] = words;
  const [minutes, seconds = '0'] = base.split(':');
  return { movesPerControl: Number(mps), incrementMs: Math.round(Number(inc || 0) * 1000),
    baseMs: Math.round((Number(minutes) * 60 + Number(seconds)) * 1000) };
}

// options: [name, value] pairs sent as "setoption" right after "uci".
export function uciBridge(options = []) {
  const state = {
    moves: [], force: false, moveTimeMs: null, level: { movesPerControl: 40, incrementMs: 0 },
    ownMs: null, otherMs: null, pongs: [], name: null,
  };

  function goCommand() {
    const ply = state.moves.length;
    const white = ply % 2 === 0;
    const position = `position startpos${ply ? ` moves ${state.moves.join(' ')}` : ''}`;
    if (state.moveTimeMs !== null) return `${position}\ngo movetime ${state.moveTimeMs}\n`;
    if (state.ownMs === null) return `${position}\ngo\n`;
    const own = Math.max(0, state.ownMs), other = Math.max(0, state.otherMs ?? state.ownMs);
    const inc = state.level.incrementMs;
    let go = `go wtime ${white ? own : other} btime ${white ? other : own} winc ${inc} binc ${inc}`;
    const toGo = movesToGo(state.level.movesPerControl, Math.floor(ply / 2));
    if (toGo > 0) go += ` movestogo ${toGo}`;
    return `${position}\n${go}\n`;
  }

  // One xboard line to UCI text ('' for nothing).
  function translate(line) {
    const words = line.trim().split(/\s+/);
    const word = words[0];
    switch (word) {
      case '': case 'xboard': case 'accepted': case 'rejected': case 'easy': case 'hard':
      case 'post': case 'nopost': case 'random': case 'computer': case 'result':
        return '';
      case 'protover':
        return `uci\n${options.map(([name, value]) => `setoption name ${name} value ${value}\n`).join('')}`;
      case 'new':
        state.moves = [];
        state.force = false;
        return 'ucinewgame\n';
      case 'force': state.force = true; return '';
      case 'level': state.level = readLevel(words.slice(1)); state.moveTimeMs = null; return '';
      case 'st': state.moveTimeMs = Math.round(Number(words[1]) * 1000); return '';
      case 'time': state.ownMs = Number(words[1]) * 10; return '';
      case 'otim': state.otherMs = Number(words[1]) * 10; return '';
      case 'ping': state.pongs.push(words[1]); return 'isready\n';
      case 'go': state.force = false; return goCommand();
      case 'quit': return 'quit\n';
      case 'usermove': words.shift(); // falls through: the move itself
      default:
        if (!/^[a-h][1-8][a-h][1-8][qrbn]?$/.test(words[0])) return '';
        state.moves.push(words[0]);
        return state.force ? '' : goCommand();
    }
  }

  return {
    toEngine: (text) => text.split('\n').filter((l) => l.length).map(translate).join(''),
    // One UCI line to the xboard lines the runner reads.
    fromEngine(line) {
      if (line.startsWith('id name ')) { state.name = line.slice(8).trim(); return []; }
      if (line === 'uciok') {
        const name = state.name ? ` myname="${state.name}"` : '';
        return [`feature ping=1 setboard=0 usermove=0 san=0${name}`, 'feature done=1'];
      }
      if (line === 'readyok') return state.pongs.length ? [`pong ${state.pongs.shift()}`] : [];
      const m = /^bestmove\s+(\S+)/.exec(line);
      if (m) {
        state.moves.push(m[1]);
        return [`move ${m[1]}`];
      }
      return [line];
    },
  };
}
