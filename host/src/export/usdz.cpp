// A .usdz package: a zip archive of stored (uncompressed) files, each file's data aligned to 64
// bytes by the extra field of its local header, so that a reader can map a layer in place.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// The CRC-32 of zip, eight bytes a step: table[k][b] is the CRC of byte b followed by k zero bytes.
constexpr std::array<std::array<uint32_t, 256>, 8> kCrcTables = [] {
  std::array<std::array<uint32_t, 256>, 8> tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n) {
    for (size_t k = 1; k < 8; ++k) tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFF];
  }
  return tables;
}();

uint32_t Crc32(const std::string& bytes) {
  const auto& t = kCrcTables;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t left = bytes.size();
  uint32_t crc = 0xFFFFFFFFu;
  for (; left >= 8; left -= 8, p += 8) {
    const uint32_t low = crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; left > 0; --left, ++p) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

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

bool UsdzBytes(const std::vector<PackagedFile>& files, std::string* bytes) {
  std::string& out = *bytes;
  out.clear();
  size_t total = 0;
  for (const PackagedFile& file : files) {
    total += file.bytes.size() + 2 * (kLocalHeaderBytes + file.name.size() + kAlignment);
  }
  out.reserve(total + kAlignment);
  std::string central;
  for (const PackagedFile& file : files) {
    const uint32_t crc = Crc32(file.bytes);
    const size_t offset = out.size();
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
    out += file.bytes;

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
  }
  const size_t start = out.size();
  if (start + central.size() > UINT32_MAX || files.size() > UINT16_MAX) return false;
  out += central;
  Put32(out, kEnd);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, files.size());
  Put16(out, files.size());
  Put32(out, central.size());
  Put32(out, start);
  Put16(out, 0);  // comment
  return true;
}

}  // namespace vthost
