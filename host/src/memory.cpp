// The Mm table and the fault injector that every host allocation asks first.
#include <cstdlib>

#include "values.h"

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

bool Matches(AllocKind wanted, AllocKind kind) { return wanted == AllocKind::Any || wanted == kind; }

}  // namespace

const VtMmTable kMmTable = {Alloc, Free};

void FaultInjector::FailNth(uint64_t n, AllocKind kind) {
  armed_ = n > 0;
  remaining_ = n;
  nthKind_ = kind;
}

void FaultInjector::FailAll(AllocKind kind) {
  failAll_ = true;
  allKind_ = kind;
}

void FaultInjector::Clear() {
  armed_ = false;
  failAll_ = false;
}

bool FaultInjector::Allow(AllocKind kind) {
  ++allocations_;
  bool fail = failAll_ && Matches(allKind_, kind);
  if (armed_ && Matches(nthKind_, kind) && --remaining_ == 0) {
    armed_ = false;
    fail = true;
  }
  if (fail) ++failures_;
  return !fail;
}

}  // namespace vthost
