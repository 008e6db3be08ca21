// The Fn table (file names) and the FL table (the file system).
#include <system_error>

#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

VtFilename* FromString(const VtString* path) { return NewFilename(TextOf(path)); }

VtString* ToString(const VtFilename* name) { return NewString(PathOf(name)); }

VtFilename* Share(const VtFilename* name) {
  if (name == nullptr) return nullptr;
  auto* shared = const_cast<VtFilename*>(name);
  ++shared->references;
  return shared;
}

void Release(VtFilename* name) { ReleaseFilename(name); }

VtBool IsEmpty(const VtFilename* name) { return PathOf(name).empty() ? 1 : 0; }

VtString* Suffix(const VtFilename* name) {
  const std::string& path = PathOf(name);
  size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return NewString({});
  return NewString(path.substr(dot + 1));
}

VtFilename* Join(const VtFilename* folder, const VtString* name) {
  std::string path = PathOf(folder);
  // the platform's own separator, as the host application joins: '\' on Windows, '/' elsewhere
  if (!path.empty() && !IsSeparator(path.back())) path += static_cast<char>(std::filesystem::path::preferred_separator);
  return NewFilename(path + TextOf(name));
}

VtBool Exists(const VtFilename* name, int32_t kind) {
  const std::string& path = PathOf(name);
  if (path.empty()) return 0;
  std::error_code error;
  const auto status = std::filesystem::status(std::filesystem::u8path(path), error);
  const bool exists = !error && (kind == VT_ENTRY_FOLDER ? std::filesystem::is_directory(status)
                                                        : std::filesystem::is_regular_file(status));
  if (exists && kind != VT_ENTRY_FOLDER) {
    CurrentHost().Files().AddInput(std::filesystem::u8path(path), "a file the module read");
  }
  if (const auto& hook = CurrentHost().Options().afterExistenceTest) hook(path);
  return exists ? 1 : 0;
}

VtFilename* PluginResourceFolder() {
  const std::filesystem::path& folder = CurrentHost().Types().ModuleFolder();
  if (folder.empty()) return NewFilename({});
  return NewFilename((folder / "res").u8string());
}

}  // namespace

const VtFnTable kFnTable = {FromString, ToString, Share, Release, IsEmpty, Suffix, Join};
const VtFLTable kFLTable = {Exists, PluginResourceFolder};

}  // namespace vthost
