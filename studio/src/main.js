// The page: starts the module, opens the bundled caffeine, and ties the view, the panel, the
// console and window.vantor to the one engine. The module runs on the page's thread: the host asks
// its questions synchronously, and a call of the module is short at the defaults.
import caffeine from '../../examples/caffeine.mol';
import { Engine } from './engine.js';
import { FillPanel } from './panel.js';
import { ForgetSession, KeepSession, LoadSession } from './session.js';
import { View } from './view.js';

const kMimeTypes = { glb: 'model/gltf-binary', usdz: 'model/vnd.usdz+zip', usda: 'text/plain', json: 'application/json',
  vdoc: 'application/octet-stream' };
const kSuffixes = { glb: '.glb', usdz: '.usdz', usda: '.usda', json: '.json', vdoc: '.vdoc' };
const kDocumentMagic = 'VANTORDC';  // what the host's documents begin with
const kModuleScript = 'vantor-studio.js';  // the served page's module script, and the module beside it
const kModuleFile = 'vantor-studio.wasm';

const kMessage = '[message] ';
const kExportRanOut = 'memory ran out while the model was written';
const kSlowBuild = 100;  // ms: a build that takes longer is announced the next time
const kLargeFile = 500000;  // bytes: a molecule file this large (some 100 ms to build) is announced first
const kPaintWait = 50;  // ms: the longest wait for a frame that paints the announcement

const $ = (id) => document.getElementById(id);
const kRecordsSuffix = '.sdf';  // the files of several records; the module reads the suffix as written
const state = { engine: null, view: null, selected: null, log: [], slowBuild: false, offered: new Map() };

function Status(text) {
  $('status').textContent = text;
}

// A message box of the module's: a modal dialog with its exact text.
function ShowMessage(text) {
  const dialog = $('message');
  dialog.querySelector('p').textContent = text;
  if (!dialog.open) dialog.showModal();
}

// What the module showed since the last call, into the console pane (as text, never markup), its
// message boxes as dialogs.
function TakeEvents() {
  const lines = state.engine.events();
  const messages = lines.filter((line) => line.startsWith(kMessage)).map((line) => line.slice(kMessage.length));
  if (messages.length > 0) ShowMessage(messages.join('\n').replaceAll('\\n', '\n'));
  state.log.push(...lines);
  if (lines.length > 0) $('console').textContent = state.log.join('\n');
  $('console').scrollTop = $('console').scrollHeight;
  return lines;
}

function ListMaterials() {
  $('materials').replaceChildren(...state.engine.materials().map((name) => {
    const item = document.createElement('li');
    item.textContent = name;
    return item;
  }));
}

// A material from the form: its name and colour; rows link it in the panel.
function AddMaterial(event) {
  event.preventDefault();
  const hex = $('material-colour').value;
  const colour = [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16) / 255);
  Edit(() => state.engine.material($('material-name').value.trim(), colour));
}

function ListObjects() {
  const list = $('objects');
  list.replaceChildren();
  for (const name of state.engine.objects()) {
    const item = document.createElement('li');
    item.textContent = name;
    if (name === state.selected) item.className = 'selected';
    item.onclick = () => Select(name, /*fit=*/true);
    list.append(item);
  }
}

function FillSelectedPanel() {
  if (!state.selected) {
    $('budget').value = '';
    return $('panel').replaceChildren();
  }
  const described = state.engine.describe(state.selected);
  $('budget').value = described.budget > 0 ? String(described.budget) : '';
  FillPanel($('panel'), described, state.engine.materials(), {
    edit: (entry, text) => Edit(() => state.engine.set(state.selected, entry.id, text)),
    press: (entry) => Edit(() => state.engine.press(state.selected, entry.id)),
    link: (entry, material) => Edit(() => state.engine.link(state.selected, entry.id, material)),
  });
}

// A form of the object: { bytes }; or, when memory runs out while it is written and the object's
// last edit can be undone, that edit undone and { undone: the reason } (a model may build in the
// module's memory and still be too large to write out).
function ExportOrUndo(object, form) {
  try {
    return { bytes: state.engine.exportModel(object, form) };
  } catch (error) {
    if (!error.message.startsWith(kExportRanOut) || !state.engine.undo(object)) throw error;
    return { undone: `${error.message}: the edit is undone` };
  }
}

// Redraws the selected object from the glb the host exports for it; an edit whose glb does not fit
// in memory is undone, the panel following, and the reason told.
async function Redraw(fit) {
  if (!state.selected) return state.view.clear();
  const started = performance.now();
  let shown = null;
  try {
    shown = ExportOrUndo(state.selected, 'glb');
    if (shown.undone) shown.bytes = state.engine.exportModel(state.selected, 'glb');
  } catch (error) {
    state.view.clear();
    Status(error.message);
    return;
  }
  if (shown.undone) FillSelectedPanel();
  await state.view.show(shown.bytes, fit);
  const counts = state.engine.counts(state.selected);
  const drawn = `${state.selected}: ${counts.atoms} atoms, ${counts.bonds} bonds, ${counts.triangles} triangles ` +
                `(${Math.round(performance.now() - started)} ms)`;
  Status(shown.undone ?? drawn);
}

