// The shortest digits of a float or double that read back as the same value, found with integers.
#pragma once

#include <cstdint>
#include <cstring>

namespace vthost {

// The digits and power of ten of the shortest decimal that reads back as value (finite, positive,
// below 2^24 for a float and 2^53 for a double, and not much below 1e-20 or 1e-5: the range of a
// model's placements, rotations, colours and parameters), the one nearest the value among them,
// ties to the even one: what std::to_chars chooses. False for any other value, which takes the
// general path.
inline bool ShortestDigits(float value, uint64_t* digits, int* exponent);  // below
bool ShortestDigits(double value, uint64_t* digits, int* exponent);

// ShortestDigits of a float outside the range ShortestDigitsOfGapFloat takes.
bool ShortestDigitsOfOtherFloat(float value, uint64_t* digits, int* exponent);

// The floats with a gap of 2^-33 to 1 (biased exponents 117 to 150: from 2^-10, about 1e-3, up to
// 2^24), whose digits fit 64 bits: 4 * 2^24 * 10^10 < 2^64. Most floats a model writes are of
// them: their digits are found inline, where they are written.
constexpr uint32_t kGapFloatsFirst = uint32_t{117} << 23;
constexpr uint32_t kGapFloatsEnd = uint32_t{151} << 23;
constexpr uint64_t kGapFloatTens[] = {1,      10,      100,      1000,      10000,      100000,
                                      1000000, 10000000, 100000000, 1000000000, 10000000000};

// The shortest digits of a float of that range (its bits), at the power of ten of its gap, 10^k
// (k = floor(e * log10(2))): the interval is 1 to 10 units wide there, so it holds one multiple of
// ten at the most. That one, when there, has the fewest digits (its zeros dropped); otherwise the
// whole number in it nearest the value has. False when the interval holds no whole number at all
// (none of the range: each power of two, where it is narrower, was tried).
inline bool ShortestDigitsOfGapFloat(uint32_t bits, uint64_t* digits, int* exponent) {
  const uint32_t stored = bits & 0x7FFFFF;
  const uint64_t m = stored | 0x800000;
  const int e = static_cast<int>(bits >> 23) - 150;  // value = m * 2^e
  const int k = (e * 78913) >> 18;                   // 78913 = 2^18 * log10(2), rounded down
  const int shift = 2 - e;
  // the interval in units of 2^(e-2) * 10^k: the gap below a power of two is half the gap above,
  // and an odd m's ends are left out
  const uint64_t scale = kGapFloatTens[-k];
  const uint64_t scaledMid = 4 * m * scale;
  const uint64_t scaledLow = scaledMid - (stored == 0 ? scale : 2 * scale);
  const uint64_t scaledHigh = scaledMid + 2 * scale;
  const uint64_t odd = m & 1;
  const uint64_t mask = (uint64_t{1} << shift) - 1;
  const uint64_t first = (scaledLow + mask + odd) >> shift;
  const uint64_t last = (scaledHigh - odd) >> shift;
  if (first > last) return false;
  uint64_t tens = (first + 9) / 10;
  if (tens * 10 <= last) {
    int power = k + 1;
    while (tens % 10 == 0) {
      tens /= 10;
      ++power;
    }
    *digits = tens;
    *exponent = power;
    return true;
  }
  // the nearest, ties to the even one, kept within first and last
  uint64_t nearest = scaledMid >> shift;
  const uint64_t fraction = scaledMid & mask;
  const uint64_t half = uint64_t{1} << (shift - 1);
  if (fraction > half || (fraction == half && (nearest & 1) != 0)) ++nearest;
  *digits = nearest < first ? first : nearest > last ? last : nearest;
  *exponent = k;
  return true;
}

inline bool ShortestDigits(float value, uint64_t* digits, int* exponent) {
#if defined(__SIZEOF_INT128__)  // where the rest has the integer path too
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  // one comparison leaves out negative floats too, and every float not finite
  if (bits - kGapFloatsFirst < kGapFloatsEnd - kGapFloatsFirst && ShortestDigitsOfGapFloat(bits, digits, exponent)) {
    return true;
  }
#endif
  return ShortestDigitsOfOtherFloat(value, digits, exponent);
}

}  // namespace vthost
