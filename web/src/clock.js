// The game clock of the page: three kinds, each side's time in milliseconds,
// and the UCI "go" words that hand the engine its share.
//   sudden: {minutes, increment}  (sudden death plus an increment per move)
//   moves:  {moves, minutes}      (that many moves in that time, repeated)
//   fixed:  {seconds}             (every engine move gets that long; no flags)
// As on the playing sites, a side's clock starts once it has made its first
// move: that move costs no time and earns no increment.

export function newClock(kind, settings) {
  const base = kind === 'fixed' ? 0 : Math.round(settings.minutes * 60000);
  return {
    kind,
    settings,
    base,
    remaining: { w: base, b: base },
    movesMade: { w: 0, b: 0 },
  };
}

export function clockStarted(clock, side) {
  return clock.movesMade[side] > 0;
}

// The time a side has left, counting the turn in progress.
export function timeLeft(clock, side, runningMs = 0) {
  if (clock.kind === 'fixed') return Infinity;
  return clock.remaining[side] - (clockStarted(clock, side) ? runningMs : 0);
}

// A side has finished its move after elapsedMs: the time comes off, then the
// increment or, at the end of a control, the next control's time is added.
// Returns false when the side had run out of time before the move.
export function recordMove(clock, side, elapsedMs) {
  const started = clockStarted(clock, side);
  clock.movesMade[side] += 1;
  if (clock.kind === 'fixed' || !started) return true;
  clock.remaining[side] -= elapsedMs;
  if (clock.remaining[side] <= 0) return false;
  if (clock.kind === 'sudden') clock.remaining[side] += Math.round(clock.settings.increment * 1000);
  else if (clock.movesMade[side] % clock.settings.moves === 0) clock.remaining[side] += clock.base;
  return true;
}

// Takes back a side's last move: the move count only (time spent stays spent).
export function forgetMove(clock, side) {
  if (clock.movesMade[side] > 0) clock.movesMade[side] -= 1;
}

// The "go" command for the engine playing side (to move, or pondering on
// the opponent's time).
export function goWords(clock, side, ponder = false) {
  if (clock.kind === 'fixed') return `go${ponder ? ' ponder' : ''} movetime ${Math.round(clock.settings.seconds * 1000)}`;
  const ms = (value) => Math.max(0, Math.round(value));
  let words = `go${ponder ? ' ponder' : ''} wtime ${ms(clock.remaining.w)} btime ${ms(clock.remaining.b)}`;
  if (clock.kind === 'sudden') {
    const inc = Math.round(clock.settings.increment * 1000);
    if (inc > 0) words += ` winc ${inc} binc ${inc}`;
  } else {
    words += ` movestogo ${movesToGo(clock, side)}`;
  }
  return words;
}

// Moves to the next control for side (the "moves" kind).
export function movesToGo(clock, side) {
  return clock.settings.moves - (clock.movesMade[side] % clock.settings.moves);
}

export function formatTime(ms) {
  if (!Number.isFinite(ms)) return '—';
  const clamped = Math.max(0, ms);
  const tenths = Math.floor(clamped / 100);
  const minutes = Math.floor(tenths / 600);
  const seconds = Math.floor(tenths / 10) % 60;
  const text = `${minutes}:${String(seconds).padStart(2, '0')}`;
  return clamped < 10000 ? `${text}.${tenths % 10}` : text;
}
