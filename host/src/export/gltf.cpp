// A generated hierarchy as a glTF 2.0 binary (.glb), in glTF's frame and scale (vertices.h): the
// file has no scaling root node.
//
// What an artist gets: one node per object that draws something (splines only shape their sweep
// and are left out, as is every node left with nothing to draw), every mesh with normals and
// texture coordinates, and one material per role (roles.h). Meshes are shared: one per sphere
// radius and one unit tube per bond profile, placed by their node's transform.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "export/json.h"
#include "export/jsonwriter.h"
#include "scene/meshes.h"
#include "export/roles.h"
#include "export/vertices.h"

namespace vthost {
namespace {

constexpr int32_t kSplineInterpolation = 1001;
constexpr int32_t kSplineClosed = 1002;
constexpr int32_t kSplineIntermediate = 1003;
constexpr int32_t kSweepStartCap = 2999;
constexpr int32_t kSweepEndCap = 3000;
constexpr double kXrayAlpha = 0.5;
constexpr double kRoughness = 0.5;
constexpr int kDecimals = 7;

// glTF's numeric codes.
constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
// .glb: "glTF", version 2, and the two chunk types "JSON" and "BIN\0"
constexpr uint32_t kGlbMagic = 0x46546C67;
constexpr uint32_t kGlbVersion = 2;
constexpr uint32_t kJsonChunk = 0x4E4F534A;
constexpr uint32_t kBinChunk = 0x004E4942;

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

// What makes two straight tubes the same: the profile, its sampling and the caps.
std::string TubeKey(const VtNode& sweep, const VtNode& profile) {
  std::string key;
  const auto add = [&key](const void* bytes, size_t size) { key.append(static_cast<const char*>(bytes), size); };
  add(&profile.spline->type, sizeof(int32_t));
  for (const VtVector& point : profile.spline->points) add(&point, sizeof point);
  for (const VtTangent& tangent : profile.spline->tangents) add(&tangent, sizeof tangent);
  for (const int32_t id : {kSplineInterpolation, kSplineClosed, kSplineIntermediate}) {
    const double value = FloatOf(&profile.parameters, id, BoolOf(&profile.parameters, id, false) ? 1.0 : 0.0);
    add(&value, sizeof value);
  }
  for (const int32_t id : {kSweepStartCap, kSweepEndCap}) {
    const int32_t value = Int32Of(&sweep.parameters, id, 0);
    add(&value, sizeof value);
  }
  return key;
}

// The sweep with its profile along the host's +Z from 0 to 100 units (a metre in glTF).
VtNode UnitSweep(const VtNode& sweep, const VtNode& profile) {
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

// The accessors of one geometry in the file.
struct Accessors {
  int position = -1, normal = -1, uv = -1, indices = -1;
};

// Where a node is and how it is turned and stretched, relative to its parent.
struct Transform {
  Vec3 translation;
  std::optional<std::array<double, 4>> rotation;
  std::optional<Vec3> scale;
};

struct OutNode {
  std::string name;
  Transform transform;
  int mesh = -1;
  std::vector<int> children;
};

struct OutMaterial {
  std::string name;
  std::array<double, 4> colour;  // r g b a
  bool blend = false;
};

struct OutMesh {
  std::string name;
  Accessors accessors;
  int material = -1;
};

struct OutAccessor {
  int view = -1;
  int componentType = 0;
  size_t count = 0;
  const char* type = "";
  std::vector<float> min, max;  // positions only
};

struct OutView {
  size_t offset = 0, length = 0;
  int target = 0;
};

// What makes two materials one: the role and the look.
struct MaterialKey {
  RoleKind kind;
  std::string name;
  uint64_t material;
  int32_t order;
  double r, g, b;
  bool xray;
  bool operator<(const MaterialKey& o) const {
    return std::tie(kind, name, material, order, r, g, b, xray) <
           std::tie(o.kind, o.name, o.material, o.order, o.r, o.g, o.b, o.xray);
  }
};

class Writer {
 public:
  Writer(const Host& host, const VtContainer* parameters) : host_(host), bonds_(BondLooksOf(parameters)) {}

  // The node and what is below it; -1 when none of it draws anything.
  int AddNode(const VtNode& node) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.push_back({});
    nodes_[index].name = node.name;
    current_ = node.name;
    nodes_[index].transform.translation = Frame(Of(node.position));

    int mesh = -1;
    std::optional<Transform> tube;
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
      if (childIndex >= 0) nodes_[index].children.push_back(childIndex);
    }
    if (tube && mesh >= 0) {
      if (nodes_[index].children.empty()) {
        // the bond is one object: its node carries the tube's placement
        const Vec3 own = nodes_[index].transform.translation;
        nodes_[index].transform = *tube;
        nodes_[index].transform.translation = Add(own, tube->translation);
        nodes_[index].mesh = mesh;
      } else {
        // the tube is stretched, and what else is below the sweep must not be
        nodes_[index].children.push_back(static_cast<int>(nodes_.size()));
        nodes_.push_back({"Tube", *tube, mesh, {}});
      }
    } else {
      nodes_[index].mesh = mesh;
    }
    if (nodes_[index].mesh < 0 && nodes_[index].children.empty()) {
      nodes_.pop_back();  // it was the last one: its children left nothing either
      return -1;
    }
    if (!Fits(nodes_[index].transform) && outside_.empty()) outside_ = node.name;
    return index;
  }

