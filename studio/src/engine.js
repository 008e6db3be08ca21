// The studio's engine: the WebAssembly module's C API (host/studio/studio.cpp) as plain JavaScript
// calls, shared by the page and the tests under Node.

// Each failing call throws an Error with the host's reason.
export class Engine {
  // factory: the VantorStudio function that vantor-studio.js defines.
  static async start(factory, options = {}) {
    const module = await factory(options);
    const engine = new Engine(module);
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

  // A molecule file's bytes into a new object, loaded and built: the object's name.
  open(name, bytes) {
    const m = this.module;
    const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
    const pointer = m._malloc(Math.max(data.length, 1));
    m.HEAPU8.set(data, pointer);
    try {
      const made = this.#text(this.#callWith('_vantor_open', [name], [pointer, data.length]));
      if (made === null) this.#fail();
      return made;
    } finally {
      m._free(pointer);
    }
  }

  // Calls a C function with its texts copied in as UTF-8 (freed afterwards), then the other arguments.
  #callWith(name, texts, rest) {
    const m = this.module;
    const encoded = texts.map((text) => new TextEncoder().encode(text + '\0'));
    const pointers = encoded.map((bytes) => {
      const pointer = m._malloc(bytes.length);
      m.HEAPU8.set(bytes, pointer);
      return pointer;
    });
    try {
      return m[name](...pointers, ...rest);
    } finally {
      pointers.forEach((pointer) => m._free(pointer));
    }
  }

  // A user edit (message 17), then the document evaluated.
  set(object, parameter, value) {
    this.script(`set ${object} ${parameter} ${value}`);
    this.script('eval');
  }

  // A button pressed (message 18), then the document evaluated.
  press(object, button) {
    this.script(`press ${object} ${button}`);
    this.script('eval');
  }

  answer(yesOrNo) {
    this.script(`answer ${yesOrNo}`);
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

  // The parameter table, as vantor-host --parameters prints it.
  parameters() {
    return this.#text(this.module._vantor_parameters());
  }

  // What the module showed since the last call, one line each as vantor-host prints them.
  events() {
    return this.#text(this.module._vantor_events()).split('\n').filter((line) => line !== '');
  }
}
