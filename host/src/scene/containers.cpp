// Parameter containers, id to value: lookups, stores, copies and the host's conversions between
// number types.
#include <cmath>
#include <limits>

#include "scene/model.h"

namespace vthost {
namespace {

// Float to Int32 truncates toward zero and saturates; NaN reads as 0.
int32_t Truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

template <typename V>
bool Put(VtContainer* container, int32_t id, V&& value) {
  if (container == nullptr || !CurrentHost().Faults().Allow(AllocKind::Container)) return false;
  container->values.insert_or_assign(id, std::forward<V>(value));
  return true;
}

}  // namespace

const Value* Lookup(const VtContainer* container, int32_t id) {
  if (container == nullptr) return nullptr;
  const auto found = container->values.find(id);
  return found == container->values.end() ? nullptr : &found->second;
}

bool StoreValue(VtContainer* container, int32_t id, Value value) { return Put(container, id, std::move(value)); }
bool StoreValue(VtContainer* container, int32_t id, int32_t value) { return Put(container, id, value); }
bool StoreValue(VtContainer* container, int32_t id, double value) { return Put(container, id, value); }
bool StoreValue(VtContainer* container, int32_t id, bool value) { return Put(container, id, value); }

bool RemoveValue(VtContainer* container, int32_t id) {
  return container != nullptr && container->values.erase(id) > 0;
}

int32_t Int32Of(const VtContainer* container, int32_t id, int32_t fallback) {
  const Value* value = Lookup(container, id);
  if (value == nullptr) return fallback;
  if (const auto* number = std::get_if<int32_t>(value)) return *number;
  if (const auto* number = std::get_if<double>(value)) return Truncate(*number);
  if (const auto* flag = std::get_if<bool>(value)) return *flag ? 1 : 0;
  return fallback;
}

double FloatOf(const VtContainer* container, int32_t id, double fallback) {
  const Value* value = Lookup(container, id);
  if (value == nullptr) return fallback;
  if (const auto* number = std::get_if<double>(value)) return *number;
  if (const auto* number = std::get_if<int32_t>(value)) return *number;
  return fallback;
}

bool BoolOf(const VtContainer* container, int32_t id, bool fallback) {
  const Value* value = Lookup(container, id);
  if (value == nullptr) return fallback;
  if (const auto* flag = std::get_if<bool>(value)) return *flag;
  if (const auto* number = std::get_if<int32_t>(value)) return *number != 0;
  return fallback;
}

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
