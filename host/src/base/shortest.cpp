// The shortest digits of a float or double, exactly, with integer arithmetic: the value's rounding
// interval scaled by a power of ten so that it holds several whole numbers, then a digit at a time
// dropped while a whole number is still inside. (Most floats take the path in shortest.h.)
#include "base/shortest.h"

#include <array>
#include <cstring>
#include <type_traits>

namespace vthost {

#if defined(__SIZEOF_INT128__)

namespace {

__extension__ typedef unsigned __int128 Wide;  // -Wpedantic knows no 128-bit type

// The bits of a type, and the largest power of ten that fits in 128 bits with four of its
// mantissas: 2^27 * 10^30 and 2^55 * 10^21 both stay below 2^128.
template <typename T>
struct Format;
template <>
struct Format<float> {
  using Bits = uint32_t;
  static constexpr int kMantissaBits = 23;
  static constexpr int kExponentBits = 8;
  static constexpr int kMostTens = 30;
};
template <>
struct Format<double> {
  using Bits = uint64_t;
  static constexpr int kMantissaBits = 52;
  static constexpr int kExponentBits = 11;
  static constexpr int kMostTens = 21;
};

constexpr auto kPowersOfTen = [] {
  std::array<Wide, 31> powers{};
  powers[0] = 1;
  for (size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 10;
  return powers;
}();

// floor(e * log10(2)) for |e| < 1650 (the constant is 2^18 * log10(2), rounded down).
int FloorLog10Pow2(int e) { return (e * 78913) >> 18; }

// The shortest digits within [low, high] * 2^-shift * 10^-q (the ends included when asked) nearest
// mid * 2^-shift * 10^-q, in 128-bit integers.
template <bool kManyAtATime>
void ShortestWithin(uint64_t low, uint64_t mid, uint64_t high, bool inclusive, int shift, int q,
                    uint64_t* digits, int* exponent) {
  const Wide scale = static_cast<Wide>(kPowersOfTen[static_cast<size_t>(-q)]);
  const Wide mask = (Wide(1) << shift) - 1;
  const Wide scaledLow = Wide(low) * scale, scaledMid = Wide(mid) * scale, scaledHigh = Wide(high) * scale;
  uint64_t first = static_cast<uint64_t>(scaledLow >> shift);
  if ((scaledLow & mask) != 0 || !inclusive) ++first;
  uint64_t last = static_cast<uint64_t>(scaledHigh >> shift);
  if ((scaledHigh & mask) == 0 && !inclusive) --last;
  const uint64_t whole = static_cast<uint64_t>(scaledMid >> shift);
  const Wide fraction = scaledMid & mask;
  const Wide half = Wide(1) << (shift - 1);
  uint64_t dropped = 1;  // 10^(digits dropped)
  int power = q;
  const auto drop = [&](uint64_t step, int count) {
    while ((first + step - 1) / step <= last / step) {
      first = (first + step - 1) / step;
      last /= step;
      dropped *= step;
      power += count;
    }
  };
  // a double of few digits (1.5, 100.0) drops most of its 17 or so: many at a time first, once two
  // can go (the interval holds fewer than 100 whole numbers: most doubles keep all but one)
  if (kManyAtATime && (first + 99) / 100 <= last / 100) {
    drop(100000000, 8);
    drop(10000, 4);
    drop(100, 2);
  }
  drop(10, 1);
  // the nearest to the value: whole / dropped rounded half to even, kept within first and last
  uint64_t nearest = whole / dropped;
  const uint64_t rest = whole - nearest * dropped;
  bool up = false;
  if (dropped == 1) {
    up = fraction > half || (fraction == half && (nearest & 1) != 0);
  } else {
    const uint64_t halfDropped = dropped / 2;
    up = rest > halfDropped || (rest == halfDropped && (fraction != 0 || (nearest & 1) != 0));
  }
  if (up) ++nearest;
  if (nearest < first) nearest = first;
  if (nearest > last) nearest = last;
  *digits = nearest;
  *exponent = power;
}

template <typename T>
bool Shortest(T value, uint64_t* digits, int* exponent) {
  using F = Format<T>;
  typename F::Bits bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  constexpr int kBias = (1 << (F::kExponentBits - 1)) - 1;
  constexpr int kSignBit = F::kMantissaBits + F::kExponentBits;
  constexpr uint64_t kHidden = uint64_t{1} << F::kMantissaBits;
  const int biased = static_cast<int>(bits >> F::kMantissaBits) & ((1 << F::kExponentBits) - 1);
  // negative, zero, subnormal or not finite: the general path
  if ((bits >> kSignBit) != 0 || biased == 0 || biased == (1 << F::kExponentBits) - 1) return false;
  const uint64_t m = (static_cast<uint64_t>(bits) & (kHidden - 1)) | kHidden;
  const int e = biased - kBias - F::kMantissaBits;  // value = m * 2^e
  if (e > 0) return false;
  // the values that read as this one: from low to high (both included when m is even), in units of
  // 2^(e-2); the gap below a power of two is half the gap above
  const bool narrowBelow = m == kHidden && biased > 1;
  const uint64_t low = narrowBelow ? 4 * m - 1 : 4 * m - 2;
  const uint64_t mid = 4 * m;
  const uint64_t high = 4 * m + 2;
  const bool inclusive = (m & 1) == 0;
  // a power of ten below the gap: the interval, 3/4 of the gap at the least, holds 7 whole numbers
  // or more
  const int q = FloorLog10Pow2(e) - 1;
  if (q > 0 || -q > F::kMostTens) return false;
  ShortestWithin<std::is_same_v<T, double>>(low, mid, high, inclusive, 2 - e, q, digits, exponent);
  return true;
}

}  // namespace

bool ShortestDigitsOfOtherFloat(float value, uint64_t* digits, int* exponent) {
  return Shortest(value, digits, exponent);
}
bool ShortestDigits(double value, uint64_t* digits, int* exponent) { return Shortest(value, digits, exponent); }

#else

bool ShortestDigitsOfOtherFloat(float, uint64_t*, int*) { return false; }
bool ShortestDigits(double, uint64_t*, int*) { return false; }

#endif

}  // namespace vthost
