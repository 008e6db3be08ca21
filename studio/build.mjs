// Builds the page into a folder (default build-studio/site/): studio.js bundled by esbuild beside
// index.html, studio.css, the WebAssembly module and its script, and one self-contained
// vantor-studio.html with all of them inside.
//   node studio/build.mjs STUDIO_JS [OUT]
import { build } from 'esbuild';
import { createHash } from 'node:crypto';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const [studioJs, out = resolve(here, '../build-studio/site')] = process.argv.slice(2);
if (!studioJs) {
  console.error('usage: node studio/build.mjs STUDIO_JS [OUT]');
  process.exit(2);
}
mkdirSync(out, { recursive: true });
await build({
  entryPoints: [join(here, 'src/main.js')],
  bundle: true,
  minify: true,
  format: 'iife',
  target: 'es2022',
  loader: { '.mol': 'text' },
  outfile: join(out, 'studio.js'),
  logLevel: 'warning',
});
// The module's script as emscripten links it holds the module inline, as base64. The page's copy
// names vantor-studio.wasm beside it instead, which the page preloads and hands to the factory:
// no base64 decoded by script first, and the compile on the browser's threads (src/main.js).
const kInlineModule = /"data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)"/;
const moduleScript = readFileSync(studioJs, 'utf8');
const inlineModule = kInlineModule.exec(moduleScript);
if (!inlineModule) throw new Error(`${studioJs} holds no WebAssembly module inline`);
writeFileSync(join(out, 'vantor-studio.wasm'), Buffer.from(inlineModule[1], 'base64'));
writeFileSync(join(out, 'vantor-studio.js'), moduleScript.replace(kInlineModule, '"vantor-studio.wasm"'));
copyFileSync(join(here, 'studio.css'), join(out, 'studio.css'));
const page = readFileSync(join(here, 'index.html'), 'utf8');
writeFileSync(join(out, 'index.html'), page);

// The one-file copy: scripts and style inline, allowed by their hashes (a double-clicked file has
// no origin of its own to allow).
const inline = (text) => text.replaceAll('</script', '<\\/script');
const hash = (text) => `'sha256-${createHash('sha256').update(text).digest('base64')}'`;
const scripts = [moduleScript, readFileSync(join(out, 'studio.js'), 'utf8')].map(inline);
const style = readFileSync(join(out, 'studio.css'), 'utf8');
const policy = `default-src 'none'; script-src ${scripts.map(hash).join(' ')} 'wasm-unsafe-eval'; ` +
               `style-src ${hash(style)}; img-src blob: data:; connect-src blob: data:; base-uri 'none'; form-action 'none'`;
let single = page
  .replace(/content="default-src[^"]*"/, `content="${policy}"`)
  .replace('<link rel="stylesheet" href="studio.css">', () => `<style>${style}</style>`)
  .replace(/<link rel="preload"[^>]*>\n/, '')
  .replace('<script src="vantor-studio.js"></script>', () => `<script>${scripts[0]}</script>`)
  .replace('<script src="studio.js"></script>', () => `<script>${scripts[1]}</script>`);
writeFileSync(join(out, 'vantor-studio.html'), single);
console.log(`built ${out}/index.html and ${out}/vantor-studio.html`);
