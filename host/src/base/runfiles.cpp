// The files a run reads, and its outputs refused over them.
#include "base/outputfiles.h"
#include "vthost/files.h"

namespace vthost {

void RunFiles::AddInput(const std::filesystem::path& file, const std::string& what) {
  // the element table is looked up by every new object, each record's file by its load
  if (!added_.insert(file).second) return;
  const ResolvedName name(file);
  if (!names_.emplace(name.Key(), what).second) return;
  FileId id;
  if (FileIdOf(file, &id)) files_.emplace(id, what);
}

void RunFiles::AddInputFolder(const std::filesystem::path& folder, const std::string& what) {
  const ResolvedName name(folder);
  for (const auto& [known, ignored] : folders_) {
    if (known.Key() == name.Key()) return;
  }
  folders_.emplace_back(name, what);
  // and its files and folders as files, whatever names reach them: an entry that is a link to a
  // file elsewhere, a hard link, the folder mounted under another name
  FileId id;
  if (FileIdOf(folder, &id)) folderIds_.emplace(id, what);
  std::error_code failure;
  auto entry = std::filesystem::recursive_directory_iterator(
      folder, std::filesystem::directory_options::follow_directory_symlink, failure);
  for (size_t seen = 0; !failure && entry != std::filesystem::recursive_directory_iterator() && seen < kFolderEntries;
       entry.increment(failure), ++seen) {
    if (entry.depth() >= kFolderDepth) entry.disable_recursion_pending();
    if (!FileIdOf(entry->path(), &id)) continue;
    if (entry->is_directory(failure)) {
      folderIds_.emplace(id, what);
    } else {
      files_.emplace(id, what);
    }
  }
}

bool RunFiles::MayWrite(const std::filesystem::path& file, std::string* error) const {
  const ResolvedName output(file);
  const std::string* input = nullptr;
  if (const auto named = names_.find(output.Key()); named != names_.end()) input = &named->second;
  FileId id;
  if (input == nullptr && !files_.empty() && FileIdOf(file, &id)) {
    if (const auto same = files_.find(id); same != files_.end()) input = &same->second;
  }
  // a new file in an input folder by another of its names
  const std::filesystem::path parent = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  if (input == nullptr && !folderIds_.empty() && FileIdOf(parent, &id)) {
    if (const auto same = folderIds_.find(id); same != folderIds_.end()) input = &same->second;
  }
  for (const auto& [folder, what] : folders_) {
    if (input == nullptr && output.InFolder(folder)) input = &what;
  }
  if (input == nullptr) return true;
  *error = file.u8string() + " is " + *input + ": not written";
  return false;
}

bool RunFiles::WriteOutput(const std::filesystem::path& file, const Pieces& bytes, std::string* error) const {
  return MayWrite(file, error) && WriteWhole(file, bytes, error);
}

}  // namespace vthost
