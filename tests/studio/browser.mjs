// The studio page in headless Chromium (Debian's, driven by playwright-core), served from
// 127.0.0.1 with every other request refused: what a person sees and gets, held against the
// native vantor-host.
//   node tests/studio/browser.mjs SITE_DIR VANTOR_HOST SOURCE_DIR
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { OpenStudio, StudioRequire } from './page.mjs';

const [site, vantorHost, sourceDir] = process.argv.slice(2);
const require = StudioRequire(sourceDir);
const pixelmatch = require('pixelmatch');
const { PNG } = require('pngjs');

const caffeine = readFileSync(join(sourceDir, 'examples/caffeine.mol'), 'utf8');
const water = readFileSync(join(sourceDir, 'examples/water.mol'), 'utf8');
// three records, the last with a title that would be markup
const kHostileTitle = '<b>third</b><img src=x onerror=alert(1)>';
const kThreeTitles = ['first: caffeine', 'water', kHostileTitle];
const kThreeRecords = [caffeine.replace('caffeine', kThreeTitles[0]), water, caffeine.replace('caffeine', kHostileTitle)]
  .map((record) => `${record.trimEnd()}\n$$$$\n`).join('');
// large.sdf with its atoms of 60 elements in turn: at 1000 sphere segments and a radius by atomic
// number, each element's sphere is a mesh of its own, some 2 GB in all
const kElements = ('H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se ' +
  'Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd').split(' ');
const kAtomsLine = 3;  // the counts line: the number of atoms in its first 3 columns
const kSymbolColumns = [31, 34];
const manyElements = (() => {
  const lines = readFileSync(join(sourceDir, 'bench/data/large.sdf'), 'utf8').split('\n');
  const atoms = Number(lines[kAtomsLine].slice(0, 3));
  for (let atom = 0; atom < atoms; atom++) {
    const line = lines[kAtomsLine + 1 + atom];
    const symbol = kElements[atom % kElements.length].padEnd(kSymbolColumns[1] - kSymbolColumns[0]);
    lines[kAtomsLine + 1 + atom] = line.slice(0, kSymbolColumns[0]) + symbol + line.slice(kSymbolColumns[1]);
  }
  return lines.join('\n');
})();
// The 60 elements' segments whose model is built in the module's 1 GB but whose glb is not: the
// model and the glb's pieces are there as the pieces are copied into one block. (A download that
// runs out after an edit is undone the same way, but a model whose glb fits and whose USDA does not
// has tens of millions of triangles to draw, minutes in headless Chromium's software WebGL.)
const kGlbRunsOut = 400;
// three.js's tolerances for its examples' screenshots: a colour distance of 0.1, 0.3% of the pixels
const kScreenshot = { file: join(sourceDir, 'tests/studio/caffeine.png'), threshold: 0.1, share: 0.003 };

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

// vantor-host's glb of a molecule file's text (read from standard input) and a triangle budget.
function NativeBudgetGlb(text, most) {
  return execFileSync(vantorHost, ['-', '--max-triangles', String(most), '--gltf', '-', '--quiet'], { input: text, stdio: 'pipe' });
}

// What vantor-host says of caffeine and a budget it cannot keep to.
function NativeBudgetFailure(most) {
  try {
    execFileSync(vantorHost, [join(sourceDir, 'examples/caffeine.mol'), '--max-triangles', String(most), '--gltf', '-'],
      { stdio: 'pipe' });
  } catch (error) {
    return error.stderr.toString();
  }
  return 'nothing';
}

// What the page keeps in the browser's storage, as text to compare (a function of the page).
async function KeptSession() {
  const request = (made) => new Promise((done, fail) => {
    made.onsuccess = () => done(made.result);
    made.onerror = () => fail(made.error);
  });
  const database = await request(indexedDB.open('vantor-studio'));
  const kept = await request(database.transaction('session').objectStore('session').get('current'));
  database.close();
  return kept ? JSON.stringify({ document: [...kept.document], files: kept.files.map(([name, bytes]) => [name, bytes.length]) }) : 'none';
}

