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
#include "vthost/value.h"

// Immutable text shared by reference count.
struct VtString {
  int32_t references = 1;
  std::string text;
};

struct VtFilename {
  int32_t references = 1;
  std::string path;
};

struct VtContainer {
  std::map<int32_t, vthost::Value> values;
};

struct VtTrack {
  VtNode* node = nullptr;
  int32_t id = 0;  // the animated parameter
};

// A node of the host's scene: a name, parameters, the record of what was done to it, and for
// objects of a registered type the module's data behind it.
struct VtNode {
  uint64_t serial = 0;
  std::string name;
  VtContainer parameters;
  std::vector<vthost::NodeEvent> events;
  int32_t type = 0;  // registered object type, vthost::kMaterialType, or 0 for a bare node
  const VtObjectClass* operations = nullptr;
  void* data = nullptr;
  VtDocument* document = nullptr;
  std::vector<std::unique_ptr<VtTrack>> tracks;
  VtVector colour{0.0, 0.0, 0.0};  // materials
  int describing = 0;              // depth of description builds under way
  bool hasParameters = true;       // a node without a parameter container, for tests
  int32_t lastExecuteResult = 0;
};

// The nodes of a document in creation order, objects and materials alike.
struct VtDocument {
  std::vector<VtNode*> nodes;
};

struct VtExecList {
  struct Entry {
    int32_t priority;
    int32_t flags;
    VtNode* node;
  };
  std::vector<Entry> entries;
};

namespace vthost {

// The host type of materials: named nodes with a colour.
constexpr int32_t kMaterialType = 5702;

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
extern const VtHfTable kHfTable;
extern const VtDsTable kDsTable;
extern const VtTkTable kTkTable;
extern const VtExTable kExTable;
extern const VtFLTable kFLTable;

// Points PluginResourceFolder at the module behind the node's type, before the host calls it.
void EnterModuleOf(const VtNode* node);
// Hands a message to the node's object (no record kept); true when it has none.
bool Deliver(VtNode* node, int32_t type, void* data);

// The live host; the tables are only called while one exists.
Host& CurrentHost();

}  // namespace vthost
