// Names of files compared as the file system resolves them, so that no output names an input or
// another output by a second path, and the files of a run: what it reads, and how it writes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// The files a run reads, which no output may replace: the module file and its res folder, every
// file the module looked up and found, and what the program adds (a script). Every output file is
// written through it.
class RunFiles {
 public:
  // what names the input in the reason an output is refused ("the module file this run loaded").
  void AddInput(const std::filesystem::path& file, const std::string& what);
  // Everything inside the folder is an input.
  void AddInputFolder(const std::filesystem::path& folder, const std::string& what);
  // bytes as the whole of file, replaced whole or not at all; false with the reason when file
  // names an input or cannot be written.
  bool WriteOutput(const std::filesystem::path& file, std::string_view bytes, std::string* error) const;

 private:
  struct Input {
    ResolvedName name;  // as it resolved when the run read it
    std::string what;
    bool folder = false;
  };
  void Remember(const std::filesystem::path& file, const std::string& what, bool folder);
  std::vector<Input> inputs_;
};

}  // namespace vthost
