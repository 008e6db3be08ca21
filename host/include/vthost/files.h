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

}  // namespace vthost
