// A folder of the run's own for temporary files (the records handed to the module, what standard
// input held for the workers), removed at the end, or by a signal that ends the run.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "vthost/files.h"

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
  std::unique_ptr<vthost::RemovedOnSignals> folderOnSignals_;
  std::map<std::string, std::unique_ptr<vthost::RemovedOnSignals>> filesOnSignals_;  // by name
};

}  // namespace vantorcli
