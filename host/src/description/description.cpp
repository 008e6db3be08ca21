// Descriptions as the attribute editor asks objects for them, built anew each time.
#include "description/entries.h"

#include "scene/model.h"

namespace vthost {

ShownEntry ShownStaticEntry(const DescriptionEntry& entry) {
  ShownEntry shown;
  shown.id = entry.id;
  shown.dataType = NameOf(entry.kind).dataType;
  shown.parent = entry.parent;
  shown.label = entry.label;
  auto attributes = std::make_shared<VtContainer>();
  attributes->values[VT_ATTRIBUTE_NAME] = entry.name;
  attributes->values[VT_ATTRIBUTE_SHORT_NAME] = entry.label;
  if (!std::holds_alternative<std::monostate>(entry.defaultValue)) {
    attributes->values[VT_ATTRIBUTE_DEFAULT] = entry.defaultValue;
  }
  if (entry.minimum) attributes->values[VT_ATTRIBUTE_MINIMUM] = *entry.minimum;
  if (entry.maximum) attributes->values[VT_ATTRIBUTE_MAXIMUM] = *entry.maximum;
  if (entry.step) attributes->values[VT_ATTRIBUTE_STEP] = *entry.step;
  if (entry.hidden) attributes->values[VT_ATTRIBUTE_HIDDEN] = true;
  if (!entry.choices.empty()) {
    auto choices = std::make_shared<VtContainer>();
    for (const auto& [value, label] : entry.choices) choices->values[value] = label;
    attributes->values[VT_ATTRIBUTE_CHOICES] = ContainerPtr(choices);
  }
  shown.attributes = attributes;
  return shown;
}

bool AddStaticEntries(const TypeRegistry& types, int32_t typeId, VtDescription* description) {
  const StaticDescription* registered = types.Description(typeId);
  if (registered == nullptr) return false;
  for (const DescriptionEntry& entry : registered->entries) {
    description->entries.push_back(ShownStaticEntry(entry));
    description->ids.insert(entry.id);
  }
  return true;
}

const ShownEntry* Description::Find(int32_t id) const {
  for (const ShownEntry& entry : entries) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

Description Describe(Host& host, VtNode* node, const int32_t* requestedId) {
  Description result;
  if (node == nullptr) return result;
  // an object that asks for its own description while building it gets the static part
  if (HasModuleData(node) && node->module.operations->Describe != nullptr && node->module.describing == 0) {
    VtDescription description;
    description.hasRequest = requestedId != nullptr;
    description.requested = requestedId ? *requestedId : 0;
    ++node->module.describing;
    EnterModuleOf(node);
    result.answer = node->module.operations->Describe(node->module.data, node, &description, &result.flags) != 0;
    --node->module.describing;
    result.complete = (result.flags & VT_DESCRIPTION_LOADED) != 0;
    if (result.complete) result.entries = std::move(description.entries);
  }
  if (!result.complete) {
    VtDescription description;
    AddStaticEntries(host.Types(), node->type, &description);
    result.entries = std::move(description.entries);
  }
  return result;
}

bool IsEnabled(VtNode* node, int32_t id) {
  if (!HasModuleData(node) || node->module.operations->IsEnabled == nullptr) return true;
  EnterModuleOf(node);
  return node->module.operations->IsEnabled(node->module.data, node, id) != 0;
}

}  // namespace vthost
