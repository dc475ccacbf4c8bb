// The page's offline copy: every file of a first visit is cached; later
// visits ask the network first (so a new build shows at once) and fall back
// to the copy when there is no network. Cached answers keep the isolation
// headers the engine's shared memory needs.
const kCache = 'morvek';

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const list = await (await fetch('files.json', { cache: 'no-store' })).json();
    const cache = await caches.open(kCache);
    await cache.addAll(list.files);
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => event.waitUntil(self.clients.claim()));

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET' || new URL(event.request.url).origin !== location.origin) return;
  event.respondWith((async () => {
    try {
      const response = await fetch(event.request);
      if (response.ok) (await caches.open(kCache)).put(event.request, response.clone());
      return response;
    } catch (error) {
      const cached = await caches.match(event.request, { ignoreSearch: true });
      if (cached) return cached;
      throw error;
    }
  })());
});
