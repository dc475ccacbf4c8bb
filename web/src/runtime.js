// Which engine build the page runs, and why.
//
// The shared-memory build (morvek.js) hands the engine each line at once,
// but the browser gives shared memory only to a cross-origin isolated page.
// A static host that sends no isolation headers gets them from the page's
// offline copy: sw.js adds them to every answer, so a first visit waits for
// the copy to take over and reloads once. Where that cannot be (service
// workers missing or refused: private windows, blocked storage, plain http
// off localhost, old browsers; or a reload that left the page without
// isolation), the build without shared memory runs (morvek-async.js: the
// same moves; a line reaches a search within some 10 ms).
// The address may ask for it: ?engine=async.
const kReloadKey = 'morvek-isolation-reload';
const kTakeoverMs = 15000;
const $ = (id) => document.getElementById(id);
const never = new Promise(() => {});
const within = (promise, ms, otherwise) =>
  Promise.race([promise, new Promise((done) => setTimeout(() => done(otherwise), ms))]);

// The choice from what the browser offers. offline: 'controls' (the copy
// answers for this page), 'ready' (it took over after the page loaded), or
// the reason there is none; reloaded: this tab already reloaded for it.
function chooseBuild({ isolated, asked, offline, reloaded }) {
  if (asked === 'async') return { build: 'async', why: 'asked for in the address (?engine=async)' };
  if (isolated) {
    const by = offline === 'controls' ? 'the offline copy adds' : 'the server sends';
    return { build: 'shared', why: `${by} the isolation headers` };
  }
  if ((offline === 'controls' || offline === 'ready') && !reloaded) return { reload: true };
  if (offline === 'controls' || offline === 'ready') {
    return { build: 'async', why: 'the page stayed without cross-origin isolation under its offline copy' };
  }
  return { build: 'async', why: offline };
}

function cannotStart(reason) {
  document.body.dataset.engine = 'unavailable';
  const text = `Morvek cannot start in this browser: ${reason}`;
  $('status').textContent = text;
  $('engineBuild').textContent = text;
  $('engineBuild').classList.add('fault');
}

// Without IndexedDB the engine runs all the same, its learning kept only
// while the page is open.
function missingFeatures() {
  const needed = { WebAssembly: typeof WebAssembly === 'object', 'web workers': typeof Worker === 'function' };
  return Object.keys(needed).filter((name) => !needed[name]);
}

function reloadedBefore() {
  try {
    return sessionStorage.getItem(kReloadKey) !== null;
  } catch (e) {
    return true;  // no storage: no way to tell, so no reload
  }
}

function markReload(on) {
  try {
    if (on) sessionStorage.setItem(kReloadKey, '1');
    else sessionStorage.removeItem(kReloadKey);
  } catch (e) {
    // nothing kept: a later visit may reload once more
  }
}

// Registers the offline copy; says how far it got within kTakeoverMs.
async function offlineCopy(wait) {
  if (!window.isSecureContext) return 'the address is not a secure one (https or localhost), so no service worker';
  if (!('serviceWorker' in navigator) || !navigator.serviceWorker) {
    return 'service workers are unavailable in this browser or window';
  }
  const container = navigator.serviceWorker;
  const changed = new Promise((resolve) => container.addEventListener('controllerchange', resolve, { once: true }));
  const registering = container.register('sw.js');
  if (!wait) {
    // Isolated already: the copy is only for offline use, the engine needs not wait for it.
    registering.catch(() => {});
    return container.controller ? 'controls' : 'ready';
  }
  let registration;
  try {
    // Without a network the registration's update check may wait long.
    registration = await within(registering, kTakeoverMs, null);
  } catch (e) {
    return `the service worker was refused (${e.message || e})`;
  }
  if (registration === null) return container.controller ? 'controls' : 'the offline copy did not take over in time';
  if (container.controller) {
    // A copy answers but added no headers: an older one, updated now.
    await within(registration.update().catch(() => {}), kTakeoverMs);
    if (registration.installing || registration.waiting) await within(changed, kTakeoverMs);
    return 'controls';
  }
  await within(changed, kTakeoverMs);
  return container.controller ? 'ready' : 'the offline copy did not take over in time';
}

function show(build, why) {
  document.body.dataset.build = build;
  $('engineBuild').textContent = build === 'shared'
    ? `Engine: the shared-memory build (${why}).`
    : `Engine: the build without shared memory, as ${why}; it plays the same moves and hears a stop up to some 10 ms later.`;
}

// The address of the UCI worker for the build chosen: a promise, which
// never settles when the engine cannot start.
export async function engineAddress() {
  const missing = missingFeatures();
  if (missing.length) {
    cannotStart(`it lacks ${missing.join(', ')}. Any browser of the last five years has them.`);
    return never;
  }
  if (location.protocol === 'file:') {
    cannotStart('the page was opened as a file. Serve its directory with any web server, e.g. python3 -m http.server.');
    return never;
  }
  const asked = new URLSearchParams(location.search).get('engine');
  const isolated = window.crossOriginIsolated === true;
  const offline = await offlineCopy(!isolated && asked !== 'async');
  const choice = chooseBuild({ isolated, asked, offline, reloaded: reloadedBefore() });
  let { build, why } = choice;
  if (choice.reload) {
    markReload(true);
    location.reload();
    // A reload that does not come (no network, and the browser asks it of
    // the network all the same) leaves this page to go on without.
    await new Promise((done) => setTimeout(done, kTakeoverMs));
    ({ build, why } = chooseBuild({ isolated, asked, offline, reloaded: true }));
  }
  if (isolated) markReload(false);
  show(build, why);
  return `morvek-worker.js?build=${build}`;
}

// The worker's own word on the build it runs, and a start that failed.
export function watchEngine(engine) {
  let started = false;
  engine.listeners.push((line) => { started ||= line === 'uciok'; });
  engine.controls.push((message) => {
    if (message.build) document.body.dataset.engineBuild = message.build;
    const fault = message.stderr !== undefined && /^(engine not started|engine failed|worker failed)/.exec(message.stderr);
    if (fault && !started) cannotStart(message.stderr);
  });
}
