// Resource sets over the Rs table, bitmaps over the Bm table.
#include "hostapi/hostresource.h"

#include <utility>

#include "hostapi/hostbinding.h"

namespace vantor {

bool Resource::Load(const Filename& folder) {
  Free();
  handle_ = host::Tables().Rs->Load(folder.Handle());
  return handle_ != nullptr;
}

void Resource::Free() {
  if (handle_) host::Tables().Rs->Free(handle_);
  handle_ = nullptr;
}

String Resource::GetString(int32_t id) const {
  return String::Adopt(host::Tables().Rs->GetString(handle_, id));
}

Bitmap Bitmap::Load(const Filename& file, double pixelRatio) {
  return Bitmap(host::Tables().Bm->Load(file.Handle(), pixelRatio));
}

Bitmap::Bitmap(Bitmap&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}

Bitmap::~Bitmap() {
  if (handle_) host::Tables().Bm->Free(handle_);
}

}  // namespace vantor
