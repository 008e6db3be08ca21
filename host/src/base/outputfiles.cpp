// What the host may write over, and how: a new file moved over the old one once it is complete.
#include "base/outputfiles.h"

#include <algorithm>
#include <atomic>
#include <fstream>
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

// The name the file system reaches through file: every symbolic link on the way followed, a
// dangling one too, and `..` taken after the link before it.
fs::path Resolved(const fs::path& file) {
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
// A read-only file is refused by the move itself.
bool MayOverwrite(const fs::path&) { return true; }
Handle CreateNew(const fs::path& file) {
  return CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}
Handle OpenExisting(const fs::path& file) {
  return CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
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
void Remove(const fs::path& file) { DeleteFileW(file.wstring().c_str()); }
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
Handle CreateNew(const fs::path& file) { return open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
// O_TRUNC leaves devices and FIFOs alone
Handle OpenExisting(const fs::path& file) { return open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); }
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
void Remove(const fs::path& file) { unlink(file.c_str()); }
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

std::atomic<unsigned> g_newFiles{0};

// A new file of the process's own beside target, made with its owner and mode: the handle and its
// name, or kNoHandle with the reason.
Handle CreateBeside(const fs::path& target, fs::path* temporary, std::string* reason) {
  if (!MayOverwrite(target)) return *reason = LastReason(), kNoHandle;
  Handle handle = kNoHandle;
  for (int attempt = 0; handle == kNoHandle && attempt < kNameAttempts; ++attempt) {
    *temporary = target.parent_path() /
                 (".vantor-" + std::to_string(ProcessId()) + "-" + std::to_string(g_newFiles++) + ".tmp");
    handle = CreateNew(*temporary);
    if (handle == kNoHandle && !NameTaken()) break;
  }
  if (handle == kNoHandle) return *reason = LastReason(), kNoHandle;
  KeepOwnerAndMode(handle, target);
  return handle;
}

// bytes into a new file beside target, flushed to disk first when flush is set, and closed; false
// with the reason, the new file removed.
bool WriteBeside(const fs::path& target, std::string_view bytes, bool flush, fs::path* temporary,
                 std::string* reason) {
  const Handle handle = CreateBeside(target, temporary, reason);
  if (handle == kNoHandle) return false;
  bool done = WriteAll(handle, bytes) && (!flush || Flush(handle));
  if (!done) *reason = LastReason();
  if (!Close(handle) && done) done = false, *reason = LastReason();
  if (!done) Remove(*temporary);
  return done;
}

// target replaced by a new file of bytes; false with the reason.
bool Replace(const fs::path& target, std::string_view bytes, std::string* reason) {
  fs::path temporary;
  if (!WriteBeside(target, bytes, /*flush=*/true, &temporary, reason)) return false;
  if (Move(temporary, target)) return true;
  *reason = LastReason();
  Remove(temporary);
  return false;
}

// A device or a FIFO, written as it is.
bool WriteInPlace(const fs::path& file, std::string_view bytes, std::string* reason) {
  const Handle handle = OpenExisting(file);
  if (handle == kNoHandle) return *reason = LastReason(), false;
  bool done = WriteAll(handle, bytes);
  if (!done) *reason = LastReason();
  if (!Close(handle) && done) done = false, *reason = LastReason();
  return done;
}

// How a file is written: replaced (the target, its links followed), written as it stands (a
// device, a FIFO), or not at all (a folder).
struct Plan {
  enum { Replace, InPlace, Folder } how = Replace;
  fs::path target;
};

Plan PlanOf(const fs::path& file) {
  switch (KindOf(file)) {
    case Kind::Folder:
      return {Plan::Folder, file};
    case Kind::Other:
      return {Plan::InPlace, file};
    case Kind::Nothing:
      return {Plan::Replace, Resolved(file)};
    case Kind::Regular:
      break;
  }
  // a name whose links only the system can follow (/proc/self/fd/N of a deleted file) is written as
  // it is
  const fs::path target = Resolved(file);
  std::error_code failure;
  return fs::equivalent(file, target, failure) ? Plan{Plan::Replace, target} : Plan{Plan::InPlace, file};
}

// Every file named flushed to disk: on Linux with one flush of each file system they lie on (the
// journal is written once, not once a file), elsewhere a file at a time.
bool FlushAll(const std::vector<fs::path>& files, std::string* reason) {
#if defined(__linux__)
  std::vector<dev_t> flushed;
  for (const fs::path& file : files) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) return *reason = LastReason(), false;
    if (std::find(flushed.begin(), flushed.end(), status.st_dev) != flushed.end()) continue;
    const int handle = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) return *reason = LastReason(), false;
    const bool done = syncfs(handle) == 0;
    if (!done) *reason = LastReason();
    close(handle);
    if (!done) return false;
    flushed.push_back(status.st_dev);
  }
  return true;
