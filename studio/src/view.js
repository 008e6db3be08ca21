// The 3D view: the glb the host exported, drawn by three.js in a neutral studio light, with orbit,
// pan, zoom and a fit to the model.
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { ReadGlb } from './glb.js';

export class View {
  constructor(element) {
    this.element = element;
    this.renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
    this.renderer.setPixelRatio(1);
    element.appendChild(this.renderer.domElement);
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0xe8e8e8);
    // a neutral studio light: a soft sky and ground, a key light from the viewer's upper left
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x8a8a8a, 2.2));
    this.key = new THREE.DirectionalLight(0xffffff, 1.6);
    this.key.position.set(-1, 1.5, 2);
    this.camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    this.camera.position.set(0, 0, 20);
    this.camera.add(this.key);  // the key light moves with the viewer
    this.scene.add(this.camera);
    this.controls = new OrbitControls(this.camera, this.renderer.domElement);
    this.controls.addEventListener('change', () => this.render());
    this.model = null;
    this.warmUp();
    new ResizeObserver(() => this.resize()).observe(element);
    this.resize();
  }

  // The programs a model's materials need, compiled before the first model comes (while the
  // module itself compiles): the model's instanced meshes in the studio light. They are drawn
  // too, small and in the background's colour: a software renderer (SwiftShader, where there is
  // no GPU) compiles its own code for them only when they are first drawn.
  warmUp() {
    const material = new THREE.MeshStandardMaterial();
    const geometry = new THREE.SphereGeometry(0.01, 4, 2);
    const warm = new THREE.Scene();
    warm.background = this.scene.background;
    warm.add(new THREE.InstancedMesh(geometry, material, 1));
    warm.add(...this.scene.children.filter((child) => child.isLight).map((light) => light.clone()));
    warm.add(this.camera);
    this.renderer.render(warm, this.camera);
    this.scene.add(this.camera);
  }

  resize() {
    const { clientWidth: width, clientHeight: height } = this.element;
    if (width === 0 || height === 0) return;
    this.renderer.setSize(width, height, false);
    this.camera.aspect = width / height;
    this.camera.updateProjectionMatrix();
    this.render();
  }

  render() {
    this.renderer.render(this.scene, this.camera);
  }

  // Shows the model of glb bytes in place of the one shown; fit: frame it.
  async show(bytes, fit) {
    const model = ReadGlb(bytes);
    if (this.model) this.scene.remove(this.model);
    this.model = model;
    this.scene.add(this.model);
    if (fit) this.fit();
    this.render();
  }

  clear() {
    if (this.model) this.scene.remove(this.model);
    this.model = null;
    this.render();
  }

  fit() {
    if (!this.model) return;
    const box = new THREE.Box3().setFromObject(this.model);
    if (box.isEmpty()) return;
    const centre = box.getCenter(new THREE.Vector3());
    const radius = box.getSize(new THREE.Vector3()).length() / 2;
    const distance = radius / Math.sin(THREE.MathUtils.degToRad(this.camera.fov / 2));
    this.camera.position.copy(centre).add(new THREE.Vector3(0, 0, distance));
    this.camera.near = distance / 100;
    this.camera.far = distance * 10;
    this.camera.updateProjectionMatrix();
    this.controls.target.copy(centre);
    this.controls.update();
    this.render();
  }

  // What the scene draws: meshes and the triangles of their instances.
  triangles() {
    let triangles = 0;
    this.model?.traverse((node) => {
      if (!node.isMesh) return;
      const geometry = node.geometry;
      const perInstance = (geometry.index ? geometry.index.count : geometry.attributes.position.count) / 3;
      triangles += perInstance * (node.isInstancedMesh ? node.count : 1);
    });
    return triangles;
  }
}
