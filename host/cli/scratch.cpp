// The run's temporary folder: made once, in the system's folder for temporary files.
#include "scratch.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#if !defined(_WIN32)
#include <unistd.h>
#else
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace vantorcli {

namespace fs = std::filesystem;

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

bool ScratchFolder::Make(std::string* error) {
  if (!folder_.empty()) return true;
  std::error_code failure;
  const fs::path temporary = fs::temp_directory_path(failure);
  if (failure) {
    *error = "no folder for temporary files: " + failure.message();
    return false;
  }
#if defined(_WIN32)
  for (unsigned attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
    const fs::path folder =
        temporary / ("vantor-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
    if (!fs::create_directory(folder, failure)) continue;
    folderOnSignals_ = std::make_unique<vthost::RemovedOnSignals>(folder, /*folder=*/true);
    folder_ = folder;
  }
  if (folder_.empty()) {
    *error = "cannot make a temporary folder in " + temporary.u8string();
    return false;
  }
#else
  std::string name = (temporary / "vantor-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) {
    *error = "cannot make a temporary folder in " + temporary.u8string() + ": " + std::generic_category().message(errno);
    return false;
  }
  folder_ = name;
  folderOnSignals_ = std::make_unique<vthost::RemovedOnSignals>(folder_, /*folder=*/true);
#endif
  return true;
}

bool ScratchFolder::Write(const std::string& name, const std::string& text, fs::path* file, std::string* error) {
  if (!Make(error)) return false;
  *file = folder_ / fs::u8path(name);
  auto& onSignals = filesOnSignals_[name];
  if (!onSignals) onSignals = std::make_unique<vthost::RemovedOnSignals>(*file, /*folder=*/false);
#if !defined(_WIN32)
  // a new file each time: ext4 sends a file emptied and written again to the disk when it is closed
  // (a wait of milliseconds a record), a new one when it sees fit. Not on Windows, where a file
  // another program has open (a virus scanner) is only marked for deletion and keeps its name.
  std::error_code ignored;
  fs::remove(*file, ignored);
#endif
  std::ofstream out(*file, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (out.close(), out) return true;
  *error = "cannot write " + file->u8string();
  return false;
}

}  // namespace vantorcli
