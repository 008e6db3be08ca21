// The object types and static descriptions modules registered.
#include <algorithm>

#include "resources/resourceset.h"
#include "vthost/host.h"

namespace vthost {

const ObjectType* TypeRegistry::Find(int32_t id) const {
  for (const ObjectType& type : types_) {
    if (type.id == id) return &type;
  }
  return nullptr;
}

void TypeRegistry::Forget(const std::filesystem::path& moduleFolder) {
  for (const ObjectType& type : types_) {
    if (type.moduleFolder == moduleFolder) descriptions_.erase(type.id);
  }
  types_.erase(std::remove_if(types_.begin(), types_.end(),
                              [&](const ObjectType& type) { return type.moduleFolder == moduleFolder; }),
               types_.end());
}

const StaticDescription* TypeRegistry::Description(int32_t typeId) const {
  const auto found = descriptions_.find(typeId);
  return found == descriptions_.end() ? nullptr : found->second.get();
}

void TypeRegistry::AddDescription(int32_t typeId, std::shared_ptr<const StaticDescription> description) {
  descriptions_[typeId] = std::move(description);
}

}  // namespace vthost
