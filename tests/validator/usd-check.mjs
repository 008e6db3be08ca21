// Opens a USD stage that vantor-host wrote with three.js's USD loader, and the glTF of the same
// molecule with its glTF loader, and requires the same model of both: the hierarchy's names (as
// USD prim names), a mesh for each node that draws, the same triangles, the colour and opacity of
// each node's material, and the same bounding box (within 1e-6). three.js follows references only
// to other layers, so a stage that references its shapes within its one layer (a .usda, and the
// crate layer of a .usdz) is held to the names alone (--names-only).
//   node tests/validator/usd-check.mjs MODEL.glb STAGE.usda|STAGE.usdz [--names-only]
import { readFile } from 'node:fs/promises';
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { USDLoader } from 'three/addons/loaders/USDLoader.js';

const [glbFile, usdFile, option] = process.argv.slice(2);
if (!glbFile || !usdFile) {
  console.error('usage: node usd-check.mjs MODEL.glb STAGE.usda|STAGE.usdz [--names-only]');
  process.exit(2);
}
const namesOnly = option === '--names-only';
const failures = [];
const fail = (text) => failures.push(text);

// The glTF's own JSON, for the names as written (three.js's loader makes them unique in its own way).
function GltfJson(bytes) {
  const length = new DataView(bytes.buffer, bytes.byteOffset).getUint32(12, true);
  return JSON.parse(new TextDecoder().decode(bytes.subarray(20, 20 + length)));
}

// A name as a USD prim name, and made unique among its siblings, as vantor-host does.
function PrimName(name, taken) {
  const base = (name === '' || /^[0-9]/.test(name) ? '_' : '') + name.replace(/[^A-Za-z0-9_]/gu, '_');
  let unique = base;
  for (let n = 1; taken.has(unique); ++n) unique = `${base}_${n}`;
  taken.add(unique);
  return unique;
}

const glbBytes = new Uint8Array(await readFile(glbFile));
const gltf = GltfJson(glbBytes);
const usdBytes = await readFile(usdFile);
const stage = new USDLoader().parse(usdFile.toLowerCase().endsWith('.usdz')
  ? usdBytes.buffer.slice(usdBytes.byteOffset, usdBytes.byteOffset + usdBytes.byteLength)
  : usdBytes.toString('utf8'));
// three.js makes an object of the class of shapes too, which USD does not draw: it comes after the
// default prim and is left out
const roots = stage.children.filter((child, i) => i === 0 || !/^Shapes(_[0-9]+)?$/.test(child.name));
if (roots.length !== 1) fail(`the stage has ${roots.length} prims at its root, not 1`);

// Each glTF node against the object three.js made of its prim: the name, then what it draws.
let meshes = 0;
function Compare(index, object, path) {
  const node = gltf.nodes[index];
  const name = object.name;
  const here = `${path}/${name}`;
  const children = object.children.filter((child) => !(path === '' && /^Looks(_[0-9]+)?$/.test(child.name)));
  if (!namesOnly && (node.mesh !== undefined) !== Boolean(object.isMesh)) {
    fail(`${here}: ${node.mesh !== undefined ? 'no mesh where the glTF draws one' : 'a mesh the glTF does not have'}`);
  }
  if (!namesOnly && object.isMesh) {
    ++meshes;
    const primitive = gltf.meshes[node.mesh].primitives[0];
    const triangles = gltf.accessors[primitive.indices].count / 3;
    const geometry = object.geometry;
    const drawn = (geometry.index ? geometry.index.count : geometry.attributes.position.count) / 3;
    if (drawn !== triangles) fail(`${here}: ${drawn} triangles, the glTF ${triangles}`);
    if (primitive.material !== undefined) {
      const expected = gltf.materials[primitive.material].pbrMetallicRoughness.baseColorFactor;
      const material = object.material;
      const got = [material.color.r, material.color.g, material.color.b, material.opacity];
      if (got.some((value, i) => Math.abs(value - expected[i]) > 1e-6)) {
        fail(`${here}: colour ${got.join(' ')}, the glTF ${expected.join(' ')}`);
      }
    }
  }
  const taken = new Set();
  const expected = (node.children ?? []).map((child) => PrimName(gltf.nodes[child].name, taken));
  const got = children.map((child) => child.name);
  if (expected.join('|') !== got.join('|')) {
    fail(`${here}: children ${got.join(', ') || 'none'}, the glTF's ${expected.join(', ') || 'none'}`);
    return;
  }
  (node.children ?? []).forEach((child, i) => Compare(child, children[i], here));
}

const root = gltf.scenes[0].nodes[0];
if (roots.length === 1) {
  const name = PrimName(gltf.nodes[root].name, new Set());
  if (roots[0].name !== name) fail(`the default prim is ${roots[0].name}, not ${name}`);
  Compare(root, roots[0], '');
}

if (!namesOnly) {
  const model = await new Promise((resolve, reject) => new GLTFLoader().parse(glbBytes.buffer.slice(glbBytes.byteOffset, glbBytes.byteOffset + glbBytes.byteLength), '', resolve, reject));
  const a = new THREE.Box3().setFromObject(model.scene);
  const b = new THREE.Box3().setFromObject(stage);
  const off = Math.max(...['min', 'max'].flatMap((end) => ['x', 'y', 'z'].map((axis) => Math.abs(a[end][axis] - b[end][axis]))));
  if (!(off <= 1e-6)) {
    fail(`the bounding box ${JSON.stringify(b)} is ${off} from the glTF's ${JSON.stringify(a)}`);
  }
  const drawing = gltf.nodes.filter((node) => node.mesh !== undefined).length;
  if (meshes !== drawing) fail(`${meshes} meshes, the glTF ${drawing} nodes that draw`);
}

for (const failure of failures) console.log(`${usdFile}: ${failure}`);
console.log(`${usdFile}: ${failures.length === 0 ? 'the same model as' : 'not the model of'} ${glbFile}`);
process.exit(failures.length === 0 ? 0 : 1);
