// The plain model of a generated hierarchy, in glTF's frame and scale (vertices.h), which USD's
// stage shares: the files have no scaling root node.
//
// What an artist gets: one node per object that draws something (splines only shape their sweep
// and are left out, as is every node left with nothing to draw: a mesh without a triangle of any
// area, such as a sphere of radius 0, draws nothing), every mesh with normals and
// texture coordinates, and one material per role (roles.h). Meshes are shared: one per sphere
// radius and one unit tube per bond profile, placed by their node's transform. Names are made
// well-formed UTF-8 here, once: glTF and USD name the parts with the same text.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "export/jsonwriter.h"
#include "export/plainmodel.h"
#include "export/roles.h"
#include "export/shapecache.h"
#include "export/vertices.h"
#include "scene/meshes.h"
#include "vthost/budget.h"
#include "vthost/molecule.h"

namespace vthost {
namespace {

constexpr double kXrayAlpha = 0.5;
constexpr double kRoughness = 0.5;  // a matte surface

// The unit tube runs along the host's +Z for a metre, which is glTF's -Z: the rotation that turns
// that axis onto the direction (the shortest one; half a turn about X when they are opposite).
std::array<double, 4> Turn(const Vec3& direction) {
  const double dot = -direction.z;
  if (dot < -1.0 + 1e-12) return {1.0, 0.0, 0.0, 0.0};
  const Vec3 axis{direction.y, -direction.x, 0.0};  // (0, 0, -1) x direction
  const double w = 1.0 + dot;
  const double norm = std::sqrt(axis.x * axis.x + axis.y * axis.y + w * w);
  return {axis.x / norm, axis.y / norm, 0.0, w / norm};
}

// A parameter of the profile as a number, whichever type holds it (a flag as 0 or 1, none as 0):
// the one value FloatOf gives with BoolOf's as its fallback, found with one lookup.
double NumberOf(const VtContainer& parameters, int32_t id) {
  const Value* value = Lookup(&parameters, id);
  if (value == nullptr) return 0.0;
  if (const auto* number = std::get_if<double>(value)) return *number;
  if (const auto* number = std::get_if<int32_t>(value)) return *number;
  if (const auto* flag = std::get_if<bool>(value)) return *flag ? 1.0 : 0.0;
  return 0.0;
}

// What makes two straight tubes the same: the profile, its sampling and the caps, written over
// *key (whose memory the next key takes again: a model has a key for every bond).
void WriteTubeKey(const VtNode& sweep, const VtNode& profile, std::string* key) {
  const SplineData& spline = *profile.spline;
  const size_t pointBytes = spline.points.size() * sizeof(VtVector);
  const size_t tangentBytes = spline.tangents.size() * sizeof(VtTangent);
  key->resize(sizeof(int32_t) + pointBytes + tangentBytes + 3 * sizeof(double) + 2 * sizeof(int32_t));
  char* at = key->data();
  const auto add = [&at](const void* bytes, size_t size) {
    if (size > 0) std::memcpy(at, bytes, size);
    at += size;
  };
  add(&spline.type, sizeof(int32_t));
  add(spline.points.data(), pointBytes);
  add(spline.tangents.data(), tangentBytes);
  for (const int32_t id : {VT_SPLINE_INTERPOLATION, VT_SPLINE_CLOSED, VT_SPLINE_INTERMEDIATE_POINTS}) {
    const double value = NumberOf(profile.parameters, id);
    add(&value, sizeof value);
  }
  for (const int32_t id : {VT_SWEEP_START_CAP, VT_SWEEP_END_CAP}) {
    const int32_t value = Int32Of(&sweep.parameters, id, 0);
    add(&value, sizeof value);
  }
}

std::string TubeKey(const VtNode& sweep, const VtNode& profile) {
  std::string key;
  WriteTubeKey(sweep, profile, &key);
  return key;
}

// A spline as a sweep reads it.
NodePtr SplineCopy(const VtNode& spline) {
  NodePtr copy = OwnNode(new VtNode());
  copy->type = spline.type;
  copy->parameters = spline.parameters;
  copy->spline = spline.spline;
  copy->position = spline.position;
  return copy;
}

// The sweep with its profile along the host's +Z from 0 to 100 units (a metre in glTF).
VtNode UnitSweep(const VtNode& sweep, const VtNode& profile) {
  VtNode unit;
  unit.type = VT_OBJECT_SWEEP;
  unit.parameters = sweep.parameters;
  unit.children.push_back(SplineCopy(profile));
  unit.children[0]->type = VT_OBJECT_SPLINE;
  NodePtr line = OwnNode(new VtNode());
  line->type = VT_OBJECT_SPLINE;
  line->spline = SplineData{VT_SPLINE_LINEAR, {{0.0, 0.0, 0.0}, {0.0, 0.0, 1.0 / kMetresPerUnit}}, {}, true, false};
  unit.children.push_back(std::move(line));
  return unit;
}

// The sweep (with both its splines) as a node of its own.
VtNode SweepCopy(const VtNode& sweep) {
  VtNode copy;
  copy.type = VT_OBJECT_SWEEP;
  copy.parameters = sweep.parameters;
  copy.children.push_back(SplineCopy(*sweep.children[0]));
  copy.children.push_back(SplineCopy(*sweep.children[1]));
  return copy;
}

// The sweep with its profile sampled with `subdivisions` intermediate points.
VtNode Resampled(const VtNode& sweep, int32_t subdivisions) {
  VtNode copy = SweepCopy(sweep);
  StoreValue(&copy.children[0]->parameters, VT_SPLINE_INTERMEDIATE_POINTS, subdivisions);
  return copy;
}

// A sweep along a straight path of two distinct points, in glTF's frame.
struct StraightPath {
  Vec3 start, along;
  double length = 0.0;
};

// The sweep's straight path; none for a sweep along any other path (one of no length too), which
// is drawn as its own swept mesh.
std::optional<StraightPath> StraightPathOf(const VtNode& sweep) {
  if (sweep.children.size() < 2 || !sweep.children[0] || !sweep.children[1]) return std::nullopt;
  const VtNode& profile = *sweep.children[0];
  const VtNode& path = *sweep.children[1];
  if (!profile.spline || !path.spline || path.spline->type != VT_SPLINE_LINEAR || path.spline->points.size() != 2) {
    return std::nullopt;
  }
  const Vec3 start = Frame(Add(Of(path.spline->points[0]), Of(path.position)));
  const Vec3 end = Frame(Add(Of(path.spline->points[1]), Of(path.position)));
  const Vec3 along = Sub(end, start);
  const double length = std::sqrt(Dot(along, along));
  if (!(length > 0.0) || !std::isfinite(length)) return std::nullopt;
  return StraightPath{start, along, length};
}

// Whether a triangle of the geometry has an area: one without any draws nothing.
bool Draws(const Vertices& geometry) {
  const auto at = [&geometry](uint32_t index) {
    const float* p = &geometry.positions[3 * size_t{index}];
    return Vec3{p[0], p[1], p[2]};
  };
  for (size_t i = 0; i + 2 < geometry.indices.size(); i += 3) {
    const Vec3 a = at(geometry.indices[i]);
    const Vec3 u = Sub(at(geometry.indices[i + 1]), a), v = Sub(at(geometry.indices[i + 2]), a);
    if (u.y * v.z != u.z * v.y || u.z * v.x != u.x * v.z || u.x * v.y != u.y * v.x) return true;
  }
  return false;
}

// A colour channel as glTF holds it, from 0 to 1; one that is not finite stays so, for the check
// to refuse.
double Channel(double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : value; }

// Whether a texture tag links a material: its role is then the material, whatever else the node is.
bool LinksMaterial(const VtNode& node) {
  return std::any_of(node.tags.begin(), node.tags.end(),
                     [](const auto& tag) { return tag && tag->type == VT_TAG_TEXTURE && tag->material != 0; });
}

// Everything the material of a node without a linked one depends on (RoleOf, Builder::MaterialFor),
// written over *key: the type, the display colour and, for a sweep, its profile's first point (its
// radius and so the bond order); the name for everything else (an atom's element).
void WriteLookKey(const VtNode& node, std::string* key) {
  const DisplayColour& display = node.display;
  const VtNode* profile = node.children.empty() ? nullptr : node.children[0].get();
  const bool sweep = node.type == VT_OBJECT_SWEEP;
  const bool hasPoint = sweep && profile != nullptr && profile->type == VT_OBJECT_SPLINE && profile->spline &&
                        !profile->spline->points.empty();
  const std::string_view name = sweep ? std::string_view() : std::string_view(node.name);
  constexpr size_t kFixed = sizeof node.type + 3 + sizeof display.colour;
  constexpr size_t kPoint = 2 * sizeof(double);
  // one resize and copies of known sizes: a key is written for every node that draws
  key->resize(kFixed + (hasPoint ? kPoint : 0) + name.size());
  char* at = key->data();
  std::memcpy(at, &node.type, sizeof node.type);
  at += sizeof node.type;
  *at++ = static_cast<char>(display.set);
  *at++ = static_cast<char>(display.xray);
  *at++ = static_cast<char>(display.mode != 0);
  std::memcpy(at, &display.colour, sizeof display.colour);
  at += sizeof display.colour;
  if (hasPoint) {
    const VtVector& first = profile->spline->points[0];
    std::memcpy(at, &first.x, sizeof first.x);
    std::memcpy(at + sizeof first.x, &first.y, sizeof first.y);
    at += kPoint;
  }
  if (!name.empty()) std::memcpy(at, name.data(), name.size());
}

// What makes two materials one: the role and the look.
struct MaterialKey {
  RoleKind kind;
  std::string name;
  uint64_t material;
  int32_t order;
  double r, g, b;
  bool xray;
  // the fields each compared once, the name, the costly one, last (the order of the keys is
  // nobody's business but the map's)
  bool operator<(const MaterialKey& o) const {
    if (kind != o.kind) return kind < o.kind;
    if (material != o.material) return material < o.material;
    if (order != o.order) return order < o.order;
    if (xray != o.xray) return xray < o.xray;
    for (const auto& [mine, theirs] : {std::pair{r, o.r}, std::pair{g, o.g}, std::pair{b, o.b}}) {
      if (Before(mine, theirs)) return true;
      if (Before(theirs, mine)) return false;
    }
    return name < o.name;
  }
  // a NaN after every number, so that colours are in an order even with one (from a damaged document)
  static bool Before(double x, double y) { return std::isnan(x) || std::isnan(y) ? !std::isnan(x) && std::isnan(y) : x < y; }
};

// Whether two arrays hold the same bytes (a -0 is not a 0 to a file).
template <typename Value>
bool SameBytes(const std::vector<Value>& a, const std::vector<Value>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Value)) == 0);
}

