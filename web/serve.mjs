// Serves the built page on http://localhost:8080 (node web/serve.mjs
// [SITE_DIR] [--port N]) with the headers that make it cross-origin
// isolated, which the engine's shared memory needs. Nothing but files of
// SITE_DIR (default build-web/site) is served.
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { dirname, extname, join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const args = process.argv.slice(2);
const portAt = args.indexOf('--port');
const port = portAt >= 0 ? Number(args[portAt + 1]) : 8080;
const positional = args.filter((a, i) => !a.startsWith('--') && args[i - 1] !== '--port');
const root = resolve(positional[0] ?? join(dirname(fileURLToPath(import.meta.url)), '../build-web/site'));

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm', '.svg': 'image/svg+xml', '.json': 'application/json',
  '.txt': 'text/plain; charset=utf-8', '.bk': 'text/plain; charset=utf-8', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

export function startServer(directory = root, listenPort = port) {
  const server = createServer(async (request, response) => {
    const headers = {
      'Cross-Origin-Opener-Policy': 'same-origin',
      'Cross-Origin-Embedder-Policy': 'require-corp',
      'Cross-Origin-Resource-Policy': 'same-origin',
      'X-Content-Type-Options': 'nosniff',
      'Cache-Control': 'no-cache',
    };
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch (e) {
      response.writeHead(400, headers).end('bad request');
      return;
    }
    // Resolved inside the directory, or refused.
    let file = normalize(join(directory, path));
    if (file !== directory && !file.startsWith(directory + sep)) {
      response.writeHead(403, headers).end('forbidden');
      return;
    }
    try {
      if ((await stat(file)).isDirectory()) file = join(file, 'index.html');
      const body = await readFile(file);
      response.writeHead(200, { ...headers, 'Content-Type': types[extname(file)] ?? 'application/octet-stream' });
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch (e) {
      response.writeHead(404, headers).end('not found');
    }
  });
  return new Promise((done) => server.listen(listenPort, '127.0.0.1', () => done(server)));
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const server = await startServer();
  console.log(`Morvek: http://localhost:${server.address().port}/ (serving ${root})`);
}
