// The Bc table: parameter containers, id to value, with the host's conversions between number types.
#include <cmath>
#include <limits>

#include "values.h"

namespace vthost {
namespace {

ContainerWatch* g_watch = nullptr;

const Value* Find(const VtContainer* container, int32_t id) {
  if (container == nullptr) return nullptr;
  if (g_watch != nullptr && container == g_watch->container) g_watch->reads.push_back(id);
  const auto found = container->values.find(id);
  return found == container->values.end() ? nullptr : &found->second;
}

// Float to Int32 truncates toward zero and saturates; NaN reads as 0.
int32_t Truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// Stores value under id; answers 0 (container unchanged) when the host refuses the memory.
VtBool Store(VtContainer* container, int32_t id, Value value) {
  if (container == nullptr || !CurrentHost().Faults().Allow(AllocKind::Container)) return 0;
  if (g_watch != nullptr && container == g_watch->container && !g_watch->written) {
    const auto held = container->values.find(id);
    g_watch->written = held == container->values.end() || !(held->second == value);
  }
  container->values[id] = std::move(value);
  return 1;
}

VtContainer* New() { return NewContainer(); }

void Free(VtContainer* container) { delete container; }

int32_t Type(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  return value ? TypeCode(*value) : VT_VALUE_NONE;
}

VtBool Remove(VtContainer* container, int32_t id) {
  if (container == nullptr || container->values.erase(id) == 0) return 0;
  if (g_watch != nullptr && container == g_watch->container) g_watch->written = true;
  return 1;
}

int32_t GetInt32(const VtContainer* container, int32_t id, int32_t fallback) {
  const Value* value = Find(container, id);
  if (value == nullptr) return fallback;
  if (const auto* number = std::get_if<int32_t>(value)) return *number;
  if (const auto* number = std::get_if<double>(value)) return Truncate(*number);
  if (const auto* flag = std::get_if<bool>(value)) return *flag ? 1 : 0;
  return fallback;
}

double GetFloat(const VtContainer* container, int32_t id, double fallback) {
  const Value* value = Find(container, id);
  if (value == nullptr) return fallback;
  if (const auto* number = std::get_if<double>(value)) return *number;
  if (const auto* number = std::get_if<int32_t>(value)) return *number;
  return fallback;
}

VtBool GetBool(const VtContainer* container, int32_t id, VtBool fallback) {
  const Value* value = Find(container, id);
  if (value == nullptr) return fallback;
  if (const auto* flag = std::get_if<bool>(value)) return *flag ? 1 : 0;
  if (const auto* number = std::get_if<int32_t>(value)) return *number != 0 ? 1 : 0;
  return fallback;
}

void GetVector(const VtContainer* container, int32_t id, VtVector* out) {
  if (out == nullptr) return;
  const Value* value = Find(container, id);
  const auto* vector = value ? std::get_if<VtVector>(value) : nullptr;
  *out = vector ? *vector : VtVector{0.0, 0.0, 0.0};
}

VtString* GetString(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  const auto* text = value ? std::get_if<std::string>(value) : nullptr;
  return NewString(text ? *text : std::string());
}

VtFilename* GetFilename(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  const auto* path = value ? std::get_if<std::filesystem::path>(value) : nullptr;
  return NewFilename(path ? path->u8string() : std::string());
}

// A link names its target by serial, so it resolves to none once the target is deleted.
VtNode* GetLink(const VtContainer* container, int32_t id, VtDocument* /*document*/) {
  const Value* value = Find(container, id);
  const auto* link = value ? std::get_if<LinkValue>(value) : nullptr;
  return link && link->node != 0 ? CurrentHost().FindNode(link->node) : nullptr;
}

VtContainer* GetContainer(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  const auto* sub = value ? std::get_if<ContainerPtr>(value) : nullptr;
  return sub && *sub ? CopyContainer(**sub) : nullptr;
}

VtBool SetInt32(VtContainer* container, int32_t id, int32_t value) { return Store(container, id, value); }
VtBool SetFloat(VtContainer* container, int32_t id, double value) { return Store(container, id, value); }
VtBool SetBool(VtContainer* container, int32_t id, VtBool value) { return Store(container, id, value != 0); }

VtBool SetVector(VtContainer* container, int32_t id, const VtVector* value) {
  return value ? Store(container, id, *value) : 0;
}

VtBool SetString(VtContainer* container, int32_t id, const VtString* value) {
  return Store(container, id, TextOf(value));
}

VtBool SetFilename(VtContainer* container, int32_t id, const VtFilename* value) {
  return Store(container, id, std::filesystem::u8path(PathOf(value)));
}

VtBool SetLink(VtContainer* container, int32_t id, VtNode* target) {
  return Store(container, id, LinkValue{target ? target->serial : 0});
}

VtBool SetContainer(VtContainer* container, int32_t id, const VtContainer* value) {
  if (value == nullptr) return 0;
  VtContainer* copy = CopyContainer(*value);
  if (copy == nullptr) return 0;
  return Store(container, id, ContainerPtr(copy));
}

}  // namespace

const VtBcTable kBcTable = {New,      Free,         Type,      Remove,       GetInt32,  GetFloat,  GetBool,
                            GetVector, GetString,   GetFilename, GetLink,    GetContainer, SetInt32, SetFloat,
                            SetBool,  SetVector,    SetString, SetFilename, SetLink,   SetContainer};

VtContainer* NewContainer() {
  if (!CurrentHost().Faults().Allow(AllocKind::Container)) return nullptr;
  return new VtContainer();
}

VtContainer* CopyContainer(const VtContainer& source) {
  VtContainer* copy = NewContainer();
  if (copy == nullptr) return nullptr;
  for (const auto& [id, value] : source.values) {
    if (const auto* sub = std::get_if<ContainerPtr>(&value); sub && *sub) {
      VtContainer* inner = CopyContainer(**sub);
      if (inner == nullptr) {
        delete copy;
        return nullptr;
      }
      copy->values[id] = ContainerPtr(inner);
    } else {
      copy->values[id] = value;
    }
  }
  return copy;
}

const Value* Lookup(const VtContainer* container, int32_t id) { return Find(container, id); }

ContainerWatch* WatchContainer(ContainerWatch* watch) {
  ContainerWatch* previous = g_watch;
  g_watch = watch;
  return previous;
}

std::vector<int32_t> Ids(const VtContainer* container) {
  std::vector<int32_t> ids;
  if (container) {
    for (const auto& [id, value] : container->values) ids.push_back(id);
  }
  return ids;
}

int32_t TypeCode(const Value& value) {
  static constexpr int32_t kCodes[] = {VT_VALUE_NONE,   VT_VALUE_INT32,    VT_VALUE_FLOAT, VT_VALUE_BOOL,
                                       VT_VALUE_VECTOR, VT_VALUE_STRING,   VT_VALUE_FILENAME, VT_VALUE_LINK,
                                       VT_VALUE_CONTAINER};
  return kCodes[value.index()];
}

}  // namespace vthost
