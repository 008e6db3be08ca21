// A glTF document as .glb bytes: a JSON chunk, then the binary chunk of its buffer.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "export/gltfdocument.h"
#include "export/jsonwriter.h"

namespace vthost {
namespace {

constexpr double kRoughness = 0.5;
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

void WriteNode(JsonWriter& out, const GltfNode& node) {
  out.BeginObject();
  out.PlainKey("name");
  out.String(node.name);
  if (node.mesh >= 0) {
    out.PlainKey("mesh");
    out.Integer(node.mesh);
  }
  const GltfPlacement& p = node.placement;
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

void WriteMesh(JsonWriter& out, const GltfMesh& mesh) {
  out.BeginObject();
  out.PlainKey("name");
  out.String(mesh.name);
  out.PlainKey("primitives");
  out.BeginArray();
  out.BeginObject();
  out.PlainKey("attributes");
  out.BeginObject();
  out.PlainKey("POSITION");
  out.Integer(mesh.geometry.position);
  out.PlainKey("NORMAL");
  out.Integer(mesh.geometry.normal);
  out.PlainKey("TEXCOORD_0");
  out.Integer(mesh.geometry.uv);
  out.EndObject();
  out.PlainKey("indices");
  out.Integer(mesh.geometry.indices);
  if (mesh.material >= 0) {
    out.PlainKey("material");
    out.Integer(mesh.material);
  }
  out.EndObject();
  out.EndArray();
  out.EndObject();
}

void WriteMaterial(JsonWriter& out, const GltfMaterial& material) {
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

void WriteAccessor(JsonWriter& out, const GltfAccessor& accessor) {
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

void WriteView(JsonWriter& out, const GltfBufferView& view) {
  out.BeginObject();
  out.PlainKey("buffer");
  out.Integer(0);
  out.PlainKey("byteOffset");
  out.Integer(static_cast<int64_t>(view.offset));
  out.PlainKey("byteLength");
  out.Integer(static_cast<int64_t>(view.length));
  out.PlainKey("target");
  out.Integer(view.target);
  out.EndObject();
}

std::string Json(const GltfDocument& document) {
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
  if (document.root >= 0) {  // a scene's list of nodes may not be empty: an empty scene has none
    out.PlainKey("nodes");
    out.BeginArray();
    out.Integer(document.root);
    out.EndArray();
  }
  out.EndObject();
  out.EndArray();
  List(out, "nodes", document.nodes, WriteNode);
  List(out, "meshes", document.meshes, WriteMesh);
  List(out, "materials", document.materials, WriteMaterial);
  if (!document.accessors.empty()) {
    List(out, "accessors", document.accessors, WriteAccessor);
    List(out, "bufferViews", document.views, WriteView);
    out.PlainKey("buffers");
    out.BeginArray();
    out.BeginObject();
    out.PlainKey("byteLength");
    out.Integer(static_cast<int64_t>(document.bufferSize));
    out.EndObject();
    out.EndArray();
  }
  out.EndObject();
  return out.Take();
}

}  // namespace

std::pair<std::string, std::string> GlbAround(const GltfDocument& document) {
  const std::string json = Json(document);
  const size_t jsonLength = (json.size() + 3) / 4 * 4;
  const size_t binLength = (document.bufferSize + 3) / 4 * 4;
  const size_t total = 12 + 8 + jsonLength + (document.bufferSize == 0 ? 0 : 8 + binLength);

  std::string head;
  head.reserve(12 + 8 + jsonLength + 8);
  const auto word = [&head](size_t value) {
    const auto v = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    head.append(bytes, 4);
  };
  word(kGlbMagic);
  word(kGlbVersion);
  word(total);
  word(jsonLength);
  word(kJsonChunk);
  head.append(json);
  head.append(jsonLength - json.size(), ' ');  // the JSON chunk is padded with blanks
  if (document.bufferSize == 0) return {head, {}};
  word(binLength);
  word(kBinChunk);
  return {head, std::string(binLength - document.bufferSize, '\0')};
}

}  // namespace vthost
