// A new file beside the one it is to replace, put in place once whole; nothing of it is left by a
// failure or by a signal that ends the run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "base/filesystem.h"

namespace vthost {

// A new file beside its target, made with the target's owner and mode: without a name where the
// system allows, else under a name of the process's own that a signal's handler removes.
class NewFile {
 public:
  NewFile();
  ~NewFile() { Discard(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // false with the reason.
  bool Create(const std::filesystem::path& target, std::string* reason);

  os::Handle handle() const { return handle_; }

  // Closed and moved over target; false with the reason, and nothing left of it.
  bool Place(const std::filesystem::path& target, std::string* reason);

  // Closed, and its name removed.
  void Discard();

 private:
  // registered before the file is made under it, so that no signal comes between
  void TakeName(std::filesystem::path name);
  void ForgetName();

  enum class AtOnce { NotTried, Placed, Failed };
  AtOnce PlaceAtOnce(const std::filesystem::path& target, std::string* reason);

  os::Handle handle_ = os::kNoHandle;
  bool replacing_ = false;      // the target was there when this was made
  std::filesystem::path name_;  // empty while it has none
  size_t slot_;                 // where a signal's handler finds name_
};

}  // namespace vthost