bool SameBytes(const Vertices& a, const Vertices& b) {
  return SameBytes(a.positions, b.positions) && SameBytes(a.normals, b.normals) && SameBytes(a.uvs, b.uvs) &&
         SameBytes(a.indices, b.indices);
}

ModelGeometry GeometryOf(SharedVertices shared) {
  ModelGeometry geometry;
  geometry.vertices = std::move(shared.vertices);
  geometry.min = shared.facts.min;
  geometry.max = shared.facts.max;
  geometry.finite = shared.facts.finite;
  geometry.narrowIndices = std::move(shared.facts.narrowIndices);
  return geometry;
}

// Walks the hierarchy into a model, sharing what it can: geometry by its bytes, spheres by radius
// and segments, tubes by profile, meshes by geometry and material, materials by role.
class Builder {
 public:
  Builder(const Host& host, const VtContainer* parameters, ShapeCache* shapes)
      : host_(host), parameters_(parameters), bonds_(molecule::BondLooksOf(parameters)), shapes_(shapes) {}

  // Room for about this many nodes, so that the list is not moved as it grows.
  void Expect(size_t nodes) { model_.nodes.reserve(nodes); }

  // The node and what is below it; -1 when none of it draws anything.
  int AddNode(const VtNode& node) {
    // a leaf that is neither a polygon object nor a sweep (a sweep's splines: two to every bond)
    // draws nothing, and is not made only to be taken back
    if (node.children.empty() && node.type != VT_OBJECT_POLYGON && node.type != VT_OBJECT_SWEEP) return -1;
    std::vector<ModelNode>& nodes = model_.nodes;
    const int index = static_cast<int>(nodes.size());
    nodes.push_back({});
    nodes[index].name = WellFormedUtf8(node.name);
    nodes[index].placement.translation = Frame(Of(node.position));

    int mesh = -1;
    std::optional<Placement> tube;
    if (node.type == VT_OBJECT_POLYGON && node.primitive && node.mesh) {
      mesh = SphereMeshFor(node);
    } else if (node.type == VT_OBJECT_POLYGON && node.mesh && !node.mesh->polygons.empty()) {
      mesh = MeshFor(node, CreasedVertices(*node.mesh));
    } else if (node.type == VT_OBJECT_SWEEP) {
      tube = StraightTube(node, &mesh);
      if (!tube) {
        const Mesh swept = SweepMesh(node);
        if (!swept.polygons.empty()) mesh = MeshFor(node, CreasedVertices(swept));
      }
    }

    for (const NodePtr& child : node.children) {
      if (!child) continue;
      const int childIndex = AddNode(*child);
      if (childIndex >= 0) nodes[index].children.push_back(childIndex);
    }
    if (tube && mesh >= 0) {
      if (nodes[index].children.empty()) {
        // the bond is one object: its node carries the tube's placement
        const Vec3 own = nodes[index].placement.translation;
        nodes[index].placement = *tube;
        nodes[index].placement.translation = Add(own, tube->translation);
        nodes[index].mesh = mesh;
      } else {
        // the tube is stretched, and what else is below the sweep must not be
        nodes[index].children.push_back(static_cast<int>(nodes.size()));
        nodes.push_back({"Tube", *tube, mesh, {}, true});
      }
    } else {
      nodes[index].mesh = mesh;
    }
    if (nodes[index].mesh < 0 && nodes[index].children.empty()) {
      nodes.pop_back();  // it was the last one: its children left nothing either
      return -1;
    }
    return index;
  }

