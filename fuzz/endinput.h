// What an input leaves in the host beside the scene it made, put back after it: the messages the
// module showed and the options a script changed. Every input then starts alike, and libFuzzer,
// which counts allocations and frees per input and looks for a leak whenever they differ (a scan
// of the whole heap), looks only when an input kept something.
#pragma once

#include "vthost/host.h"

inline void EndInput(vthost::Host& host) {
  host.Events().Clear();
  host.Options() = vthost::HostOptions{};
}
