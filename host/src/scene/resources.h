// Resource sets as the host reads them from a module's res folder: a string table and the static
// parameter descriptions of the module's object types.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scene/model.h"
#include "vthost/host.h"

namespace vthost {

// One parameter or group of a static description.
struct DescriptionEntry {
  int32_t id = 0;
  std::string name;   // the symbol, e.g. MOLOBJ_FILE
  std::string type;   // group, button, bool, int, float, vector, colour, string, filename, link
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
  // The entries as descriptions show them, made on their first use and shared by every
  // description since: nothing changes an attribute container once it is made.
  mutable std::vector<ShownEntry> shown;
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

struct VtResource {
  vthost::ResourceSet set;
};
