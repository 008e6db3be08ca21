# Imports a .glb with Blender's own glTF importer, headless, and prints what an artist would get:
# objects by type, the roots, how many meshes carry texture coordinates, and the materials.
#   blender -b --python scripts/blender_import.py -- caffeine.glb
import collections
import sys

import bpy
import numpy

# Debian's Blender 3.4 importer still spells numpy.bool, which numpy 1.24 no longer has.
if not hasattr(numpy, "bool"):
    numpy.bool = bool

bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=sys.argv[sys.argv.index("--") + 1])
objects = list(bpy.context.scene.objects)
meshes = [o for o in objects if o.type == "MESH"]
print("objects:", len(objects), dict(collections.Counter(o.type for o in objects)))
print("roots:", [o.name for o in objects if o.parent is None])
print("meshes with texture coordinates:", sum(1 for o in meshes if len(o.data.uv_layers) > 0), "of", len(meshes))
print("materials:", sorted(m.name for m in bpy.data.materials))
print("objects by name:", dict(sorted(collections.Counter(o.name.split(".")[0] for o in objects).items())))
