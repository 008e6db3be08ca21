// A generated hierarchy as a glTF 2.0 binary (.glb).
//
// The host's frame is left-handed and Y-up, glTF's right-handed and Y-up: (x, y, z) becomes
// (x, y, -z) for positions and normals, and every triangle's winding is reversed, so the picture
// is not mirrored and faces stay outward. Lengths are scaled by kMetresPerUnit (100 scene units to
// the angstrom, so an angstrom is a metre) in the coordinates themselves: the file has no scaling
// root node.
#define TINYGLTF_IMPLEMENTATION
#include "gltf.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <optional>
#include <unordered_map>
#include <vector>

#include "export.h"
#include "meshes.h"

namespace vthost {
namespace {

constexpr double kMetresPerUnit = 0.01;
// Neighbouring faces closer than this in angle share vertex normals; sharper edges (a tube and its
// caps) stay hard.
constexpr double kSmoothingCosine = 0.5;  // 60 degrees
constexpr double kXrayAlpha = 0.5;

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

Vec3 Of(const VtVector& v) { return {v.x, v.y, v.z}; }
Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Unit(const Vec3& a) {
  const double length = std::sqrt(Dot(a, a));
  return length > 0.0 ? Vec3{a.x / length, a.y / length, a.z / length} : Vec3{};
}

// glTF's numbers are single precision: a value beyond that, or not finite, cannot be written.
bool Representable(double value) { return std::isfinite(value) && std::fabs(value) <= FLT_MAX; }

// Triangles and vertices ready for the file, in glTF's frame.
struct Geometry {
  std::vector<float> positions;  // x y z per vertex
  std::vector<float> normals;
  std::vector<uint32_t> indices;
  bool unrepresentable = false;  // a vertex had a number glTF cannot hold (written as 0)
  size_t VertexCount() const { return positions.size() / 3; }
};

void AddVertex(Geometry* geometry, const Vec3& position, const Vec3& normal) {
  Vec3 n = Unit(normal);
  if (Dot(n, n) == 0.0) n = {0.0, 1.0, 0.0};  // a degenerate face still needs a unit normal
  const auto put = [geometry](std::vector<float>* out, double value) {
    if (!Representable(value)) geometry->unrepresentable = true;
    out->push_back(Representable(value) ? static_cast<float>(value) : 0.0f);
  };
  for (const double value : {position.x * kMetresPerUnit, position.y * kMetresPerUnit, -position.z * kMetresPerUnit}) {
    put(&geometry->positions, value);
  }
  for (const double value : {n.x, n.y, -n.z}) put(&geometry->normals, value);
}

// The corners of a polygon without the repeat that makes a quad a triangle.
std::vector<int32_t> Corners(const std::array<int32_t, 4>& polygon) {
  std::vector<int32_t> corners(polygon.begin(), polygon.end());
  if (corners[3] == corners[2]) corners.pop_back();
  return corners;
}

// Fans a polygon of vertex indices into triangles, each reversed for the mirrored frame; triangles
// that repeat a vertex are left out.
void AddTriangles(Geometry* geometry, const std::vector<uint32_t>& corner) {
  for (size_t i = 1; i + 1 < corner.size(); ++i) {
    const uint32_t a = corner[0], b = corner[i], c = corner[i + 1];
    if (a == b || b == c || a == c) continue;
    geometry->indices.insert(geometry->indices.end(), {a, c, b});
  }
}

bool Valid(const Mesh& mesh, const std::array<int32_t, 4>& polygon) {
  return std::all_of(polygon.begin(), polygon.end(),
                     [&](int32_t i) { return i >= 0 && static_cast<size_t>(i) < mesh.points.size(); });
}

// A sphere's normals point away from its centre.
Geometry SmoothGeometry(const Mesh& mesh) {
  Vec3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const VtVector& p : mesh.points) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  const Vec3 centre{(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
  Geometry geometry;
  for (const VtVector& p : mesh.points) AddVertex(&geometry, Of(p), Sub(Of(p), centre));
  for (const auto& polygon : mesh.polygons) {
    if (!Valid(mesh, polygon)) continue;
    std::vector<uint32_t> corners;
    for (const int32_t i : Corners(polygon)) corners.push_back(static_cast<uint32_t>(i));
    AddTriangles(&geometry, corners);
  }
  return geometry;
}

// Any other mesh: each corner takes the normals of the faces around its point that lie within the
// smoothing angle of its own face, so curved surfaces are smooth and edges stay sharp (a corner
// on a sharp edge becomes one vertex per side).
Geometry CreasedGeometry(const Mesh& mesh) {
  std::vector<Vec3> faceNormals(mesh.polygons.size());  // area-weighted
  std::vector<std::vector<size_t>> facesAt(mesh.points.size());
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    if (!Valid(mesh, mesh.polygons[f])) continue;
    const std::vector<int32_t> corners = Corners(mesh.polygons[f]);
    Vec3 normal;
    for (size_t i = 0; i < corners.size(); ++i) {
      // Newell's sum, which does not care which corner a non-planar quad is split at
      normal = Add(normal, Cross(Of(mesh.points[corners[i]]), Of(mesh.points[corners[(i + 1) % corners.size()]])));
    }
    faceNormals[f] = {normal.x / 2, normal.y / 2, normal.z / 2};
    for (size_t i = 0; i < corners.size(); ++i) {
      if (std::find(corners.begin(), corners.begin() + i, corners[i]) == corners.begin() + i) {
        facesAt[corners[i]].push_back(f);
      }
    }
  }

  Geometry geometry;
  std::map<std::tuple<int32_t, float, float, float>, uint32_t> vertices;
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    if (!Valid(mesh, mesh.polygons[f])) continue;
    const Vec3 own = Unit(faceNormals[f]);
    std::vector<uint32_t> corners;
    for (const int32_t point : Corners(mesh.polygons[f])) {
      Vec3 normal;
      for (const size_t g : facesAt[point]) {
        if (g == f || Dot(Unit(faceNormals[g]), own) >= kSmoothingCosine) normal = Add(normal, faceNormals[g]);
      }
      normal = Unit(normal);
      const auto key = std::make_tuple(point, static_cast<float>(normal.x), static_cast<float>(normal.y),
                                       static_cast<float>(normal.z));
      auto found = vertices.find(key);
      if (found == vertices.end()) {
        found = vertices.emplace(key, static_cast<uint32_t>(geometry.VertexCount())).first;
        AddVertex(&geometry, Of(mesh.points[point]), normal);
      }
      corners.push_back(found->second);
    }
    AddTriangles(&geometry, corners);
  }
  return geometry;
}

struct MaterialKey {
  std::string name;
  double r, g, b;
  bool xray;
  bool operator<(const MaterialKey& o) const { return std::tie(name, r, g, b, xray) < std::tie(o.name, o.r, o.g, o.b, o.xray); }
};

std::string HexColour(const VtVector& colour) {
  const auto channel = [](double value) { return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0)); };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(colour.x), channel(colour.y), channel(colour.z));
  return text;
}

