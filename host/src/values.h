// The host's own definitions of the opaque values that cross the interface, and their makers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vantor_host.h"
#include "vthost/host.h"

// Immutable text shared by reference count.
struct VtString {
  int32_t references = 1;
  std::string text;
};

struct VtFilename {
  int32_t references = 1;
  std::string path;
};

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

}  // namespace vthost

struct VtContainer {
  std::map<int32_t, vthost::Value> values;
};

// A node of the host's scene: a name, parameters, and the record of what was done to it.
struct VtNode {
  uint64_t serial = 0;
  std::string name;
  VtContainer parameters;
  std::vector<vthost::NodeEvent> events;
};

namespace vthost {

// Each answers null when the fault injector refuses the allocation.
VtString* NewString(std::string_view text);
VtFilename* NewFilename(std::string path);
VtContainer* NewContainer();
// A deep copy (sub-containers copied too); null when refused.
VtContainer* CopyContainer(const VtContainer& source);

// The text of a string handle; the empty text for null.
const std::string& TextOf(const VtString* text);
const std::string& PathOf(const VtFilename* name);

// Value type code (VT_VALUE_*) of a value.
int32_t TypeCode(const Value& value);

// The host's number conversions: the whole text, blanks around it aside, must be the number.
bool ParseInt32(std::string_view text, int32_t* value);
bool ParseFloat(std::string_view text, double* value);
std::string_view Trim(std::string_view text);

// Filled by each table's source file.
extern const VtGeTable kGeTable;
extern const VtMmTable kMmTable;
extern const VtStTable kStTable;
extern const VtFnTable kFnTable;
extern const VtBcTable kBcTable;
extern const VtRsTable kRsTable;
extern const VtBmTable kBmTable;
extern const VtPlTable kPlTable;
extern const VtDgTable kDgTable;
extern const VtNdTable kNdTable;
extern const VtFLTable kFLTable;

// The live host; the tables are only called while one exists.
Host& CurrentHost();

}  // namespace vthost
