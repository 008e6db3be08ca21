// A generated hierarchy as a glTF 2.0 binary (.glb) file or stream: the plain model built
// (plainmodel.h), then written as glTF (gltf.h).
#include <string>
#include <string_view>

#include "export/gltf.h"
#include "export/plainmodel.h"
#include "vthost/models.h"

namespace vthost {
namespace {

bool GltfPieces(const Host& host, const ExportedModel& model, ModelBytes* glb, std::string* error) {
  if (model.root == nullptr) {
    *error = "no hierarchy to write";
    return false;
  }
  return GlbFromModel(BuildPlainModel(host, model, /*shapes=*/nullptr), glb, error);
}

}  // namespace

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

int64_t CountTriangles(const Host& host, const ExportedModel& model) {
  return model.root == nullptr ? 0 : TrianglesOf(BuildPlainModel(host, model, /*shapes=*/nullptr));
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
