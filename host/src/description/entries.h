// The description an object builds while the host asks for it (the Ds table fills it), and the
// entries of a static description as the host shows them.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "resources/resourceset.h"
#include "vthost/description.h"

struct VtDescription {
  std::vector<vthost::ShownEntry> entries;
  std::set<int32_t> ids;
  bool hasRequest = false;
  int32_t requested = 0;
};

namespace vthost {

// The entry as the attribute editor shows it: its attributes from what the resource says.
ShownEntry ShownStaticEntry(const DescriptionEntry& entry);

// Adds the entries of the static description registered for the type; false when there is none.
bool AddStaticEntries(const TypeRegistry& types, int32_t typeId, VtDescription* description);

}  // namespace vthost
