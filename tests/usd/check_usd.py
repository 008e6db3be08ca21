"""Holds what vantor-host writes as USD against Pixar's own USD (usd-core, tests/usd/requirements.txt).

  python check_usd.py write HOST FOLDER SOURCE   writes each case's .glb, .usda and .usdz into FOLDER
  python check_usd.py open FOLDER                opens each .usda and .usdz: the glb's triangles and
                                                 materials, the package one crate layer with no
                                                 external arc, the package's stage the text's
  python check_usd.py arkit FOLDER               Pixar's ARKit compliance check of each .usdz

Every case is a row of CASES; each check prints one line per fault and fails when it found any.
"""
import json
import pathlib
import struct
import subprocess
import sys
import zipfile

# The molecules of the cases that write one of their own: a title in place of caffeine's.
TITLES = {
    'title_unicode': 'café 分子 Ω',
    'title_quotes': 'say "hi" \\ \'there\'',
    'title_digit': '3-methyl (odd)',
    'title_empty': '',
}
PRESETS = range(6)  # MOLOBJ_PRESET: Amber, Earth, Ice, Crimson, Pastel, Lime


# Material rows, which only a script can add: oxygen's atoms and double bonds in materials of their own.
ROWS_SCRIPT = """load
new m
set m MOLOBJ_FILE {molecule}
press m MOLOBJ_LOAD
press m MOLOBJ_ADD_ROW
press m MOLOBJ_ADD_ROW
material Red 1 0 0
material Glass 0.2 0.6 0.9
set m MOLOBJ_ROW_SYMBOL[0] O
link m MOLOBJ_ROW_MATERIAL[0] Red
set m MOLOBJ_ROW_SYMBOL[1] BD2
link m MOLOBJ_ROW_MATERIAL[1] Glass
eval
export m rows.glb
export m rows.usda
export m rows.usdz
"""


def Cases(source):
    """(name, molecule, options) of every case; a molecule of TITLES is written into the folder, and
    a case with no molecule is a script, its one option."""
    examples = sorted(p for p in (source / 'examples').iterdir() if p.suffix in ('.mol', '.sdf', '.mol2'))
    cases = [(p.stem, str(p), []) for p in examples]
    cases.append(('large', str(source / 'bench/data/large.sdf'), []))
    caffeine = str(source / 'examples/caffeine.mol')
    cases.append(('nuclei', caffeine, ['--set', 'MOLOBJ_SHOW_NUCLEUS=true', '--set', 'MOLOBJ_BOND_CAPS=1']))
    cases.append(('xray', caffeine, ['--set', 'MOLOBJ_XRAY=true']))
    cases += [(f'preset_{p}', caffeine, ['--set', 'MOLOBJ_COLOR_MODE=1', '--set', f'MOLOBJ_PRESET={p}'])
              for p in PRESETS]
    cases.append(('rows', None, [ROWS_SCRIPT.format(molecule=caffeine)]))
    cases.append(('budget', str(source / 'bench/data/large.sdf'), ['--max-triangles', '20000']))
    cases += [(name, f'{name}.mol', []) for name in TITLES]
    return cases


def Write(host, folder, source):
    caffeine = (source / 'examples/caffeine.mol').read_text(encoding='utf-8').split('\n', 1)[1]
    for name, title in TITLES.items():
        (folder / f'{name}.mol').write_text(f'{title}\n{caffeine}', encoding='utf-8')
    faults = 0
    for name, molecule, options in Cases(source):
        runs = [[host, molecule, *outputs, *options, '--quiet']
                for outputs in (['--gltf', f'{name}.glb', '--usd', f'{name}.usda'], ['--usd', f'{name}.usdz'])]
        if molecule is None:
            (folder / f'{name}.vscript').write_text(options[0], encoding='utf-8')
            runs = [[host, '--script', f'{name}.vscript']]
        for command in runs:
            run = subprocess.run(command, cwd=folder, capture_output=True, text=True)
            if run.returncode != 0:
                print(f'{name}: vantor-host ended {run.returncode}: {run.stderr.strip()}')
                faults += 1
    return faults


def Names(folder):
    return sorted(p.stem for p in folder.glob('*.glb'))


def GltfOf(path):
    """The JSON chunk of a .glb."""
    data = path.read_bytes()
    length, = struct.unpack_from('<I', data, 12)
    return json.loads(data[20:20 + length])


