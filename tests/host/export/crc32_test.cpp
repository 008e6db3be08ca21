// The CRC-32 of zip, against the polynomial's definition, one bit at a time, for lengths that
// reach every path: the tables alone, folding with a tail, folding with none.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cases.h"
#include "export/crc32.h"

namespace vthost {
namespace {

uint32_t BitByBit(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

// Bytes that are not all alike, the same on every run.
std::string Bytes(size_t length) {
  std::string bytes(length, '\0');
  uint32_t state = 2463534242u;
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state & 0xFF);
  }
  return bytes;
}

struct CrcCase {
  std::string name;
  size_t length;
};
void PrintTo(const CrcCase& c, std::ostream* out) { *out << c.name; }

class Crc : public testing::TestWithParam<CrcCase> {};

TEST_P(Crc, IsThePolynomials) {
  const std::string bytes = Bytes(GetParam().length);
  EXPECT_EQ(Crc32(bytes), BitByBit(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Crc,
    testing::Values(CrcCase{"Empty", 0}, CrcCase{"OneByte", 1}, CrcCase{"BelowAStep", 7}, CrcCase{"BelowFolding", 63},
                    CrcCase{"OneFold", 64}, CrcCase{"FoldAndTail", 65}, CrcCase{"FoldAndBlocks", 112},
                    CrcCase{"FoldBlocksAndTail", 127}, CrcCase{"TwoFolds", 128}, CrcCase{"Many", 4099}),
    CaseName);

}  // namespace
}  // namespace vthost
