// A generated hierarchy as a USD stage: the glTF document of the model (gltfdocument.h), checked as
// the glTF is, then written as USDA text or as a .usdz package of its layers.
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "export/gltfdocument.h"
#include "export/usddocument.h"
#include "vthost/export.h"

namespace vthost {
namespace {

bool StageBytes(const GltfDocument& document, bool package, std::string* bytes, std::string* error) {
  std::vector<PackagedFile> layers = UsdLayers(document, package);
  if (!package) return *bytes = std::move(layers[0].bytes), true;
  if (!UsdzBytes(layers, bytes)) {
    return *error = "the model is larger than a .usdz holds (4 GiB): nothing written", false;
  }
  return true;
}

}  // namespace

bool UsdBytes(const Host& host, const ExportedModel& model, bool package, std::string* bytes, std::string* error) {
  if (model.root == nullptr) return *error = "no hierarchy to write", false;
  const GltfDocument document = BuildGltf(host, model);
  if (const std::optional<std::string> refused = RefusalOf(document, "USD")) return *error = *refused, false;
  if (document.root < 0) {
    // nothing is drawn: a stage of the object alone
    GltfDocument alone;
    alone.nodes.push_back({model.name.empty() ? NodeName(model.root) : model.name, {}, -1, {}, false});
    alone.root = 0;
    return StageBytes(alone, package, bytes, error);
  }
  return StageBytes(document, package, bytes, error);
}

namespace {

// The file name's suffix in small letters: ".usdz".
std::string Suffix(const std::filesystem::path& file) {
  std::string suffix = file.extension().u8string();
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix;
}

}  // namespace

bool IsUsd(const std::filesystem::path& file) {
  const std::string suffix = Suffix(file);
  return suffix == ".usda" || suffix == ".usd" || suffix == ".usdz";
}

bool IsUsdz(const std::filesystem::path& file) { return Suffix(file) == ".usdz"; }

bool WriteUsd(const Host& host, const ExportedModel& model, const std::filesystem::path& file, std::string* error) {
  std::string bytes;
  if (!UsdBytes(host, model, IsUsdz(file), &bytes, error)) {  // an existing file stays as it is
    *error = file.u8string() + ": " + *error;
    return false;
  }
  return host.Files().WriteOutput(file, bytes, error);
}

}  // namespace vthost
