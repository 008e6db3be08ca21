// The interface record of this host's tables (src/tables/), as a module's entry receives it.
#pragma once

#include <cstdint>

#include "vantor_host.h"

namespace vthost {

// The record of this host's tables, for a module that asks for the interface version given.
VtHostInterface InterfaceRecord(int32_t version);

}  // namespace vthost
