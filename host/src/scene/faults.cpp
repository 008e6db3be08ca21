// The fault injector that every host allocation asks first.
#include "vthost/host.h"

namespace vthost {
namespace {

bool Matches(AllocKind wanted, AllocKind kind) { return wanted == AllocKind::Any || wanted == kind; }

}  // namespace

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
