// Puts the page together in the site directory the WebAssembly build made:
// the bundled page script (esbuild), its style sheets and piece images, the
// worker glue, the book and the licenses of everything bundled.
//   node web/build.mjs build-web/site
import { copyFileSync, existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const web = dirname(fileURLToPath(import.meta.url));
const root = dirname(web);
const site = process.argv[2];
if (!site) {
  console.error('usage: node web/build.mjs SITE_DIR');
  process.exit(2);
}
if (!existsSync(join(web, 'node_modules/esbuild'))) {
  console.error('web/build.mjs: the page\'s packages are missing: run "npm ci --prefix web" first');
  process.exit(1);
}
const { build } = await import('esbuild');
mkdirSync(join(site, 'licenses'), { recursive: true });
mkdirSync(join(site, 'pieces'), { recursive: true });
mkdirSync(join(site, 'extensions/markers'), { recursive: true });
mkdirSync(join(site, 'icons'), { recursive: true });

await build({
  entryPoints: [join(web, 'src/page.js')],
  bundle: true,
  minify: true,
  format: 'esm',
  target: 'es2020',
  outfile: join(site, 'page.js'),
  logLevel: 'warning',
});

const modules = join(web, 'node_modules');
const copies = [
  [join(web, 'index.html'), 'index.html'],
  [join(web, 'page.css'), 'page.css'],
  [join(web, 'morvek-worker.js'), 'morvek-worker.js'],
  [join(web, 'morvek-core.js'), 'morvek-core.js'],
  [join(web, 'sw.js'), 'sw.js'],
  [join(web, 'bench-worker.js'), 'bench-worker.js'],
  [join(web, 'manifest.webmanifest'), 'manifest.webmanifest'],
  // The icons' PNGs are icon.svg drawn by chromium at each size:
  //   chromium --headless --window-size=N,N --screenshot=icon-N.png (a page showing icon.svg)
  [join(web, 'icons/icon.svg'), 'icons/icon.svg'],
  [join(web, 'icons/icon-192.png'), 'icons/icon-192.png'],
  [join(web, 'icons/icon-512.png'), 'icons/icon-512.png'],
  [join(root, 'data/Morvek.bk'), 'Morvek.bk'],
  [join(modules, 'cm-chessboard/assets/chessboard.css'), 'chessboard.css'],
  [join(modules, 'cm-chessboard/assets/extensions/markers/markers.css'), 'markers.css'],
  [join(modules, 'cm-chessboard/assets/pieces/standard.svg'), 'pieces/standard.svg'],
  [join(modules, 'cm-chessboard/assets/extensions/markers/markers.svg'), 'extensions/markers/markers.svg'],
  [join(modules, 'cm-chessboard/assets/extensions/promotion-dialog/promotion-dialog.css'), 'promotion-dialog.css'],
  [join(modules, 'cm-chessboard/LICENSE'), 'licenses/cm-chessboard.txt'],
  [join(modules, 'chess.js/LICENSE'), 'licenses/chess.js.txt'],
  [join(modules, 'chessops/LICENSE.txt'), 'licenses/chessops.txt'],
  [join(modules, '@badrap/result/LICENSE'), 'licenses/badrap-result.txt'],
];
for (const [from, to] of copies) copyFileSync(from, join(site, to));

// The page's cache list: everything a first visit fetches, so that it works
// offline afterwards.
const version = JSON.parse(readFileSync(join(web, 'package.json'), 'utf8')).version ?? '1';
writeFileSync(join(site, 'files.json'), JSON.stringify({ version, files: [
  './', 'index.html', 'page.js', 'page.css', 'chessboard.css', 'markers.css', 'pieces/standard.svg',
  'extensions/markers/markers.svg', 'promotion-dialog.css', 'licenses/cm-chessboard.txt',
  'licenses/chess.js.txt', 'licenses/chessops.txt', 'licenses/badrap-result.txt', 'morvek-worker.js', 'morvek-core.js',
  'morvek.js', 'morvek.wasm', 'morvek-async.js', 'morvek-async.wasm', 'Morvek.bk', 'manifest.webmanifest',
  'icons/icon.svg', 'icons/icon-192.png', 'icons/icon-512.png',
] }, null, 1));