  PlainModel Take(int root) {
    model_.root = root;
    return std::move(model_);
  }

 private:
  // MaterialFor by what it depends on, worked out once for each: most nodes share a look (every
  // carbon atom, every single bond). A node with a texture tag's material goes by its role every time.
  int MaterialFor(const VtNode& node) {
    if (LinksMaterial(node)) return MaterialByRole(node);
    WriteLookKey(node, &lookKey_);
    const auto found = materialByLook_.find(lookKey_);
    if (found != materialByLook_.end()) return found->second;
    const int material = MaterialByRole(node);
    materialByLook_.emplace(lookKey_, material);
    return material;
  }

  // The node's look by its role: a linked material under its own name, otherwise the display
  // colour under the role's name; -1 (the format's default material) for a node with neither.
  int MaterialByRole(const VtNode& node) {
    Role role = RoleOf(host_, node, bonds_);
    const bool xray = node.display.set && node.display.xray;
    VtVector colour{};
    if (role.kind == RoleKind::Linked) {
      const VtNode* linked = host_.FindNode(role.material);
      colour = linked->colour;
    } else if (node.display.set && node.display.mode != 0) {
      colour = node.display.colour;
    } else {
      return -1;
    }
    MaterialKey key{role.kind, role.kind == RoleKind::None ? node.name : std::move(role.name), role.material,
                    role.order, colour.x, colour.y, colour.z, xray};
    const auto found = materialIndex_.find(key);
    if (found != materialIndex_.end()) return found->second;

    const std::string& name = key.name;
    ModelMaterial material;
    material.name = UniqueName(WellFormedUtf8(xray ? name + " (x-ray)" : name));
    material.r = Channel(colour.x);
    material.g = Channel(colour.y);
    material.b = Channel(colour.z);
    material.alpha = xray ? kXrayAlpha : 1.0;
    material.roughness = kRoughness;
    material.blend = xray;
    if (!std::isfinite(colour.x) || !std::isfinite(colour.y) || !std::isfinite(colour.z)) {
      material.source = ColourSource(role.kind, name, colour);
    }
    const int index = static_cast<int>(model_.materials.size());
    model_.materials.push_back(std::move(material));
    materialIndex_.emplace(std::move(key), index);
    return index;
  }

