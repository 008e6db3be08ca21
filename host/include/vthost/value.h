// The values a parameter container holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "vantor_host.h"

inline bool operator==(const VtVector& a, const VtVector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(const VtVector& a, const VtVector& b) { return !(a == b); }

namespace vthost {

struct LinkValue {
  uint64_t node = 0;  // serial of the target node; 0 is no link
  bool operator==(const LinkValue& other) const { return node == other.node; }
};

using ContainerPtr = std::shared_ptr<VtContainer>;
using Value = std::variant<std::monostate, int32_t, double, bool, VtVector, std::string /* string */,
                           std::filesystem::path /* file name */, LinkValue, ContainerPtr>;

// The value stored under id, or null.
const Value* Lookup(const VtContainer* container, int32_t id);
// The ids a container holds, in increasing order.
std::vector<int32_t> Ids(const VtContainer* container);

}  // namespace vthost
