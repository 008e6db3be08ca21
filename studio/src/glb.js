// The glb files the host writes (host/src/export/gltfwrite.cpp) as three.js meshes: each mesh the
// nodes share (one per element's atoms, one per kind of bond) drawn once, instanced at every node
// that uses it, where a general glTF loader would make an object per atom and draw each alone.
// Only what the host writes is read: nodes with translation, rotation, scale and children; meshes of
// indexed triangles with POSITION, NORMAL and TEXCOORD_0; materials by base colour, metalness,
// roughness and blending.
import * as THREE from 'three';

const kMagic = 0x46546c67;  // "glTF"
const kJsonChunk = 0x4e4f534a;  // "JSON"
const kBinaryChunk = 0x004e4942;  // "BIN\0"
const kHeaderBytes = 12;
const kChunkHeaderBytes = 8;
const kComponents = { SCALAR: 1, VEC2: 2, VEC3: 3, VEC4: 4 };
const kArrays = { 5121: Uint8Array, 5123: Uint16Array, 5125: Uint32Array, 5126: Float32Array };
const kAttributes = { POSITION: 'position', NORMAL: 'normal', TEXCOORD_0: 'uv' };

// The JSON and the binary chunk of a glb's bytes (a Uint8Array).
function Chunks(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  if (bytes.byteLength < kHeaderBytes || view.getUint32(0, true) !== kMagic) throw new Error('not a glb');
  const chunks = {};
  for (let at = kHeaderBytes; at + kChunkHeaderBytes <= bytes.byteLength;) {
    const length = view.getUint32(at, true);
    const type = view.getUint32(at + 4, true);
    chunks[type] = bytes.subarray(at + kChunkHeaderBytes, at + kChunkHeaderBytes + length);
    at += kChunkHeaderBytes + length;
  }
  if (!chunks[kJsonChunk]) throw new Error('a glb without its JSON');
  return { gltf: JSON.parse(new TextDecoder().decode(chunks[kJsonChunk])), binary: chunks[kBinaryChunk] };
}

// An accessor's values, copied out of the binary chunk (a typed array needs its own alignment);
// meshes that share an accessor (the atoms' sphere) share its attribute.
function Attribute({ gltf, binary, attributes }, index) {
  if (!attributes.has(index)) attributes.set(index, ReadAttribute(gltf, binary, index));
  return attributes.get(index);
}

function ReadAttribute(gltf, binary, index) {
  const accessor = gltf.accessors[index];
  const view = gltf.bufferViews[accessor.bufferView];
  const size = kComponents[accessor.type];
  const Values = kArrays[accessor.componentType];
  const start = (view.byteOffset ?? 0) + (accessor.byteOffset ?? 0);
  const bytes = binary.slice(start, start + accessor.count * size * Values.BYTES_PER_ELEMENT);
  return new THREE.BufferAttribute(new Values(bytes.buffer), size);
}

// A material as glTF defines it: the base colour is linear; BLEND draws it see-through.
function Material({ pbrMetallicRoughness: pbr = {}, alphaMode, doubleSided }) {
  const [red, green, blue, alpha] = pbr.baseColorFactor ?? [1, 1, 1, 1];
  const blend = alphaMode === 'BLEND';
  return new THREE.MeshStandardMaterial({
    color: new THREE.Color().setRGB(red, green, blue, THREE.LinearSRGBColorSpace), opacity: alpha,
    metalness: pbr.metallicFactor ?? 1, roughness: pbr.roughnessFactor ?? 1,
    transparent: blend, depthWrite: !blend, side: doubleSided ? THREE.DoubleSide : THREE.FrontSide,
  });
}

function Geometry(glb, primitive) {
  const geometry = new THREE.BufferGeometry();
  for (const [name, attribute] of Object.entries(kAttributes)) {
    if (primitive.attributes[name] !== undefined) geometry.setAttribute(attribute, Attribute(glb, primitive.attributes[name]));
  }
  if (primitive.indices !== undefined) geometry.setIndex(Attribute(glb, primitive.indices));
  return geometry;
}

// The world matrix of every node that draws a mesh, by mesh: the scene's nodes, then their children.
function Placements(gltf) {
  const placed = new Map();
  const place = (index, parent) => {
    const node = gltf.nodes[index];
    const local = node.matrix ? new THREE.Matrix4().fromArray(node.matrix) : new THREE.Matrix4().compose(
      new THREE.Vector3(...(node.translation ?? [0, 0, 0])), new THREE.Quaternion(...(node.rotation ?? [0, 0, 0, 1])),
      new THREE.Vector3(...(node.scale ?? [1, 1, 1])));
    const world = parent.clone().multiply(local);
    if (node.mesh !== undefined) {
      if (!placed.has(node.mesh)) placed.set(node.mesh, []);
      placed.get(node.mesh).push(world);
    }
    for (const child of node.children ?? []) place(child, world);
  };
  const scene = gltf.scenes?.[gltf.scene ?? 0];
  for (const root of scene?.nodes ?? []) place(root, new THREE.Matrix4());
  return placed;
}

// The model of a glb's bytes: a group of instanced meshes.
export function ReadGlb(bytes) {
  const glb = { ...Chunks(bytes), attributes: new Map() };
  const { gltf } = glb;
  const materials = (gltf.materials ?? []).map(Material);
  const model = new THREE.Group();
  for (const [mesh, worlds] of Placements(gltf)) {
    for (const primitive of gltf.meshes[mesh].primitives) {
      const material = materials[primitive.material] ?? Material({});
      const instanced = new THREE.InstancedMesh(Geometry(glb, primitive), material, worlds.length);
      worlds.forEach((world, i) => instanced.setMatrixAt(i, world));
      model.add(instanced);
    }
  }
  return model;
}
