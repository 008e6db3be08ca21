// A plain model as USDA text: the same hierarchy as the glTF's, names made prim names, every drawn node a
// transform that references the one shape (an Xform holding a Mesh) of its geometry and binds
// the material of its role. glTF's frame is USD's with upAxis Y and a metre to the unit, and both
// wind front faces counter-clockwise, so points, normals and placements are written as they are;
// only the texture's v runs the other way (USD's t = 1 - v).
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/numbers.h"
#include "export/usd.h"

namespace vthost {
namespace {

constexpr size_t kBytesPerNode = 400;  // about what a placed instance takes
constexpr uint32_t kFreeSlot = 0xFFFFFFFFu;
constexpr size_t kFirstSiblingSlots = 16;  // a power of two
constexpr size_t kCharactersPerName = 8;   // about a sibling's name, as room is made for them

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The characters of a prim name by their byte: ASCII letters, digits and '_'.
constexpr std::array<bool, 256> kIdentifierCharacters = [] {
  std::array<bool, 256> identifier{};
  for (int c = 0; c < 256; ++c) {
    identifier[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return identifier;
}();

bool IsIdentifierCharacter(char c) { return kIdentifierCharacters[static_cast<unsigned char>(c)]; }

// Whether a name is a prim name as it is: not empty, of identifier characters, and not starting
// with a digit.
bool IsPrimName(std::string_view name) {
  if (name.empty() || IsDigit(name[0])) return false;
  for (const char c : name) {
    if (!IsIdentifierCharacter(c)) return false;
  }
  return true;
}

// A name of the model (well-formed UTF-8) as a USDA string: quotes, backslashes and control
// characters escaped.
std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto plain = [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; };
  if (std::all_of(text.begin(), text.end(), plain)) return "\"" + std::string(text) + "\"";
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

class Text {
 public:
  void Line(int depth, std::string_view text) {
    if (!text.empty()) Indent(depth);
    out_ += text;
    out_ += '\n';
  }
  // The start of a line: its indentation, then each piece.
  template <typename... Pieces>
  void Start(int depth, const Pieces&... pieces) {
    Indent(depth);
    (out_.append(pieces), ...);
  }
  void Indent(int depth) { out_.append(static_cast<size_t>(depth) * 4, ' '); }
  std::string& Out() { return out_; }

  // A float as glTF's readers take it, in the shortest digits that read back as the same float.
  void Number(double value) {
    char digits[kShortestNumberBytes];
    out_.append(digits, WriteShortest(digits, static_cast<float>(value) + 0.0f));
  }

  // (a, b, c) of a tuple of numbers.
  void Tuple(std::initializer_list<double> values) {
    out_ += '(';
    bool first = true;
    for (const double value : values) {
      if (!first) out_ += ", ";
      first = false;
      Number(value);
    }
    out_ += ')';
  }

  // An attribute of an array of tuples of width values each, on one line.
  template <typename Value>
  void Array(int depth, std::string_view declaration, size_t width, const std::vector<Value>& values,
             Value (*of)(const std::vector<Value>&, size_t)) {
    Start(depth, declaration, " = [");
    for (size_t i = 0; i + width <= values.size(); i += width) {
      if (i > 0) out_ += ", ";
      if (width > 1) out_ += '(';
      for (size_t k = 0; k < width; ++k) {
        if (k > 0) out_ += ", ";
        Append(of(values, i + k));
      }
      if (width > 1) out_ += ')';
    }
    out_ += ']';
  }

 private:
  void Append(float value) { Number(value); }
  void Append(uint32_t value) { out_ += std::to_string(value); }

  std::string out_;
};

float Float(const std::vector<float>& values, size_t i) { return values[i]; }
// USD's t runs up the texture, glTF's v down it.
float St(const std::vector<float>& values, size_t i) { return i % 2 == 1 ? 1.0f - values[i] : values[i]; }
uint32_t Index(const std::vector<uint32_t>& values, size_t i) { return values[i]; }

// The layer's header: the stage's default prim, its unit and its up axis.
void Header(Text& text, const std::string& defaultPrim) {
  text.Line(0, "#usda 1.0");
  text.Line(0, "(");
  text.Line(1, "defaultPrim = \"" + defaultPrim + "\"");
  text.Line(1, "doc = \"Written by vantor-host\"");
  text.Line(1, "metersPerUnit = 1");
  text.Line(1, "upAxis = \"Y\"");
  text.Line(0, ")");
  text.Line(0, "");
}

class StageWriter {
 public:
  explicit StageWriter(const PlainModel& model) : model_(model) {}

  std::string Layer() {
    UsdSiblings top;
    const ModelNode& root = model_.nodes[model_.root];
    const std::string rootName = top.Take(root.name);
    shapesClass_ = top.Take("Shapes");
    root_.Out().reserve(kBytesPerNode * model_.nodes.size());
    Header(root_, rootName);
    NumberShapes();

    // the materials under the root prim, in a scope of a name no child of the root has
    UsdSiblings rootChildren(root.children.size() + 1);
    for (const int child : root.children) rootChildren.Take(model_.nodes[child].name);
    const std::string looks = "/" + rootName + "/" + rootChildren.Take("Looks");
    UsdSiblings materials;
    for (const ModelMaterial& material : model_.materials) {
      materialPaths_.push_back(looks + "/" + materials.Take(material.name));
    }

    looks_ = looks;
    for (size_t shape = 0; shape < shapes_.size(); ++shape) references_.push_back(Reference(shape));
    Prim(0, root, root.name, rootName, true);

    root_.Line(0, "");
    root_.Line(0, "class \"" + shapesClass_ + "\"");
    root_.Line(0, "{");
    for (size_t s = 0; s < shapes_.size(); ++s) Shape(root_, 1, s);
    root_.Line(0, "}");
    return std::move(root_.Out());
  }

 private:
  // A shape for each geometry that meshes of the model use, numbered in the order of the meshes.
  void NumberShapes() {
    for (const ModelMesh& mesh : model_.meshes) {
      if (shapeOf_.emplace(mesh.geometry, shapes_.size()).second) shapes_.push_back(mesh.geometry);
    }
  }

  static std::string ShapeName(size_t s) { return "shape_" + std::to_string(s); }

  std::string Reference(size_t shape) const {
    const std::string name = ShapeName(shape);
    return "</" + shapesClass_ + "/" + name + ">";
  }

  // The node as a prim, and what is below it; the default prim (root) holds the materials too.
  void Prim(int depth, const ModelNode& node, const std::string& original, const std::string& name, bool root = false) {
    // the default prim is never an instance: it holds the materials, which an instance could not
    const bool instance = !root && node.mesh >= 0 && node.children.empty();
    const bool renamed = name != original;
    root_.Start(depth, "def Xform \"", name, "\"");
    if (root || renamed || instance) {
      root_.Out() += " (\n";
      if (root) root_.Line(depth + 1, "kind = \"component\"");
      if (renamed) root_.Line(depth + 1, "displayName = " + Quoted(original));
      if (instance) Instance(depth + 1, node.mesh);
      root_.Line(depth, ")");
    } else {
      root_.Out() += '\n';
    }
    root_.Line(depth, "{");
    if (instance) Binding(depth + 1, node.mesh);
    Place(depth + 1, node.placement);

    UsdSiblings children(node.children.size());
    if (node.mesh >= 0 && !instance) {
      // a node that draws and holds more: its mesh is an instance of its own beside its children
      root_.Start(depth + 1, "def Xform \"", children.Take("mesh"), "\" (\n");
      Instance(depth + 2, node.mesh);
      root_.Line(depth + 1, ")");
      root_.Line(depth + 1, "{");
      Binding(depth + 2, node.mesh);
      root_.Line(depth + 1, "}");
    }
    for (const int child : node.children) {
      const ModelNode& next = model_.nodes[child];
      Prim(depth + 1, next, next.name, children.Take(next.name));
    }
    if (root) Looks(depth + 1);
    root_.Line(depth, "}");
  }

  // The materials, in a scope of their own.
  void Looks(int depth) {
    root_.Start(depth, "def Scope \"", std::string_view(looks_).substr(looks_.rfind('/') + 1), "\"\n");
    root_.Line(depth, "{");
    for (size_t m = 0; m < model_.materials.size(); ++m) {
      Material(depth + 1, model_.materials[m], materialPaths_[m]);
    }
    root_.Line(depth, "}");
  }

  // The metadata of a prim that is an instance of the mesh's shape.
  void Instance(int depth, int mesh) {
    if (model_.meshes[mesh].material >= 0) root_.Line(depth, "prepend apiSchemas = [\"MaterialBindingAPI\"]");
    root_.Line(depth, "instanceable = true");
    root_.Start(depth, "prepend references = ", references_[shapeOf_.at(model_.meshes[mesh].geometry)],
                "\n");
  }

  void Binding(int depth, int mesh) {
    const int material = model_.meshes[mesh].material;
    if (material >= 0) root_.Start(depth, "rel material:binding = <", materialPaths_[material], ">\n");
  }

  void Place(int depth, const Placement& p) {
    const Vec3& t = p.translation;
    const bool moved = t.x != 0.0 || t.y != 0.0 || t.z != 0.0;
    if (moved) {
      root_.Start(depth, "double3 xformOp:translate = ");
      root_.Tuple({t.x, t.y, t.z});
      root_.Out() += '\n';
    }
    if (p.rotation) {
      const auto& q = *p.rotation;  // x y z w; USD writes the real part first
      root_.Start(depth, "quatf xformOp:orient = ");
      root_.Tuple({q[3], q[0], q[1], q[2]});
      root_.Out() += '\n';
    }
    if (p.scale) {
      root_.Start(depth, "float3 xformOp:scale = ");
      root_.Tuple({p.scale->x, p.scale->y, p.scale->z});
      root_.Out() += '\n';
    }
    if (!moved && !p.rotation && !p.scale) return;
    root_.Start(depth, "uniform token[] xformOpOrder = [");
    const char* separator = "";
    for (const auto& [held, op] :
         {std::pair{moved, "\"xformOp:translate\""}, std::pair{p.rotation.has_value(), "\"xformOp:orient\""},
          std::pair{p.scale.has_value(), "\"xformOp:scale\""}}) {
      if (!held) continue;
      root_.Out() += separator;
      root_.Out() += op;
      separator = ", ";
    }
    root_.Out() += "]\n";
  }

  void Material(int depth, const ModelMaterial& material, const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name == material.name) {
      root_.Line(depth, "def Material \"" + name + "\"");
    } else {
      root_.Line(depth, "def Material \"" + name + "\" (");
      root_.Line(depth + 1, "displayName = " + Quoted(material.name));
      root_.Line(depth, ")");
    }
    root_.Line(depth, "{");
    root_.Line(depth + 1, "token outputs:surface.connect = <" + path + "/Surface.outputs:surface>");
    root_.Line(depth + 1, "");
    root_.Line(depth + 1, "def Shader \"Surface\"");
    root_.Line(depth + 1, "{");
    root_.Line(depth + 2, "uniform token info:id = \"UsdPreviewSurface\"");
    root_.Start(depth + 2, "color3f inputs:diffuseColor = ");
    root_.Tuple({material.r, material.g, material.b});
    root_.Out() += '\n';
    root_.Line(depth + 2, "float inputs:metallic = 0");
    root_.Start(depth + 2, "float inputs:opacity = ");
    root_.Number(material.alpha);
    root_.Out() += '\n';
    root_.Start(depth + 2, "float inputs:roughness = ");
    root_.Number(material.roughness);
    root_.Out() += '\n';
    root_.Line(depth + 2, "token outputs:surface");
    root_.Line(depth + 1, "}");
    root_.Line(depth, "}");
  }

  // The end of an attribute that holds a value per vertex.
  static void PerVertex(Text& text, int depth) {
    text.Out() += " (\n";
    text.Line(depth + 1, "interpolation = \"vertex\"");
    text.Line(depth, ")");
  }

  // The shape: an Xform holding the mesh of the geometry.
  void Shape(Text& text, int depth, size_t s) {
    const ModelGeometry& geometry = model_.geometries[shapes_[s]];
    const Vertices& vertices = *geometry.vertices;
    const std::vector<uint32_t>& indices = vertices.indices;

    text.Line(depth, "def Xform \"" + ShapeName(s) + "\"");
    text.Line(depth, "{");
    text.Line(depth + 1, "def Mesh \"mesh\"");
    text.Line(depth + 1, "{");
    const int in = depth + 2;
    std::string& out = text.Out();
    text.Start(in, "float3[] extent = [");
    text.Tuple({geometry.min[0], geometry.min[1], geometry.min[2]});
    out += ", ";
    text.Tuple({geometry.max[0], geometry.max[1], geometry.max[2]});
    out += "]\n";
    text.Start(in, "int[] faceVertexCounts = [");
    for (size_t i = 0; i < indices.size() / 3; ++i) out += i == 0 ? "3" : ", 3";
    out += "]\n";
    text.Array(in, "int[] faceVertexIndices", 1, indices, Index);
    out += '\n';
    text.Array(in, "normal3f[] normals", 3, vertices.normals, Float);
    PerVertex(text, in);
    text.Array(in, "point3f[] points", 3, vertices.positions, Float);
    out += '\n';
    text.Array(in, "texCoord2f[] primvars:st", 2, vertices.uvs, St);
    PerVertex(text, in);
    text.Line(in, "uniform token subdivisionScheme = \"none\"");
    text.Line(depth + 1, "}");
    text.Line(depth, "}");
  }

  const PlainModel& model_;
  Text root_;
  std::string shapesClass_;
  std::string looks_;  // the path of the materials' scope
  std::vector<std::string> materialPaths_;
  std::vector<int> shapes_;                  // the geometry of each
  std::vector<std::string> references_;      // of each shape
  std::unordered_map<int, size_t> shapeOf_;  // by the geometry
};

}  // namespace

UsdSiblings::UsdSiblings(size_t names) {
  if (names == 0) return;
  size_t slots = kFirstSiblingSlots;
  while (slots < 2 * (names + 1)) slots *= 2;
  slots_.assign(slots, kFreeSlot);
  taken_.reserve(names);
  names_.reserve(names * kCharactersPerName);
}

std::string UsdSiblings::Take(std::string_view name) {
  // a name that is a prim name already is looked up as it is, not copied first
  const bool primName = IsPrimName(name);
  const std::string made = primName ? std::string() : UsdName(name);
  const std::string_view wanted = primName ? name : std::string_view(made);
  const uint64_t wantedHash = NameHashOver(wanted);
  const auto [base, free] = Insert(wanted, FoldedNameHash(wantedHash));
  if (free) return std::string(wanted);
  // name_N: the name and '_' written (and hashed) once, each number after them, on the stack when
  // they fit
  constexpr size_t kNumberDigits = 20;  // a 64-bit number's at most
  const size_t stem = wanted.size() + 1;
  char onStack[64];
  std::string longer;
  char* const unique =
      stem + kNumberDigits <= sizeof onStack ? onStack : (longer.resize(stem + kNumberDigits), &longer[0]);
  std::memcpy(unique, wanted.data(), wanted.size());
  unique[stem - 1] = '_';
  const uint64_t stemHash = NameHashOver("_", wantedHash);
  size_t length = 0, hash = 0;
  do {
    char* const number = unique + stem;
    char* const end = std::to_chars(number, number + kNumberDigits, ++taken_[base].next).ptr;
    length = static_cast<size_t>(end - unique);
    hash = FoldedNameHash(NameHashOver(std::string_view(number, static_cast<size_t>(end - number)), stemHash));
  } while (!Insert(std::string_view(unique, length), hash).second);
  return std::string(unique, length);
}

std::pair<uint32_t, bool> UsdSiblings::Insert(std::string_view name, size_t hash) {
  if (2 * (taken_.size() + 1) > slots_.size()) Rehash();
  const size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  for (; slots_[slot] != kFreeSlot; slot = (slot + 1) & mask) {
    const Taken& known = taken_[slots_[slot]];
    if (known.hash == hash && std::string_view(names_).substr(known.start, known.length) == name) {
      return {slots_[slot], false};
    }
  }
  slots_[slot] = static_cast<uint32_t>(taken_.size());
  taken_.push_back({hash, 0, static_cast<uint32_t>(names_.size()), static_cast<uint32_t>(name.size())});
  names_.append(name);
  return {slots_[slot], true};
}

void UsdSiblings::Rehash() {
  slots_.assign(std::max(kFirstSiblingSlots, 2 * slots_.size()), kFreeSlot);
  const size_t mask = slots_.size() - 1;
  for (uint32_t known = 0; known < taken_.size(); ++known) {
    size_t slot = taken_[known].hash & mask;
    while (slots_[slot] != kFreeSlot) slot = (slot + 1) & mask;
    slots_[slot] = known;
  }
}

std::string UsdName(std::string_view name) {
  if (IsPrimName(name)) return std::string(name);
  std::string made = name.empty() || IsDigit(name[0]) ? "_" : "";
  for (size_t i = 0; i < name.size(); ++i) {
    // a character beyond ASCII is one '_', however many bytes it takes
    const bool continues = i > 0 && (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80 &&
                           (static_cast<unsigned char>(name[i - 1]) & 0x80) != 0;
    if (!continues) made += IsIdentifierCharacter(name[i]) ? name[i] : '_';
  }
  return made;
}

std::string UsdaLayer(const PlainModel& model) {
  return StageWriter(model).Layer();
}

bool UsdFromModel(const PlainModel& model, bool package, ModelBytes* bytes, std::string* error) {
  if (const std::optional<std::string> refused = RefusalOf(model, "USD")) {
    *error = *refused;
    return false;
  }
  PlainModel alone;
  if (model.root < 0) {
    // nothing is drawn: a stage of the object alone
    alone.nodes.push_back({model.name, {}, -1, {}, false});
    alone.root = 0;
  }
  const PlainModel& staged = model.root < 0 ? alone : model;
  if (!package) {
    auto text = std::make_shared<std::string>(UsdaLayer(staged));
    bytes->pieces = {*text};
    bytes->holder = std::move(text);
    return true;
  }
  struct Package {
    CrateBytes layer;
    std::vector<PackagedFile> files;
    std::vector<std::string> frames;
  };
  auto held = std::make_shared<Package>();
  held->layer = UsdcLayer(staged);
  held->files.push_back({"model.usdc", held->layer.View()});
  if (!UsdzPieces(held->files, &held->frames, &bytes->pieces)) {
    *error = "the model is larger than a .usdz holds (4 GiB): nothing written";
    return false;
  }
  bytes->holder = std::move(held);
  return true;
}

bool UsdFromModel(const PlainModel& model, bool package, std::string* bytes, std::string* error) {
  ModelBytes pieces;
  if (!UsdFromModel(model, package, &pieces, error)) return false;
  *bytes = pieces.Joined();
  return true;
}

}  // namespace vthost
