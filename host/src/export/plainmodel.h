// A generated hierarchy as plain data, the one model every writer of a 3D format starts from (glTF,
// USD): made once (plainmodelbuild.cpp), its numbers checked once (plainmodelcheck.cpp), each
// format then laying out its own bytes from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/vertices.h"
#include "vthost/models.h"

namespace vthost {

class ShapeCache;

// The parts refer to each other by their index in the model's lists, -1 for none. Their names
// are well-formed UTF-8, every byte that is not made U+FFFD: each format writes the same text.

// Where a node is and how it is turned and stretched, relative to its parent.
struct Placement {
  Vec3 translation;
  std::optional<std::array<double, 4>> rotation;  // x y z w
  std::optional<Vec3> scale;
};

struct ModelNode {
  std::string name;
  Placement placement;
  int mesh = -1;
  std::vector<int> children;
  // The tube of its parent, a sweep that holds more than its tube: the sweep's name stands for it.
  bool parentsTube = false;
};

// Vertices that meshes share (those of a sphere or a tube may be a shape cache's too), the bounds
// of their positions, whether all their numbers are finite, and their indices in 16 bits when
// they fit (VertexFacts).
struct ModelGeometry {
  std::shared_ptr<const Vertices> vertices;
  std::array<float, 3> min{}, max{};
  bool finite = true;
  std::shared_ptr<const std::vector<uint16_t>> narrowIndices;
};

struct ModelMesh {
  std::string name;
  int geometry = -1;
  int material = -1;
};

struct ModelMaterial {
  std::string name;
  double r = 0.0, g = 0.0, b = 0.0;  // from 0 to 1, or not finite (refused)
  double alpha = 1.0;
  double roughness = 0.0;
  bool blend = false;
  // For a colour that is not finite, what holds it, as a message names it: a parameter of the
  // molecule object (MOLOBJ_BOND1_COLOR), "the material 'NAME'" or "its display colour".
  std::string source;
};

struct PlainModel {
  int root = -1;  // the one node of the scene; none when nothing is drawn
  std::string name;  // the exported object's: a stage of a model that draws nothing holds it alone
  std::vector<ModelNode> nodes;
  std::vector<ModelMesh> meshes;
  std::vector<ModelGeometry> geometries;
  std::vector<ModelMaterial> materials;
};

// The model of the exported hierarchy (its root not null): the hierarchy below a node of the
// model's name, when it has one and anything is drawn. Shapes (spheres, unit tubes) are taken from
// and kept in *shapes; none without a cache.
PlainModel BuildPlainModel(const Host& host, const ExportedModel& model, ShapeCache* shapes);

// The triangles of the model's nodes.
int64_t TrianglesOf(const PlainModel& model);

// A number of the model that 32-bit floats cannot hold (beyond their range, or not finite): the
// object it belongs to, and for a colour what holds it (ModelMaterial::source).
struct Unwritable {
  std::string object;
  std::string colourSource;  // empty for any other number
};

// The first number that a format of 32-bit floats cannot hold, none when all fit. Every number the
// model holds is looked at, depth first from the root: a node's vertices (positions, normals,
// texture coordinates), its material's colour, then its children, then its own placement.
std::optional<Unwritable> FirstUnwritable(const PlainModel& model);

// What a model is refused for, as a message ("'C' lies beyond what FORMAT's 32-bit floats hold
// (...): nothing written"); none when it can be written.
std::optional<std::string> RefusalOf(const PlainModel& model, const std::string& format);

}  // namespace vthost
