// Vantor Studio's figures in headless Chromium on this machine: the page ready, a dropped caffeine
// drawn, edits redrawn, large.sdf built and exported in the page against native vantor-host in the
// same run, and the sizes of what the page loads. Prints each figure; times nothing as a test.
//   node bench/studio.mjs SITE_DIR VANTOR_HOST SOURCE_DIR
import { execFileSync } from 'node:child_process';
import { readFileSync, readdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { gzipSync } from 'node:zlib';
import { createRequire } from 'node:module';
import { Engine } from '../studio/src/engine.js';
import { OpenStudio } from '../tests/studio/page.mjs';

const [site, vantorHost, sourceDir] = process.argv.slice(2);
const kLoaded = ['index.html', 'studio.css', 'studio.js', 'vantor-studio.js', 'vantor-studio.wasm'];

function Sizes() {
  const gzipped = kLoaded.reduce((sum, file) => sum + gzipSync(readFileSync(join(site, file))).length, 0);
  console.log(`wasm: ${(readFileSync(join(site, 'vantor-studio.wasm')).length / 1e6).toFixed(2)} MB (limit 3 MB)`);
  console.log(`the page's files gzip-compressed: ${(gzipped / 1e6).toFixed(2)} MB (limit 1.5 MB)`);
  const single = readdirSync(site).includes('vantor-studio.html') ? readFileSync(join(site, 'vantor-studio.html')).length : 0;
  console.log(`vantor-studio.html: ${(single / 1e6).toFixed(2)} MB`);
}

// The best of a few runs of vantor-host converting large.sdf to glb, in ms.
function NativeLarge() {
  const scratch = mkdtempSync(join(tmpdir(), 'vantor-bench-'));
  let best = Infinity;
  for (let run = 0; run < 3; run++) {
    const started = process.hrtime.bigint();
    execFileSync(vantorHost, [join(sourceDir, 'bench/data/large.sdf'), '--gltf', join(scratch, 'large.glb'), '--quiet'], { stdio: 'pipe' });
    best = Math.min(best, Number(process.hrtime.bigint() - started) / 1e6);
  }
  rmSync(scratch, { recursive: true, force: true });
  return best;
}

// In the page: ms of each step, the best of a few runs.
async function PageFigures(page) {
  return page.evaluate(async ([caffeine, large]) => {
    const v = window.vantor;
    const best = async (runs, work) => {
      let fastest = Infinity;
      for (let run = 0; run < runs; run++) {
        const started = performance.now();
        await work(run);
        fastest = Math.min(fastest, performance.now() - started);
      }
      return fastest;
    };
    const figures = {};
    figures.dropCaffeine = await best(3, () => v.open('caffeine.mol', caffeine));
    const molecule = (await v.objects()).at(-1);
    figures.editCaffeine = await best(5, (run) => v.set(molecule, 'MOLOBJ_SEGMENTS', String(16 + run)));
    const big = await v.open('large.sdf', large);
    figures.editLarge = await best(3, (run) => v.set(big, 'MOLOBJ_ATOM_RADIUS', String(20 + run)));
    figures.exportLarge = await best(3, async () => v.exportModel(big, 'glb'));
    figures.buildAndExportLarge = await best(3, async () => {
      const object = await v.open('large.sdf', large);
      await v.exportModel(object, 'glb');
    });
    figures.largeCounts = await v.counts(big);
    return figures;
  }, [readFileSync(join(sourceDir, 'examples/caffeine.mol'), 'utf8'), readFileSync(join(sourceDir, 'bench/data/large.sdf'), 'utf8')]);
}

// The same WebAssembly module under Node, without the page: large.sdf built and its glb made, the
// best of a few runs, in ms. Node's fetch reads no files: the module's bytes are handed over.
async function EngineLarge() {
  const factory = createRequire(import.meta.url)(resolve(site, 'vantor-studio.js'));
  const engine = await Engine.start(factory, undefined, { wasmBinary: readFileSync(join(site, 'vantor-studio.wasm')) });
  const large = readFileSync(join(sourceDir, 'bench/data/large.sdf'));
  let best = Infinity;
  for (let run = 0; run < 5; run++) {
    const started = performance.now();
    engine.exportModel(engine.open('large.sdf', large), 'glb');
    best = Math.min(best, performance.now() - started);
  }
  return best;
}

const kNavigations = 5;
const kReadyLimit = 1500;  // ms from the navigation to the module started and caffeine drawn

// The median of a few navigations to the page, each in a newly launched browser (running: one that
// made a WebGL context in another page first), in ms; and the marks of the last.
async function PageReady(running) {
  const times = [];
  let marks = null;
  for (let navigation = 0; navigation < kNavigations; navigation++) {
    const studio = await OpenStudio(site, sourceDir, { running });
    try {
      times.push(studio.readyAt);
      marks = await studio.page.evaluate(() => Object.fromEntries(
        performance.getEntriesByType('mark').map((mark) => [mark.name, Math.round(mark.startTime)])));
    } finally {
      await studio.close();
    }
  }
  times.sort((a, b) => a - b);
  return { median: times[Math.floor(times.length / 2)], times, marks };
}

function PrintReady(what, ready, limit) {
  const verdict = limit ? ` (limit ${limit}: ${ready.median <= limit ? 'within' : 'OVER'})` : '';
  console.log(`page ready (module started, caffeine drawn), ${what}: ${Math.round(ready.median)} ms after navigation, ` +
              `the median of ${ready.times.map(Math.round).join(', ')}${verdict}`);
  const m = ready.marks;
  console.log(`  of which: the page's script running at ${m['vantor:script']} ms, the view made at ` +
              `${m['vantor:view-made']} ms, the module started at ${m['vantor:module-started']} ms`);
}

Sizes();
PrintReady('first page of a new browser', await PageReady(false));
PrintReady('browser already running', await PageReady(true), kReadyLimit);
const engineLarge = await EngineLarge();
const studio = await OpenStudio(site, sourceDir);
try {
  const f = await PageFigures(studio.page);
  const native = NativeLarge();
  console.log(`a dropped caffeine drawn: ${f.dropCaffeine.toFixed(0)} ms (limit 200)`);
  console.log(`an edit of caffeine redrawn: ${f.editCaffeine.toFixed(0)} ms (limit 50)`);
  console.log(`an edit of large.sdf redrawn: ${f.editLarge.toFixed(0)} ms (limit 300); its model ${JSON.stringify(f.largeCounts)}`);
  console.log(`large.sdf's glb exported again: ${f.exportLarge.toFixed(0)} ms`);
  console.log(`large.sdf opened, built, drawn and exported in the page: ${f.buildAndExportLarge.toFixed(0)} ms; ` +
              `native vantor-host to glb: ${native.toFixed(0)} ms; ratio ${(f.buildAndExportLarge / native).toFixed(2)} (limit 3)`);
  console.log(`large.sdf built and its glb made by the module alone (under Node): ${engineLarge.toFixed(0)} ms; ` +
              `ratio to vantor-host ${(engineLarge / native).toFixed(2)}`);
} finally {
  await studio.close();
}
