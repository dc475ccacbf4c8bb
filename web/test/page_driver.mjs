// What the browser tests share: named checks that record their outcome, a
// page's problems collected, waiting on the page, and the board clicked or
// dragged as a player would.
import assert from 'node:assert/strict';

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// A check runs body and records "ok" with its time and note, or "FAIL" with
// the error in results (the exit code then becomes 1).
export function checker(results) {
  return async function check(name, body) {
    const started = performance.now();
    try {
      const note = await body();
      results.push(`ok   ${name} (${((performance.now() - started) / 1000).toFixed(1)} s)${note ? ': ' + note : ''}`);
    } catch (error) {
      results.push(`FAIL ${name}: ${error.stack}`);
      process.exitCode = 1;
    }
  };
}

// Console errors and warnings, page errors and failed requests go to problems.
export function collectProblems(page, problems) {
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warn') problems.push(`console ${m.type()}: ${m.text()}`); });
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`request failed: ${r.url()}`));
}

// Polls test in the page until it gives a true value, which it returns; on a
// timeout the error names what was awaited and the engine's last lines.
export async function waitFor(page, test, timeoutMs, what, arg) {
  const deadline = performance.now() + timeoutMs;
  for (;;) {
    const value = await page.evaluate(test, arg);
    if (value) return value;
    if (performance.now() > deadline) {
      const recent = await page.evaluate(() => window.morvek?.engine?.recent?.slice(-12).join(' | ') ?? '');
      throw new Error(`timed out waiting for ${what}; the engine's last lines: ${recent}`);
    }
    await sleep(50);
  }
}

export async function squareCenter(page, square) {
  // The board may be redrawing (a new game turns it): wait for the square.
  // On a phone the board may be scrolled away (New game is below it).
  let box = null;
  for (let tries = 0; tries < 40 && !box; ++tries) {
    const element = await page.$(`#board rect[data-square="${square}"]`);
    if (element) await element.evaluate((e) => e.scrollIntoView({ block: 'nearest' }));
    box = element && (await element.boundingBox());
    if (!box) await sleep(50);
  }
  assert.ok(box, `square ${square} on the board`);
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

export async function clickSquare(page, square, tap = false) {
  const { x, y } = await squareCenter(page, square);
  if (tap) await page.touchscreen.tap(x, y);
  else await page.mouse.click(x, y);
}

export async function dragOnBoard(page, from, to) {
  const start = await squareCenter(page, from);
  const end = await squareCenter(page, to);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move(end.x, end.y, { steps: 10 });
  await page.mouse.up();
}
