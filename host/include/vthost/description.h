// Descriptions as the attribute editor asks objects for them: the static part from the object
// type's resource, plus what the object adds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vthost/host.h"

namespace vthost {

// One entry of an object's description as the attribute editor would show it.
struct ShownEntry {
  int32_t id = 0;
  int32_t dataType = 0;
  int32_t parent = 0;
  std::string label;
  std::shared_ptr<VtContainer> attributes;  // the attribute container, by key (VT_ATTRIBUTE_*)
};

// An object's description as the host got it.
struct Description {
  bool answer = false;  // what the object's description operation answered
  int32_t flags = 0;
  bool complete = false;  // the object set VT_DESCRIPTION_LOADED; otherwise the host shows the static part
  std::vector<ShownEntry> entries;
  const ShownEntry* Find(int32_t id) const;
};

// The object's description, built as the attribute editor asks for it whenever it shows the
// object: of every entry, or of the one requested. Building it may write defaults into the
// object's parameters (a new material row's).
Description Describe(Host& host, VtNode* node, const int32_t* requestedId = nullptr);
// Whether the object shows the parameter enabled.
bool IsEnabled(VtNode* node, int32_t id);

}  // namespace vthost