  // What holds a colour: the linked material, or the molecule object's parameter that holds these
  // very bits (a preset's, the nuclei's, a bond order's colour).
  std::string ColourSource(RoleKind kind, const std::string& name, const VtVector& colour) const {
    if (kind == RoleKind::Linked) return "the material '" + name + "'";
    if (parameters_ == nullptr) return "its display colour";
    for (const molecule::NamedParameter& parameter : molecule::kColourParameters) {
      const Value* value = Lookup(parameters_, parameter.id);
      const VtVector* held = value ? std::get_if<VtVector>(value) : nullptr;
      if (held != nullptr && std::memcmp(held, &colour, sizeof colour) == 0) return std::string(parameter.name);
    }
    return "its display colour";
  }

  // Two materials never share a name: the later one is numbered.
  std::string UniqueName(const std::string& name) {
    std::string unique = name;
    for (int n = 2; !materialNames_.insert(unique).second; ++n) unique = name + " (" + std::to_string(n) + ")";
    return unique;
  }

  // The geometry of the vertices: one for all meshes that have the same bytes, found by a hash of
  // them (a copy of them as the key would double what a large sphere takes).
  int GeometryFor(SharedVertices shared) {
    const size_t key = shared.facts.hash;
    const auto [first, last] = geometryIndex_.equal_range(key);
    for (auto found = first; found != last; ++found) {
      const std::shared_ptr<const Vertices>& held = model_.geometries[found->second].vertices;
      if (held == shared.vertices || SameBytes(*held, *shared.vertices)) return found->second;
    }
    const int index = static_cast<int>(model_.geometries.size());
    model_.geometries.push_back(GeometryOf(std::move(shared)));
    geometryIndex_.emplace(key, index);
    return index;
  }

