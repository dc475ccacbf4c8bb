// The evaluation graph: White's score after each ply, as an SVG line,
// clamped to five pawns either way (a mate sits at the edge).
const kLimit = 500;

export function drawGraph(svg, evals, currentPly) {
  const width = 300;
  const height = 80;
  const plies = Math.max(currentPly, evals.length - 1, 10);
  const x = (ply) => (ply / plies) * width;
  const y = (score) => height / 2 - (Math.max(-kLimit, Math.min(kLimit, score)) / kLimit) * (height / 2 - 2);
  let path = '';
  evals.forEach((score, ply) => {
    if (score === undefined || score === null) return;
    path += `${path ? 'L' : 'M'}${x(ply).toFixed(1)},${y(score).toFixed(1)}`;
  });
  svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
  svg.setAttribute('preserveAspectRatio', 'none');
  svg.innerHTML =
    `<rect width="${width}" height="${height / 2}" class="graph-white"/>` +
    `<rect y="${height / 2}" width="${width}" height="${height / 2}" class="graph-black"/>` +
    `<line x1="0" x2="${width}" y1="${height / 2}" y2="${height / 2}" class="graph-axis"/>` +
    `<line x1="${x(currentPly)}" x2="${x(currentPly)}" y1="0" y2="${height}" class="graph-now"/>` +
    (path ? `<path d="${path}" class="graph-line"/>` : '');
}
