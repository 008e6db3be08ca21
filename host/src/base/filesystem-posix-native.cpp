// What a POSIX process on a disk adds to the calls for files: flushes to the disk, and the signals
// that end a run.
#include "base/filesystem.h"

#include <algorithm>
#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace vthost::os {
namespace {

int Descriptor(Handle handle) { return static_cast<int>(handle); }

}  // namespace

bool Flush(Handle handle) { return fsync(Descriptor(handle)) == 0; }

bool FlushAll(const std::vector<Handle>& files, std::string* reason) {
#if defined(__linux__)
  std::vector<dev_t> flushed;
  for (const Handle file : files) {
    struct stat status {};
    if (fstat(Descriptor(file), &status) != 0) {
      *reason = LastReason();
      return false;
    }
    if (std::find(flushed.begin(), flushed.end(), status.st_dev) != flushed.end()) continue;
    if (syncfs(Descriptor(file)) != 0) {
      *reason = LastReason();
      return false;
    }
    flushed.push_back(status.st_dev);
  }
  return true;
#else
  for (const Handle file : files) {
    if (!Flush(file)) {
      *reason = LastReason();
      return false;
    }
  }
  return true;
#endif
}

void StopProcess(unsigned long process) { kill(static_cast<pid_t>(process), SIGTERM); }

void HandleEndingSignals(void (*handler)(int)) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction action {};
    // a signal the run was started to ignore (nohup) stays ignored
    if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace vthost::os
