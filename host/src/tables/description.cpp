// The Ds table: the description an object builds while the host asks for it.
#include "description/entries.h"
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

VtBool LoadStatic(VtDescription* description, int32_t typeId) {
  return description != nullptr && AddStaticEntries(CurrentHost().Types(), typeId, description) ? 1 : 0;
}

VtBool RequestedId(const VtDescription* description, int32_t* id) {
  if (description == nullptr || !description->hasRequest) return 0;
  if (id) *id = description->requested;
  return 1;
}

VtBool Add(VtDescription* description, const VtDescriptionId* id, int32_t parent, const VtContainer* attributes) {
  if (description == nullptr || id == nullptr || description->ids.count(id->id) > 0) return 0;
  if (!CurrentHost().Faults().Allow(AllocKind::Description)) return 0;
  VtContainer* copy = attributes ? CopyContainer(*attributes) : NewContainer();
  if (copy == nullptr) return 0;
  ShownEntry entry;
  entry.id = id->id;
  entry.dataType = id->dataType;
  entry.parent = parent;
  entry.attributes = ContainerPtr(copy);
  const auto label = copy->values.find(VT_ATTRIBUTE_SHORT_NAME);
  if (label != copy->values.end() && std::holds_alternative<std::string>(label->second)) {
    entry.label = std::get<std::string>(label->second);
  }
  description->ids.insert(entry.id);
  description->entries.push_back(std::move(entry));
  return 1;
}

VtContainer* NewAttributes(int32_t dataType) {
  VtContainer* attributes = NewContainer();
  if (attributes == nullptr) return nullptr;
  attributes->values[VT_ATTRIBUTE_NAME] = std::string();
  switch (dataType) {
    case VT_DATATYPE_INT32:
      attributes->values[VT_ATTRIBUTE_DEFAULT] = int32_t{0};
      break;
    case VT_DATATYPE_FLOAT:
      attributes->values[VT_ATTRIBUTE_DEFAULT] = 0.0;
      break;
    case VT_DATATYPE_BOOL:
      attributes->values[VT_ATTRIBUTE_DEFAULT] = false;
      break;
    case VT_DATATYPE_STRING:
      attributes->values[VT_ATTRIBUTE_DEFAULT] = std::string();
      break;
    default:
      break;
  }
  return attributes;
}

}  // namespace

const VtDsTable kDsTable = {LoadStatic, RequestedId, Add, NewAttributes};

}  // namespace vthost
