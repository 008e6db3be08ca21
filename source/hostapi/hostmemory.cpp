// The host's allocator over the Mm table.
#include "hostapi/hostmemory.h"

#include "hostapi/hostbinding.h"

namespace vantor {

void* HostAlloc(size_t size) { return host::Tables().Mm->Alloc(size); }

void HostFree(void* block) {
  if (block) host::Tables().Mm->Free(block);
}

}  // namespace vantor
