// What the host may write over, and how: a new file moved over the old one once it is complete.
#include "base/outputfiles.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vthost {
namespace {

namespace fs = std::filesystem;

// Links followed in one name before it is taken as it stands (Linux's own limit).
constexpr int kMaxLinks = 40;
// Names tried for a new file beside the target before giving up.
constexpr int kNameAttempts = 16;

// The descriptor a name stands for when it is one of the process's own open files (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N), written through that descriptor; -1 for any other name.
int DescriptorNamed(const fs::path& name) {
#if defined(_WIN32)
  (void)name;
  return -1;
#else
  const std::string text = name.lexically_normal().string();
  if (text == "/dev/stdin") return 0;
  if (text == "/dev/stdout") return 1;
  if (text == "/dev/stderr") return 2;
  std::string_view rest = text;
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
  bool matched = false;
  for (const std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                        std::string_view(own)}) {
    if (!matched && rest.substr(0, prefix.size()) == prefix) rest.remove_prefix(prefix.size()), matched = true;
  }
  if (!matched || rest.empty() || rest.size() > 9) return -1;
  int descriptor = 0;
  for (const char c : rest) {
    if (c < '0' || c > '9') return -1;
    descriptor = descriptor * 10 + (c - '0');
  }
  return descriptor;
#endif
}

// The name the file system reaches through file: every symbolic link on the way followed, a
// dangling one too, and `..` taken after the link before it. A link that reaches one of the
// process's descriptors ends the walk there, with the descriptor in *descriptor.
fs::path Resolved(const fs::path& file, int* descriptor = nullptr) {
  std::error_code failure;
  const fs::path absolute = fs::absolute(file, failure);
  if (failure) return file.lexically_normal();
  fs::path done = absolute.root_path();
  const fs::path parts = absolute.relative_path();
  std::vector<fs::path> left(parts.begin(), parts.end());
  std::reverse(left.begin(), left.end());  // the next part last
  int links = 0;
  while (!left.empty()) {
    const fs::path part = std::move(left.back());
    left.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      done = done.parent_path();
      continue;
    }
    const fs::path next = done / part;
    if (descriptor != nullptr && left.empty() && (*descriptor = DescriptorNamed(next)) >= 0) return next;
    if (links < kMaxLinks && fs::is_symlink(fs::symlink_status(next, failure))) {
      const fs::path target = fs::read_symlink(next, failure);
      if (!failure) {
        ++links;
        if (target.is_absolute()) done = target.root_path();
        const fs::path relative = target.relative_path();
        const std::vector<fs::path> targetParts(relative.begin(), relative.end());
        left.insert(left.end(), targetParts.rbegin(), targetParts.rend());
        continue;
      }
    }
    done = next;
  }
  return done.lexically_normal();
}

// The resolved name as the file system compares names.
fs::path::string_type KeyOf(const fs::path& file) {
  fs::path::string_type key = Resolved(file).native();
#if defined(_WIN32)
  CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
#elif defined(__APPLE__)
  for (char& c : key) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
#endif
  return key;
}

bool IsSeparator(fs::path::value_type c) { return c == '/' || c == fs::path::preferred_separator; }

enum class Kind { Nothing, Regular, Folder, Other };

// What file names once its links are followed (/proc/self/fd/N too, which only the system follows).
Kind KindOf(const fs::path& file) {
#if defined(_WIN32)
  // a device such as NUL is told apart by its handle, not by its name
  const HANDLE handle = CreateFileW(file.wstring().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Kind::Nothing;
  Kind kind = Kind::Other;
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    const bool folder = GetFileInformationByHandle(handle, &information) &&
                        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    kind = folder ? Kind::Folder : Kind::Regular;
  }
  CloseHandle(handle);
  return kind;
#else
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return Kind::Nothing;  // missing, or unreachable: the write will say why
  if (S_ISREG(status.st_mode)) return Kind::Regular;
  return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
#endif
}

// The system's calls for one file being written, and the reason the last one failed.
#if defined(_WIN32)
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

