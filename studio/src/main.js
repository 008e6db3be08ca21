// The page: starts the module, opens the bundled caffeine, and ties the view, the panel, the
// console and window.vantor to the one engine. The module runs on the page's thread: the host asks
// its questions synchronously, and a call of the module is short at the defaults.
import caffeine from '../../examples/caffeine.mol';
import { Engine } from './engine.js';
import { FillPanel } from './panel.js';
import { View } from './view.js';

const kMimeTypes = { glb: 'model/gltf-binary', usdz: 'model/vnd.usdz+zip', usda: 'text/plain', json: 'application/json' };
const kSuffixes = { glb: '.glb', usdz: '.usdz', usda: '.usda', json: '.json' };

const $ = (id) => document.getElementById(id);
const state = { engine: null, view: null, selected: null, log: [] };

function Status(text) {
  $('status').textContent = text;
}

// What the module showed since the last call, into the console pane (as text, never markup).
function TakeEvents() {
  const lines = state.engine.events();
  state.log.push(...lines);
  if (lines.length > 0) $('console').textContent = state.log.join('\n');
  $('console').scrollTop = $('console').scrollHeight;
  return lines;
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
  if (!state.selected) return $('panel').replaceChildren();
  FillPanel($('panel'), state.engine.describe(state.selected), {
    edit: (entry, text) => Edit(() => state.engine.set(state.selected, entry.id, text)),
    press: (entry) => Edit(() => state.engine.press(state.selected, entry.id)),
  });
}

// Redraws the selected object from the glb the host exports for it.
async function Redraw(fit) {
  if (!state.selected) return state.view.clear();
  const started = performance.now();
  let bytes = null;
  try {
    bytes = state.engine.exportModel(state.selected, 'glb');
  } catch (error) {
    state.view.clear();
    Status(error.message);
    return;
  }
  await state.view.show(bytes, fit);
  const counts = state.engine.counts(state.selected);
  Status(`${state.selected}: ${counts.atoms} atoms, ${counts.bonds} bonds, ${counts.triangles} triangles ` +
         `(${Math.round(performance.now() - started)} ms)`);
}

async function Select(name, fit) {
  state.selected = name;
  ListObjects();
  FillSelectedPanel();
  await Redraw(fit);
}

// An edit of the selected object: the model, the panel and the console follow it; a failure is
// told and leaves the page working.
async function Edit(change) {
  try {
    change();
  } catch (error) {
    Status(error.message);
  }
  TakeEvents();
  ListObjects();
  FillSelectedPanel();
  await Redraw(false);
}

async function Open(name, bytes) {
  const object = state.engine.open(name, bytes);
  TakeEvents();
  await Select(object, true);
  return object;
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
  $('open-file').onchange = async (event) => {
    const file = event.target.files[0];
    if (file) await Open(file.name, new Uint8Array(await file.arrayBuffer())).catch((error) => Status(error.message));
    event.target.value = '';
  };
  for (const button of document.querySelectorAll('[data-form]')) {
    button.onclick = () => {
      try {
        Download(state.selected, state.engine.exportModel(state.selected, button.dataset.form), button.dataset.form);
      } catch (error) {
        Status(error.message);
      }
    };
  }
  document.body.addEventListener('dragover', (event) => event.preventDefault());
  document.body.addEventListener('drop', async (event) => {
    event.preventDefault();
    for (const file of event.dataTransfer.files) {
      await Open(file.name, new Uint8Array(await file.arrayBuffer())).catch((error) => Status(error.message));
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
    open: (name, bytes) => Open(name, typeof bytes === 'string' ? new TextEncoder().encode(bytes) : new Uint8Array(bytes)),
    set: (object, parameter, value) => after(() => state.engine.set(object, parameter, String(value))),
    press: (object, button) => after(() => state.engine.press(object, button)),
    answer: async (yesOrNo) => state.engine.answer(yesOrNo),
    exportModel: async (object, form) => state.engine.exportModel(object, form),
    objects: async () => state.engine.objects(),
    counts: async (object) => state.engine.counts(object),
    events: async () => (TakeEvents(), [...state.log]),
    describe: async (object) => state.engine.describe(object),
    parameters: async () => state.engine.parameters(),
    select: (object) => Select(object, true),
    sceneTriangles: async () => state.view.triangles(),
    ready: null,
  };
}

async function Start() {
  state.view = new View($('view'));
  WireControls();
  state.engine = await Engine.start(globalThis.VantorStudio);
  TakeEvents();
  await Open('caffeine.mol', new TextEncoder().encode(caffeine));
}

window.vantor = Scripting();
window.vantor.ready = Start().catch((error) => {
  Status(`the studio could not start: ${error.message}`);
  throw error;
});