// The document, the selected object's model and what is drawn, as text to compare.
async function Shown(page) {
  const shown = await page.evaluate(async () => {
    const objects = await window.vantor.objects();
    const selected = document.querySelector('#objects li.selected')?.textContent;
    return { objects, selected, counts: await window.vantor.counts(selected), scene: await window.vantor.sceneTriangles(),
             segments: document.querySelector('#panel [data-name=MOLOBJ_SEGMENTS] input')?.value };
  });
  return JSON.stringify({ ...shown, kept: await page.evaluate(KeptSession) });
}

// The status once the page is done with what it was asked (a slow build announces itself first).
async function StatusAfter(page, ask) {
  await page.evaluate(() => { document.getElementById('status').textContent = ''; });
  await ask();
  return page.evaluate(async (busy) => {
    const status = document.getElementById('status');
    for (let i = 0; i < 3000 && busy.includes(status.textContent); i++) await new Promise((wait) => setTimeout(wait, 20));
    return status.textContent;
  }, ['', 'building the model\u2026']);
}

// A field filled and left, as a person leaves it: the browser tells the change once. (A change
// event dispatched by hand leaves the field's edit pending, and the browser tells it again as the
// field is taken away when the panel is made anew: a second edit, racing the next check.)
async function FillAndLeave(field, text) {
  await field.fill(text);
  await field.blur();
}

// An edit of the selected object's segments in the panel; the status once the page is done.
async function EditSegments(page, segments) {
  const input = page.locator('#panel [data-name=MOLOBJ_SEGMENTS] input');
  return StatusAfter(page, () => FillAndLeave(input, String(segments)));
}