#else
  for (const fs::path& file : files) {
#if defined(_WIN32)
    const Handle handle = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    const Handle handle = open(file.c_str(), O_WRONLY | O_CLOEXEC);
#endif
    if (handle == kNoHandle) return *reason = LastReason(), false;
    const bool done = Flush(handle);
    if (!done) *reason = LastReason();
    Close(handle);
    if (!done) return false;
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

bool WriteWhole(const fs::path& file, std::string_view bytes, std::string* error) {
  std::string reason = "a folder";
  const Plan plan = PlanOf(file);
  const bool written = plan.how == Plan::Replace  ? Replace(plan.target, bytes, &reason)
                       : plan.how == Plan::InPlace ? WriteInPlace(plan.target, bytes, &reason)
                                                   : false;
  if (!written) *error = "cannot write " + file.u8string() + ": " + reason;
  return written;
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

OutputGroup::~OutputGroup() {
  for (const Staged& staged : staged_) Remove(staged.temporary);
}

bool OutputGroup::Stage(const fs::path& file, std::string_view bytes, std::string* error) {
  if (!files_.MayWrite(file, error)) return false;
  std::string reason = "a folder";
  const Plan plan = PlanOf(file);
  bool written = false;
  if (plan.how == Plan::InPlace) {
    written = WriteInPlace(plan.target, bytes, &reason);
  } else if (plan.how == Plan::Replace) {
    Staged staged{file, plan.target, {}};
    written = WriteBeside(plan.target, bytes, /*flush=*/false, &staged.temporary, &reason);
    if (written) staged_.push_back(std::move(staged));
  }
  if (!written) *error = "cannot write " + file.u8string() + ": " + reason;
  return written;
}

std::vector<std::string> OutputGroup::Commit() {
  std::vector<std::string> failures(staged_.size());
  std::vector<fs::path> temporaries;
  for (const Staged& staged : staged_) temporaries.push_back(staged.temporary);
  std::string reason;
  const bool flushed = FlushAll(temporaries, &reason);
  for (size_t i = 0; i < staged_.size(); ++i) {
    const Staged& staged = staged_[i];
    if (flushed && Move(staged.temporary, staged.target)) continue;
    if (flushed) reason = LastReason();
    failures[i] = "cannot write " + staged.file.u8string() + ": " + reason;
    Remove(staged.temporary);
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

GrowingOutput::~GrowingOutput() {
  if (handle_ == -1) return;
  Close(Taken(handle_));
  if (!temporary_.empty()) Remove(temporary_);
}

bool GrowingOutput::Open(const RunFiles& files, const fs::path& file, std::string* error) {
  if (!files.MayWrite(file, error)) return false;
  file_ = file;
  const Plan plan = PlanOf(file);
  target_ = plan.target;
  std::string reason = "a folder";
  Handle handle = kNoHandle;
  if (plan.how == Plan::InPlace) {
    handle = OpenExisting(plan.target);
    if (handle == kNoHandle) reason = LastReason();
  } else if (plan.how == Plan::Replace) {
    handle = CreateBeside(plan.target, &temporary_, &reason);
  }
  if (handle == kNoHandle) return *error = "cannot write " + file.u8string() + ": " + reason, false;
  handle_ = Stored(handle);
  return true;
}

bool GrowingOutput::Append(std::string_view bytes) {
  if (failed_ || handle_ == -1) return false;
  if (WriteAll(Taken(handle_), bytes)) return true;
  failed_ = true;
  reason_ = LastReason();
  return false;
}

bool GrowingOutput::Finish(std::string* error) {
  if (handle_ == -1) return *error = "cannot write " + file_.u8string() + ": not opened", false;
  const Handle handle = Taken(handle_);
  handle_ = -1;
  bool done = !failed_ && (temporary_.empty() || Flush(handle));
  if (!done && !failed_) reason_ = LastReason();
  if (!Close(handle) && done) done = false, reason_ = LastReason();
  if (done && !temporary_.empty() && !Move(temporary_, target_)) done = false, reason_ = LastReason();
  if (!done && !temporary_.empty()) Remove(temporary_);
  temporary_.clear();
  if (!done) *error = "cannot write " + file_.u8string() + ": " + reason_;
  return done;
}

}  // namespace vthost
