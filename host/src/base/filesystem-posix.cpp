// The system's calls for files on POSIX systems: Linux, macOS and the browser's file system in memory.
#include "base/filesystem.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "vthost/files.h"

namespace vthost {
namespace os {
namespace {

namespace fs = std::filesystem;

int Descriptor(Handle handle) { return static_cast<int>(handle); }

}  // namespace

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
  static const bool named = access("/proc/self/fd", X_OK) == 0;  // one look a process
  if (!named) return kNoHandle;
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
size_t ReadStart(const fs::path& file, char* bytes, size_t size) {
  const int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return 0;
  size_t read = 0;
  while (read < size) {
    const ssize_t got = ::read(descriptor, bytes + read, size - read);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    read += static_cast<size_t>(got);
  }
  close(descriptor);
  return read;
}
bool WriteAll(Handle handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(Descriptor(handle), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}
bool WriteAll(Handle handle, const std::vector<std::string_view>& pieces) {
  // a glb is some pieces a model (the JSON, then each shape's buffers): one call for all of them
  constexpr size_t kMostAtOnce = 64;  // IOV_MAX is at least 16 and 1024 on Linux and macOS
  // macOS refuses a call of more than 2 GiB in all (EINVAL), where Linux writes part of it
  constexpr size_t kMostBytesAtOnce = size_t{1} << 30;
  std::vector<iovec> left;
  left.reserve(pieces.size());
  for (const std::string_view piece : pieces) {
    if (!piece.empty()) left.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  for (size_t first = 0; first < left.size();) {
    iovec call[kMostAtOnce];
    size_t count = 0, bytes = 0;
    for (; count < kMostAtOnce && first + count < left.size() && bytes < kMostBytesAtOnce; ++count) {
      call[count] = left[first + count];
      call[count].iov_len = std::min(call[count].iov_len, kMostBytesAtOnce - bytes);
      bytes += call[count].iov_len;
    }
    ssize_t written = writev(Descriptor(handle), call, static_cast<int>(count));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    // whole pieces written go; the first one written in part keeps its rest
    while (first < left.size() && static_cast<size_t>(written) >= left[first].iov_len) {
      written -= static_cast<ssize_t>(left[first].iov_len);
      ++first;
    }
    if (written > 0) {
      left[first].iov_base = static_cast<char*>(left[first].iov_base) + written;
      left[first].iov_len -= static_cast<size_t>(written);
    }
  }
  return true;
}
bool Close(Handle handle) { return close(Descriptor(handle)) == 0; }
bool Move(const fs::path& from, const fs::path& to) { return rename(from.c_str(), to.c_str()) == 0; }
void RemoveName(const char* file) { unlink(file); }
void RemoveFolderName(const char* folder) { rmdir(folder); }
// The replacement keeps the old file's permissions, and its owner where the process may give it.
void KeepOwnerAndMode(Handle handle, const fs::path& target) {
  struct stat old {};
  if (stat(target.c_str(), &old) != 0) return;  // a new file: made as any other, under the umask
  if (fchown(Descriptor(handle), old.st_uid, old.st_gid) != 0) {
    // only root may give a file away; a user's own file keeps its owner anyway
  }
  if (fchmod(Descriptor(handle), old.st_mode & 07777) != 0) {
    // the file is written all the same, with the permissions of a new one
  }
}

Kind KindOf(const fs::path& file) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return Kind::Nothing;  // missing, or unreachable: the write will say why
  if (S_ISREG(status.st_mode)) return Kind::Regular;
  return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
}

int DescriptorNamed(const fs::path& name) {
  // only a last part of stdin, stdout, stderr or digits may name one: the rest is not normalised
  const std::string& raw = name.native();
  const std::string_view last = std::string_view(raw).substr(raw.find_last_of('/') + 1);
  const bool digits = !last.empty() && last.size() <= 9 && last.find_first_not_of("0123456789") == std::string_view::npos;
  if (!digits && last != "stdin" && last != "stdout" && last != "stderr") return -1;
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
}

void FoldCase(fs::path::string_type* name) {
#if defined(__APPLE__)
  for (char& c : *name) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
#else
  (void)name;  // elsewhere the file system tells the cases apart
#endif
}

}  // namespace os

bool FileIdOf(const std::filesystem::path& file, FileId* id) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return false;
  *id = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return true;
}

}  // namespace vthost