// Each check: a name and a function of the page that throws when what it sees is wrong.
const kChecks = [
  ['WebGL2 is there', async (page) => {
    const webgl2 = await page.evaluate(() => document.createElement('canvas').getContext('webgl2') !== null);
    if (!webgl2) throw new Error('no WebGL2 context');
  }],
  ['the view of caffeine matches tests/studio/caffeine.png', async (page) => {
    const shot = await page.locator('#view canvas').screenshot();
    if (process.env.VANTOR_UPDATE_SCREENSHOT) writeFileSync(kScreenshot.file, shot);
    const [seen, expected] = [PNG.sync.read(shot), PNG.sync.read(readFileSync(kScreenshot.file))];
    if (seen.width !== expected.width || seen.height !== expected.height) {
      throw new Error(`${seen.width}x${seen.height}, not ${expected.width}x${expected.height}`);
    }
    const differing = pixelmatch(seen.data, expected.data, null, seen.width, seen.height, { threshold: kScreenshot.threshold });
    const share = differing / (seen.width * seen.height);
    if (share > kScreenshot.share) throw new Error(`${(share * 100).toFixed(2)}% of the pixels differ`);
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
  ...[
    // a file name and its bytes, and the reason the page gives
    ['caffeine.txt', caffeine, 'Unrecognised file format, molecule definition file cannot be loaded.'],
    ['CAFFEINE.MOL', caffeine, 'Unrecognised file format, molecule definition file cannot be loaded.'],
    ['empty.mol', '', 'the model is empty, with no atoms and no bonds'],
    ['binary.sdf', '\u0000\u0001\u00ff\u0007PNG\r\n'.repeat(50), 'the model is empty, with no atoms and no bonds'],
  ].map(([name, text, reason]) => [`${name}: "${reason}", and the document as it was`, async (page) => {
    const seen = await page.evaluate(async ([name, text]) => {
      const before = await window.vantor.objects();
      const failure = await window.vantor.open(name, text).then(() => 'opened', (error) => error.message);
      const dialog = document.getElementById('message');
      const shown = dialog.open ? dialog.querySelector('p').textContent : '';
      dialog.close();
      return { failure, shown, same: JSON.stringify(before) === JSON.stringify(await window.vantor.objects()) };
    }, [name, text]);
    if (seen.failure !== reason || !seen.same) throw new Error(JSON.stringify(seen));
    if (reason.startsWith('Unrecognised') && seen.shown !== reason) throw new Error(`the dialog showed '${seen.shown}'`);
  }]),
  ['a file dropped on the page is opened: 24 atoms, 25 bonds', async (page) => {
    const counts = await page.evaluate(async (molecule) => {
      const before = (await window.vantor.objects()).length;
      const transfer = new DataTransfer();
      transfer.items.add(new File([molecule], 'dropped.mol'));
      document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
      for (let i = 0; i < 100 && (await window.vantor.objects()).length === before; i++) {
        await new Promise((wait) => setTimeout(wait, 20));
      }
      const objects = await window.vantor.objects();
      return objects.length === before + 1 ? window.vantor.counts(objects.at(-1)) : null;
    }, caffeine);
    if (counts?.atoms !== 24 || counts?.bonds !== 25) throw new Error(JSON.stringify(counts));
  }],
  ['an edit in the panel rebuilds the model', async (page) => {
    const object = await page.evaluate(async () => (await window.vantor.objects()).at(-1));
    await page.evaluate((name) => window.vantor.select(name), object);
    const before = await page.evaluate((name) => window.vantor.counts(name), object);
    const input = page.locator('#panel [data-name=MOLOBJ_SEGMENTS] input');
    await FillAndLeave(input, '10');
    await page.waitForFunction(() => document.querySelector('#panel [data-name=MOLOBJ_SEGMENTS] input')?.value === '10');
    const after = await page.evaluate((name) => window.vantor.counts(name), object);
    const segments = (await page.evaluate((name) => window.vantor.describe(name), object)).entries
      .find((entry) => entry.name === 'MOLOBJ_SEGMENTS').value;
    if (segments !== 10 || after.triangles >= before.triangles) throw new Error(JSON.stringify([segments, before, after]));
  }],
  ['Restore Preset asks its question: the page\'s dialog, then the scripted answers', async (page) => {
    const asked = [];
    page.once('dialog', (dialog) => {
      asked.push(dialog.message());
      dialog.accept();
    });
    const lines = await page.evaluate(async () => {
      const object = (await window.vantor.objects())[0];
      await window.vantor.press(object, 'MOLOBJ_RESTORE_PRESET');
      await window.vantor.answer('no');
      await window.vantor.press(object, 'MOLOBJ_RESTORE_PRESET');
      await window.vantor.answer('yes');
      await window.vantor.press(object, 'MOLOBJ_RESTORE_PRESET');
      return (await window.vantor.events()).filter((line) => line.startsWith('[question]')).slice(-3);
    });
    const answers = lines.map((line) => line.slice(line.lastIndexOf(' -> ') + 4));
    if (asked.length !== 1 || JSON.stringify(answers) !== '["yes","no","yes"]') throw new Error(JSON.stringify([asked, lines]));
  }],
  ['rows added and removed, the panel following', async (page) => {
    const sizes = await page.evaluate(async () => {
      const object = (await window.vantor.objects())[0];
      await window.vantor.select(object);
      const size = async () => [(await window.vantor.describe(object)).entries.length,
                                document.querySelectorAll('#panel [data-id]').length];
      const seen = [await size()];
      for (const button of ['MOLOBJ_ADD_ROW', 'MOLOBJ_ADD_ROW', 'MOLOBJ_REMOVE_ROW', 'MOLOBJ_REMOVE_ROW']) {
        await window.vantor.press(object, button);
        seen.push(await size());
      }
      return seen;
    });
    const entries = sizes.map(([described]) => described);
    const grows = entries[1] > entries[0] && entries[2] > entries[1] && entries[3] === entries[1] && entries[4] === entries[0];
    if (!grows || sizes.some(([described, shown]) => described !== shown)) throw new Error(JSON.stringify(sizes));
  }],
  ['a material made on the page, linked in a row, is in the model and the panel', async (page) => {
    const seen = await page.evaluate(async () => {
      const v = window.vantor;
      const object = (await v.objects())[0];
      await v.select(object);
      await v.material('Ruby', [0.8, 0.1, 0.1]);
      await v.press(object, 'MOLOBJ_ADD_ROW');
      const entries = (await v.describe(object)).entries;
      const link = entries.find((entry) => entry.type === 'link');
      const symbol = entries.find((entry) => entry.parent === link.parent && entry.type === 'string');
      await v.set(object, symbol.id, 'O');
      await v.link(object, link.id, 'Ruby');
      const glb = new TextDecoder().decode(await v.exportModel(object, 'glb'));
      const shown = document.querySelector(`#panel [data-id="${link.id}"] select`).value;
      await v.press(object, 'MOLOBJ_REMOVE_ROW');
      return { materials: await v.materials(), inModel: glb.includes('"Ruby"'), shown };
    });
    if (!seen.materials.includes('Ruby') || !seen.inModel || seen.shown !== 'Ruby') throw new Error(JSON.stringify(seen));
  }],
  ['a 3-record SD file offers its titles, as text; record 2 picked is opened', async (page) => {
    const offered = await page.evaluate(async (text) => {
      const before = (await window.vantor.objects()).length;
      const opened = await window.vantor.open('three.sdf', text);
      const shown = [...document.querySelectorAll('#records li button')].map((button) => button.textContent);
      return { before, opened, shown, markup: document.querySelectorAll('#records b, #records img').length,
               listed: await window.vantor.records('three.sdf'), objects: (await window.vantor.objects()).length };
    }, kThreeRecords);
    const shown = kThreeTitles.map((title, i) => `${i + 1}. ${title}`);
    const listed = kThreeTitles.map((title, i) => ({ number: i + 1, title }));
    if (offered.opened !== null || offered.objects !== offered.before || offered.markup !== 0 ||
        JSON.stringify(offered.shown) !== JSON.stringify(shown) || JSON.stringify(offered.listed) !== JSON.stringify(listed)) {
      throw new Error(JSON.stringify(offered));
    }
    await page.click('#records button[data-record="2"]');
    await page.waitForFunction(async (before) => (await window.vantor.objects()).length === before + 1, offered.before);
    const picked = await page.evaluate(async () => {
      const object = (await window.vantor.objects()).at(-1);
      return { object, counts: await window.vantor.counts(object), open: document.getElementById('records').open };
    });
    if (picked.object !== 'water' || picked.counts.atoms !== 3 || picked.counts.bonds !== 2 || picked.open) {
      throw new Error(JSON.stringify(picked));
    }
  }],
  ...[[3, '24 atoms', null], [4, null, 'there is no record 4: the file holds 3'], [0, null, 'records are numbered from 1']]
    .map(([record, atoms, failure]) => [`open(name, bytes, {record: ${record}}): ${atoms ?? failure}`, async (page) => {
      const seen = await page.evaluate(async ([text, record]) => {
        const opened = await window.vantor.open('three.sdf', text, { record }).then(
          async (object) => `${(await window.vantor.counts(object)).atoms} atoms`, (error) => error.message);
        return { opened, asked: document.getElementById('records').open };
      }, [kThreeRecords, record]);
      if (seen.opened !== (atoms ?? failure) || seen.asked) throw new Error(JSON.stringify(seen));
    }]),
  ['a budget of 2000 triangles: vantor-host --max-triangles 2000\'s glb, drawn, and kept through an edit', async (page) => {
    // a title of its own: the glb names the object, and the page numbers a name taken already
    const budgeted = caffeine.replace('caffeine', 'budgeted');
    const seen = await page.evaluate(async (molecule) => {
      const object = await window.vantor.open('budget.mol', molecule);
      await window.vantor.budget(object, 2000);
      const fitted = { glb: [...await window.vantor.exportModel(object, 'glb')], counts: await window.vantor.counts(object),
                       scene: await window.vantor.sceneTriangles(), field: document.getElementById('budget').value };
      await window.vantor.set(object, 'MOLOBJ_SEGMENTS', '48');
      return { ...fitted, edited: [...await window.vantor.exportModel(object, 'glb')] };
    }, budgeted);
    const native = NativeBudgetGlb(budgeted, 2000);
    if (!Buffer.from(seen.glb).equals(native)) throw new Error('the bytes differ');
    if (!Buffer.from(seen.edited).equals(native)) throw new Error('the bytes differ after an edit');
    if (seen.counts.triangles > 2000 || seen.scene !== seen.counts.triangles || seen.field !== '2000') {
      throw new Error(JSON.stringify({ ...seen, glb: undefined, edited: undefined }));
    }
  }],
  ['the budget field: 10 triangles is refused as vantor-host refuses it, the budget as it was', async (page) => {
    const object = await page.evaluate(async () => (await window.vantor.objects()).at(-1));
    await page.evaluate((name) => window.vantor.select(name), object);
    await FillAndLeave(page.locator('#budget'), '10');
    await page.waitForFunction(() => document.getElementById('budget').value !== '10');
    const seen = await page.evaluate(async (name) => ({ status: document.getElementById('status').textContent,
      field: document.getElementById('budget').value, budget: (await window.vantor.describe(name)).budget }), object);
    const native = NativeBudgetFailure(10);
    const reason = seen.status.slice(0, seen.status.indexOf('more than'));
    if (reason === '' || !native.includes(reason) || seen.field !== '2000' || seen.budget !== 2000) {
      throw new Error(`${JSON.stringify(seen)} against ${native}`);
    }
  }],
  ['a reload brings the session back: the objects and their edits', async (page) => {
    const seen = async () => page.evaluate(async () => {
      const objects = await window.vantor.objects();
      return { objects, counts: await Promise.all(objects.map((object) => window.vantor.counts(object))) };
    });
    const before = await seen();
    await page.reload();
    await page.evaluate(() => window.vantor.ready);
    const after = await seen();
    if (before.objects.length < 2 || JSON.stringify(before) !== JSON.stringify(after)) {
      throw new Error(`${JSON.stringify(before)} became ${JSON.stringify(after)}`);
    }
  }],
  ['a reload brings the triangle budget back: the object\'s and the field\'s', async (page) => {
    const seen = async () => page.evaluate(async () => {
      const budgets = {};
      for (const object of await window.vantor.objects()) budgets[object] = (await window.vantor.describe(object)).budget;
      await window.vantor.select(Object.keys(budgets).find((object) => budgets[object] > 0));
      return { budgets, field: document.getElementById('budget').value };
    });
    const before = await seen();
    await page.reload();
    await page.evaluate(() => window.vantor.ready);
    const after = await seen();
    if (before.field !== '2000' || JSON.stringify(before) !== JSON.stringify(after)) {
      throw new Error(`${JSON.stringify(before)} became ${JSON.stringify(after)}`);
    }
  }],
  ['a saved document opens back in place of the current one', async (page) => {
    const [before, between, after] = await page.evaluate(async (molecule) => {
      const objects = await window.vantor.objects();
      const saved = await window.vantor.saveDocument();
      await window.vantor.open('another.mol', molecule);
      const between = await window.vantor.objects();
      await window.vantor.open('saved.vdoc', saved);
      return [objects, between, await window.vantor.objects()];
    }, caffeine);
    if (between.length !== before.length + 1) throw new Error(`${between} after opening a molecule`);
    if (JSON.stringify(before) !== JSON.stringify(after)) throw new Error(`${before} became ${after}`);
  }],
  ...[['dropped', 'huge.mol'], ['opened', 'huge.sdf']].map(([how, name]) => [
    `a 100 MB molecule file ${how} is refused with a message; the page, the model, the document and the kept session as they were`,
    async (page) => {
      const before = await Shown(page);
      const seen = await page.evaluate(async ([how, name, molecule]) => {
        const filler = new Uint8Array((100 << 20) - molecule.length).fill(0x0a);  // blank lines after the record
        const file = new File([molecule, filler], name);
        let failure = 'opened';
        if (how === 'dropped') {
          const transfer = new DataTransfer();
          transfer.items.add(file);
          document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
        } else {
          failure = await window.vantor.open(name, new Uint8Array(await file.arrayBuffer())).then(() => 'opened', (error) => error.message);
        }
        const dialog = document.getElementById('message');
        for (let i = 0; i < 500 && how === 'dropped' && !dialog.open; i++) await new Promise((wait) => setTimeout(wait, 20));
        const shown = dialog.open ? dialog.querySelector('p').textContent : '';
        dialog.close();
        return { failure, shown };
      }, [how, name, caffeine]);
      const reason = /^the file is 100 MB: the studio opens files of up to \d+ MB$/;
      if (!reason.test(how === 'dropped' ? seen.shown : seen.failure)) throw new Error(JSON.stringify(seen));
      const after = await Shown(page);
      if (after !== before) throw new Error(`${before} became ${after}`);
    }]),
  [`an edit whose model builds but whose glb runs out of memory (the 60 elements at ${kGlbRunsOut} segments): ` +
   '"memory ran out", the edit undone, the model and the kept session as they were', async (page) => {
    await page.evaluate(async (text) => {
      const object = await window.vantor.open('elements.sdf', text);
      await window.vantor.set(object, 'MOLOBJ_RADIUS_MODE', '2');
      await window.vantor.select(object);
    }, manyElements);
    const before = await Shown(page);
    const status = await EditSegments(page, kGlbRunsOut);
    const after = await Shown(page);
    if (status !== 'memory ran out while the model was written: the edit is undone' || after !== before) {
      throw new Error(`${status}: ${before} became ${after}`);
    }
  }],
  ['60 elements\' spheres at 1000 segments: "memory ran out", the model and the kept session as they were, the next edit built', async (page) => {
    const before = await Shown(page);
    const status = await EditSegments(page, 1000);
    const after = await Shown(page);
    if (!status.startsWith('memory ran out') || after !== before) throw new Error(`${status}: ${before} became ${after}`);
    const next = await EditSegments(page, 12);
    const edited = JSON.parse(await Shown(page));
    if (edited.segments !== '12' || edited.counts.triangles === JSON.parse(before).counts.triangles ||
        edited.scene !== edited.counts.triangles) {
      throw new Error(`${next}: ${JSON.stringify(edited)}`);
    }
  }],
  ['a budget whose finest detail runs out of memory: "memory ran out", the budget, the model and the kept session as they were', async (page) => {
    await page.evaluate(async () => window.vantor.budget(document.querySelector('#objects li.selected').textContent, 500000));
    const before = await Shown(page);
    await page.evaluate(() => { document.getElementById('status').textContent = ''; });
    await FillAndLeave(page.locator('#budget'), '1000000000000');
    await page.waitForFunction(() => document.getElementById('status').textContent !== '', null, { timeout: 60000 });
    const seen = await page.evaluate(async () => ({ status: document.getElementById('status').textContent,
      field: document.getElementById('budget').value,
      budget: (await window.vantor.describe(document.querySelector('#objects li.selected').textContent)).budget }));
    const after = await Shown(page);
    if (!seen.status.startsWith('memory ran out') || seen.budget !== 500000 || seen.field !== '500000' || after !== before) {
      throw new Error(`${JSON.stringify(seen)}: ${before} became ${after}`);
    }
  }],
  ['New asks, then empties the document', async (page) => {
    page.once('dialog', (dialog) => dialog.accept());
    await page.click('#new');
    await page.waitForFunction(async () => (await window.vantor.objects()).length === 0);
  }],
];

const studio = await OpenStudio(site, sourceDir);
let failures = 0;
try {
  console.log(`page ready ${Math.round(studio.readyAt)} ms after navigation`);
  for (const [name, check] of kChecks) {
    try {
      await check(studio.page);
      console.log(`ok   ${name}`);
    } catch (error) {
      failures++;
      console.log(`FAIL ${name}: ${error.message}`);
    }
  }
  if (studio.errors.length > 0) {
    failures++;
    console.log(`FAIL the page reported errors: ${studio.errors.join('; ')}`);
  }
} finally {
  await studio.close();
}
process.exit(failures === 0 ? 0 : 1);
