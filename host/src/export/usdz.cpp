// A .usdz package: a zip archive of stored (uncompressed) files, each file's data aligned to 64
// bytes by the extra field of its local header, so that a reader can map a layer in place.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/crc32.h"
#include "export/usd.h"

namespace vthost {
namespace {

constexpr size_t kAlignment = 64;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEnd = 0x06054b50;
constexpr size_t kLocalHeaderBytes = 30;
constexpr size_t kExtraHeaderBytes = 4;
constexpr uint16_t kPaddingField = 0x1986;  // the extra field that pads a file's data into place
constexpr uint16_t kVersion = 20;
// 1980-01-01, the first date a zip holds: the same model gives the same bytes
constexpr uint16_t kDate = (0 << 9) | (1 << 5) | 1;

void Put16(std::string& out, uint64_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint64_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}

// What a local and a central header share: version, flags, method, time and date, CRC, sizes,
// the name's length.
void Common(std::string& out, uint32_t crc, size_t size, size_t name) {
  Put16(out, kVersion);
  Put16(out, 0);  // flags
  Put16(out, 0);  // stored
  Put16(out, 0);  // time
  Put16(out, kDate);
  Put32(out, crc);
  Put32(out, size);
  Put32(out, size);
  Put16(out, name);
}

}  // namespace

bool UsdzPieces(const std::vector<PackagedFile>& files, std::vector<std::string>* frames, Pieces* pieces) {
  // a frame before each file (its local header), then the central directory and the end record
  frames->assign(files.size() + 1, std::string());
  std::string& central = frames->back();
  size_t offset = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const PackagedFile& file = files[i];
    std::string& out = (*frames)[i];
    const uint32_t crc = Crc32(file.bytes);
    size_t padding = (kAlignment - (offset + kLocalHeaderBytes + file.name.size()) % kAlignment) % kAlignment;
    if (padding > 0 && padding < kExtraHeaderBytes) padding += kAlignment;  // room for the field's header
    if (offset + kLocalHeaderBytes + file.name.size() + padding + file.bytes.size() > UINT32_MAX) return false;
    Put32(out, kLocalHeader);
    Common(out, crc, file.bytes.size(), file.name.size());
    Put16(out, padding);
    out += file.name;
    if (padding > 0) {
      Put16(out, kPaddingField);
      Put16(out, padding - kExtraHeaderBytes);
      out.append(padding - kExtraHeaderBytes, '\0');
    }

    Put32(central, kCentralHeader);
    Put16(central, kVersion);  // made by
    Common(central, crc, file.bytes.size(), file.name.size());
    Put16(central, 0);  // extra
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, offset);
    central += file.name;
    offset += out.size() + file.bytes.size();
  }
  const size_t start = offset;
  const size_t centralSize = central.size();
  if (start + centralSize > UINT32_MAX || files.size() > UINT16_MAX) return false;
  Put32(central, kEnd);
  Put16(central, 0);
  Put16(central, 0);
  Put16(central, files.size());
  Put16(central, files.size());
  Put32(central, centralSize);
  Put32(central, start);
  Put16(central, 0);  // comment
  pieces->clear();
  for (size_t i = 0; i < files.size(); ++i) {
    pieces->push_back((*frames)[i]);
    pieces->push_back(files[i].bytes);
  }
  pieces->push_back(central);
  return true;
}

bool UsdzBytes(const std::vector<PackagedFile>& files, std::string* bytes) {
  std::vector<std::string> frames;
  Pieces pieces;
  if (!UsdzPieces(files, &frames, &pieces)) return false;
  size_t total = 0;
  for (const std::string_view piece : pieces) total += piece.size();
  bytes->clear();
  bytes->reserve(total);
  for (const std::string_view piece : pieces) bytes->append(piece);
  return true;
}

}  // namespace vthost