  // The vertices of a shape from the cache, or made for this model alone without one.
  template <typename Make>
  SharedVertices Shape(const std::string& key, const Make& make) {
    if (shapes_ != nullptr) return shapes_->Of(key, make);
    auto vertices = std::make_shared<const Vertices>(make());
    VertexFacts facts = FactsOf(*vertices);
    return {std::move(vertices), facts};
  }

  // A sweep along a straight two-point path is the same tube as every other sweep of its profile and
  // caps, only placed, turned and stretched: one mesh of unit length serves them all. Its placement
  // relative to the sweep, and the mesh in *mesh; none for any other sweep.
  std::optional<Placement> StraightTube(const VtNode& sweep, int* mesh) {
    const std::optional<StraightPath> path = StraightPathOf(sweep);
    if (!path) return std::nullopt;
    const VtNode& profile = *sweep.children[0];
    WriteTubeKey(sweep, profile, &tubeKey_);
    const std::string& key = tubeKey_;
    auto found = tubes_.find(key);
    if (found == tubes_.end()) {
      auto geometry = Shape("t" + key, [&] { return CreasedVertices(SweepMesh(UnitSweep(sweep, profile))); });
      const bool draws = Draws(*geometry.vertices);
      found = tubes_.emplace(key, draws ? std::optional(GeometryFor(std::move(geometry))) : std::nullopt).first;
    }
    if (!found->second) return std::nullopt;
    *mesh = MeshFor(sweep, *found->second);
    return Placement{path->start, Turn(Unit(path->along)), Vec3{1.0, 1.0, path->length}};
  }