  // The whole .glb in *glb; false with the reason when the model cannot be written.
  bool Glb(int root, std::string* glb, std::string* error) const {
    if (!outside_.empty()) {
      // no file rather than one that readers refuse (glTF numbers are 32-bit floats)
      if (error) {
        *error = "'" + outside_ + "' lies beyond what glTF's 32-bit floats hold (is a parameter such as " +
                 "MOLOBJ_POSITION_SCALE or MOLOBJ_BOND_RADIUS too large?): nothing written";
      }
      return false;
    }
    const std::string json = Json(root);
    const size_t jsonLength = (json.size() + 3) / 4 * 4;
    const size_t binLength = (buffer_.size() + 3) / 4 * 4;
    const size_t total = 12 + 8 + jsonLength + (buffer_.empty() ? 0 : 8 + binLength);

    glb->clear();
    glb->reserve(total);
    const auto word = [glb](size_t value) {
      const auto v = static_cast<uint32_t>(value);
      const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                             static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
      glb->append(bytes, 4);
    };
    word(kGlbMagic);
    word(kGlbVersion);
    word(total);
    word(jsonLength);
    word(kJsonChunk);
    glb->append(json);
    glb->append(jsonLength - json.size(), ' ');  // the JSON chunk is padded with blanks
    if (!buffer_.empty()) {
      word(binLength);
      word(kBinChunk);
      glb->append(reinterpret_cast<const char*>(buffer_.data()), buffer_.size());
      glb->append(binLength - buffer_.size(), '\0');
    }
    return true;
  }

 private:
  std::string Json(int root) const {
    JsonWriter out;
    out.BeginObject();
    out.PlainKey("asset");
    out.BeginObject();
    out.PlainKey("generator");
    out.String("vantor-host");
    out.PlainKey("version");
    out.String("2.0");
    out.EndObject();
    out.PlainKey("scene");
    out.Integer(0);
    out.PlainKey("scenes");
    out.BeginArray();
    out.BeginObject();
    if (root >= 0) {  // a scene's list of nodes may not be empty: an empty scene has none
      out.PlainKey("nodes");
      out.BeginArray();
      out.Integer(root);
      out.EndArray();
    }
    out.EndObject();
    out.EndArray();
    List(out, "nodes", nodes_, WriteNode);
    List(out, "meshes", meshes_, WriteMesh);
    List(out, "materials", materials_, WriteMaterial);
    if (!accessors_.empty()) {
      List(out, "accessors", accessors_, WriteAccessor);
      List(out, "bufferViews", views_, [](JsonWriter& json, const OutView& view) {
        json.BeginObject();
        json.PlainKey("buffer");
        json.Integer(0);
        json.PlainKey("byteOffset");
        json.Integer(static_cast<int64_t>(view.offset));
        json.PlainKey("byteLength");
        json.Integer(static_cast<int64_t>(view.length));
        json.PlainKey("target");
        json.Integer(view.target);
        json.EndObject();
      });
      out.PlainKey("buffers");
      out.BeginArray();
      out.BeginObject();
      out.PlainKey("byteLength");
      out.Integer(static_cast<int64_t>(buffer_.size()));
      out.EndObject();
      out.EndArray();
    }
    out.EndObject();
    return out.Take();
  }

