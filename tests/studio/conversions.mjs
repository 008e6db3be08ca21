// The studio's WebAssembly build against the native vantor-host: each row converts a molecule with
// the same edits both ways, and the bytes must be the same.
//   node tests/studio/conversions.mjs STUDIO_JS VANTOR_HOST SOURCE_DIR
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, join, resolve } from 'node:path';
import { Engine } from '../../studio/src/engine.js';

const [studioJs, vantorHost, sourceDir] = process.argv.slice(2);
const require = createRequire(import.meta.url);

// molecule file, edits as --set takes them, form, the native option and file
const kCases = [
  { file: 'examples/caffeine.mol', settings: [], form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [], form: 'usdz', option: '--usd', out: 'm.usdz' },
  { file: 'examples/caffeine.mol', settings: [], form: 'usda', option: '--usd', out: 'm.usda' },
  { file: 'examples/caffeine.mol', settings: [], form: 'json', option: '--json', out: 'm.json' },
  { file: 'bench/data/large100.sdf', settings: [['MOLOBJ_COLOR_MODE', '1']], form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [['MOLOBJ_SEGMENTS', '8']], form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [['MOLOBJ_RADIUS_MODE', '0'], ['MOLOBJ_BOND_SUBDIVISIONS', '2']],
    form: 'glb', option: '--gltf', out: 'm.glb' },
];

function Native(testCase, scratch) {
  const out = join(scratch, testCase.out);
  const sets = testCase.settings.flatMap(([name, value]) => ['--set', `${name}=${value}`]);
  execFileSync(vantorHost, [join(sourceDir, testCase.file), ...sets, testCase.option, out, '--quiet'], { stdio: 'pipe' });
  return readFileSync(out);
}

function Studio(engine, testCase) {
  const object = engine.open(basename(testCase.file), readFileSync(join(sourceDir, testCase.file)));
  for (const [name, value] of testCase.settings) engine.set(object, name, value);
  const bytes = engine.exportModel(object, testCase.form);
  engine.delete(object);
  return bytes;
}

const engine = await Engine.start(require(resolve(studioJs)));
const scratch = mkdtempSync(join(tmpdir(), 'vantor-studio-'));
let failures = 0;
try {
  for (const testCase of kCases) {
    const name = `${testCase.file} ${testCase.form} ${testCase.settings.map((s) => s.join('=')).join(' ')}`;
    const native = Native(testCase, scratch);
    const studio = Buffer.from(Studio(engine, testCase));
    const same = native.equals(studio);
    if (!same) failures++;
    console.log(`${same ? 'ok  ' : 'FAIL'} ${name}: native ${native.length} bytes, studio ${studio.length} bytes`);
  }
  const caffeine = engine.open('caffeine.mol', readFileSync(join(sourceDir, 'examples/caffeine.mol')));
  const counts = engine.counts(caffeine);
  const countsRight = counts.atoms === 24 && counts.bonds === 25 && counts.triangles > 0;
  if (!countsRight) failures++;
  console.log(`${countsRight ? 'ok  ' : 'FAIL'} caffeine counts ${JSON.stringify(counts)}`);
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
process.exit(failures === 0 ? 0 : 1);
