// The studio's page served from 127.0.0.1 and opened in Debian's headless Chromium (playwright-core),
// every request elsewhere refused: shared by the browser tests and the benchmark.
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { extname, join, normalize, resolve } from 'node:path';

const kTypes = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
const kChromiumFlags = ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'];

// The studio's npm packages (studio/node_modules), for the scripts outside that folder.
export function StudioRequire(sourceDir) {
  return createRequire(resolve(sourceDir, 'studio/package.json'));
}

function Serve(site) {
  const server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)).replace(/^(\.\.[/\\])+/, '');
    try {
      const body = readFileSync(join(site, path === '/' ? 'index.html' : path));
      response.writeHead(200, { 'content-type': kTypes[extname(path)] ?? 'text/html' }).end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

// A page with a WebGL context made, then closed: what a browser a person has been using has done
// already (its GPU process started), which a freshly launched one does on its first context.
async function MakeWebGLContext(context) {
  const page = await context.newPage();
  await page.evaluate(() => {
    const gl = document.createElement('canvas').getContext('webgl2');
    gl.clear(gl.COLOR_BUFFER_BIT);
    gl.finish();
  });
  await page.close();
}

// The page opened and started in a newly launched browser: { page, readyAt (ms from the
// navigation), errors (what the page reported), close() }. running: the browser made a WebGL
// context in a page of its own first, as one already running has.
export async function OpenStudio(site, sourceDir, { running = false } = {}) {
  const { chromium } = StudioRequire(sourceDir)('playwright-core');
  const server = await Serve(site);
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: kChromiumFlags });
  const close = async () => {
    await browser.close();
    server.close();
  };
  try {
    const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1100, height: 700 } });
    await context.route('**/*', (route) => {
      const url = new URL(route.request().url());
      return ['http:', 'https:'].includes(url.protocol) && url.hostname !== '127.0.0.1' ? route.abort() : route.continue();
    });
    if (running) await MakeWebGLContext(context);
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('console', (message) => message.type() === 'error' && errors.push(message.text()));
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    const readyAt = await page.evaluate(async () => (await window.vantor.ready, window.vantor.readyAt));
    return { page, readyAt, errors, close };
  } catch (error) {
    await close();
    throw error;
  }
}