  // KEY with an array of ITEMS, each written by WRITE; left out when there are none (glTF
  // refuses empty arrays).
  template <typename Item, typename Write>
  static void List(JsonWriter& out, std::string_view key, const std::vector<Item>& items, Write write) {
    if (items.empty()) return;
    out.PlainKey(key);
    out.BeginArray();
    for (const Item& item : items) write(out, item);
    out.EndArray();
  }

  // Placements, rotations and colours to seven decimals: a ten-millionth of an angstrom (which is
  // a metre in the file), and rotations well within the unit length readers check.
  static void Numbers(JsonWriter& out, std::initializer_list<double> values) {
    out.BeginArray();
    for (const double value : values) out.Fixed(value, kDecimals);
    out.EndArray();
  }

  static void WriteNode(JsonWriter& out, const OutNode& node) {
    out.BeginObject();
    out.PlainKey("name");
    out.String(node.name);
    if (node.mesh >= 0) {
      out.PlainKey("mesh");
      out.Integer(node.mesh);
    }
    const Transform& t = node.transform;
    if (t.translation.x != 0.0 || t.translation.y != 0.0 || t.translation.z != 0.0) {
      out.PlainKey("translation");
      Numbers(out, {t.translation.x, t.translation.y, t.translation.z});
    }
    if (t.rotation) {
      out.PlainKey("rotation");
      Numbers(out, {(*t.rotation)[0], (*t.rotation)[1], (*t.rotation)[2], (*t.rotation)[3]});
    }
    if (t.scale) {
      out.PlainKey("scale");
      Numbers(out, {t.scale->x, t.scale->y, t.scale->z});
    }
    if (!node.children.empty()) {
      out.PlainKey("children");
      out.BeginArray();
      for (const int child : node.children) out.Integer(child);
      out.EndArray();
    }
    out.EndObject();
  }

  static void WriteMesh(JsonWriter& out, const OutMesh& mesh) {
    out.BeginObject();
    out.PlainKey("name");
    out.String(mesh.name);
    out.PlainKey("primitives");
    out.BeginArray();
    out.BeginObject();
    out.PlainKey("attributes");
    out.BeginObject();
    out.PlainKey("POSITION");
    out.Integer(mesh.accessors.position);
    out.PlainKey("NORMAL");
    out.Integer(mesh.accessors.normal);
    out.PlainKey("TEXCOORD_0");
    out.Integer(mesh.accessors.uv);
    out.EndObject();
    out.PlainKey("indices");
    out.Integer(mesh.accessors.indices);
    if (mesh.material >= 0) {
      out.PlainKey("material");
      out.Integer(mesh.material);
    }
    out.EndObject();
    out.EndArray();
    out.EndObject();
  }

  static void WriteMaterial(JsonWriter& out, const OutMaterial& material) {
    out.BeginObject();
    out.PlainKey("name");
    out.String(material.name);
    out.PlainKey("pbrMetallicRoughness");
    out.BeginObject();
    out.PlainKey("baseColorFactor");
    Numbers(out, {material.colour[0], material.colour[1], material.colour[2], material.colour[3]});
    out.PlainKey("metallicFactor");
    out.Number(0.0f);
    out.PlainKey("roughnessFactor");
    out.Number(static_cast<float>(kRoughness));
    out.EndObject();
    if (material.blend) {
      out.PlainKey("alphaMode");
      out.String("BLEND");
    }
    out.EndObject();
  }

  static void WriteAccessor(JsonWriter& out, const OutAccessor& accessor) {
    out.BeginObject();
    out.PlainKey("bufferView");
    out.Integer(accessor.view);
    out.PlainKey("componentType");
    out.Integer(accessor.componentType);
    out.PlainKey("count");
    out.Integer(static_cast<int64_t>(accessor.count));
    out.PlainKey("type");
    out.String(accessor.type);
    if (!accessor.min.empty()) {
      out.PlainKey("min");
      out.BeginArray();
      for (const float value : accessor.min) out.Number(value);
      out.EndArray();
      out.PlainKey("max");
      out.BeginArray();
      for (const float value : accessor.max) out.Number(value);
      out.EndArray();
    }
    out.EndObject();
  }

