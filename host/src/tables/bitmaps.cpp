// The Bm table: bitmaps decoded from TIFF files.
#include <fstream>
#include <system_error>

#include "resources/tiff.h"
#include "scene/model.h"
#include "tables/tables.h"

struct VtBitmap {
  vthost::Image image;
  double pixelRatio = 1.0;
};

namespace vthost {
namespace {

// An icon is small; anything this large is not one.
constexpr std::uintmax_t kMaxBitmapFileBytes = 64u << 20;

VtBitmap* Load(const VtFilename* file, double pixelRatio) {
  const std::filesystem::path path = std::filesystem::u8path(PathOf(file));
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return nullptr;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxBitmapFileBytes) return nullptr;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  Image image;
  std::string reason;
  if (!DecodeTiff(bytes.data(), bytes.size(), &image, &reason)) return nullptr;
  if (!CurrentHost().Faults().Allow(AllocKind::Bitmap)) return nullptr;
  return new VtBitmap{std::move(image), pixelRatio};
}

void Free(VtBitmap* bitmap) { delete bitmap; }

int32_t Width(const VtBitmap* bitmap) { return bitmap ? bitmap->image.width : 0; }

int32_t Height(const VtBitmap* bitmap) { return bitmap ? bitmap->image.height : 0; }

}  // namespace

const VtBmTable kBmTable = {Load, Free, Width, Height};

}  // namespace vthost
