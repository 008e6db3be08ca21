// New files beside their targets, and what a signal that ends the run cleans up: the names of
// the new files not yet in place and of the run's scratch files and folders, and its workers.
#include "base/newfile.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <new>
#include <utility>

#include "vthost/files.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;

// Names tried for a new file beside the target before giving up.
constexpr int kNameAttempts = 16;

// New files under a name of their own and not yet in place, and the run's scratch files, for a
// signal's handler to remove; and the scratch folders, which it removes after them. A handler may
// only make calls that are safe there, so each name is kept as the system's string, in a slot of
// its own.
using Slot = std::atomic<fs::path::value_type*>;
Slot g_pending[kNamesRemovedOnSignals];
constexpr size_t kFolderSlots = 16;
Slot g_folders[kFolderSlots];
// where the search for a free slot starts: after the one last taken
std::atomic<size_t> g_nextSlot{0};

// The slot of slots that holds name; size when none is free (more names at once than that are
// removed by the run's own end, not by a signal).
size_t Keep(const fs::path& name, Slot* slots, size_t size) {
  const fs::path::string_type& native = name.native();
  auto* copy = new (std::nothrow) fs::path::value_type[native.size() + 1];
  if (copy == nullptr) return size;
  std::copy(native.begin(), native.end(), copy);
  copy[native.size()] = 0;
  const size_t start = g_nextSlot.load();
  for (size_t i = 0; i < size; ++i) {
    const size_t slot = (start + i) % size;
    fs::path::value_type* free = nullptr;
    if (slots[slot].compare_exchange_strong(free, copy)) {
      g_nextSlot.store(slot + 1);
      return slot;
    }
  }
  delete[] copy;
  return size;
}

size_t Pending(const fs::path& name) { return Keep(name, g_pending, kNamesRemovedOnSignals); }

void NoLongerPending(size_t slot) {
  if (slot < kNamesRemovedOnSignals) delete[] g_pending[slot].exchange(nullptr);
}

// The run's own processes, for a signal's handler to end; 0 in a free slot.
constexpr size_t kProcessSlots = kProcessesStoppedOnSignals;
std::atomic<unsigned long> g_processes[kProcessSlots];

void RemovePendingAndEnd(int signal) {
  for (std::atomic<unsigned long>& slot : g_processes) {
    if (const unsigned long process = slot.exchange(0)) os::StopProcess(process);
  }
  for (Slot& slot : g_pending) {
    if (const fs::path::value_type* name = slot.exchange(nullptr)) os::RemoveName(name);
  }
  for (Slot& slot : g_folders) {
    if (const fs::path::value_type* name = slot.exchange(nullptr)) os::RemoveFolderName(name);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

std::atomic<unsigned> g_newFiles{0};

fs::path NameBeside(const fs::path& target) {
  return target.parent_path() /
         (".vantor-" + std::to_string(os::ProcessId()) + "-" + std::to_string(g_newFiles++) + ".tmp");
}

}  // namespace

NewFile::NewFile() : slot_(kNamesRemovedOnSignals) {}

bool NewFile::Create(const fs::path& target, std::string* reason) {
  if (!os::MayOverwrite(target)) {
    *reason = os::LastReason();
    return false;
  }
  replacing_ = os::Exists(target);
  const bool replacing = replacing_;
  handle_ = os::CreateUnnamed(target.parent_path(), replacing);
  for (int attempt = 0; handle_ == os::kNoHandle && attempt < kNameAttempts; ++attempt) {
    TakeName(NameBeside(target));
    handle_ = os::CreateNamed(name_, replacing);
    if (handle_ == os::kNoHandle) {
      const bool taken = os::NameTaken();
      *reason = os::LastReason();
      ForgetName();
      if (!taken) return false;
    }
  }
  if (handle_ == os::kNoHandle) return false;
  if (replacing) os::KeepOwnerAndMode(handle_, target);
  return true;
}

// A file of no name where there was none is given the target's name itself: no name of its own,
// no move. The link fails rather than replace a file that came since, which then goes the way of
// a replacement.
NewFile::AtOnce NewFile::PlaceAtOnce(const fs::path& target, std::string* reason) {
  if (replacing_ || !name_.empty() || handle_ == os::kNoHandle || !os::NameUnnamed(handle_, target)) {
    return AtOnce::NotTried;
  }
  const bool closed = os::Close(handle_);
  handle_ = os::kNoHandle;
  if (closed) return AtOnce::Placed;
  *reason = os::LastReason();
  os::RemoveName(target.c_str());  // what was written may not all be there
  return AtOnce::Failed;
}

bool NewFile::Place(const fs::path& target, std::string* reason) {
  const AtOnce atOnce = PlaceAtOnce(target, reason);
  if (atOnce != AtOnce::NotTried) return atOnce == AtOnce::Placed;
  bool done = true;
  for (int attempt = 0; name_.empty() && attempt < kNameAttempts; ++attempt) {
    TakeName(NameBeside(target));
    if (os::NameUnnamed(handle_, name_)) break;
    const bool taken = os::NameTaken();
    *reason = os::LastReason();
    ForgetName();
    if (!taken) break;
  }
  if (name_.empty()) done = false;
  if (!os::Close(handle_) && done) done = false, *reason = os::LastReason();
  handle_ = os::kNoHandle;
  if (done && !os::Move(name_, target)) done = false, *reason = os::LastReason();
  if (done) ForgetName();
  Discard();
  return done;
}

void NewFile::Discard() {
  if (handle_ != os::kNoHandle) os::Close(handle_);
  handle_ = os::kNoHandle;
  if (!name_.empty()) os::RemoveName(name_.c_str());
  ForgetName();
}

void NewFile::TakeName(fs::path name) {
  slot_ = Pending(name);
  name_ = std::move(name);
}

void NewFile::ForgetName() {
  NoLongerPending(slot_);
  slot_ = kNamesRemovedOnSignals;
  name_.clear();
}

void RemoveNewFilesOnSignals() { os::HandleEndingSignals(RemovePendingAndEnd); }

StoppedOnSignals::StoppedOnSignals(unsigned long process) : slot_(kProcessSlots) {
  for (size_t slot = 0; slot < kProcessSlots && slot_ == kProcessSlots; ++slot) {
    unsigned long free = 0;
    if (g_processes[slot].compare_exchange_strong(free, process)) slot_ = slot;
  }
}

StoppedOnSignals::~StoppedOnSignals() {
  if (slot_ < kProcessSlots) g_processes[slot_].store(0);
}

RemovedOnSignals::RemovedOnSignals(const fs::path& name, bool folder)
    : folder_(folder), slot_(folder ? Keep(name, g_folders, kFolderSlots) : Pending(name)) {}

RemovedOnSignals::~RemovedOnSignals() {
  if (!folder_) {
    NoLongerPending(slot_);
  } else if (slot_ < kFolderSlots) {
    delete[] g_folders[slot_].exchange(nullptr);
  }
}

}  // namespace vthost
