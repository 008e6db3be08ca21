// Descriptions an object builds for the host, and the execution list it joins.
#pragma once

#include <cstdint>

#include "hostapi/hostcontainer.h"
#include "hostapi/hostnode.h"
#include "vantor_host.h"

namespace vantor {

class Description {
 public:
  explicit Description(VtDescription* handle) : handle_(handle) {}
  // The static description registered for the object type.
  bool LoadStatic(int32_t typeId);
  // True, with the id, when the host asks for one parameter only.
  bool RequestedId(int32_t* id) const;
  bool Add(const VtDescriptionId& id, int32_t parent, const Container& attributes);
  // The host's default attributes for a data type (check IsValid).
  static Container NewAttributes(int32_t dataType);

 private:
  VtDescription* handle_;
};

bool AddToExecutionList(VtExecList* list, Node node, int32_t priority, int32_t flags);

}  // namespace vantor
