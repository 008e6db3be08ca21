// The Ex table: objects put themselves on the execution list the host runs at each evaluation.
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

VtBool AddToList(VtExecList* list, VtNode* node, int32_t priority, int32_t flags) {
  if (list == nullptr || node == nullptr) return 0;
  list->entries.push_back({priority, flags, node});
  return 1;
}

}  // namespace

const VtExTable kExTable = {AddToList};

}  // namespace vthost
