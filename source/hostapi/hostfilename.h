// Host file names and the host's file-system questions.
#pragma once

#include "hostapi/hoststring.h"

namespace vantor {

class Filename {
 public:
  Filename() = default;
  explicit Filename(const String& path);
  // Shares a handle the host lent (the lender keeps its own reference).
  static Filename Share(const VtFilename* handle);
  static Filename Adopt(VtFilename* handle);

  Filename(const Filename& other);
  Filename(Filename&& other) noexcept;
  Filename& operator=(const Filename& other);
  Filename& operator=(Filename&& other) noexcept;
  ~Filename();

  bool IsEmpty() const;
  String Path() const;    // the full path
  String Suffix() const;  // after the last dot of the last component, without the dot
  Filename operator+(const String& name) const;  // name joined below this folder

  const VtFilename* Handle() const { return handle_; }

 private:
  explicit Filename(VtFilename* handle) : handle_(handle) {}
  VtFilename* handle_ = nullptr;  // null is the empty file name
};

bool FileExists(const Filename& name);    // a file, not a folder
bool FolderExists(const Filename& name);
// The res folder beside this module, as the host knows it.
Filename PluginResourceFolder();

}  // namespace vantor
