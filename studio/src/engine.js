// The studio's engine: the WebAssembly module's C API (host/studio/studio.cpp) as plain JavaScript
// calls, shared by the page and the tests under Node.

const kFiles = '/files';  // where the C API keeps the molecule files it is given

// Each failing call throws an Error with the host's reason.
export class Engine {
  // factory: the VantorStudio function that vantor-studio.js defines; ask(question): true for yes,
  // for the module's questions that no answer() has settled (the page's confirm()); settings: what
  // the factory is given (wasmBinary: the module's bytes, where its script does not hold them).
  static async start(factory, ask = () => false, settings = {}) {
    const module = await factory(settings);
    const engine = new Engine(module);
    engine.scripted = null;
    module.ask = (question) => (engine.scripted !== null ? engine.scripted === 'yes' : ask(question));
    if (!module._vantor_start()) throw new Error(engine.#text(module._vantor_error()));
    return engine;
  }

  constructor(module) {
    this.module = module;
  }

  #text(pointer) {
    return pointer ? this.module.UTF8ToString(pointer) : null;
  }

  #fail() {
    throw new Error(this.#text(this.module._vantor_error()).trim());
  }

  // A script line as vantor-host --script runs it.
  script(line) {
    if (!this.#callWith('_vantor_script', [line], [])) this.#fail();
    return this.#text(this.module._vantor_output());
  }

  // A molecule file's bytes into a new object, loaded and built: the object's name. record: the
  // record of an SD file to take (from 1), or the file as it is.
  open(name, bytes, { record } = {}) {
    return this.#withBytes(bytes, (pointer, size) => {
      const made = this.#text(record === undefined
        ? this.#callWith('_vantor_open', [name], [pointer, size])
        : this.#callWith('_vantor_open_record', [name], [pointer, size, record]));
      if (made === null) this.#fail();
      return made;
    });
  }

  // The records of an SD file's bytes: [{number, title}], in order.
  records(bytes) {
    const listed = this.#withBytes(bytes, (pointer, size) => this.#text(this.module._vantor_records(pointer, size)));
    if (listed === null) this.#fail();
    return JSON.parse(listed);
  }

  // The object's triangle budget (0: none), kept through its edits; the model built again.
  budget(object, most) {
    if (!this.#callWith('_vantor_budget', [object], [Number(most)])) this.#fail();
  }

  // Memory from the module's allocator; null from it means the module's memory could not grow.
  #allocate(size) {
    const pointer = this.module._malloc(size);
    if (pointer === 0) throw new Error('memory ran out');
    return pointer;
  }

  // Calls work(pointer, size) with bytes copied into the module's memory (freed afterwards); a
  // file too large for the studio is refused before it takes any.
  #withBytes(bytes, work) {
    const m = this.module;
    const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
    if (!m._vantor_fits(data.length)) this.#fail();
    const pointer = this.#allocate(Math.max(data.length, 1));
    m.HEAPU8.set(data, pointer);
    try {
      return work(pointer, data.length);
    } finally {
      m._free(pointer);
    }
  }

  // Calls a C function with its texts copied in as UTF-8 (freed afterwards), then the other arguments.
  #callWith(name, texts, rest) {
    const m = this.module;
    const encoded = texts.map((text) => new TextEncoder().encode(text + '\0'));
    const pointers = [];
    try {
      for (const bytes of encoded) {
        pointers.push(this.#allocate(bytes.length));
        m.HEAPU8.set(bytes, pointers.at(-1));
      }
      return m[name](...pointers, ...rest);
    } finally {
      pointers.forEach((pointer) => m._free(pointer));
    }
  }

  // A user edit (message 17), then the document evaluated: what the object took in place of a value
  // out of its range, or nothing.
  set(object, parameter, value) {
    if (!this.#callWith('_vantor_set', [object, String(parameter), String(value)], [])) this.#fail();
    return this.#text(this.module._vantor_output());
  }

  // A button pressed (message 18), then the document evaluated.
  press(object, button) {
    if (!this.#callWith('_vantor_press', [object, String(button)], [])) this.#fail();
  }

  // A material of a name and a colour, [red, green, blue] from 0 to 1.
  material(name, [red, green, blue]) {
    if (!this.#callWith('_vantor_material', [name], [red, green, blue])) this.#fail();
  }

  // A link parameter of the object pointed at a material (none for null), then the document evaluated.
  link(object, parameter, material) {
    if (!this.#callWith('_vantor_link', [object, String(parameter), material ?? ''], [])) this.#fail();
  }

  materials() {
    return JSON.parse(this.#text(this.module._vantor_materials()));
  }

  delete(object) {
    if (!this.#callWith('_vantor_delete', [object], [])) this.#fail();
  }

  // The objects' triangle budgets, by name: { object: triangles } for those that have one.
  budgets() {
    return JSON.parse(this.#text(this.module._vantor_budgets()));
  }

  // The object's last edit undone, the model it had built again: false when there is none to undo.
  undo(object) {
    return this.#callWith('_vantor_undo', [object], []) === 1;
  }

  // How the questions that follow are answered, without asking: 'yes' or 'no'.
  answer(yesOrNo) {
    this.script(`answer ${yesOrNo}`);
    this.scripted = yesOrNo;
  }

  // The bytes of a form: glb, usdz, usda or json.
  exportModel(object, form) {
    const size = this.#callWith('_vantor_export', [object, form], []);
    if (size < 0) this.#fail();
    const start = this.module._vantor_bytes();
    return this.module.HEAPU8.slice(start, start + size);
  }

  objects() {
    return JSON.parse(this.#text(this.module._vantor_objects()));
  }

  counts(object) {
    const text = this.#text(this.#callWith('_vantor_counts', [object], []));
    if (text === null) throw new Error(`no object named '${object}'`);
    return JSON.parse(text);
  }

  describe(object) {
    const text = this.#text(this.#callWith('_vantor_describe', [object], []));
    if (text === null) throw new Error(`no object named '${object}'`);
    return JSON.parse(text);
  }

  // The document in the host's own format.
  saveDocument() {
    const size = this.module._vantor_save_document();
    if (size < 0) this.#fail();
    const start = this.module._vantor_bytes();
    return this.module.HEAPU8.slice(start, start + size);
  }

  // A document in place of the current one, evaluated; the molecule files it names are read again
  // from where the page keeps them (keepFile).
  openDocument(bytes) {
    this.#withBytes(bytes, (pointer, size) => {
      if (!this.module._vantor_open_document(pointer, size)) this.#fail();
    });
  }

  // The molecule files the page keeps, as [name, bytes]; keepFile puts one back.
  files() {
    const names = this.module.FS.readdir(kFiles).filter((name) => name !== '.' && name !== '..');
    return names.map((name) => [name, this.module.FS.readFile(`${kFiles}/${name}`)]);
  }

  keepFile(name, bytes) {
    this.module.FS.writeFile(`${kFiles}/${name}`, bytes);
  }

  // The parameter table, as vantor-host --parameters prints it.
  parameters() {
    return this.#text(this.module._vantor_parameters());
  }

  // What the module showed since the last call, one line each as vantor-host prints them.
  events() {
    return this.#text(this.module._vantor_events()).split('\n').filter((line) => line !== '');
  }
}
