// The studio page in headless Chromium (Debian's, driven by playwright-core), served from
// 127.0.0.1 with every other request refused: what a person sees and gets, held against the
// native vantor-host.
//   node tests/studio/browser.mjs SITE_DIR VANTOR_HOST SOURCE_DIR
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { extname, join, normalize, resolve } from 'node:path';

const [site, vantorHost, sourceDir] = process.argv.slice(2);
const require = createRequire(resolve(sourceDir, 'studio/package.json'));
const { chromium } = require('playwright-core');

const kTypes = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
const kChromiumFlags = ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'];
const caffeine = readFileSync(join(sourceDir, 'examples/caffeine.mol'), 'utf8');

function Serve() {
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

function NativeJson(settings) {
  const sets = settings.flatMap(([name, value]) => ['--set', `${name}=${value}`]);
  const text = execFileSync(vantorHost, [join(sourceDir, 'examples/caffeine.mol'), ...sets,
    '--max-triangles', '1000000000', '--json', '-', '--quiet'], { encoding: 'utf8', stdio: 'pipe' });
  return JSON.parse(text);
}

function NativeGlb(settings) {
  const sets = settings.flatMap(([name, value]) => ['--set', `${name}=${value}`]);
  return execFileSync(vantorHost, [join(sourceDir, 'examples/caffeine.mol'), ...sets, '--gltf', '-', '--quiet'], { stdio: 'pipe' });
}

// Each check: a name and a function of the page that throws when what it sees is wrong.
const kChecks = [
  ['WebGL2 is there', async (page) => {
    const webgl2 = await page.evaluate(() => document.createElement('canvas').getContext('webgl2') !== null);
    if (!webgl2) throw new Error('no WebGL2 context');
  }],
  ['caffeine drawn on start: 24 atoms, 25 bonds', async (page) => {
    const counts = await page.evaluate(async () => window.vantor.counts((await window.vantor.objects())[0]));
    if (counts.atoms !== 24 || counts.bonds !== 25) throw new Error(JSON.stringify(counts));
  }],
  ['the panel holds a control for every entry of the description', async (page) => {
    const [shown, described] = await page.evaluate(async () => {
      const object = (await window.vantor.objects())[0];
      const rows = [...document.querySelectorAll('#panel [data-id]')].map((row) => Number(row.dataset.id));
      return [rows, (await window.vantor.describe(object)).entries.map((entry) => entry.id)];
    });
    if (JSON.stringify(shown) !== JSON.stringify(described)) throw new Error(`${shown} against ${described}`);
  }],
  ['the glb downloaded is native vantor-host\'s', async (page) => {
    const bytes = await page.evaluate(async () => [...await window.vantor.exportModel((await window.vantor.objects())[0], 'glb')]);
    if (!Buffer.from(bytes).equals(NativeGlb([]))) throw new Error('the bytes differ');
  }],
  ...[[['MOLOBJ_SEGMENTS', '8']], [['MOLOBJ_SEGMENTS', '6'], ['MOLOBJ_BOND_SUBDIVISIONS', '2']]].map((edits) => [
    `edits ${edits.map((e) => e.join('=')).join(' ')}: the triangles vantor-host reports`, async (page) => {
      const seen = await page.evaluate(async ([edits, caffeine]) => {
        const object = await window.vantor.open('edited.mol', caffeine);
        for (const [name, value] of edits) await window.vantor.set(object, name, value);
        const described = (await window.vantor.describe(object)).entries;
        const value = (name) => described.find((entry) => entry.name === name).value;
        return { counts: await window.vantor.counts(object), scene: await window.vantor.sceneTriangles(),
                 detail: [['MOLOBJ_SEGMENTS', value('MOLOBJ_SEGMENTS')], ['MOLOBJ_BOND_SUBDIVISIONS', value('MOLOBJ_BOND_SUBDIVISIONS')]] };
      }, [edits, caffeine]);
      // the budget keeps to the edited detail when the edits name it and it is far away
      const triangles = NativeJson([...edits, ...seen.detail.map(([n, v]) => [n, String(v)])]).detail.triangles;
      if (seen.counts.triangles !== triangles || seen.scene !== triangles) {
        throw new Error(`studio ${seen.counts.triangles}, scene ${seen.scene}, vantor-host ${triangles}`);
      }
    }]),
  ['a title is shown as text, never as markup', async (page) => {
    const hostile = '<img src=x onerror=alert(1)>';
    const listed = await page.evaluate(async ([title, molecule]) => {
      await window.vantor.open('hostile.mol', title + molecule.slice(molecule.indexOf('\n')));
      return [[...document.querySelectorAll('#objects li')].map((item) => item.textContent),
              document.querySelectorAll('#objects img').length];
    }, [hostile, caffeine]);
    if (!listed[0].includes(hostile) || listed[1] !== 0) throw new Error(JSON.stringify(listed));
  }],
  ['an empty file gets the module\'s message, and the page goes on', async (page) => {
    const [events, counts] = await page.evaluate(async () => {
      const before = (await window.vantor.events()).length;
      await window.vantor.open('empty.mol', new Uint8Array()).catch(() => null);
      const events = (await window.vantor.events()).slice(before);
      const object = (await window.vantor.objects())[0];
      return [events, await window.vantor.counts(object)];
    });
    if (counts.atoms !== 24) throw new Error(`the first object changed: ${JSON.stringify(counts)}`);
    console.log(`     events: ${JSON.stringify(events)}`);
  }],
];

const server = await Serve();
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: kChromiumFlags });
let failures = 0;
try {
  const context = await browser.newContext({ acceptDownloads: true });
  // nothing leaves 127.0.0.1
  await context.route('**/*', (route) => {
    const url = new URL(route.request().url());
    return ['http:', 'https:'].includes(url.protocol) && url.hostname !== '127.0.0.1' ? route.abort() : route.continue();
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => message.type() === 'error' && errors.push(message.text()));
  const started = Date.now();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.evaluate(() => window.vantor.ready);
  console.log(`page ready in ${Date.now() - started} ms`);
  for (const [name, check] of kChecks) {
    try {
      await check(page);
      console.log(`ok   ${name}`);
    } catch (error) {
      failures++;
      console.log(`FAIL ${name}: ${error.message}`);
    }
  }
  if (errors.length > 0) {
    failures++;
    console.log(`FAIL the page reported errors: ${errors.join('; ')}`);
  }
} finally {
  await browser.close();
  server.close();
}
process.exit(failures === 0 ? 0 : 1);
