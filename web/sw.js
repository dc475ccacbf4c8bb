// The page's offline copy: every file of a first visit is cached; later
// visits ask the network first (so a new build shows at once) and fall back
// to the copy when there is no network.
//
// Every answer, from the network or the copy, leaves here with the
// cross-origin isolation headers, whatever the server sent: on a static
// host that sends none, this is what gives the page the shared memory of
// the engine's fast build (the page reloads once when this worker first
// takes over; see src/runtime.js).
const kCache = 'morvek';
const kIsolation = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
  'Cross-Origin-Resource-Policy': 'same-origin',
};

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const list = await (await fetch('files.json', { cache: 'no-store' })).json();
    const cache = await caches.open(kCache);
    await cache.addAll(list.files);
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => event.waitUntil(self.clients.claim()));

function isolated(response) {
  // Opaque answers (a redirect the browser follows itself) cannot be rebuilt.
  if (response.status === 0) return response;
  const headers = new Headers(response.headers);
  for (const [name, value] of Object.entries(kIsolation)) headers.set(name, value);
  const body = [101, 204, 205, 304].includes(response.status) ? null : response.body;
  return new Response(body, { status: response.status, statusText: response.statusText, headers });
}

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  // A request only a cache may answer, from elsewhere than this page, would fail here.
  if (request.cache === 'only-if-cached' && request.mode !== 'same-origin') return;
  event.respondWith((async () => {
    try {
      const response = await fetch(request);
      if (response.ok) (await caches.open(kCache)).put(request, response.clone());
      return isolated(response);
    } catch (error) {
      const cached = await caches.match(request, { ignoreSearch: true });
      if (cached) return isolated(cached);
      throw error;
    }
  })());
});