def GltfFacts(gltf):
    """The glb's triangles (each node that draws, its index count / 3), meshes bound to a
    material, and materials as (name, r, g, b, alpha)."""
    triangles = bound = 0
    for node in gltf.get('nodes', []):
        if 'mesh' not in node:
            continue
        for primitive in gltf['meshes'][node['mesh']]['primitives']:
            triangles += gltf['accessors'][primitive['indices']]['count'] // 3
            bound += 'material' in primitive
    materials = sorted((m.get('name', ''), *m['pbrMetallicRoughness']['baseColorFactor'])
                       for m in gltf.get('materials', []))
    return triangles, bound, materials


def StageFacts(stage):
    """The same facts of a USD stage, through its instances."""
    from pxr import Usd, UsdGeom, UsdShade
    triangles = bound = 0
    for prim in Usd.PrimRange(stage.GetPseudoRoot(), Usd.TraverseInstanceProxies()):
        if not prim.IsA(UsdGeom.Mesh):
            continue
        counts = UsdGeom.Mesh(prim).GetFaceVertexCountsAttr().Get() or []
        triangles += sum(count - 2 for count in counts)
        material, _ = UsdShade.MaterialBindingAPI(prim).ComputeBoundMaterial()
        bound += bool(material)
    materials = []
    for prim in stage.Traverse():
        if not prim.IsA(UsdShade.Material):
            continue
        shader = UsdShade.Shader(prim.GetChild('Surface'))
        colour = shader.GetInput('diffuseColor').Get()
        opacity = shader.GetInput('opacity').Get()
        name = prim.GetMetadata('displayName') or prim.GetName()
        materials.append((name, colour[0], colour[1], colour[2], opacity))
    return triangles, bound, sorted(materials)


def Differences(expected, got, where):
    """What differs between the glb's facts and a stage's."""
    found = []
    for what, a, b in zip(('triangles', 'meshes bound to a material'), expected[:2], got[:2]):
        if a != b:
            found.append(f'{where}: {b} {what}, the glb {a}')
    if [m[0] for m in expected[2]] != [m[0] for m in got[2]]:
        found.append(f'{where}: materials {[m[0] for m in got[2]]}, the glb {[m[0] for m in expected[2]]}')
    else:
        for a, b in zip(expected[2], got[2]):
            if any(abs(x - y) > 1e-6 for x, y in zip(a[1:], b[1:])):
                found.append(f'{where}: material {b[0]} is {b[1:]}, the glb {a[1:]}')
    return found


def Described(stage):
    """Every prim of a stage (classes too) with its type, metadata, attributes' values,
    relationships' targets and connections, by path."""
    from pxr import Usd
    described = {}
    for prim in Usd.PrimRange.Stage(stage, Usd.PrimAllPrimsPredicate):
        facts = [prim.GetTypeName(), prim.GetSpecifier(), prim.IsInstanceable(), prim.GetMetadata('kind'),
                 prim.GetMetadata('displayName'), str(prim.GetMetadata('references')),
                 str(prim.GetMetadata('apiSchemas'))]
        for attribute in prim.GetAttributes():
            value = attribute.Get()
            facts.append((attribute.GetName(), attribute.GetTypeName().type.typeName, str(attribute.GetVariability()),
                          list(value) if hasattr(value, '__len__') and not isinstance(value, str) else value,
                          attribute.GetMetadata('interpolation'), [str(p) for p in attribute.GetConnections()]))
        for relationship in prim.GetRelationships():
            facts.append((relationship.GetName(), [str(p) for p in relationship.GetTargets()]))
        described[str(prim.GetPath())] = facts
    return described


def PackageFaults(path):
    """A package must hold one layer, in the crate format, that needs no other file."""
    from pxr import UsdUtils
    with zipfile.ZipFile(path) as package:
        names = package.namelist()
        if len(names) != 1 or not names[0].endswith('.usdc'):
            return [f'{path.name}: holds {names}, not one .usdc layer']
        if package.read(names[0])[:8] != b'PXR-USDC':
            return [f'{path.name}: {names[0]} is not a crate file']
    layers, assets, unresolved = UsdUtils.ComputeAllDependencies(str(path))
    if len(layers) != 1 or assets or unresolved:
        return [f'{path.name}: depends on {[l.identifier for l in layers]} {assets} {unresolved}']
    return []