class Writer {
 public:
  explicit Writer(const Host& host) : host_(host) {
    model_.asset.version = "2.0";
    model_.asset.generator = "vantor-host";
  }

  int AddNode(const VtNode& node) {
    tinygltf::Node out;
    out.name = ValidUtf8(node.name);
    if (node.position.x != 0.0 || node.position.y != 0.0 || node.position.z != 0.0) {
      out.translation = {node.position.x * kMetresPerUnit, node.position.y * kMetresPerUnit,
                         -node.position.z * kMetresPerUnit};
      Check(node, out.translation);
    }
    if (node.type == VT_OBJECT_POLYGON && node.primitive && node.primitive->type == VT_PRIMITIVE_SPHERE) {
      out.mesh = SphereMeshFor(node);
    } else if (node.type == VT_OBJECT_POLYGON && !node.mesh.polygons.empty()) {
      out.mesh = MeshFor(node, CreasedGeometry(node.mesh));
    }
    std::optional<tinygltf::Node> tube;
    if (node.type == VT_OBJECT_SWEEP) {
      tube = StraightTube(node);
      if (!tube) {
        const Mesh mesh = SweepMesh(node);
        if (!mesh.polygons.empty()) out.mesh = MeshFor(node, CreasedGeometry(mesh));
      }
    }
    const int index = static_cast<int>(model_.nodes.size());
    model_.nodes.push_back(std::move(out));
    for (const NodePtr& child : node.children) {
      if (!child) continue;
      const int childIndex = AddNode(*child);
      model_.nodes[index].children.push_back(childIndex);
    }
    if (tube) {
      model_.nodes[index].children.push_back(static_cast<int>(model_.nodes.size()));
      model_.nodes.push_back(std::move(*tube));
    }
    return index;
  }

