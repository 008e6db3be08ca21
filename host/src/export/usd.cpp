// A generated hierarchy as a USD stage: the plain model (plainmodel.h) that the glTF is written
// from too, written as USDA text or as a .usdz package of its layers (usd.h).
#include <cctype>
#include <string>

#include "export/plainmodel.h"
#include "export/usd.h"
#include "vthost/export.h"

namespace vthost {

bool UsdBytes(const Host& host, const ExportedModel& model, bool package, std::string* bytes, std::string* error) {
  if (model.root == nullptr) {
    *error = "no hierarchy to write";
    return false;
  }
  return UsdFromModel(BuildPlainModel(host, model, /*shapes=*/nullptr), package, bytes, error);
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
