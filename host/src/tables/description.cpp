// The Ds table, and descriptions as the attribute editor asks objects for them: the static part
// from the object type's resource, plus what the object adds.
#include <algorithm>
#include <map>
#include <set>

#include "scene/model.h"
#include "scene/resources.h"
#include "tables/tables.h"

struct VtDescription {
  std::vector<vthost::ShownEntry> entries;
  std::set<int32_t> ids;
  bool hasRequest = false;
  int32_t requested = 0;
};

namespace vthost {
namespace {

// Attribute keys the host fills for static entries.
constexpr int32_t kAttributeName = 1;
constexpr int32_t kAttributeShortName = 2;
constexpr int32_t kAttributeMinimum = 5;
constexpr int32_t kAttributeMaximum = 6;
constexpr int32_t kAttributeStep = 9;
constexpr int32_t kAttributeChoices = 14;
constexpr int32_t kAttributeHidden = 15;
constexpr int32_t kAttributeDefault = 16;

int32_t DataTypeOf(const std::string& type) {
  static const std::map<std::string, int32_t> kTypes = {
      {"group", VT_DATATYPE_GROUP},   {"button", VT_DATATYPE_BUTTON}, {"bool", VT_DATATYPE_BOOL},
      {"int", VT_DATATYPE_INT32},     {"float", VT_DATATYPE_FLOAT},   {"vector", VT_DATATYPE_VECTOR},
      {"colour", VT_DATATYPE_COLOUR}, {"string", VT_DATATYPE_STRING}, {"filename", VT_DATATYPE_FILENAME},
      {"link", VT_DATATYPE_LINK}};
  const auto found = kTypes.find(type);
  return found == kTypes.end() ? 0 : found->second;
}

ShownEntry FromStatic(const DescriptionEntry& entry) {
  ShownEntry shown;
  shown.id = entry.id;
  shown.dataType = DataTypeOf(entry.type);
  shown.parent = entry.parent;
  shown.label = entry.label;
  auto attributes = std::make_shared<VtContainer>();
  attributes->values[kAttributeName] = entry.name;
  attributes->values[kAttributeShortName] = entry.label;
  if (!std::holds_alternative<std::monostate>(entry.defaultValue)) attributes->values[kAttributeDefault] = entry.defaultValue;
  if (entry.minimum) attributes->values[kAttributeMinimum] = *entry.minimum;
  if (entry.maximum) attributes->values[kAttributeMaximum] = *entry.maximum;
  if (entry.step) attributes->values[kAttributeStep] = *entry.step;
  if (entry.hidden) attributes->values[kAttributeHidden] = true;
  if (!entry.choices.empty()) {
    auto choices = std::make_shared<VtContainer>();
    for (const auto& [value, label] : entry.choices) choices->values[value] = label;
    attributes->values[kAttributeChoices] = ContainerPtr(choices);
  }
  shown.attributes = attributes;
  return shown;
}

VtBool LoadStatic(VtDescription* description, int32_t typeId) {
  if (description == nullptr) return 0;
  auto& registered = CurrentHost().Descriptions();
  const auto found = registered.find(typeId);
  if (found == registered.end() || !found->second) return 0;
  const StaticDescription& part = *found->second;
  if (part.shown.size() != part.entries.size()) {
    part.shown.clear();
    for (const DescriptionEntry& entry : part.entries) part.shown.push_back(FromStatic(entry));
  }
  for (const ShownEntry& entry : part.shown) {
    description->entries.push_back(entry);
    description->ids.insert(entry.id);
  }
  return 1;
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
  const auto label = copy->values.find(kAttributeShortName);
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
  attributes->values[kAttributeName] = std::string();
  switch (dataType) {
    case VT_DATATYPE_INT32:
      attributes->values[kAttributeDefault] = int32_t{0};
      break;
    case VT_DATATYPE_FLOAT:
      attributes->values[kAttributeDefault] = 0.0;
      break;
    case VT_DATATYPE_BOOL:
      attributes->values[kAttributeDefault] = false;
      break;
    case VT_DATATYPE_STRING:
      attributes->values[kAttributeDefault] = std::string();
      break;
    default:
      break;
  }
  return attributes;
}

// The static part alone: what the editor shows when an object builds no description of its own.
std::vector<ShownEntry> StaticEntries(int32_t typeId) {
  VtDescription description;
  LoadStatic(&description, typeId);
  return description.entries;
}

}  // namespace

const VtDsTable kDsTable = {LoadStatic, RequestedId, Add, NewAttributes};

const ShownEntry* Description::Find(int32_t id) const {
  for (const ShownEntry& entry : entries) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

Description Host::Describe(VtNode* node, const int32_t* requestedId) {
  Description result;
  if (node == nullptr) return result;
  if (node->data != nullptr && node->operations->Describe != nullptr && node->describing == 0) {
    VtDescription description;
    description.hasRequest = requestedId != nullptr;
    description.requested = requestedId ? *requestedId : 0;
    ++node->describing;
    EnterModuleOf(node);
    result.answer = node->operations->Describe(node->data, node, &description, &result.flags) != 0;
    --node->describing;
    result.complete = (result.flags & VT_DESCRIPTION_LOADED) != 0;
    if (result.complete) result.entries = std::move(description.entries);
  }
  if (!result.complete) result.entries = StaticEntries(node->type);
  return result;
}

namespace {

// Whether every value a build read is still what that build left behind.
bool Unchanged(const VtContainer& parameters, const ShownDescriptionCache& cache) {
  for (const auto& [id, value] : cache.reads) {
    const auto found = parameters.values.find(id);
    if (found == parameters.values.end() ? value.has_value() : !value || !(found->second == *value)) return false;
  }
  return true;
}

}  // namespace

// A build is a function of the values it reads; one that wrote nothing, left them as it found
// them, so building again on the same values gives the same entries and writes nothing either.
const Description& Host::ShownDescription(VtNode* node) {
  static const Description kNothing;
  if (node == nullptr) return kNothing;
  const auto registered = descriptions_.find(node->type);
  const StaticDescription* staticPart = registered == descriptions_.end() ? nullptr : registered->second.get();
  const ShownDescriptionCache* cache = node->shownDescription.get();
  if (cache != nullptr && cache->reusable && cache->staticPart == staticPart && node->describing == 0 &&
      Unchanged(node->parameters, *cache)) {
    return cache->description;
  }
  auto fresh = std::make_unique<ShownDescriptionCache>();
  ContainerWatch watch;
  watch.container = node->hasParameters ? &node->parameters : nullptr;
  const uint64_t failures = faults_.Failures();
  ContainerWatch* outer = WatchContainer(&watch);
  fresh->description = Describe(node);
  WatchContainer(outer);
  fresh->staticPart = staticPart;
  fresh->reusable = watch.container != nullptr && !watch.written && faults_.Failures() == failures &&
                    fresh->description.complete;
  std::sort(watch.reads.begin(), watch.reads.end());
  watch.reads.erase(std::unique(watch.reads.begin(), watch.reads.end()), watch.reads.end());
  for (const int32_t id : watch.reads) {
    const auto found = node->parameters.values.find(id);
    fresh->reads.emplace_back(id, found == node->parameters.values.end() ? std::nullopt : std::optional(found->second));
  }
  node->shownDescription = std::move(fresh);
  return node->shownDescription->description;
}

bool Host::IsEnabled(VtNode* node, int32_t id) {
  if (node == nullptr || node->data == nullptr || node->operations->IsEnabled == nullptr) return true;
  EnterModuleOf(node);
  return node->operations->IsEnabled(node->data, node, id) != 0;
}

}  // namespace vthost
