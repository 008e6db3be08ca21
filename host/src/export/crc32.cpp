// The CRC-32 of zip: eight bytes a step by tables on every machine; on x86-64 processors with
// carry-less multiplication, 64 bytes a step by folding, the tables taking the last few bytes.
#include "export/crc32.h"

#include <array>
#include <cstddef>

#if defined(__x86_64__) || defined(_M_X64)
#define VTHOST_CRC_FOLDING 1
#include <emmintrin.h>
#include <wmmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#if defined(__GNUC__) || defined(__clang__)
#define VTHOST_CLMUL_TARGET __attribute__((target("pclmul,sse2")))
#else
#define VTHOST_CLMUL_TARGET
#endif
#endif

namespace vthost {
namespace {

// table[k][b] is the CRC of byte b followed by k zero bytes.
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

// The register (not yet ended by all ones) after the bytes, from the register given.
uint32_t ByTables(const unsigned char* p, size_t left, uint32_t crc) {
  const auto& t = kCrcTables;
  for (; left >= 8; left -= 8, p += 8) {
    const uint32_t low = crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; left > 0; --left, ++p) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return crc;
}

#ifdef VTHOST_CRC_FOLDING

bool HasCarrylessMultiplication() {
  constexpr unsigned kPclmulBit = 1u << 1;  // of ecx, cpuid leaf 1
#if defined(_MSC_VER)
  int info[4] = {};
  __cpuid(info, 1);
  return (static_cast<unsigned>(info[2]) & kPclmulBit) != 0;
#else
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(1, &a, &b, &c, &d) != 0 && (c & kPclmulBit) != 0;
#endif
}
const bool kHasCarrylessMultiplication = HasCarrylessMultiplication();

VTHOST_CLMUL_TARGET inline __m128i Load(const unsigned char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// 128 bits carried forward by the distance k stands for, added to the next 128.
VTHOST_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00)), next);
}

// The register after a whole number of 16-byte blocks, 64 bytes at the least: four lanes of 128
// bits folded forward 64 bytes at a time, then into one, 16 bytes at a time, then reduced to 32
// bits (Barrett). The constants are powers of x modulo the polynomial, bit-reflected.
VTHOST_CLMUL_TARGET uint32_t ByFolding(const unsigned char* p, size_t length, uint32_t crc) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);

  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += 64;
  length -= 64;
  for (; length >= 64; length -= 64, p += 64) {
    x1 = Fold(x1, k1k2, Load(p));
    x2 = Fold(x2, k1k2, Load(p + 16));
    x3 = Fold(x3, k1k2, Load(p + 32));
    x4 = Fold(x4, k1k2, Load(p + 48));
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  for (; length >= 16; length -= 16, p += 16) x1 = Fold(x1, k3k4, Load(p));

  // 128 bits to 64, then to 32 and the reduction
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00));
  __m128i reduced = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
  reduced = _mm_clmulepi64_si128(_mm_and_si128(reduced, low32), poly, 0x00);
  x1 = _mm_xor_si128(x1, reduced);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

#endif

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t left = bytes.size();
  uint32_t crc = 0xFFFFFFFFu;
#ifdef VTHOST_CRC_FOLDING
  constexpr size_t kFoldedAtLeast = 64;
  if (kHasCarrylessMultiplication && left >= kFoldedAtLeast) {
    const size_t folded = left & ~size_t{15};
    crc = ByFolding(p, folded, crc);
    p += folded;
    left -= folded;
  }
#endif
  return ByTables(p, left, crc) ^ 0xFFFFFFFFu;
}

}  // namespace vthost
