// Match statistics for the learning experiment: a game list in, the score,
// the Elo difference with its 95% interval and the pentanomial counts out.
// Games are paired by opening (the same line with colours swapped); the
// interval comes from the spread of the pair scores, which is what counts
// when the openings themselves favour one side.

// Results of PGN games from one player's side: [{opening, result}] with
// result 1, 0.5 or 0. With a player name, its games by the "[White ...]" and
// "[Black ...]" tags, paired by "[Opening ...]"; without, engine 1 of
// tools/match.mjs: White in odd rounds, rounds 2k-1 and 2k one opening.
export function gamesOf(pgnText, player = null) {
  const games = [];
  for (const block of pgnText.split(/\n(?=\[Event )/)) {
    const tag = (name) => (new RegExp(`\\[${name} "([^"]*)"\\]`).exec(block) || [])[1];
    const result = tag('Result');
    if (!result || result === '*') continue;
    const round = Number(tag('Round'));
    const white = player === null ? round % 2 === 1 : tag('White') === player;
    if (player !== null && !white && tag('Black') !== player) continue;
    const points = result === '1/2-1/2' ? 0.5 : (result === '1-0') === white ? 1 : 0;
    const opening = player === null ? String(Math.floor((round - 1) / 2)) : tag('Opening') ?? String(games.length);
    games.push({ opening, result: points });
  }
  return games;
}

// The Elo difference a score stands for; +-Infinity at 1 and 0.
export function eloOf(score) {
  if (score <= 0) return -Infinity;
  if (score >= 1) return Infinity;
  return -400 * Math.log10(1 / score - 1);
}

// {games, wins, draws, losses, score, elo, eloLow, eloHigh, penta: [LL, LD, DD/WL, WD, WW]}
export function summarize(games) {
  const wins = games.filter((g) => g.result === 1).length;
  const draws = games.filter((g) => g.result === 0.5).length;
  const losses = games.length - wins - draws;
  const score = games.length ? (wins + draws / 2) / games.length : NaN;
  // Pairs: the games of one opening in the order played, two at a time.
  const byOpening = new Map();
  for (const g of games) byOpening.set(g.opening, [...(byOpening.get(g.opening) ?? []), g.result]);
  const penta = [0, 0, 0, 0, 0];
  const units = [];  // pair scores per game (0..1); a game without its pair counts alone
  for (const results of byOpening.values()) {
    for (let i = 0; i + 1 < results.length; i += 2) {
      const pair = results[i] + results[i + 1];
      penta[Math.round(pair * 2)]++;
      units.push({ mean: pair / 2, weight: 2 });
    }
    if (results.length % 2) units.push({ mean: results.at(-1), weight: 1 });
  }
  // The score's standard error from the units' spread: the weighted mean's
  // sandwich estimate, var(s) = sum w^2 (m - s)^2 / (sum w)^2; for pairs
  // alone the variance of the pair means over the number of pairs.
  const total = units.reduce((sum, u) => sum + u.weight, 0);
  const spread = units.reduce((sum, u) => sum + (u.weight * (u.mean - score)) ** 2, 0);
  const sigma = total > 0 ? Math.sqrt(spread) / total : 0;
  const clamp = (s) => Math.min(1 - 1e-9, Math.max(1e-9, s));
  return {
    games: games.length, wins, draws, losses, score, penta,
    elo: eloOf(score),
    eloLow: games.length ? eloOf(clamp(score - 1.96 * sigma)) : NaN,
    eloHigh: games.length ? eloOf(clamp(score + 1.96 * sigma)) : NaN,
    sigma,
  };
}
