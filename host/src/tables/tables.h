// The tables of C functions behind the interface record, one source file each (or a few together).
#pragma once

#include "vantor_host.h"

namespace vthost {

extern const VtGeTable kGeTable;  // ui.cpp
extern const VtMmTable kMmTable;  // memory.cpp
extern const VtStTable kStTable;  // strings.cpp
extern const VtFnTable kFnTable;  // filenames.cpp
extern const VtBcTable kBcTable;  // containers.cpp
extern const VtRsTable kRsTable;  // resources.cpp
extern const VtBmTable kBmTable;  // bitmaps.cpp
extern const VtPlTable kPlTable;  // plugins.cpp
extern const VtDgTable kDgTable;  // ui.cpp
extern const VtNdTable kNdTable;  // nodes.cpp
extern const VtHfTable kHfTable;  // streams.cpp
extern const VtDsTable kDsTable;  // description.cpp
extern const VtTkTable kTkTable;  // nodes.cpp
extern const VtExTable kExTable;  // execution.cpp
extern const VtObTable kObTable;  // generators.cpp, and the rest of what generators build with
extern const VtSpTable kSpTable;
extern const VtPtTable kPtTable;
extern const VtPrTable kPrTable;
extern const VtTgTable kTgTable;
extern const VtTxTable kTxTable;
extern const VtDpTable kDpTable;
extern const VtBxTable kBxTable;
extern const VtCaTable kCaTable;
extern const VtFLTable kFLTable;  // filenames.cpp

}  // namespace vthost
