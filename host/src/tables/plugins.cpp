// The Pl table: what a module registers.
#include "resources/resourceset.h"
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

VtBool RegisterDescription(int32_t id, const VtString* name, const VtResource* resource) {
  if (resource == nullptr) return 0;
  const auto found = resource->set.descriptions.find(TextOf(name));
  if (found == resource->set.descriptions.end()) return 0;
  CurrentHost().Types().AddDescription(id, found->second);
  return 1;
}

VtBool RegisterObject(int32_t id, const VtString* name, int32_t info, const VtObjectClass* operations,
                      const VtString* description, const VtBitmap* icon, int32_t /*reserved*/) {
  Host& host = CurrentHost();
  TypeRegistry& types = host.Types();
  if (host.Options().refuseRegistration || types.Find(id) != nullptr) return 0;
  if (operations == nullptr || operations->Allocate == nullptr || operations->Destroy == nullptr) return 0;
  ObjectType type;
  type.id = id;
  type.name = TextOf(name);
  type.info = info;
  type.operations = operations;
  type.description = TextOf(description);
  type.hasIcon = icon != nullptr;
  type.iconWidth = kBmTable.Width(icon);
  type.iconHeight = kBmTable.Height(icon);
  type.moduleFolder = types.ModuleFolder();
  types.Add(std::move(type));
  return 1;
}

}  // namespace

const VtPlTable kPlTable = {RegisterDescription, RegisterObject};

}  // namespace vthost