std::string LastReason() {
  std::string reason = std::system_category().message(static_cast<int>(GetLastError()));
  while (!reason.empty() && std::string_view("\r\n. ").find(reason.back()) != std::string_view::npos) reason.pop_back();
  return reason;
}
bool NameTaken() { return GetLastError() == ERROR_FILE_EXISTS; }
unsigned long ProcessId() { return GetCurrentProcessId(); }
// A read-only file is refused, as the system refuses to open one for writing: a new file moved over
// it would not keep the attribute.
bool MayOverwrite(const fs::path& target) {
  const DWORD attributes = GetFileAttributesW(target.wstring().c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}
bool Exists(const fs::path& file) { return GetFileAttributesW(file.wstring().c_str()) != INVALID_FILE_ATTRIBUTES; }
// No other process may open it while it is written (no sharing).
Handle CreateNamed(const fs::path& file, bool) {
  return CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}
Handle CreateUnnamed(const fs::path&, bool) { return kNoHandle; }
bool NameUnnamed(Handle, const fs::path&) { return false; }
Handle OpenExisting(const fs::path& file) {
  return CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
Handle OpenDescriptor(int) { return kNoHandle; }
bool WriteAll(Handle handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), size_t{1} << 30));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}
bool Flush(Handle handle) { return FlushFileBuffers(handle) != 0; }
bool Close(Handle handle) { return CloseHandle(handle) != 0; }
bool Move(const fs::path& from, const fs::path& to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), flags) != 0;
}
void RemoveName(const wchar_t* file) { DeleteFileW(file); }
void KeepOwnerAndMode(Handle, const fs::path&) {}  // a new file takes its folder's access rules
#else
using Handle = int;
constexpr Handle kNoHandle = -1;

std::string LastReason() { return std::generic_category().message(errno); }
bool NameTaken() { return errno == EEXIST; }
unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }
// A file the process may not write is not replaced either, though its folder would allow it.
bool MayOverwrite(const fs::path& target) {
  return faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT;
}
bool Exists(const fs::path& file) {
  struct stat status {};
  return stat(file.c_str(), &status) == 0;
}
// The replacement of a file is its owner's alone until it takes the old one's mode: no one else
// opens it half-written.
Handle CreateNamed(const fs::path& file, bool replacing) {
  return open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
}
// A file of no name in folder (Linux), named only once it is whole: whatever ends the run, even
// SIGKILL, nothing is left of it. It is named through /proc/self/fd, so that must be there.
Handle CreateUnnamed(const fs::path& folder, bool replacing) {
#if defined(O_TMPFILE)
  if (access("/proc/self/fd", X_OK) != 0) return kNoHandle;
  return open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, replacing ? 0600 : 0666);
#else
  (void)folder, (void)replacing;
  return kNoHandle;