  // False with the reason when a node holds a number glTF cannot: nothing may be written then.
  bool Writable(std::string* error) const {
    if (refused_.empty()) return true;
    return Fail(error, "'" + refused_ + "' holds a number glTF cannot hold (not finite, or beyond single " +
                           "precision in metres; is a parameter such as MOLOBJ_POSITION_SCALE or " +
                           "MOLOBJ_BOND_RADIUS too large?): nothing written");
  }

  bool Write(int root, std::ostream& out) {
    model_.scenes.push_back({});
    model_.scenes[0].nodes.push_back(root);
    model_.defaultScene = 0;
    if (!buffer_.empty()) {
      tinygltf::Buffer buffer;
      buffer.data = std::move(buffer_);
      model_.buffers.push_back(std::move(buffer));
    }
    tinygltf::TinyGLTF gltf;
    return gltf.WriteGltfSceneToStream(&model_, out, false, true) && out.flush();
  }

 private:
  // Notes the first node with a number glTF cannot hold.
  void Refuse(const VtNode& node) {
    if (refused_.empty()) refused_ = node.name.empty() ? std::string("a node") : ValidUtf8(node.name);
  }
  void Check(const VtNode& node, const std::vector<double>& values) {
    if (!std::all_of(values.begin(), values.end(), Representable)) Refuse(node);
  }

  static bool Fail(std::string* error, const std::string& reason) {
    if (error) *error = reason;
    return false;
  }

  // The node's look: its last texture tag whose material still exists, otherwise its display
  // colour when it uses one; -1 for glTF's default material.
  int MaterialFor(const VtNode& node) {
    const VtNode* linked = nullptr;
    for (const auto& tag : node.tags) {
      if (!tag || tag->type != VT_TAG_TEXTURE || tag->material == 0) continue;
      if (const VtNode* material = host_.FindNode(tag->material)) linked = material;
    }
    const bool xray = node.display.set && node.display.xray;
    MaterialKey key;
    if (linked) {
      key = {Host::NodeName(linked), linked->colour.x, linked->colour.y, linked->colour.z, xray};
    } else if (node.display.set && node.display.mode != 0) {
      key = {HexColour(node.display.colour), node.display.colour.x, node.display.colour.y, node.display.colour.z, xray};
    } else {
      return -1;
    }
    Check(node, {key.r, key.g, key.b});
    const auto found = materials_.find(key);
    if (found != materials_.end()) return found->second;
    tinygltf::Material material;
    material.name = ValidUtf8(xray ? key.name + " (x-ray)" : key.name);
    material.pbrMetallicRoughness.baseColorFactor = {std::clamp(key.r, 0.0, 1.0), std::clamp(key.g, 0.0, 1.0),
                                                     std::clamp(key.b, 0.0, 1.0), xray ? kXrayAlpha : 1.0};
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 0.5;
    material.alphaMode = xray ? "BLEND" : "OPAQUE";
    const int index = static_cast<int>(model_.materials.size());
    model_.materials.push_back(std::move(material));
    materials_.emplace(key, index);
    return index;
  }

  // A buffer view holding bytes, 4-byte aligned.
  int AddView(const void* bytes, size_t size, int target) {
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = buffer_.size();
    view.byteLength = size;
    view.target = target;
    const auto* first = static_cast<const unsigned char*>(bytes);
    buffer_.insert(buffer_.end(), first, first + size);
    buffer_.resize((buffer_.size() + 3) / 4 * 4, 0);
    model_.bufferViews.push_back(std::move(view));
    return static_cast<int>(model_.bufferViews.size() - 1);
  }

  int AddAccessor(int view, int componentType, size_t count, int type) {
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.componentType = componentType;
    accessor.count = count;
    accessor.type = type;
    model_.accessors.push_back(std::move(accessor));
    return static_cast<int>(model_.accessors.size() - 1);
  }

