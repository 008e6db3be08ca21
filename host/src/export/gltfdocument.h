// A glTF 2.0 model as plain data, and the three steps from a generated hierarchy to a .glb: build
// the document (gltfbuild.cpp), check its numbers (gltfcheck.cpp), write it (gltfwrite.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/vertices.h"
#include "scene/model.h"
#include "vthost/export.h"

namespace vthost {

// The parts refer to each other by their index in the document's lists, -1 for none.

// Where a node is and how it is turned and stretched, relative to its parent.
struct GltfPlacement {
  Vec3 translation;
  std::optional<std::array<double, 4>> rotation;  // x y z w
  std::optional<Vec3> scale;
};

struct GltfNode {
  std::string name;
  GltfPlacement placement;
  int mesh = -1;
  std::vector<int> children;
  // The tube of its parent, a sweep that holds more than its tube: the sweep's name stands for it.
  bool parentsTube = false;
};

// The accessors of one geometry.
struct GltfGeometry {
  int position = -1, normal = -1, uv = -1, indices = -1;
};

struct GltfMesh {
  std::string name;
  GltfGeometry geometry;
  int material = -1;
};

struct GltfMaterial {
  std::string name;
  std::array<double, 4> colour;  // r g b a
  bool blend = false;
  // For a colour that is not finite, what holds it, as a message names it: a parameter of the
  // molecule object (MOLOBJ_BOND1_COLOR), "the material 'NAME'" or "its display colour".
  std::string source;
};

struct GltfAccessor {
  int view = -1;
  int componentType = 0;
  size_t count = 0;
  const char* type = "";
  std::vector<float> min, max;  // positions only
};

struct GltfBufferView {
  size_t offset = 0, length = 0;  // in the binary chunk
  int target = 0;
  size_t block = 0;  // the document's block that holds it
};

struct GltfDocument {
  int root = -1;  // the scene's one node; none when nothing is drawn
  std::vector<GltfNode> nodes;
  std::vector<GltfMesh> meshes;
  std::vector<GltfMaterial> materials;
  std::vector<GltfAccessor> accessors;
  std::vector<GltfBufferView> views;
  // The binary chunk: each view's bytes a block of its own, padded to 4 bytes, the blocks laid end
  // to end. One array for all would be copied as it grows and hold up to twice its bytes (a sphere
  // of 1000 segments is a block of 28 MB).
  std::vector<std::vector<unsigned char>> blocks;
  size_t bufferSize = 0;  // the blocks' bytes
  const unsigned char* Bytes(const GltfBufferView& view) const { return blocks[view.block].data(); }
};

// The document of the model (its root not null): the hierarchy below a node of the model's name,
// when it has one and anything is drawn.
GltfDocument BuildGltf(const Host& host, const ExportedModel& model);

// The triangles of the document's nodes.
int64_t TrianglesOf(const GltfDocument& document);

// The floats of an accessor, and the indices of one (of either width).
std::vector<float> FloatsOf(const GltfDocument& document, int accessor);
std::vector<uint32_t> IndicesOf(const GltfDocument& document, int accessor);

// What a model's document is refused for, as a message ("'C' lies beyond what FORMAT's 32-bit
// floats hold (...): nothing written"); none when it can be written.
std::optional<std::string> RefusalOf(const GltfDocument& document, const std::string& format);

// A number of the document that glTF's 32-bit floats cannot hold (beyond their range, or not
// finite): the object it belongs to, and for a colour what holds it (GltfMaterial::source).
struct Unwritable {
  std::string object;
  std::string colourSource;  // empty for any other number
};

// The first number that glTF cannot hold, none when all fit. Every number the document holds is
// looked at, depth first from the root: a node's vertices (positions, normals, texture
// coordinates), its material's colour, then its children, then its own placement.
std::optional<Unwritable> FirstUnwritable(const GltfDocument& document);

// The .glb file's bytes before the document's buffer (the header, the JSON chunk and the binary
// chunk's header) and after it (the binary chunk's padding).
std::pair<std::string, std::string> GlbAround(const GltfDocument& document);

}  // namespace vthost
