// The files a run reads, and its outputs refused over them.
#include <algorithm>

#include "base/outputfiles.h"
#include "vthost/files.h"

namespace vthost {

void RunFiles::AddInput(const std::filesystem::path& file, const std::string& what) { Remember(file, what, false); }

void RunFiles::AddInputFolder(const std::filesystem::path& folder, const std::string& what) {
  Remember(folder, what, true);
}

void RunFiles::Remember(const std::filesystem::path& file, const std::string& what, bool folder) {
  // the element table is looked up by every new object, a module's folder by every load
  const auto known = [&](const Input& input) { return input.name.Name() == file && input.folder == folder; };
  if (std::none_of(inputs_.begin(), inputs_.end(), known)) inputs_.push_back({ResolvedName(file), what, folder});
}

bool RunFiles::WriteOutput(const std::filesystem::path& file, std::string_view bytes, std::string* error) const {
  const ResolvedName output(file);
  for (const Input& input : inputs_) {
    if (input.folder ? output.InFolder(input.name) : output.SameFile(input.name)) {
      return *error = file.u8string() + " is " + input.what + ": not written", false;
    }
  }
  return WriteWhole(file, bytes, error);
}

}  // namespace vthost
