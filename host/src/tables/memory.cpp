// The Mm table: zeroed blocks, each allocation asked of the fault injector first and counted.
#include <atomic>
#include <cstdlib>
#include <new>

#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

void* Alloc(size_t size) {
  Host& host = CurrentHost();
  if (!host.Faults().Allow(AllocKind::Memory)) return nullptr;
  void* block = std::calloc(1, size == 0 ? 1 : size);
  if (block != nullptr) host.CountBlock(+1);
  if (block == nullptr) NoteMemoryRanOut();
  return block;
}

std::atomic<bool> g_memoryRanOut{false};

}  // namespace

void NoteMemoryRanOut() { g_memoryRanOut = true; }

bool TakeMemoryRanOut() { return g_memoryRanOut.exchange(false); }

void NoteFailedNews() {
  std::set_new_handler([] {
    NoteMemoryRanOut();
    throw std::bad_alloc();
  });
}

namespace {

void Free(void* block) {
  if (block == nullptr) return;
  CurrentHost().CountBlock(-1);
  std::free(block);
}

}  // namespace

const VtMmTable kMmTable = {Alloc, Free};

}  // namespace vthost