  // Accessors for the geometry: written once for all meshes that have the same bytes.
  std::tuple<int, int, int> Accessors(const Geometry& geometry) {
    std::string key(reinterpret_cast<const char*>(geometry.positions.data()), geometry.positions.size() * sizeof(float));
    key.append(reinterpret_cast<const char*>(geometry.normals.data()), geometry.normals.size() * sizeof(float));
    key.append(reinterpret_cast<const char*>(geometry.indices.data()), geometry.indices.size() * sizeof(uint32_t));
    const auto found = geometries_.find(key);
    if (found != geometries_.end()) return found->second;

    const size_t vertices = geometry.VertexCount();
    const int position = AddAccessor(AddView(geometry.positions.data(), geometry.positions.size() * sizeof(float),
                                             TINYGLTF_TARGET_ARRAY_BUFFER),
                                     TINYGLTF_COMPONENT_TYPE_FLOAT, vertices, TINYGLTF_TYPE_VEC3);
    std::vector<double> low(3, HUGE_VAL), high(3, -HUGE_VAL);
    for (size_t i = 0; i < geometry.positions.size(); ++i) {
      low[i % 3] = std::min<double>(low[i % 3], geometry.positions[i]);
      high[i % 3] = std::max<double>(high[i % 3], geometry.positions[i]);
    }
    model_.accessors[position].minValues = low;
    model_.accessors[position].maxValues = high;
    const int normal = AddAccessor(
        AddView(geometry.normals.data(), geometry.normals.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER),
        TINYGLTF_COMPONENT_TYPE_FLOAT, vertices, TINYGLTF_TYPE_VEC3);
    // the largest value of a type is the primitive restart index, which glTF does not allow
    int indices = -1;
    if (vertices < 0xFFFF) {
      const std::vector<uint16_t> narrow(geometry.indices.begin(), geometry.indices.end());
      indices = AddAccessor(
          AddView(narrow.data(), narrow.size() * sizeof(uint16_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
          TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, narrow.size(), TINYGLTF_TYPE_SCALAR);
    } else {
      indices = AddAccessor(AddView(geometry.indices.data(), geometry.indices.size() * sizeof(uint32_t),
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
                            TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, geometry.indices.size(), TINYGLTF_TYPE_SCALAR);
    }
    return geometries_[key] = {position, normal, indices};
  }

  // A sweep along a straight two-point path is the same tube as every other sweep of its profile and
  // caps, only placed, turned and stretched: one mesh of unit length serves them all, in a node of
  // its own under the sweep. None for any other sweep (its own mesh is written instead).
  std::optional<tinygltf::Node> StraightTube(const VtNode& sweep) {
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

    const std::string key = TubeKey(sweep, profile);
    auto found = tubes_.find(key);
    if (found == tubes_.end()) {
      const Geometry geometry = CreasedGeometry(SweepMesh(UnitSweep(sweep, profile)));
      if (geometry.unrepresentable) Refuse(sweep);
      found = tubes_.emplace(key, geometry.indices.empty() ? std::nullopt : std::optional(Accessors(geometry))).first;
    }
    if (!found->second) return std::nullopt;
    tinygltf::Node tube;
    tube.name = "Tube";
    tube.mesh = MeshFor(sweep, *found->second);
    tube.translation = {start.x, start.y, start.z};
    tube.rotation = Turn(Unit(along));
    tube.scale = {1.0, 1.0, length};
    Check(sweep, tube.translation);
    Check(sweep, tube.rotation);
    Check(sweep, tube.scale);
    return tube;
  }

  // A point of the host's frame in glTF's: metres, z mirrored.
  static Vec3 Frame(const Vec3& p) { return {p.x * kMetresPerUnit, p.y * kMetresPerUnit, -p.z * kMetresPerUnit}; }

  // The unit tube runs along the host's +Z for a metre, which is glTF's -Z: the rotation that turns
  // that axis onto the direction (the shortest one; half a turn about X when they are opposite).
  static std::vector<double> Turn(const Vec3& direction) {
    const double dot = -direction.z;
    if (dot < -1.0 + 1e-12) return {1.0, 0.0, 0.0, 0.0};
    const Vec3 axis{direction.y, -direction.x, 0.0};  // (0, 0, -1) x direction
    const double w = 1.0 + dot;
    const double norm = std::sqrt(axis.x * axis.x + axis.y * axis.y + w * w);
    return {axis.x / norm, axis.y / norm, 0.0, w / norm};
  }

  // What makes two straight tubes the same: the profile, its sampling and the caps.
  static std::string TubeKey(const VtNode& sweep, const VtNode& profile) {
    std::string key;
    const auto add = [&key](const void* bytes, size_t size) { key.append(static_cast<const char*>(bytes), size); };
    add(&profile.spline->type, sizeof(int32_t));
    for (const VtVector& point : profile.spline->points) add(&point, sizeof point);
    for (const VtTangent& tangent : profile.spline->tangents) add(&tangent, sizeof tangent);
    for (const int32_t id : {VT_SPLINE_INTERPOLATION, VT_SPLINE_CLOSED, VT_SPLINE_INTERMEDIATE_POINTS}) {
      const double value = kBcTable.GetFloat(&profile.parameters, id, kBcTable.GetBool(&profile.parameters, id, 0));
      add(&value, sizeof value);
    }
    for (const int32_t id : {VT_SWEEP_START_CAP, VT_SWEEP_END_CAP}) {
      const int32_t value = kBcTable.GetInt32(&sweep.parameters, id, 0);
      add(&value, sizeof value);
    }
    return key;
  }

  // The sweep with its profile along the host's +Z from 0 to 100 units (a metre in glTF).
  static VtNode UnitSweep(const VtNode& sweep, const VtNode& profile) {
    VtNode unit;
    unit.type = VT_OBJECT_SWEEP;
    unit.parameters = sweep.parameters;
    NodePtr shape = OwnNode(new VtNode());
    shape->type = VT_OBJECT_SPLINE;
    shape->parameters = profile.parameters;
    shape->spline = profile.spline;
    NodePtr line = OwnNode(new VtNode());
    line->type = VT_OBJECT_SPLINE;
    line->spline = SplineData{VT_SPLINE_LINEAR, {{0.0, 0.0, 0.0}, {0.0, 0.0, 1.0 / kMetresPerUnit}}, {}, true, false};
    unit.children.push_back(std::move(shape));
    unit.children.push_back(std::move(line));
    return unit;
  }

  // The host makes the same sphere from the same radius and segments: its geometry is worked out
  // once, not once per atom.
  int SphereMeshFor(const VtNode& node) {
    const auto key = std::make_pair(node.primitive->radius, node.primitive->segments);
    auto found = spheres_.find(key);
    if (found == spheres_.end()) {
      const Geometry geometry = SmoothGeometry(node.mesh);
      if (geometry.unrepresentable) Refuse(node);
      found = spheres_.emplace(key, geometry.indices.empty() ? std::nullopt : std::optional(Accessors(geometry))).first;
    }
    return found->second ? MeshFor(node, *found->second) : -1;
  }

  // The mesh of the geometry in the node's material, shared by every node that has both; -1 when
  // nothing is left to draw.
  int MeshFor(const VtNode& node, const Geometry& geometry) {
    if (geometry.unrepresentable) Refuse(node);
    if (geometry.indices.empty()) return -1;
    return MeshFor(node, Accessors(geometry));
  }

  int MeshFor(const VtNode& node, const std::tuple<int, int, int>& accessors) {
    const int material = MaterialFor(node);
    const auto key = std::make_tuple(std::get<0>(accessors), material);
    const auto found = meshes_.find(key);
    if (found != meshes_.end()) return found->second;
    tinygltf::Primitive primitive;
    primitive.attributes["POSITION"] = std::get<0>(accessors);
    primitive.attributes["NORMAL"] = std::get<1>(accessors);
    primitive.indices = std::get<2>(accessors);
    primitive.material = material;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    tinygltf::Mesh mesh;
    mesh.name = ValidUtf8(node.name);
    mesh.primitives.push_back(std::move(primitive));
    const int index = static_cast<int>(model_.meshes.size());
    model_.meshes.push_back(std::move(mesh));
    meshes_.emplace(key, index);
    return index;
  }

  const Host& host_;
  tinygltf::Model model_;
  std::vector<unsigned char> buffer_;
  std::unordered_map<std::string, std::tuple<int, int, int>> geometries_;
  std::map<std::tuple<int, int>, int> meshes_;
  std::map<MaterialKey, int> materials_;
  std::map<std::pair<double, int32_t>, std::optional<std::tuple<int, int, int>>> spheres_;
  std::unordered_map<std::string, std::optional<std::tuple<int, int, int>>> tubes_;
  std::string refused_;  // the first node with a number glTF cannot hold
};

}  // namespace

bool WriteGltf(const Host& host, const VtNode* root, const std::filesystem::path& file, std::string* error) {
  if (root == nullptr) {
    if (error) *error = "no hierarchy to write";
    return false;
  }
  Writer writer(host);
  const int index = writer.AddNode(*root);
  if (!writer.Writable(error)) return false;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out || !writer.Write(index, out)) {
    if (error) *error = "cannot write " + file.u8string();
    return false;
  }
  out.close();
  if (!out && error) *error = "cannot write " + file.u8string();
  return static_cast<bool>(out);
}

bool WriteGltf(const Host& host, const VtNode* root, std::ostream& out, std::string* error) {
  if (root == nullptr) {
    if (error) *error = "no hierarchy to write";
    return false;
  }
  Writer writer(host);
  const int index = writer.AddNode(*root);
  if (!writer.Writable(error)) return false;
  if (!writer.Write(index, out)) {
    if (error) *error = "cannot write the glTF";
    return false;
  }
  return true;
}

}  // namespace vthost