  // The host makes the same sphere from the same radius and segments: its geometry is worked out
  // once, not once per atom.
  int SphereMeshFor(const VtNode& node) {
    const auto key = std::make_pair(node.primitive->radius, node.primitive->segments);
    auto found = spheres_.find(key);
    if (found == spheres_.end()) {
      std::string shape = "s";
      shape.append(reinterpret_cast<const char*>(&key.first), sizeof key.first);
      shape.append(reinterpret_cast<const char*>(&key.second), sizeof key.second);
      auto geometry = Shape(shape, [&] { return SmoothVertices(*node.mesh); });
      const bool draws = Draws(*geometry.vertices);
      found = spheres_.emplace(key, draws ? std::optional(GeometryFor(std::move(geometry))) : std::nullopt).first;
    }
    return found->second ? MeshFor(node, *found->second) : -1;
  }

  // The mesh of the vertices in the node's material, shared by every node that has both; -1 when
  // nothing is left to draw.
  int MeshFor(const VtNode& node, Vertices vertices) {
    if (!Draws(vertices)) return -1;
    const VertexFacts facts = FactsOf(vertices);
    return MeshFor(node, GeometryFor({std::make_shared<const Vertices>(std::move(vertices)), facts}));
  }

  int MeshFor(const VtNode& node, int geometry) {
    const int material = MaterialFor(node);
    const auto key = std::make_pair(geometry, material);
    const auto found = meshIndex_.find(key);
    if (found != meshIndex_.end()) return found->second;
    const int index = static_cast<int>(model_.meshes.size());
    model_.meshes.push_back(
        {material >= 0 ? model_.materials[material].name : WellFormedUtf8(node.name), geometry, material});
    meshIndex_.emplace(key, index);
    return index;
  }

  const Host& host_;
  const VtContainer* parameters_;
  const std::optional<molecule::BondLooks> bonds_;
  ShapeCache* shapes_;
  PlainModel model_;
  std::unordered_multimap<size_t, int> geometryIndex_;  // by a hash of the bytes
  std::map<std::pair<int, int>, int> meshIndex_;
  std::map<MaterialKey, int> materialIndex_;
  std::unordered_map<std::string, int> materialByLook_;  // by LookKey
  std::string lookKey_;                                  // the last one
  std::set<std::string> materialNames_;
  std::map<std::pair<double, int32_t>, std::optional<int>> spheres_;
  std::unordered_map<std::string, std::optional<int>> tubes_;
  std::string tubeKey_;  // the last one
};

}  // namespace

namespace {

// The triangles of the sweep's own mesh at the detail, as the model draws it: none when it draws
// nothing.
int64_t SweptTriangles(const VtNode& sweep, int32_t subdivisions) {
  const Vertices vertices = CreasedVertices(SweepMesh(Resampled(sweep, subdivisions)));
  return Draws(vertices) ? static_cast<int64_t>(vertices.indices.size() / 3) : 0;
}

// What a model built with other detail draws, walked as Builder::AddNode walks it: the spheres by
// radius, the straight sweeps by their unit tube, every other sweep and polygon mesh on its own.
class DrawnShapes {
 public:
  explicit DrawnShapes(const VtNode* root) {
    if (root != nullptr) Add(*root);
  }

  int64_t Triangles(int32_t segments, int32_t subdivisions) const {
    const int64_t around = std::clamp(segments, kMinSphereSegments, kMaxSphereSegments);
    const int64_t rings = std::max<int64_t>(2, around / 2);
    int64_t triangles = fixed_ + spheres_ * 2 * around * (rings - 1);  // the caps' triangles and the quads between
    for (const auto& [key, kind] : tubes_) {
      const Vertices unit = CreasedVertices(SweepMesh(Resampled(*kind.unit, subdivisions)));
      if (Draws(unit)) {
        triangles += static_cast<int64_t>(kind.sweeps.size()) * static_cast<int64_t>(unit.indices.size() / 3);
      } else {
        // each is drawn as its own swept mesh, as any other sweep
        for (const VtNode& sweep : kind.sweeps) triangles += SweptTriangles(sweep, subdivisions);
      }
    }
    for (const VtNode& sweep : swept_) triangles += SweptTriangles(sweep, subdivisions);
    return triangles;
  }

