// Names of files compared as the file system resolves them, so that no output names an input or
// another output by a second path.
#pragma once

#include <filesystem>

namespace vthost {

// Whether a and b are one file, or would be once written: each name is taken as the file system
// takes it, every symbolic link on its way followed (a dangling one too) and `.` and `..` applied;
// letters of either case are one on Windows and macOS, whose file systems usually ignore case; two
// hard links to one file are one file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// Whether file is folder or lies inside it, by the same rules.
bool InFolder(const std::filesystem::path& file, const std::filesystem::path& folder);

// A name resolved once by those rules, to be compared with many: SameFile and InFolder resolve
// both their names on every call.
class ResolvedName {
 public:
  explicit ResolvedName(const std::filesystem::path& file);
  bool SameFile(const ResolvedName& other) const;
  bool InFolder(const ResolvedName& folder) const;
  const std::filesystem::path& Name() const { return file_; }

 private:
  std::filesystem::path file_;
  std::filesystem::path::string_type key_;  // resolved, and in one case where case does not matter
};

}  // namespace vthost
