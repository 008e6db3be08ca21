// The Mm table: zeroed blocks, each allocation asked of the fault injector first and counted.
#include <cstdlib>

#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

void* Alloc(size_t size) {
  Host& host = CurrentHost();
  if (!host.Faults().Allow(AllocKind::Memory)) return nullptr;
  void* block = std::calloc(1, size == 0 ? 1 : size);
  if (block != nullptr) host.CountBlock(+1);
  return block;
}

void Free(void* block) {
  if (block == nullptr) return;
  CurrentHost().CountBlock(-1);
  std::free(block);
}

}  // namespace

const VtMmTable kMmTable = {Alloc, Free};

}  // namespace vthost