  // The node's look by its role: a linked material under its own name, otherwise the display
  // colour under the role's name; -1 (glTF's default material) for a node with neither.
  int MaterialFor(const VtNode& node) {
    const Role role = RoleOf(host_, node, bonds_);
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
    const std::string name = role.kind == RoleKind::None ? node.name : role.name;
    const MaterialKey key{role.kind, name, role.material, role.order, colour.x, colour.y, colour.z, xray};
    const auto found = materialIndex_.find(key);
    if (found != materialIndex_.end()) return found->second;

    OutMaterial material;
    material.name = UniqueName(xray ? name + " (x-ray)" : name);
    material.colour = {std::clamp(colour.x, 0.0, 1.0), std::clamp(colour.y, 0.0, 1.0), std::clamp(colour.z, 0.0, 1.0),
                       xray ? kXrayAlpha : 1.0};
    material.blend = xray;
    const int index = static_cast<int>(materials_.size());
    materials_.push_back(std::move(material));
    materialIndex_.emplace(key, index);
    return index;
  }

  // Two materials never share a name: the later one is numbered.
  std::string UniqueName(const std::string& name) {
    std::string unique = name;
    for (int n = 2; !materialNames_.insert(unique).second; ++n) unique = name + " (" + std::to_string(n) + ")";
    return unique;
  }

  // A buffer view holding bytes, 4-byte aligned.
  int AddView(const void* bytes, size_t size, int target) {
    views_.push_back({buffer_.size(), size, target});
    const auto* first = static_cast<const unsigned char*>(bytes);
    buffer_.insert(buffer_.end(), first, first + size);
    buffer_.resize((buffer_.size() + 3) / 4 * 4, 0);
    return static_cast<int>(views_.size() - 1);
  }

  int AddAccessor(const void* bytes, size_t size, int target, int componentType, size_t count, const char* type) {
    accessors_.push_back({AddView(bytes, size, target), componentType, count, type, {}, {}});
    return static_cast<int>(accessors_.size() - 1);
  }

  // The geometry's accessors: written once for all meshes that have the same bytes.
  Accessors AccessorsFor(const Vertices& geometry) {
    std::string key;
    for (const auto* values : {&geometry.positions, &geometry.normals, &geometry.uvs}) {
      key.append(reinterpret_cast<const char*>(values->data()), values->size() * sizeof(float));
    }
    key.append(reinterpret_cast<const char*>(geometry.indices.data()), geometry.indices.size() * sizeof(uint32_t));
    const auto found = geometries_.find(key);
    if (found != geometries_.end()) return found->second;

    const size_t vertices = geometry.Count();
    Accessors accessors;
    accessors.position = AddAccessor(geometry.positions.data(), geometry.positions.size() * sizeof(float),
                                     kArrayBuffer, kFloat, vertices, "VEC3");
    std::vector<float> low(3, HUGE_VALF), high(3, -HUGE_VALF);
    bool fits = true;
    for (size_t i = 0; i < geometry.positions.size(); ++i) {
      low[i % 3] = std::min(low[i % 3], geometry.positions[i]);
      high[i % 3] = std::max(high[i % 3], geometry.positions[i]);
      fits = fits && Fits(geometry.positions[i]);
    }
    accessors_[accessors.position].min = low;
    accessors_[accessors.position].max = high;
    if (!fits && outside_.empty()) outside_ = current_;
    accessors.normal = AddAccessor(geometry.normals.data(), geometry.normals.size() * sizeof(float), kArrayBuffer,
                                   kFloat, vertices, "VEC3");
    accessors.uv =
        AddAccessor(geometry.uvs.data(), geometry.uvs.size() * sizeof(float), kArrayBuffer, kFloat, vertices, "VEC2");
    // the largest value of a type is the primitive restart index, which glTF does not allow
    if (vertices < 0xFFFF) {
      const std::vector<uint16_t> narrow(geometry.indices.begin(), geometry.indices.end());
      accessors.indices = AddAccessor(narrow.data(), narrow.size() * sizeof(uint16_t), kElementArrayBuffer,
                                      kUnsignedShort, narrow.size(), "SCALAR");
    } else {
      accessors.indices = AddAccessor(geometry.indices.data(), geometry.indices.size() * sizeof(uint32_t),
                                      kElementArrayBuffer, kUnsignedInt, geometry.indices.size(), "SCALAR");
    }
    return geometries_[key] = accessors;
  }

