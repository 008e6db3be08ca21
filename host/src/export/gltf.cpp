// A generated hierarchy as a glTF 2.0 binary (.glb) file or stream, in three steps (gltfdocument.h):
// the document is built, its numbers checked, and then it is written.
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/gltfdocument.h"
#include "vthost/export.h"
#include "vthost/molecule.h"

namespace vthost {

bool GltfPieces(const Host& host, const ExportedModel& model, ModelBytes* glb, std::string* error) {
  if (model.root == nullptr) return *error = "no hierarchy to write", false;
  struct Held {
    GltfDocument document;
    std::pair<std::string, std::string> around;
  };
  auto held = std::make_shared<Held>();
  held->document = BuildGltf(host, model);
  // no file rather than one that readers refuse (glTF numbers are 32-bit floats)
  if (const std::optional<std::string> refused = RefusalOf(held->document, "glTF")) return *error = *refused, false;
  held->around = GlbAround(held->document);
  glb->pieces = {held->around.first};
  for (const std::vector<unsigned char>& block : held->document.blocks) {
    glb->pieces.emplace_back(reinterpret_cast<const char*>(block.data()), block.size());
  }
  glb->pieces.push_back(held->around.second);
  glb->drawsNothing = held->document.root < 0;
  glb->holder = std::move(held);
  return true;
}

bool GltfBytes(const Host& host, const ExportedModel& model, std::string* glb, std::string* error) {
  ModelBytes pieces;
  if (!GltfPieces(host, model, &pieces, error)) return false;
  *glb = pieces.Joined();
  return true;
}

std::string ModelBytes::Joined() const {
  size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  std::string joined;
  joined.reserve(size);
  for (const std::string_view piece : pieces) joined.append(piece);
  return joined;
}

ExportedModel ModelOf(const VtNode* object) {
  return {Hierarchy(object), HierarchyParameters(object), NodeName(object)};
}

std::optional<std::string> RefusalOf(const GltfDocument& document, const std::string& format) {
  const std::optional<Unwritable> found = FirstUnwritable(document);
  if (!found) return std::nullopt;
  if (found->colourSource.empty()) {
    return "'" + found->object + "' lies beyond what " + format + "'s 32-bit floats hold (" +
           std::string(molecule::kScaleQuestion) + " or MOLOBJ_BOND_RADIUS too large?): nothing written";
  }
  return "'" + found->object + "' has a colour that is not a finite number, from " + found->colourSource +
         ": nothing written";
}

std::vector<float> FloatsOf(const GltfDocument& document, int accessor) {
  const GltfBufferView& view = document.views[document.accessors[accessor].view];
  std::vector<float> values(view.length / sizeof(float));
  if (!values.empty()) std::memcpy(values.data(), document.Bytes(view), values.size() * sizeof(float));
  return values;
}

std::vector<uint32_t> IndicesOf(const GltfDocument& document, int accessor) {
  const GltfAccessor& indices = document.accessors[accessor];
  const unsigned char* bytes = document.Bytes(document.views[indices.view]);
  std::vector<uint32_t> values(indices.count);
  for (size_t i = 0; i < values.size(); ++i) {
    if (indices.componentType == 5125) {  // 32-bit
      std::memcpy(&values[i], bytes + 4 * i, sizeof(uint32_t));
    } else {
      uint16_t narrow = 0;
      std::memcpy(&narrow, bytes + 2 * i, sizeof narrow);
      values[i] = narrow;
    }
  }
  return values;
}

int64_t TrianglesOf(const GltfDocument& document) {
  int64_t triangles = 0;
  for (const GltfNode& node : document.nodes) {
    if (node.mesh >= 0) {
      triangles += static_cast<int64_t>(document.accessors[document.meshes[node.mesh].geometry.indices].count / 3);
    }
  }
  return triangles;
}

int64_t CountTriangles(const Host& host, const ExportedModel& model) {
  return model.root == nullptr ? 0 : TrianglesOf(BuildGltf(host, model));
}

bool WriteGltf(const Host& host, const ExportedModel& model, const std::filesystem::path& file, std::string* error) {
  ModelBytes glb;
  if (!GltfPieces(host, model, &glb, error)) {  // an existing file stays as it is
    *error = file.u8string() + ": " + *error;
    return false;
  }
  return host.Files().WriteOutput(file, glb.pieces, error);
}

}  // namespace vthost
