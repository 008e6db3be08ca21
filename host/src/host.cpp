// The host object: assembles the interface record and is what the tables reach.
#include <cassert>
#include <cstddef>

#include "values.h"

namespace vthost {
namespace {

Host* g_current = nullptr;

static_assert((sizeof(VtHostInterface) - offsetof(VtHostInterface, Ge)) / sizeof(void*) == VT_TABLE_COUNT,
              "the record holds the version and exactly 37 table pointers");

}  // namespace

Host::Host(HostOptions options) : options_(options) {
  assert(g_current == nullptr && "only one Host may live at a time: destroy the previous one first");
  g_current = this;
  record_.version = options_.interfaceVersion;
  record_.Ge = &kGeTable;
  record_.Mm = &kMmTable;
  record_.St = &kStTable;
  record_.Fn = &kFnTable;
  record_.Bc = &kBcTable;
  record_.Rs = &kRsTable;
  record_.Bm = &kBmTable;
  record_.Pl = &kPlTable;
  record_.Dg = &kDgTable;
  record_.Nd = &kNdTable;
  record_.Hf = &kHfTable;
  record_.Ds = &kDsTable;
  record_.Tk = &kTkTable;
  record_.Ex = &kExTable;
  record_.Ob = &kObTable;
  record_.Sp = &kSpTable;
  record_.Pt = &kPtTable;
  record_.Pr = &kPrTable;
  record_.Tg = &kTgTable;
  record_.Tx = &kTxTable;
  record_.Dp = &kDpTable;
  record_.Bx = &kBxTable;
  record_.Ca = &kCaTable;
  record_.FL = &kFLTable;
}

Host::~Host() {
  ReleaseLooseObjects();
  if (g_current == this) g_current = nullptr;
}

Host* Host::Current() { return g_current; }

const ObjectType* Host::FindObjectType(int32_t id) const {
  for (const ObjectType& type : objectTypes_) {
    if (type.id == id) return &type;
  }
  return nullptr;
}

Host& CurrentHost() {
  assert(g_current != nullptr && "a host table was called with no Host alive");
  return *g_current;
}

}  // namespace vthost
