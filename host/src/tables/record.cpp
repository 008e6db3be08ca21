// The interface record's tables: what this host hands a module at its entry. Dc, Di and the
// reserved tables stay null.
#include <cstddef>

#include "tables/tables.h"
#include "vthost/record.h"

namespace vthost {

static_assert((sizeof(VtHostInterface) - offsetof(VtHostInterface, Ge)) / sizeof(void*) == VT_TABLE_COUNT,
              "the record holds the version and exactly 37 table pointers");

VtHostInterface InterfaceRecord(int32_t version) {
  VtHostInterface record{};
  record.version = version;
  record.Ge = &kGeTable;
  record.Mm = &kMmTable;
  record.St = &kStTable;
  record.Fn = &kFnTable;
  record.Bc = &kBcTable;
  record.Rs = &kRsTable;
  record.Bm = &kBmTable;
  record.Pl = &kPlTable;
  record.Dg = &kDgTable;
  record.Nd = &kNdTable;
  record.Hf = &kHfTable;
  record.Ds = &kDsTable;
  record.Tk = &kTkTable;
  record.Ex = &kExTable;
  record.Ob = &kObTable;
  record.Sp = &kSpTable;
  record.Pt = &kPtTable;
  record.Pr = &kPrTable;
  record.Tg = &kTgTable;
  record.Tx = &kTxTable;
  record.Dp = &kDpTable;
  record.Bx = &kBxTable;
  record.Ca = &kCaTable;
  record.FL = &kFLTable;
  return record;
}

}  // namespace vthost
