// A folder of the run's own for temporary files (the records handed to the module, what standard
// input held for the workers), removed at the end.
#pragma once

#include <filesystem>
#include <string>

namespace vantorcli {

class ScratchFolder {
 public:
  ScratchFolder() = default;
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Made at the first call; false with the reason.
  bool Make(std::string* error);
  const std::filesystem::path& Folder() const { return folder_; }
  // text as a file of the folder named so, made when needed; false with the reason.
  bool Write(const std::string& name, const std::string& text, std::filesystem::path* file, std::string* error);

 private:
  std::filesystem::path folder_;
};

}  // namespace vantorcli
