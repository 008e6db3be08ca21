// Where fuzz targets write their files.
#pragma once

#include <filesystem>
#include <system_error>

// Where a target's files go: memory (/dev/shm) where the system has it, as every save is flushed
// to its disk first; else the temporary folder.
inline std::filesystem::path ScratchRoot() {
  std::error_code failure;
  if (std::filesystem::is_directory("/dev/shm", failure)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}