 private:
  // The sweeps of one profile and caps along straight paths; their unit tube.
  struct Tubes {
    std::shared_ptr<const VtNode> unit;
    std::vector<VtNode> sweeps;
  };

  void Add(const VtNode& node) {
    if (node.type == VT_OBJECT_POLYGON && node.primitive && node.mesh) {
      AddSphere(node);
    } else if (node.type == VT_OBJECT_POLYGON && node.mesh && !node.mesh->polygons.empty()) {
      const Vertices vertices = CreasedVertices(*node.mesh);
      if (Draws(vertices)) fixed_ += static_cast<int64_t>(vertices.indices.size() / 3);
    } else if (node.type == VT_OBJECT_SWEEP) {
      AddSweep(node);
    }
    for (const NodePtr& child : node.children) {
      if (child) Add(*child);
    }
  }

  // A sphere that draws with the fewest segments draws with any: its radius is what decides.
  void AddSphere(const VtNode& sphere) {
    const double radius = sphere.primitive->radius;
    auto found = sphereDraws_.find(radius);
    if (found == sphereDraws_.end()) found = sphereDraws_.emplace(radius, Draws(SmoothVertices(*sphere.mesh))).first;
    if (found->second) ++spheres_;
  }

  void AddSweep(const VtNode& sweep) {
    // a sweep that lacks a spline has no mesh at any detail
    if (sweep.children.size() < 2 || !sweep.children[0] || !sweep.children[1]) return;
    if (!StraightPathOf(sweep)) {
      swept_.push_back(SweepCopy(sweep));
      return;
    }
    const VtNode& profile = *sweep.children[0];
    Tubes& kind = tubes_[TubeKey(sweep, profile)];
    if (!kind.unit) kind.unit = std::make_shared<const VtNode>(UnitSweep(sweep, profile));
    kind.sweeps.push_back(SweepCopy(sweep));
  }

  int64_t fixed_ = 0;    // of meshes that no detail changes
  int64_t spheres_ = 0;  // that draw
  std::map<double, bool> sphereDraws_;
  std::map<std::string, Tubes> tubes_;
  std::vector<VtNode> swept_;  // along any other path
};

}  // namespace

TriangleCounter CounterOf(const VtNode* root) {
  auto shapes = std::make_shared<const DrawnShapes>(root);
  return [shapes](int32_t segments, int32_t subdivisions) { return shapes->Triangles(segments, subdivisions); };
}

PlainModel BuildPlainModel(const Host& host, const ExportedModel& model, ShapeCache* shapes) {
  Builder builder(host, model.parameters, shapes);
  // a molecule's atoms and bonds are the root's children; the root and the node of the object's
  // name come with them
  builder.Expect(model.root->children.size() + 2);
  const int index = builder.AddNode(*model.root);
  PlainModel plain = builder.Take(index);
  plain.name = WellFormedUtf8(model.name.empty() ? NodeName(model.root) : model.name);
  if (index >= 0 && !model.name.empty()) {
    // the molecule object, as the host shows it, holds what it generated
    plain.nodes.push_back({plain.name, {}, -1, {index}, false});
    plain.root = static_cast<int>(plain.nodes.size() - 1);
  }
  return plain;
}

int64_t TrianglesOf(const PlainModel& model) {
  int64_t triangles = 0;
  for (const ModelNode& node : model.nodes) {
    if (node.mesh >= 0) {
      const ModelGeometry& geometry = model.geometries[model.meshes[node.mesh].geometry];
      triangles += static_cast<int64_t>(geometry.vertices->indices.size() / 3);
    }
  }
  return triangles;
}

}  // namespace vthost