#endif
}
bool NameUnnamed(Handle handle, const fs::path& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(handle);
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}
// O_TRUNC leaves devices and FIFOs alone
Handle OpenExisting(const fs::path& file) { return open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); }
// The process's own descriptor, written where it stands: a standard output appended to a log
// goes on appending.
Handle OpenDescriptor(int descriptor) { return fcntl(descriptor, F_DUPFD_CLOEXEC, 0); }
bool WriteAll(Handle handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(handle, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}
bool Flush(Handle handle) { return fsync(handle) == 0; }
bool Close(Handle handle) { return close(handle) == 0; }
bool Move(const fs::path& from, const fs::path& to) { return rename(from.c_str(), to.c_str()) == 0; }
void RemoveName(const char* file) { unlink(file); }
// The replacement keeps the old file's permissions, and its owner where the process may give it.
void KeepOwnerAndMode(Handle handle, const fs::path& target) {
  struct stat old {};
  if (stat(target.c_str(), &old) != 0) return;  // a new file: made as any other, under the umask
  if (fchown(handle, old.st_uid, old.st_gid) != 0) {
    // only root may give a file away; a user's own file keeps its owner anyway
  }
  if (fchmod(handle, old.st_mode & 07777) != 0) {
    // the file is written all the same, with the permissions of a new one
  }
}
#endif

bool WriteAll(Handle handle, const Pieces& pieces) {
  return std::all_of(pieces.begin(), pieces.end(), [handle](std::string_view piece) { return WriteAll(handle, piece); });
}

// New files under a name of their own and not yet in place, for a signal's handler to remove. A
// handler may only make calls that are safe there, so each name is kept as the system's string,
// in a slot of its own.
constexpr size_t kPendingSlots = 64;
std::atomic<fs::path::value_type*> g_pending[kPendingSlots];

// The slot that holds name; kPendingSlots when none is free (more files at once than that are
// removed by the run's own end, not by a signal).
size_t Pending(const fs::path& name) {
  const fs::path::string_type& native = name.native();
  auto* copy = new (std::nothrow) fs::path::value_type[native.size() + 1];
  if (copy == nullptr) return kPendingSlots;
  std::copy(native.begin(), native.end(), copy);
  copy[native.size()] = 0;
  for (size_t slot = 0; slot < kPendingSlots; ++slot) {
    fs::path::value_type* free = nullptr;
    if (g_pending[slot].compare_exchange_strong(free, copy)) return slot;
  }
  delete[] copy;
  return kPendingSlots;
}

void NoLongerPending(size_t slot) {
  if (slot < kPendingSlots) delete[] g_pending[slot].exchange(nullptr);
}

void RemovePendingAndEnd(int signal) {
  for (std::atomic<fs::path::value_type*>& slot : g_pending) {
    if (const fs::path::value_type* name = slot.exchange(nullptr)) RemoveName(name);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

std::atomic<unsigned> g_newFiles{0};

fs::path NameBeside(const fs::path& target) {
  return target.parent_path() / (".vantor-" + std::to_string(ProcessId()) + "-" + std::to_string(g_newFiles++) + ".tmp");
}

}  // namespace

// A new file beside its target, made with the target's owner and mode: without a name where the
// system allows, else under a name of the process's own that a signal's handler removes.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile() { Discard(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // false with the reason.
  bool Create(const fs::path& target, std::string* reason) {
    if (!MayOverwrite(target)) return *reason = LastReason(), false;
    const bool replacing = Exists(target);
    handle_ = CreateUnnamed(target.parent_path(), replacing);
    for (int attempt = 0; handle_ == kNoHandle && attempt < kNameAttempts; ++attempt) {
      TakeName(NameBeside(target));
      handle_ = CreateNamed(name_, replacing);
      if (handle_ == kNoHandle) {
        const bool taken = NameTaken();
        *reason = LastReason();
        ForgetName();
        if (!taken) return false;
      }
    }
    if (handle_ == kNoHandle) return false;
    KeepOwnerAndMode(handle_, target);
    return true;
  }

  Handle handle() const { return handle_; }

  // Closed and moved over target; false with the reason, and nothing left of it.
  bool Place(const fs::path& target, std::string* reason) {
    bool done = true;
    for (int attempt = 0; name_.empty() && attempt < kNameAttempts; ++attempt) {
      TakeName(NameBeside(target));
      if (NameUnnamed(handle_, name_)) break;
      const bool taken = NameTaken();
      *reason = LastReason();
      ForgetName();
      if (!taken) break;
    }
    if (name_.empty()) done = false;
    if (!Close(handle_) && done) done = false, *reason = LastReason();
    handle_ = kNoHandle;
    if (done && !Move(name_, target)) done = false, *reason = LastReason();
    if (done) ForgetName();
    Discard();
    return done;
  }

  // Closed, and its name removed.
  void Discard() {
    if (handle_ != kNoHandle) Close(handle_);
    handle_ = kNoHandle;
    if (!name_.empty()) RemoveName(name_.c_str());
    ForgetName();
  }

 private:
  // registered before the file is made under it, so that no signal comes between
  void TakeName(fs::path name) {
    slot_ = Pending(name);
    name_ = std::move(name);
  }
  void ForgetName() {
    NoLongerPending(slot_);
    slot_ = kPendingSlots;
    name_.clear();
  }

  Handle handle_ = kNoHandle;
  fs::path name_;  // empty while it has none
  size_t slot_ = kPendingSlots;
};

namespace {

// target replaced by a new file of bytes, flushed to disk first; false with the reason.
bool Replace(const fs::path& target, const Pieces& bytes, std::string* reason) {
  NewFile file;
  if (!file.Create(target, reason)) return false;
  if (!WriteAll(file.handle(), bytes) || !Flush(file.handle())) return *reason = LastReason(), false;
  return file.Place(target, reason);
}

// How a file is written: replaced (the target, its links followed), written as it stands (a
// device, a FIFO, one of the process's own descriptors), or not at all (a folder).
struct Plan {
  enum { Replace, InPlace, Refused } how = Replace;
  fs::path target;
  int descriptor = -1;  // written through this descriptor in place of target
  std::string reason;   // why it is refused
};

// Whether the name can only be a folder's: it ends in a separator, `.` or `..`.
bool NamesAFolder(const fs::path& file) {
  const fs::path::string_type& name = file.native();
  if (!name.empty() && IsSeparator(name.back()) && file.has_relative_path()) return true;
  const fs::path last = file.filename();
  return last == "." || last == "..";
}

Plan PlanOf(const fs::path& file) {
  int descriptor = -1;
  const fs::path resolved = Resolved(file, &descriptor);
  if (descriptor >= 0) return {Plan::InPlace, file, descriptor, {}};
  const Kind kind = KindOf(file);
  if (kind == Kind::Folder) return {Plan::Refused, file, -1, "a folder"};
  // FILE/ names a folder, which a file (or nothing) is not
  if (NamesAFolder(file)) return {Plan::Refused, file, -1, "Not a directory"};
  if (kind == Kind::Other) return {Plan::InPlace, file, -1, {}};
  if (kind == Kind::Nothing) return {Plan::Replace, resolved, -1, {}};
  // a name whose links only the system can follow (/proc/self/fd/N of a deleted file) is written as
  // it is
  std::error_code failure;
  const bool same = fs::equivalent(file, resolved, failure);
  return {same ? Plan::Replace : Plan::InPlace, same ? resolved : file, -1, {}};
}

Handle OpenInPlace(const Plan& plan) {
  return plan.descriptor >= 0 ? OpenDescriptor(plan.descriptor) : OpenExisting(plan.target);
}

// A device, a FIFO or a descriptor, written as it is.
bool WriteInPlace(const Plan& plan, const Pieces& bytes, std::string* reason) {
  const Handle handle = OpenInPlace(plan);
  if (handle == kNoHandle) return *reason = LastReason(), false;
  bool done = WriteAll(handle, bytes);
  if (!done) *reason = LastReason();
  if (!Close(handle) && done) done = false, *reason = LastReason();
  return done;
}

bool Write(const Plan& plan, const Pieces& bytes, std::string* reason) {
  switch (plan.how) {
    case Plan::Replace:
      return Replace(plan.target, bytes, reason);
    case Plan::InPlace:
      return WriteInPlace(plan, bytes, reason);
    case Plan::Refused:
      break;
  }
  *reason = plan.reason;
  return false;
}

// Every new file flushed to disk: on Linux with one flush of each file system they lie on (the
// journal is written once, not once a file), elsewhere a file at a time.
bool FlushAll(const std::vector<Handle>& files, std::string* reason) {
#if defined(__linux__)
  std::vector<dev_t> flushed;
  for (const Handle file : files) {
    struct stat status {};
    if (fstat(file, &status) != 0) return *reason = LastReason(), false;
    if (std::find(flushed.begin(), flushed.end(), status.st_dev) != flushed.end()) continue;
    if (syncfs(file) != 0) return *reason = LastReason(), false;
    flushed.push_back(status.st_dev);
  }
  return true;
#else
  for (const Handle file : files) {
    if (!Flush(file)) return *reason = LastReason(), false;
  }
  return true;
#endif
}

}  // namespace

ResolvedName::ResolvedName(const fs::path& file) : file_(file), key_(KeyOf(file)) {}

const fs::path::string_type& ResolvedName::Key() const { return key_; }

bool ResolvedName::SameFile(const ResolvedName& other) const {
  std::error_code failure;
  return (fs::equivalent(file_, other.file_, failure) && !failure) || key_ == other.key_;
}

bool ResolvedName::InFolder(const ResolvedName& folder) const {
  const fs::path::string_type& inside = folder.key_;
  if (key_.size() < inside.size() || key_.compare(0, inside.size(), inside) != 0) return false;
  return key_.size() == inside.size() || IsSeparator(inside.back()) || IsSeparator(key_[inside.size()]);
}

bool SameFile(const fs::path& a, const fs::path& b) { return ResolvedName(a).SameFile(ResolvedName(b)); }

bool InFolder(const fs::path& file, const fs::path& folder) {
  return ResolvedName(file).InFolder(ResolvedName(folder));
}

bool MayReplace(const fs::path& file, std::string_view magic, std::string_view kind, std::string* error) {
  std::error_code failure;
  const fs::file_status status = fs::status(file, failure);
  if (!fs::exists(status)) return true;
  if (fs::is_directory(status)) return *error = "cannot write " + file.u8string() + ": a folder", false;
  if (!fs::is_regular_file(status)) {
    return *error = "cannot write " + file.u8string() + ": not a regular file", false;
  }
  std::ifstream in(file, std::ios::binary);
  std::vector<char> start(magic.size());
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  const auto read = static_cast<size_t>(in.gcount());
  if (read == 0 || (read == magic.size() && std::string_view(start.data(), read) == magic)) return true;
  *error = file.u8string() + " is there and is not a " + std::string(kind) + ": not replaced";
  return false;
}


bool WriteWhole(const fs::path& file, const Pieces& bytes, std::string* error) {
  std::string reason;
  const bool written = Write(PlanOf(file), bytes, &reason);
  if (!written) *error = "cannot write " + file.u8string() + ": " + reason;
  return written;
}

int DescriptorOf(const fs::path& file) {
  int descriptor = -1;
  Resolved(file, &descriptor);
  return descriptor;
}

void RemoveNewFilesOnSignals() {
#if defined(_WIN32)
  for (const int signal : {SIGINT, SIGTERM, SIGBREAK}) std::signal(signal, RemovePendingAndEnd);
#else
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction action {};
    // a signal the run was started to ignore (nohup) stays ignored
    if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action.sa_handler = RemovePendingAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal, &action, nullptr);
  }
