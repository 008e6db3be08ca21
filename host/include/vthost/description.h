// Descriptions as the attribute editor asks objects for them: the static part from the object
// type's resource, plus what the object adds; and parameters edited by name, with values as text.
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

// A user edit of the named parameter (an id, a MOLOBJ_ name or MOLOBJ_ROW_NAME[row]) with the value
// read from text by the parameter's type, as the script's set reads it; false with the reason in
// *error. An id the object does not show is refused, and so is a number that is not whole for an
// integer. A number outside the range the object shows is set as it is, and *notice (when not
// null) says what the object takes in its place; otherwise *notice is cleared.
bool SetParameterFromText(Host& host, VtNode* node, const std::string& name, const std::string& text,
                          std::string* notice, std::string* error);

// The id of the parameter so named (as SetParameterFromText names it); 0 when there is none.
int32_t ParameterIdOf(Host& host, VtNode* node, const std::string& name);

}  // namespace vthost
