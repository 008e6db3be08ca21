// Descriptions over the Ds table, execution lists over the Ex table.
#include "hostapi/hostdescription.h"

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtDsTable& Ds() { return *host::Tables().Ds; }

}  // namespace

bool Description::LoadStatic(int32_t typeId) { return Ds().LoadStatic(handle_, typeId) != 0; }

bool Description::RequestedId(int32_t* id) const { return Ds().RequestedId(handle_, id) != 0; }

bool Description::Add(const VtDescriptionId& id, int32_t parent, const Container& attributes) {
  return Ds().Add(handle_, &id, parent, attributes.Handle()) != 0;
}

Container Description::NewAttributes(int32_t dataType) { return Container::Adopt(Ds().NewAttributes(dataType)); }

bool AddToExecutionList(VtExecList* list, Node node, int32_t priority, int32_t flags) {
  return host::Tables().Ex->Add(list, node.Handle(), priority, flags) != 0;
}

}  // namespace vantor
