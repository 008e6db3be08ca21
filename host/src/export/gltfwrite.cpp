// A model's glTF as .glb bytes: a JSON chunk, then the binary chunk of its buffer.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/gltf.h"
#include "export/jsonwriter.h"

namespace vthost {
namespace {

// .glb: "glTF", version 2, and the two chunk types "JSON" and "BIN\0"
constexpr uint32_t kGlbMagic = 0x46546C67;
constexpr uint32_t kGlbVersion = 2;
constexpr uint32_t kJsonChunk = 0x4E4F534A;
constexpr uint32_t kBinChunk = 0x004E4942;

// KEY with an array of ITEMS, each written by WRITE; left out when there are none (glTF refuses
// empty arrays).
template <typename Item, typename Write>
void List(JsonWriter& out, std::string_view key, const std::vector<Item>& items, Write write) {
  if (items.empty()) return;
  out.PlainKey(key);
  out.BeginArray();
  for (const Item& item : items) write(out, item);
  out.EndArray();
}

// Placements, rotations and colours as the 32-bit floats a reader makes of them, in the shortest
// digits that read back as the same float: as precise as the meshes, however small the scale
// (the mirrored z of a point on the plane z = 0 is -0, written as 0).
void Numbers(JsonWriter& out, std::initializer_list<double> values) {
  out.BeginArray();
  for (const double value : values) out.Number(static_cast<float>(value) + 0.0f);
  out.EndArray();
}

void WriteNode(JsonWriter& out, const ModelNode& node) {
  out.BeginObject();
  out.PlainKey("name");
  out.String(node.name);
  if (node.mesh >= 0) {
    out.PlainKey("mesh");
    out.Integer(node.mesh);
  }
  const Placement& p = node.placement;
  if (p.translation.x != 0.0 || p.translation.y != 0.0 || p.translation.z != 0.0) {
    out.PlainKey("translation");
    Numbers(out, {p.translation.x, p.translation.y, p.translation.z});
  }
  if (p.rotation) {
    out.PlainKey("rotation");
    Numbers(out, {(*p.rotation)[0], (*p.rotation)[1], (*p.rotation)[2], (*p.rotation)[3]});
  }
  if (p.scale) {
    out.PlainKey("scale");
    Numbers(out, {p.scale->x, p.scale->y, p.scale->z});
  }
  if (!node.children.empty()) {
    out.PlainKey("children");
    out.BeginArray();
    for (const int child : node.children) out.Integer(child);
    out.EndArray();
  }
  out.EndObject();
}

void WriteMesh(JsonWriter& out, const ModelMesh& mesh) {
  out.BeginObject();
  out.PlainKey("name");
  out.String(mesh.name);
  out.PlainKey("primitives");
  out.BeginArray();
  out.BeginObject();
  out.PlainKey("attributes");
  out.BeginObject();
  out.PlainKey("POSITION");
  out.Integer(AccessorOf(mesh.geometry, kPositions));
  out.PlainKey("NORMAL");
  out.Integer(AccessorOf(mesh.geometry, kNormals));
  out.PlainKey("TEXCOORD_0");
  out.Integer(AccessorOf(mesh.geometry, kUvs));
  out.EndObject();
  out.PlainKey("indices");
  out.Integer(AccessorOf(mesh.geometry, kIndices));
  if (mesh.material >= 0) {
    out.PlainKey("material");
    out.Integer(mesh.material);
  }
  out.EndObject();
  out.EndArray();
  out.EndObject();
}

void WriteMaterial(JsonWriter& out, const ModelMaterial& material) {
  out.BeginObject();
  out.PlainKey("name");
  out.String(material.name);
  out.PlainKey("pbrMetallicRoughness");
  out.BeginObject();
  out.PlainKey("baseColorFactor");
  Numbers(out, {material.r, material.g, material.b, material.alpha});
  out.PlainKey("metallicFactor");
  out.Number(0.0f);
  out.PlainKey("roughnessFactor");
  out.Number(static_cast<float>(material.roughness));
  out.EndObject();
  if (material.blend) {
    out.PlainKey("alphaMode");
    out.String("BLEND");
  }
  out.EndObject();
}

// The accessor, which views the buffer view of its own index.
void WriteAccessor(JsonWriter& out, int index, const GltfAccessor& accessor) {
  out.BeginObject();
  out.PlainKey("bufferView");
  out.Integer(index);
  out.PlainKey("componentType");
  out.Integer(accessor.componentType);
  out.PlainKey("count");
  out.Integer(static_cast<int64_t>(accessor.count));
  out.PlainKey("type");
  out.String(accessor.type);
  if (accessor.bounds != nullptr) {
    const ModelGeometry& bounds = *accessor.bounds;
    for (const auto& [key, bound] : {std::pair{"min", &bounds.min}, std::pair{"max", &bounds.max}}) {
      out.PlainKey(key);
      out.BeginArray();
      for (const float value : *bound) out.Number(value);
      out.EndArray();
    }
  }
  out.EndObject();
}

void WriteView(JsonWriter& out, const GltfAccessor& view) {
  out.BeginObject();
  out.PlainKey("buffer");
  out.Integer(0);
  out.PlainKey("byteOffset");
  out.Integer(static_cast<int64_t>(view.offset));
  out.PlainKey("byteLength");
  out.Integer(static_cast<int64_t>(view.bytes.size()));
  out.PlainKey("target");
  out.Integer(view.target);
  out.EndObject();
}

void WriteJson(JsonWriter& out, const PlainModel& model, const GltfLayout& layout) {
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
  if (model.root >= 0) {  // a scene's list of nodes may not be empty: an empty scene has none
    out.PlainKey("nodes");
    out.BeginArray();
    out.Integer(model.root);
    out.EndArray();
  }
  out.EndObject();
  out.EndArray();
  List(out, "nodes", model.nodes, WriteNode);
  List(out, "meshes", model.meshes, WriteMesh);
  List(out, "materials", model.materials, WriteMaterial);
  if (!layout.accessors.empty()) {
    out.PlainKey("accessors");
    out.BeginArray();
    for (size_t i = 0; i < layout.accessors.size(); ++i) WriteAccessor(out, static_cast<int>(i), layout.accessors[i]);
    out.EndArray();
    List(out, "bufferViews", layout.accessors, WriteView);
    out.PlainKey("buffers");
    out.BeginArray();
    out.BeginObject();
    out.PlainKey("byteLength");
    out.Integer(static_cast<int64_t>(layout.bufferSize));
    out.EndObject();
    out.EndArray();
  }
  out.EndObject();
}

// The bytes of a .glb's pieces besides the vertices the model holds.
struct GlbHeld {
  std::vector<std::shared_ptr<const Vertices>> vertices;
  std::vector<std::shared_ptr<const std::vector<uint16_t>>> narrowIndices;
  std::vector<std::unique_ptr<char[]>> json;  // the JSON writer's blocks, as written
  std::string head;       // the file's header and the JSON chunk's
  std::string jsonEnd;    // the JSON chunk's padding (blanks) and the binary chunk's header
  std::string bufferEnd;  // the binary chunk's padding
};

void AppendWord(std::string* bytes, size_t value) {
  const auto v = static_cast<uint32_t>(value);
  const char word[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                        static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
  bytes->append(word, 4);
}

}  // namespace

bool GlbFromModel(const PlainModel& model, ModelBytes* glb, std::string* error) {
  // no file rather than one that readers refuse (glTF numbers are 32-bit floats)
  if (const std::optional<std::string> refused = RefusalOf(model, "glTF")) {
    *error = *refused;
    return false;
  }
  auto held = std::make_shared<GlbHeld>();
  for (const ModelGeometry& geometry : model.geometries) {
    held->vertices.push_back(geometry.vertices);
    held->narrowIndices.push_back(geometry.narrowIndices);
  }
  GltfLayout layout = LayOut(model);
  JsonWriter out;
  WriteJson(out, model, layout);
  // the JSON text stays in the writer's blocks: no copy of it is made
  const std::vector<std::string_view> json = out.TakePieces(&held->json);
  size_t jsonSize = 0;
  for (const std::string_view piece : json) jsonSize += piece.size();
  const size_t jsonLength = (jsonSize + 3) / 4 * 4;
  const size_t binLength = (layout.bufferSize + 3) / 4 * 4;
  const size_t total = 12 + 8 + jsonLength + (layout.bufferSize == 0 ? 0 : 8 + binLength);
  for (const size_t word : {size_t{kGlbMagic}, size_t{kGlbVersion}, total, jsonLength, size_t{kJsonChunk}}) {
    AppendWord(&held->head, word);
  }
  held->jsonEnd.assign(jsonLength - jsonSize, ' ');
  if (layout.bufferSize > 0) {
    AppendWord(&held->jsonEnd, binLength);
    AppendWord(&held->jsonEnd, kBinChunk);
    held->bufferEnd.assign(binLength - layout.bufferSize, '\0');
  }
  glb->pieces = {held->head};
  glb->pieces.insert(glb->pieces.end(), json.begin(), json.end());
  glb->pieces.push_back(held->jsonEnd);
  for (const GltfAccessor& accessor : layout.accessors) glb->pieces.push_back(layout.Block(accessor));
  glb->pieces.push_back(held->bufferEnd);
  glb->drawsNothing = model.root < 0;
  glb->holder = std::move(held);
  return true;
}

}  // namespace vthost
