// File names over the Fn table, file-system questions over the FL table.
#include "hostapi/hostfilename.h"

#include <utility>

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtFnTable& Fn() { return *host::Tables().Fn; }

}  // namespace

Filename::Filename(const String& path) : handle_(Fn().FromString(path.Handle())) {}

Filename Filename::Share(const VtFilename* handle) {
  return Filename(handle ? Fn().Share(handle) : nullptr);
}

Filename Filename::Adopt(VtFilename* handle) { return Filename(handle); }

Filename::Filename(const Filename& other) : handle_(other.handle_ ? Fn().Share(other.handle_) : nullptr) {}

Filename::Filename(Filename&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Filename& Filename::operator=(const Filename& other) {
  if (this != &other) *this = Filename(other);
  return *this;
}

Filename& Filename::operator=(Filename&& other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}

Filename::~Filename() {
  if (handle_) Fn().Release(handle_);
}

bool Filename::IsEmpty() const { return Fn().IsEmpty(handle_) != 0; }

String Filename::Path() const { return String::Adopt(Fn().ToString(handle_)); }

String Filename::Suffix() const { return String::Adopt(Fn().Suffix(handle_)); }

Filename Filename::operator+(const String& name) const {
  return Filename(Fn().Join(handle_, name.Handle()));
}

bool FileExists(const Filename& name) {
  return host::Tables().FL->Exists(name.Handle(), VT_ENTRY_FILE) != 0;
}

bool FolderExists(const Filename& name) {
  return host::Tables().FL->Exists(name.Handle(), VT_ENTRY_FOLDER) != 0;
}

Filename PluginResourceFolder() { return Filename::Adopt(host::Tables().FL->PluginResourceFolder()); }

}  // namespace vantor
