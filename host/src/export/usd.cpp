// A generated hierarchy as a USD stage, for one format's bytes: the plain model (plainmodel.h)
// written as USDA text or as a .usdz package of its layers (usd.h).
#include <string>

#include "export/plainmodel.h"
#include "export/usd.h"
#include "vthost/models.h"

namespace vthost {

bool UsdBytes(const Host& host, const ExportedModel& model, bool package, std::string* bytes, std::string* error) {
  if (model.root == nullptr) {
    *error = "no hierarchy to write";
    return false;
  }
  return UsdFromModel(BuildPlainModel(host, model, /*shapes=*/nullptr), package, bytes, error);
}

}  // namespace vthost