#endif
}

bool FileIdOf(const fs::path& file, FileId* id) {
#if defined(_WIN32)
  const HANDLE handle = CreateFileW(file.wstring().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  *id = {information.dwVolumeSerialNumber,
         (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
  return true;
#else
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return false;
  *id = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return true;
#endif
}


OutputGroup::OutputGroup(const RunFiles& files) : files_(files) {}

OutputGroup::~OutputGroup() = default;  // what was staged and not committed goes with its NewFile

bool OutputGroup::Stage(const fs::path& file, const Pieces& bytes, std::string* error) {
  if (!files_.MayWrite(file, error)) return false;
  std::string reason;
  const Plan plan = PlanOf(file);
  bool written = false;
  if (plan.how == Plan::Replace) {
    Staged staged{file, plan.target, std::make_unique<NewFile>()};
    written = staged.created->Create(plan.target, &reason);
    if (written && !WriteAll(staged.created->handle(), bytes)) written = false, reason = LastReason();
    if (written) staged_.push_back(std::move(staged));
  } else {
    written = Write(plan, bytes, &reason);
  }
  if (!written) *error = "cannot write " + file.u8string() + ": " + reason;
  return written;
}

std::vector<std::string> OutputGroup::Commit() {
  std::vector<std::string> failures(staged_.size());
  std::vector<Handle> handles;
  for (const Staged& staged : staged_) handles.push_back(staged.created->handle());
  std::string flushFailure;
  const bool flushed = FlushAll(handles, &flushFailure);
  for (size_t i = 0; i < staged_.size(); ++i) {
    Staged& staged = staged_[i];
    std::string reason = flushFailure;
    if (flushed && staged.created->Place(staged.target, &reason)) continue;
    failures[i] = "cannot write " + staged.file.u8string() + ": " + reason;
  }
  staged_.clear();
  return failures;
}

namespace {

std::intptr_t Stored(Handle handle) {
#if defined(_WIN32)
  return handle == kNoHandle ? -1 : reinterpret_cast<std::intptr_t>(handle);
#else
  return handle;
#endif
}

Handle Taken(std::intptr_t handle) {
#if defined(_WIN32)
  return handle == -1 ? kNoHandle : reinterpret_cast<Handle>(handle);
#else
  return static_cast<Handle>(handle);
#endif
}

}  // namespace

GrowingOutput::GrowingOutput() = default;

GrowingOutput::~GrowingOutput() {
  if (handle_ != -1) Close(Taken(handle_));
}

bool GrowingOutput::Open(const RunFiles& files, const fs::path& file, std::string* error) {
  if (!files.MayWrite(file, error)) return false;
  file_ = file;
  const Plan plan = PlanOf(file);
  target_ = plan.target;
  std::string reason = plan.reason;
  bool opened = false;
  if (plan.how == Plan::InPlace) {
    handle_ = Stored(OpenInPlace(plan));
    opened = handle_ != -1;
    if (!opened) reason = LastReason();
  } else if (plan.how == Plan::Replace) {
    created_ = std::make_unique<NewFile>();
    opened = created_->Create(plan.target, &reason);
    if (!opened) created_.reset();
  }
  if (!opened) *error = "cannot write " + file.u8string() + ": " + reason;
  return opened;
}

bool GrowingOutput::Append(std::string_view bytes) {
  if (failed_ || (handle_ == -1 && !created_)) return false;
  if (WriteAll(created_ ? created_->handle() : Taken(handle_), bytes)) return true;
  failed_ = true;
  reason_ = LastReason();
  return false;
}

bool GrowingOutput::Finish(std::string* error) {
  if (handle_ == -1 && !created_) return *error = "cannot write " + file_.u8string() + ": not opened", false;
  bool done = !failed_;
  if (created_) {
    if (done && !Flush(created_->handle())) done = false, reason_ = LastReason();
    if (done && !created_->Place(target_, &reason_)) done = false;
    created_.reset();
  } else {
    if (!Close(Taken(handle_)) && done) done = false, reason_ = LastReason();
    handle_ = -1;
  }
  if (!done) *error = "cannot write " + file_.u8string() + ": " + reason_;
  return done;
}

}  // namespace vthost
