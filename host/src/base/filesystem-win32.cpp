// The system's calls for files on Windows.
#include "base/filesystem.h"

#include <algorithm>
#include <csignal>
#include <system_error>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "vthost/files.h"

namespace vthost {
namespace os {
namespace {

namespace fs = std::filesystem;

HANDLE Native(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle Held(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// Opened for what the system says of it only (a folder too).
HANDLE OpenToLookAt(const fs::path& file) {
  return CreateFileW(file.wstring().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

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
  return Held(
      CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}
Handle CreateUnnamed(const fs::path&, bool) { return kNoHandle; }
bool NameUnnamed(Handle, const fs::path&) { return false; }
Handle OpenExisting(const fs::path& file) {
  return Held(CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}
Handle OpenDescriptor(int) { return kNoHandle; }
size_t ReadStart(const fs::path& file, char* bytes, size_t size) {
  const HANDLE handle = CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  size_t read = 0;
  DWORD got = 0;
  while (read < size && ReadFile(handle, bytes + read, static_cast<DWORD>(size - read), &got, nullptr) && got > 0) {
    read += got;
  }
  CloseHandle(handle);
  return read;
}
bool WriteAll(Handle handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), size_t{1} << 30));
    if (!WriteFile(Native(handle), bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}
bool WriteAll(Handle handle, const std::vector<std::string_view>& pieces) {
  return std::all_of(pieces.begin(), pieces.end(), [handle](std::string_view piece) { return WriteAll(handle, piece); });
}
bool Flush(Handle handle) { return FlushFileBuffers(Native(handle)) != 0; }
bool Close(Handle handle) { return CloseHandle(Native(handle)) != 0; }
bool Move(const fs::path& from, const fs::path& to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), flags) != 0;
}
void RemoveName(const wchar_t* file) { DeleteFileW(file); }
void RemoveFolderName(const wchar_t* folder) { RemoveDirectoryW(folder); }
void KeepOwnerAndMode(Handle, const fs::path&) {}  // a new file takes its folder's access rules

bool FlushAll(const std::vector<Handle>& files, std::string* reason) {
  for (const Handle file : files) {
    if (!Flush(file)) {
      *reason = LastReason();
      return false;
    }
  }
  return true;
}

void StopProcess(unsigned long) {}  // the run's workers are in a job that ends them with it

void HandleEndingSignals(void (*handler)(int)) {
  for (const int signal : {SIGINT, SIGTERM, SIGBREAK}) std::signal(signal, handler);
}

Kind KindOf(const fs::path& file) {
  // a device such as NUL is told apart by its handle, not by its name
  const HANDLE handle = OpenToLookAt(file);
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
}

int DescriptorNamed(const fs::path&) { return -1; }

void FoldCase(fs::path::string_type* name) { CharUpperBuffW(name->data(), static_cast<DWORD>(name->size())); }

}  // namespace os

bool FileIdOf(const std::filesystem::path& file, FileId* id) {
  const HANDLE handle = os::OpenToLookAt(file);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  *id = {information.dwVolumeSerialNumber,
         (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
  return true;
}

}  // namespace vthost