async function Select(name, fit) {
  state.selected = name;
  ListObjects();
  FillSelectedPanel();
  await Redraw(fit);
}

// Runs a build on the page's thread; when it may be long (the last one was, or a large file comes),
// the status says so first and the page is painted before the thread is taken (or soon after,
// where frames come slowly: a page in the background has them seconds apart).
async function Working(build, long = state.slowBuild) {
  if (long) {
    Status('building the model…');
    await new Promise((painted) => {
      requestAnimationFrame(() => setTimeout(painted));
      setTimeout(painted, kPaintWait);
    });
  }
  const started = performance.now();
  try {
    return build();
  } finally {
    state.slowBuild = performance.now() - started > kSlowBuild;
  }
}

// An edit of the selected object: the model, the panel and the console follow it; a failure is
// told (after the model's counts, which would hide it) and leaves the page working.
async function Edit(change) {
  let failure = null;
  try {
    await Working(change);
  } catch (error) {
    failure = error.message;
  }
  TakeEvents();
  ListObjects();
  ListMaterials();
  FillSelectedPanel();
  await Redraw(false);
  if (failure !== null) Status(failure);
  await Keep();
}

// The document, its files and the budgets into the browser's storage; a failure is told and
// changes nothing.
async function Keep() {
  try {
    await KeepSession({ document: state.engine.saveDocument(), files: state.engine.files(),
                         budgets: state.engine.budgets() });
  } catch (error) {
    Status(`the session could not be kept: ${error.message}`);
  }
}

function IsDocument(bytes) {
  return new TextDecoder().decode(bytes.subarray(0, kDocumentMagic.length)) === kDocumentMagic;
}

// A document in place of the current one, its objects given the budgets (by name) they had, its
// first object selected. A budget an object no longer takes is left off: the object is as its
// document has it.
async function OpenDocument(bytes, budgets = {}) {
  try {
    state.engine.openDocument(bytes);
    for (const [object, most] of Object.entries(budgets)) {
      try {
        state.engine.budget(object, most);
      } catch (error) {
        state.log.push(`the budget of ${object} was left off: ${error.message}`);
      }
    }
  } finally {
    TakeEvents();
  }
  await Select(state.engine.objects()[0] ?? null, true);
}

// The records of an SD file offered to the page (by Open), by number and title.
function Records(name) {
  if (!state.offered.has(name)) throw new Error(`no file named '${name}' was opened`);
  return state.engine.records(state.offered.get(name));
}

// The records of a file, one button each (its number and title, as text), for a person to pick
// the one converted.
function OfferRecords(name, records) {
  const dialog = $('records');
  dialog.querySelector('h2').textContent = `${name}: ${records.length} records`;
  dialog.querySelector('ol').replaceChildren(...records.map(({ number, title }) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.dataset.record = number;
    button.textContent = `${number}. ${title}`;
    button.onclick = () => {
      dialog.close();
      Open(name, state.offered.get(name), true, number).catch(Refused);
    };
    const item = document.createElement('li');
    item.append(button);
    return item;
  }));
  if (!dialog.open) dialog.showModal();
}

// A molecule file into a new object, selected; a file the object cannot take is told, and the
// document stays as it was. An SD file of several records, without the record to take, offers its
// records instead, and nothing is opened yet (null).
async function Open(name, bytes, keep = true, record = undefined) {
  if (IsDocument(bytes)) {
    await OpenDocument(bytes);
    await Keep();
    return state.selected;
  }
  if (name.endsWith(kRecordsSuffix)) {
    const records = record === undefined ? state.engine.records(bytes) : [];
    state.offered.set(name, bytes);
    if (records.length > 1) {
      OfferRecords(name, records);
      return null;
    }
  }
  let object = null;
  try {
    object = await Working(() => state.engine.open(name, bytes, { record }), bytes.length > kLargeFile);
  } finally {
    TakeEvents();
  }
  await Select(object, true);
  if (keep) await Keep();
  return object;
}

// The kept session back (loading: what LoadSession answered): its files, then its document; false
// when there is none or it cannot be read (the page then starts as new).
async function Restore(loading) {
  const kept = await loading.catch(() => undefined);
  if (!kept) return false;
  try {
    for (const [name, bytes] of kept.files) state.engine.keepFile(name, bytes);
    await OpenDocument(kept.document, kept.budgets);
    return true;
  } catch (error) {
    Status(`the kept session could not be opened: ${error.message}`);
    return false;
  }
}

// A new, empty document, after a question; the kept session goes with the old one.
async function New() {
  if (!window.confirm('Start a new document? Every object of this one goes, and the kept session with it.')) return;
  for (const object of state.engine.objects()) state.engine.delete(object);
  await ForgetSession().catch(() => {});
  await Select(null, false);
}