def Open(folder):
    from pxr import Usd
    faults = []
    for name in Names(folder):
        expected = GltfFacts(GltfOf(folder / f'{name}.glb'))
        stages = {}
        for suffix in ('usda', 'usdz'):
            stage = Usd.Stage.Open(str(folder / f'{name}.{suffix}'))
            if not stage:
                faults.append(f'{name}.{suffix}: USD cannot open it')
                continue
            stages[suffix] = stage
            faults += Differences(expected, StageFacts(stage), f'{name}.{suffix}')
        faults += PackageFaults(folder / f'{name}.usdz')
        if len(stages) == 2:
            text, package = Described(stages['usda']), Described(stages['usdz'])
            if text.keys() != package.keys():
                faults.append(f'{name}.usdz: prims {sorted(set(text) ^ set(package))[:5]} differ from the .usda')
            for path in sorted(text.keys() & package.keys()):
                if text[path] != package[path]:
                    faults.append(f'{name}.usdz: {path} is {package[path]}, in the .usda {text[path]}')
                    break
        print(f'{name}: {expected[0]} triangles, {len(expected[2])} materials')
    return faults


# UsdPreviewSurface's inputs and their types, as its definition gives them: usd-core, from PyPI, ships
# no shader definitions, so the checker's rule of shader input types cannot find the node; these
# stand in for it.
PREVIEW_SURFACE_INPUTS = {
    'diffuseColor': 'color3f', 'emissiveColor': 'color3f', 'useSpecularWorkflow': 'int',
    'specularColor': 'color3f', 'metallic': 'float', 'roughness': 'float', 'clearcoat': 'float',
    'clearcoatRoughness': 'float', 'opacity': 'float', 'opacityThreshold': 'float', 'ior': 'float',
    'normal': 'normal3f', 'displacement': 'float', 'occlusion': 'float',
}


def ShaderNodeKnown(identifier):
    """Whether USD knows a shader's definition; the first look runs the discovery, whose
    complaints about missing definitions are not the file's."""
    from pxr import Sdr, Tf
    try:
        Sdr.Registry().GetShaderNodeByIdentifier(identifier)
    except Tf.ErrorException:
        pass
    return bool(Sdr.Registry().GetShaderNodeByIdentifier(identifier))


def PreviewSurfaceFaults(path):
    """The rule of shader input types, for UsdPreviewSurface, where USD has no definition of it."""
    from pxr import Usd, UsdShade
    faults = []
    stage = Usd.Stage.Open(str(path))
    for prim in stage.Traverse():
        shader = UsdShade.Shader(prim)
        if not shader or shader.GetShaderId() != 'UsdPreviewSurface':
            continue
        for shaderInput in shader.GetInputs():
            expected = PREVIEW_SURFACE_INPUTS.get(shaderInput.GetBaseName())
            got = str(shaderInput.GetTypeName())
            if expected != got:
                faults.append(f'{path.name}: {shaderInput.GetAttr().GetPath()} is {got}, not {expected}')
    return faults


def Arkit(folder):
    """Pixar's compliance checker, with ARKit's rules, on every package: no error, no failed
    check. Where usd-core has no definition of UsdPreviewSurface, the checker's complaint that it
    finds none is replaced by the same rule, held against PREVIEW_SURFACE_INPUTS."""
    from pxr import UsdUtils
    standIn = not ShaderNodeKnown('UsdPreviewSurface')
    if standIn:
        print('usd-core has no definition of UsdPreviewSurface: its input types are checked here')
    faults = []
    for name in Names(folder):
        path = folder / f'{name}.usdz'
        checker = UsdUtils.ComplianceChecker(arkit=True)
        checker.CheckCompliance(str(path))
        failed = checker.GetFailedChecks()
        if standIn:
            failed = [text for text in failed if 'has invalid shader node' not in text]
            faults += PreviewSurfaceFaults(path)
        faults += [f'{path.name}: {text}' for text in checker.GetErrors() + failed]
        for warning in checker.GetWarnings():
            print(f'{path.name}: warning: {warning}')
    return faults


def main(argv):
    if len(argv) >= 5 and argv[1] == 'write':
        folder = pathlib.Path(argv[3])
        folder.mkdir(parents=True, exist_ok=True)
        faults = Write(str(pathlib.Path(argv[2]).resolve()), folder, pathlib.Path(argv[4]).resolve())
        return 1 if faults else 0
    if len(argv) >= 3 and argv[1] in ('open', 'arkit'):
        folder = pathlib.Path(argv[2])
        if not Names(folder):
            print(f'{folder}: no .glb to check')
            return 1
        faults = (Open if argv[1] == 'open' else Arkit)(folder)
        for fault in faults:
            print(fault)
        faulty = {fault.split(':')[0].split('.')[0] for fault in faults}
        print(f'{len(Names(folder))} models looked at, {len(faulty)} with faults')
        return 1 if faults else 0
    print(__doc__)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv))