  // A sweep along a straight two-point path is the same tube as every other sweep of its profile and
  // caps, only placed, turned and stretched: one mesh of unit length serves them all. Its placement
  // relative to the sweep, and the mesh in *mesh; none for any other sweep.
  std::optional<Transform> StraightTube(const VtNode& sweep, int* mesh) {
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
      const Vertices geometry = CreasedVertices(SweepMesh(UnitSweep(sweep, profile)));
      found = tubes_.emplace(key, geometry.indices.empty() ? std::nullopt : std::optional(AccessorsFor(geometry))).first;
    }
    if (!found->second) return std::nullopt;
    *mesh = MeshFor(sweep, *found->second);
    return Transform{start, Turn(Unit(along)), Vec3{1.0, 1.0, length}};
  }

  // The host makes the same sphere from the same radius and segments: its geometry is worked out
  // once, not once per atom.
  int SphereMeshFor(const VtNode& node) {
    const auto key = std::make_pair(node.primitive->radius, node.primitive->segments);
    auto found = spheres_.find(key);
    if (found == spheres_.end()) {
      const Vertices geometry = SmoothVertices(*node.mesh);
      found = spheres_.emplace(key, geometry.indices.empty() ? std::nullopt : std::optional(AccessorsFor(geometry))).first;
    }
    return found->second ? MeshFor(node, *found->second) : -1;
  }

  // The mesh of the geometry in the node's material, shared by every node that has both; -1 when
  // nothing is left to draw.
  int MeshFor(const VtNode& node, const Vertices& geometry) {
    if (geometry.indices.empty()) return -1;
    return MeshFor(node, AccessorsFor(geometry));
  }

  int MeshFor(const VtNode& node, const Accessors& accessors) {
    const int material = MaterialFor(node);
    const auto key = std::make_pair(accessors.position, material);
    const auto found = meshIndex_.find(key);
    if (found != meshIndex_.end()) return found->second;
    const int index = static_cast<int>(meshes_.size());
    meshes_.push_back({material >= 0 ? materials_[material].name : node.name, accessors, material});
    meshIndex_.emplace(key, index);
    return index;
  }

  // Finite and within a float's range (not a NaN either).
  static bool Fits(double value) { return std::fabs(value) <= std::numeric_limits<float>::max(); }
  static bool Fits(const Transform& t) {
    return Fits(t.translation.x) && Fits(t.translation.y) && Fits(t.translation.z) &&
           (!t.scale || (Fits(t.scale->x) && Fits(t.scale->y) && Fits(t.scale->z)));
  }

  const Host& host_;
  const std::optional<BondLooks> bonds_;
  std::string current_;  // the name of the node being added
  std::string outside_;  // the first node whose placement or mesh a float cannot hold
  std::vector<OutNode> nodes_;
  std::vector<OutMesh> meshes_;
  std::vector<OutMaterial> materials_;
  std::vector<OutAccessor> accessors_;
  std::vector<OutView> views_;
  std::vector<unsigned char> buffer_;
  std::unordered_map<std::string, Accessors> geometries_;
  std::map<std::pair<int, int>, int> meshIndex_;
  std::map<MaterialKey, int> materialIndex_;
  std::set<std::string> materialNames_;
  std::map<std::pair<double, int32_t>, std::optional<Accessors>> spheres_;
  std::unordered_map<std::string, std::optional<Accessors>> tubes_;
};


// The .glb of root, or false with the reason.
bool GlbOf(const Host& host, const VtNode* root, const VtContainer* parameters, std::string* glb, std::string* error) {
  if (root == nullptr) {
    if (error) *error = "no hierarchy to write";
    return false;
  }
  Writer writer(host, parameters);
  const int index = writer.AddNode(*root);
  return writer.Glb(index, glb, error);
}

}  // namespace

bool WriteGltf(const Host& host, const VtNode* root, const std::filesystem::path& file, std::string* error,
               const VtContainer* parameters) {
  std::string glb;
  if (!GlbOf(host, root, parameters, &glb, error)) return false;  // an existing file stays as it is
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (out) out.write(glb.data(), static_cast<std::streamsize>(glb.size()));
  if (out) out.close();
  if (!out) {
    if (error) *error = "cannot write " + file.u8string();
    return false;
  }
  return true;
}

bool WriteGltf(const Host& host, const VtNode* root, std::ostream& out, std::string* error,
               const VtContainer* parameters) {
  std::string glb;
  if (!GlbOf(host, root, parameters, &glb, error)) return false;
  if (!out.write(glb.data(), static_cast<std::streamsize>(glb.size())).flush()) {
    if (error) *error = "cannot write the glTF";
    return false;
  }
  return true;
}

}  // namespace vthost