// A file a person dropped or picked that the page could not open: told in the status and in a
// dialog, the document as it was.
function Refused(error) {
  Status(error.message);
  ShowMessage(error.message);
}

// The selected object's form downloaded; an edit whose form does not fit in memory is undone, the
// page and the kept session following, and the reason told.
async function DownloadForm(form) {
  const object = state.selected;
  let exported = null;
  try {
    exported = ExportOrUndo(object, form);
  } catch (error) {
    Status(error.message);
    return;
  }
  if (!exported.undone) return Download(object, exported.bytes, form);
  TakeEvents();
  FillSelectedPanel();
  await Redraw(false);
  Status(exported.undone);
  await Keep();
}

function Download(name, bytes, form) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type: kMimeTypes[form] }));
  link.download = name + kSuffixes[form];
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function WireControls() {
  $('fit').onclick = () => state.view.fit();
  $('new').onclick = () => New();
  $('material-form').onsubmit = AddMaterial;
  $('save').onclick = () => Download('document', state.engine.saveDocument(), 'vdoc');
  $('budget').onchange = () => {
    if (state.selected) Edit(() => state.engine.budget(state.selected, $('budget').value || 0));
  };
  $('open-file').onchange = async (event) => {
    const file = event.target.files[0];
    if (file) await Open(file.name, new Uint8Array(await file.arrayBuffer())).catch(Refused);
    event.target.value = '';
  };
  for (const button of document.querySelectorAll('[data-form]')) {
    button.onclick = () => DownloadForm(button.dataset.form);
  }
  document.body.addEventListener('dragover', (event) => event.preventDefault());
  document.body.addEventListener('drop', async (event) => {
    event.preventDefault();
    for (const file of event.dataTransfer.files) {
      await Open(file.name, new Uint8Array(await file.arrayBuffer())).catch(Refused);
    }
  });
}

// The page's operations for the console and for automation; each answers a promise.
function Scripting() {
  const after = async (work) => {
    const answer = work();
    await Edit(() => {});
    return answer;
  };
  return {
    open: (name, bytes, { record } = {}) =>
      Open(name, typeof bytes === 'string' ? new TextEncoder().encode(bytes) : new Uint8Array(bytes), true, record),
    records: async (name) => Records(name),
    budget: (object, most) => after(() => state.engine.budget(object, most)),
    set: (object, parameter, value) => after(() => state.engine.set(object, parameter, String(value))),
    press: (object, button) => after(() => state.engine.press(object, button)),
    answer: async (yesOrNo) => state.engine.answer(yesOrNo),
    exportModel: async (object, form) => state.engine.exportModel(object, form),
    saveDocument: async () => state.engine.saveDocument(),
    objects: async () => state.engine.objects(),
    counts: async (object) => state.engine.counts(object),
    events: async () => (TakeEvents(), [...state.log]),
    describe: async (object) => state.engine.describe(object),
    parameters: async () => state.engine.parameters(),
    select: (object) => Select(object, true),
    script: (line) => after(() => state.engine.script(line)),
    material: (name, colour) => after(() => state.engine.material(name, colour)),
    link: (object, parameter, material) => after(() => state.engine.link(object, parameter, material)),
    materials: async () => state.engine.materials(),
    sceneTriangles: async () => state.view.triangles(),
    ready: null,
  };
}

// What the module's factory is given: the served page's module bytes, fetched whole (the page
// preloads them), so that the browser compiles them on threads of its own while the view's WebGL
// context holds the page's thread; a compile streamed from the download would wait for the thread
// to feed it. The one-file page holds the module in its script.
async function ModuleSettings() {
  if (!document.querySelector(`script[src="${kModuleScript}"]`)) return {};
  const response = await fetch(kModuleFile);
  if (!response.ok) throw new Error(`${kModuleFile}: ${response.status} ${response.statusText}`);
  return { wasmBinary: await response.arrayBuffer() };
}

async function Start() {
  performance.mark('vantor:script');
  // the module compiles and the kept session is read while the view's WebGL context is made
  const settings = await ModuleSettings();
  const starting = Engine.start(globalThis.VantorStudio, (question) => window.confirm(question), settings);
  const loading = LoadSession();
  state.view = new View($('view'));
  WireControls();
  performance.mark('vantor:view-made');
  state.engine = await starting;
  performance.mark('vantor:module-started');
  TakeEvents();
  const restored = await Restore(loading);
  if (!restored) await Open('caffeine.mol', new TextEncoder().encode(caffeine), /*keep=*/false);
  window.vantor.readyAt = performance.now();  // from the navigation's start
  if (!restored) await Keep();
}

window.vantor = Scripting();
window.vantor.ready = Start().catch((error) => {
  Status(`the studio could not start: ${error.message}`);
  throw error;
});
