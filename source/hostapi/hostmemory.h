// The host's allocator: every block the module keeps comes from it, so the host sees (and can
// refuse) each one.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace vantor {

// Null when the host is out of memory; the block is zeroed.
void* HostAlloc(size_t size);
void HostFree(void* block);

// One T in host memory, or null when the host refuses the storage.
template <typename T, typename... Args>
T* HostNew(Args&&... args) {
  void* storage = HostAlloc(sizeof(T));
  if (storage == nullptr) return nullptr;
  try {
    return new (storage) T(std::forward<Args>(args)...);
  } catch (...) {
    HostFree(storage);
    throw;
  }
}

template <typename T>
void HostDelete(T* object) {
  if (object == nullptr) return;
  object->~T();
  HostFree(object);
}

}  // namespace vantor
