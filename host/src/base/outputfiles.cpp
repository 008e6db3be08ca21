// What the host may write over.
#include "base/outputfiles.h"

#include <fstream>
#include <vector>

namespace vthost {

bool MayReplace(const std::filesystem::path& file, std::string_view magic, std::string_view kind, std::string* error) {
  std::error_code failure;
  const std::filesystem::file_status status = std::filesystem::status(file, failure);
  if (!std::filesystem::exists(status)) return true;
  if (std::filesystem::is_directory(status)) return *error = "cannot write " + file.u8string() + ": a folder", false;
  if (!std::filesystem::is_regular_file(status)) {
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

}  // namespace vthost
