// The host every in-process fuzz target shares: made once, with the module's own code bound to it
// and started as the host application starts it. Each input ends with EndInput.
#pragma once

#include <cstdint>
#include <string>

#include "endinput.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/record.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

inline vthost::Host& FuzzHost() {
  static vthost::Host* host = [] {
    auto* made = new vthost::Host();
    made->Types().SetModuleFolder(VANTOR_SOURCE_DIR);
    static const VtHostInterface record = vthost::InterfaceRecord(vthost::kCurrentInterfaceVersion);
    VtString* path = record.St->FromBytes(VANTOR_SOURCE_DIR, -1, 0);
    VtFilename* location = record.Fn->FromString(path);
    c4d_main(VT_ACTION_INIT, const_cast<VtHostInterface*>(&record), nullptr, location);
    c4d_main(VT_ACTION_MESSAGE, reinterpret_cast<void*>(intptr_t{1}), nullptr, nullptr);
    c4d_main(VT_ACTION_START, nullptr, nullptr, nullptr);
    record.Fn->Release(location);
    record.St->Release(path);
    return made;
  }();
  return *host;
}
