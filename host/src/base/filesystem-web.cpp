// What the browser's file system adds to the POSIX calls: nothing to flush, as its files live in
// memory, and no signals to end a run nor processes of its own, as a page has none.
#include "base/filesystem.h"

namespace vthost::os {

bool Flush(Handle) { return true; }

bool FlushAll(const std::vector<Handle>&, std::string*) { return true; }

void StopProcess(unsigned long) {}

void HandleEndingSignals(void (*)(int)) {}

}  // namespace vthost::os
