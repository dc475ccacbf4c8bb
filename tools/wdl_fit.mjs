// Fits the win/draw/loss model of UCI_ShowWDL to positions written by
// tools/wdl_games.mjs (score in centipawns for the side to move, material
// P 1 N 3 B 3 R 5 Q 9, result +1/0/-1 for the side to move):
//
//   win(s, m)  = 1 / (1 + exp((a(m) - s) / b(m)))
//   loss(s, m) = win(-s, m),  draw = 1 - win - loss
//   a(m) = a0 + a1 * m / 78,  b(m) = b0 + b1 * m / 78   (78: all the material)
//
// by maximum likelihood (Adam steps on the mean log-likelihood), then prints
// the constants for engine/wdl.cpp, the log-loss against a model that knows
// only the overall frequencies, and the observed and modelled shares by
// score band.
//
//   node tools/wdl_fit.mjs positions.csv
import { readFileSync } from 'node:fs';

const file = process.argv[2];
if (!file) {
  console.error('usage: node tools/wdl_fit.mjs positions.csv');
  process.exit(2);
}
const rows = readFileSync(file, 'utf8').trim().split('\n').slice(1).map((l) => l.split(',').map(Number))
  .filter(([s]) => Math.abs(s) <= 3000);  // far beyond, every game is decided anyway
const n = rows.length;

const sigmoid = (x) => 1 / (1 + Math.exp(-x));
function model(p, s, m) {
  const t = m / 78;
  const a = p[0] + p[1] * t, b = p[2] + p[3] * t;
  const win = sigmoid((s - a) / b), loss = sigmoid((-s - a) / b);
  return [win, Math.max(1e-12, 1 - win - loss), loss];
}
function logLikelihood(p) {
  let sum = 0;
  for (const [s, m, r] of rows) {
    const q = model(p, s, m);
    sum += Math.log(Math.max(1e-12, q[1 - r]));
  }
  return sum / n;
}

// Adam on numerical gradients: four parameters, a few thousand steps.
let p = [100, 0, 100, 0];
const rate = [1, 1, 1, 1], m1 = [0, 0, 0, 0], m2 = [0, 0, 0, 0];
for (let step = 1; step <= 1500; ++step) {
  const base = logLikelihood(p);
  const grad = p.map((_, i) => {
    const q = p.slice();
    q[i] += 0.01;
    return (logLikelihood(q) - base) / 0.01;
  });
  for (let i = 0; i < 4; ++i) {
    m1[i] = 0.9 * m1[i] + 0.1 * grad[i];
    m2[i] = 0.999 * m2[i] + 0.001 * grad[i] * grad[i];
    const mh = m1[i] / (1 - 0.9 ** step), vh = m2[i] / (1 - 0.999 ** step);
    p[i] += rate[i] * mh / (Math.sqrt(vh) + 1e-9);
  }
}

const counts = [0, 0, 0];
for (const [, , r] of rows) counts[1 - r] += 1;
const baseline = counts.reduce((sum, c) => sum + (c ? c * Math.log(c / n) : 0), 0) / n;
console.log(`${n} positions: ${counts[0]} won, ${counts[1]} drawn, ${counts[2]} lost (side to move)`);
console.log(`a(m) = ${p[0].toFixed(2)} + ${p[1].toFixed(2)} * m / 78`);
console.log(`b(m) = ${p[2].toFixed(2)} + ${p[3].toFixed(2)} * m / 78`);
console.log(`log-loss ${(-logLikelihood(p)).toFixed(4)}, frequencies alone ${(-baseline).toFixed(4)}`);
console.log('score band      n   won/drawn/lost seen    model');
for (const [low, high] of [[-3000, -400], [-400, -150], [-150, -50], [-50, 50], [50, 150], [150, 400], [400, 3000]]) {
  const band = rows.filter(([s]) => s >= low && s < high);
  if (!band.length) continue;
  const seen = [0, 0, 0], modelled = [0, 0, 0];
  for (const [s, m, r] of band) {
    seen[1 - r] += 1;
    model(p, s, m).forEach((q, i) => { modelled[i] += q; });
  }
  const share = (v) => v.map((x) => (x / band.length).toFixed(2)).join('/');
  console.log(`${String(low).padStart(5)}..${String(high).padEnd(5)} ${String(band.length).padStart(6)}   ${share(seen)}   ${share(modelled)}`);
}
