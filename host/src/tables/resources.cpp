// The Rs table: a module's resource set (strings and static descriptions) read from its res folder.
#include <filesystem>
#include <string>
#include <utility>

#include "resources/resourceset.h"
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

VtResource* Load(const VtFilename* folder) {
  if (!CurrentHost().Faults().Allow(AllocKind::Resource)) return nullptr;
  ResourceSet set;
  std::string ignored;  // the module says why in its own words
  if (!ReadResourceSet(std::filesystem::u8path(PathOf(folder)), &set, &ignored)) return nullptr;
  return new VtResource{std::move(set)};
}

void Free(VtResource* resource) { delete resource; }

VtString* GetString(const VtResource* resource, int32_t id) {
  if (resource == nullptr) return NewString({});
  const auto found = resource->set.strings.find(id);
  return NewString(found == resource->set.strings.end() ? std::string() : found->second);
}

}  // namespace

const VtRsTable kRsTable = {Load, Free, GetString};

}  // namespace vthost
