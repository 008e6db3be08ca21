// Resource sets as the host reads them from a module's res folder: a string table and the static
// parameter descriptions of the module's object types.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <iterator>
#include <utility>
#include <vector>

#include "vantor_host.h"
#include "vthost/value.h"

namespace vthost {

// The kinds of entries a description holds.
enum class EntryKind { Group, Button, Bool, Int, Float, Vector, Colour, String, Filename, Link };

// Each kind with the name a description resource gives it and the data type the host shows it as,
// in the order of the kinds.
struct EntryKindName {
  EntryKind kind;
  std::string_view name;
  int32_t dataType;  // VT_DATATYPE_*
};
constexpr EntryKindName kEntryKinds[] = {
    {EntryKind::Group, "group", VT_DATATYPE_GROUP},       {EntryKind::Button, "button", VT_DATATYPE_BUTTON},
    {EntryKind::Bool, "bool", VT_DATATYPE_BOOL},          {EntryKind::Int, "int", VT_DATATYPE_INT32},
    {EntryKind::Float, "float", VT_DATATYPE_FLOAT},       {EntryKind::Vector, "vector", VT_DATATYPE_VECTOR},
    {EntryKind::Colour, "colour", VT_DATATYPE_COLOUR},    {EntryKind::String, "string", VT_DATATYPE_STRING},
    {EntryKind::Filename, "filename", VT_DATATYPE_FILENAME}, {EntryKind::Link, "link", VT_DATATYPE_LINK}};

// The kind of a name and of a data type; null for none.
const EntryKindName* FindEntryKind(std::string_view name);
const EntryKindName* FindEntryKind(int32_t dataType);
const EntryKindName& NameOf(EntryKind kind);
constexpr bool EveryKindInOrder() {
  for (size_t i = 0; i < std::size(kEntryKinds); ++i) {
    if (static_cast<size_t>(kEntryKinds[i].kind) != i) return false;
  }
  return std::size(kEntryKinds) == static_cast<size_t>(EntryKind::Link) + 1;
}
static_assert(EveryKindInOrder(), "kEntryKinds holds every kind, in the order of EntryKind");

// One parameter or group of a static description.
struct DescriptionEntry {
  int32_t id = 0;
  std::string name;   // the symbol, e.g. MOLOBJ_FILE
  EntryKind kind = EntryKind::Group;
  int32_t parent = 0;  // the group it sits in; 0 for the top level
  std::string label;
  Value defaultValue;  // monostate when the entry gives none
  std::vector<std::pair<int32_t, std::string>> choices;  // integer choices, in display order
  std::optional<double> minimum, maximum, step;
  std::string unit;
  bool hidden = false;
  std::string help;  // what the parameter does, in a sentence
};

struct StaticDescription {
  std::string name;
  std::vector<DescriptionEntry> entries;  // in display order
  const DescriptionEntry* Find(int32_t id) const;
  const DescriptionEntry* Find(const std::string& name) const;
};

struct ResourceSet {
  std::map<int32_t, std::string> strings;
  std::map<std::string, std::shared_ptr<const StaticDescription>> descriptions;
};
// Reads strings.json and description/*.json from folder into *set; false with the reason in *error
// (*set untouched) when anything is missing or malformed.
bool ReadResourceSet(const std::filesystem::path& folder, ResourceSet* set, std::string* error);

}  // namespace vthost

// A module's resources, as the Rs table hands them out.
struct VtResource {
  vthost::ResourceSet set;
};
