// The module's resource set (strings and descriptions) and bitmaps from its res folder.
#pragma once

#include <cstdint>

#include "hostapi/hostfilename.h"
#include "hostapi/hoststring.h"

namespace vantor {

class Resource {
 public:
  Resource() = default;
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;
  ~Resource() { Free(); }

  // Loads the set from a res folder; false when the host cannot read it.
  bool Load(const Filename& folder);
  void Free();
  bool IsLoaded() const { return handle_ != nullptr; }
  // Empty when the set is not loaded or has no such string.
  String GetString(int32_t id) const;
  const VtResource* Handle() const { return handle_; }

 private:
  VtResource* handle_ = nullptr;
};

class Bitmap {
 public:
  // An invalid bitmap when the file cannot be loaded.
  static Bitmap Load(const Filename& file, double pixelRatio);

  Bitmap() = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap();

  bool IsValid() const { return handle_ != nullptr; }
  const VtBitmap* Handle() const { return handle_; }

 private:
  explicit Bitmap(VtBitmap* handle) : handle_(handle) {}
  VtBitmap* handle_ = nullptr;
};

}  // namespace vantor
