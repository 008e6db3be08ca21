// The studio's WebAssembly build against the native vantor-host: each row converts a molecule with
// the same edits both ways, and the bytes must be the same.
//   node tests/studio/conversions.mjs STUDIO_JS VANTOR_HOST SOURCE_DIR
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, join, resolve } from 'node:path';
import { Engine } from '../../studio/src/engine.js';

const [studioJs, vantorHost, sourceDir] = process.argv.slice(2);
const require = createRequire(import.meta.url);

// A file of several records, written by the test: these molecules, in order.
const kThree = { file: 'three.sdf', records: ['examples/caffeine.mol', 'examples/water.mol', 'examples/benzene.sdf'] };

// molecule file, edits as --set takes them, form, the native option and file; a record of the file
// (--records N) and a triangle budget (--max-triangles N) where given
const kCases = [
  { file: 'examples/caffeine.mol', settings: [], form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [], form: 'usdz', option: '--usd', out: 'm.usdz' },
  { file: 'examples/caffeine.mol', settings: [], form: 'usda', option: '--usd', out: 'm.usda' },
  { file: 'examples/caffeine.mol', settings: [], form: 'json', option: '--json', out: 'm.json' },
  { file: 'bench/data/large100.sdf', settings: [['MOLOBJ_COLOR_MODE', '1']], form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [['MOLOBJ_SEGMENTS', '8']], form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [['MOLOBJ_RADIUS_MODE', '0'], ['MOLOBJ_BOND_SUBDIVISIONS', '2']],
    form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [], maxTriangles: 2000, form: 'glb', option: '--gltf', out: 'm.glb' },
  { file: 'examples/caffeine.mol', settings: [], maxTriangles: 2000, form: 'json', option: '--json', out: 'm.json' },
  { file: 'examples/caffeine.mol', settings: [['MOLOBJ_COLOR_MODE', '1']], maxTriangles: 50000, form: 'glb',
    option: '--gltf', out: 'm.glb' },
  { ...kThree, settings: [], record: 2, form: 'glb', option: '--gltf', out: 'm.glb' },
  { ...kThree, settings: [['MOLOBJ_SEGMENTS', '8']], record: 3, form: 'usda', option: '--usd', out: 'm.usda' },
  { ...kThree, settings: [], record: 1, maxTriangles: 3000, form: 'glb', option: '--gltf', out: 'm.glb' },
];

// The molecule file of a case: in the sources, or written into scratch from its records.
function FileOf(testCase, scratch) {
  if (!testCase.records) return join(sourceDir, testCase.file);
  const file = join(scratch, testCase.file);
  const records = testCase.records.map((name) => readFileSync(join(sourceDir, name), 'utf8').replace(/\$\$\$\$\s*$/, ''));
  writeFileSync(file, records.map((text) => `${text.trimEnd()}\n$$$$\n`).join(''));
  return file;
}

function Native(testCase, scratch) {
  const out = join(scratch, testCase.out);
  const sets = testCase.settings.flatMap(([name, value]) => ['--set', `${name}=${value}`]);
  const record = testCase.record ? ['--records', String(testCase.record)] : [];
  const budget = testCase.maxTriangles ? ['--max-triangles', String(testCase.maxTriangles)] : [];
  execFileSync(vantorHost, [FileOf(testCase, scratch), ...sets, ...record, ...budget, testCase.option, out, '--quiet'],
    { stdio: 'pipe' });
  return readFileSync(out);
}

function Studio(engine, testCase, scratch) {
  const object = engine.open(basename(testCase.file), readFileSync(FileOf(testCase, scratch)), { record: testCase.record });
  if (testCase.maxTriangles) engine.budget(object, testCase.maxTriangles);
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
    const extras = [testCase.record && `record ${testCase.record}`, testCase.maxTriangles && `budget ${testCase.maxTriangles}`];
    const name = `${testCase.file} ${testCase.form} ${[...testCase.settings.map((s) => s.join('=')), ...extras.filter(Boolean)].join(' ')}`;
    const native = Native(testCase, scratch);
    const studio = Buffer.from(Studio(engine, testCase, scratch));
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
