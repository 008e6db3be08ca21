// The host's number conversions: the whole text, blanks around it aside, must be the number.
#include "base/numbers.h"

#include "base/shortest.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <locale>
#include <sstream>
#include <string>
#include <system_error>
#include <type_traits>

namespace vthost {
namespace {

// a space, or one of \t \n \v \f \r, which follow one another
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// from_chars takes a minus but no plus: one plus sign is skipped, a sign after it is not a number.
bool SkipPlus(const char** begin, const char* end) {
  const bool plus = *begin != end && **begin == '+';
  if (plus) ++*begin;
  return *begin != end && !(plus && (**begin == '+' || **begin == '-'));
}

// The fixed-point numbers of molecule files ([-]digits[.digits]) with at most 15 significant digits:
// mantissa and power of ten are exact doubles, so one division gives the correctly rounded value,
// the same that from_chars gives. Anything else answers false and takes the general path.
bool ParsePlainDecimal(const char* begin, const char* end, double* value) {
  constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr int kMaxDigits = 15;
  const bool negative = begin != end && *begin == '-';
  if (negative) ++begin;
  uint64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  bool point = false;
  for (const char* c = begin; c != end; ++c) {
    if (*c == '.' && !point) {
      point = true;
    } else if (*c >= '0' && *c <= '9') {
      if (++digits > kMaxDigits) return false;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*c - '0');
      if (point) ++decimals;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  *value = negative ? -magnitude : magnitude;
  return true;
}

// The form from_chars reads in chars_format::general, a plus sign aside: [-]digits[.[digits]] or
// [-].digits, then an optional exponent e[+|-]digits. (It also reads inf and nan, which ParseFloat
// refuses anyway.)
bool HasDecimalForm(const char* begin, const char* end) {
  const auto digits = [&](const char* c) {
    while (c != end && *c >= '0' && *c <= '9') ++c;
    return c;
  };
  const char* c = begin;
  if (c != end && *c == '-') ++c;
  const char* integral = digits(c);
  bool any = integral != c;
  c = integral;
  if (c != end && *c == '.') {
    const char* fraction = digits(c + 1);
    any = any || fraction != c + 1;
    c = fraction;
  }
  if (!any) return false;
  if (c != end && (*c == 'e' || *c == 'E')) {
    ++c;
    if (c != end && (*c == '+' || *c == '-')) ++c;
    const char* exponent = digits(c);
    if (exponent == c) return false;
    c = exponent;
  }
  return c == end;
}

// A whole number's text gets a fraction, so that readers take it as a floating-point number.
char* WithFraction(char* first, char* end) {
  if (std::find_if(first, end, [](char c) { return c == '.' || c == 'e'; }) != end) return end;
  std::memcpy(end, ".0", 2);
  return end + 2;
}

template <typename T>
char* Shortest(char* first, T value, bool asFloat) {
#if defined(_LIBCPP_VERSION)
  // libc++ (macOS) has no to_chars for floating point
  return WriteShortestByPrintf(first, value, asFloat);
#else
  (void)asFloat;
  const std::to_chars_result written = std::to_chars(first, first + kShortestNumberBytes - 2, value);
  return WithFraction(first, written.ptr);
#endif
}

int DigitCount(uint64_t digits) {
  static constexpr uint64_t kPowers[] = {1,
                                         10,
                                         100,
                                         1000,
                                         10000,
                                         100000,
                                         1000000,
                                         10000000,
                                         100000000,
                                         1000000000,
                                         10000000000,
                                         100000000000,
                                         1000000000000,
                                         10000000000000,
                                         100000000000000,
                                         1000000000000000,
                                         10000000000000000,
                                         100000000000000000,
                                         1000000000000000000,
                                         10000000000000000000u};
#if defined(__GNUC__)
  // the bits of digits times log10(2) (1233 / 4096) is the count, or one more than it
  const int bits = 64 - __builtin_clzll(digits | 1);
  const int guess = (bits * 1233) >> 12;
  return digits < kPowers[guess] ? std::max(guess, 1) : guess + 1;
#else
  int count = 1;
  while (count < 20 && digits >= kPowers[count]) ++count;
  return count;
#endif
}

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the 8 decimal digits of value (below 10^8, with its leading zeros) at `at`, two at a
// time from the front: value / 10^6 in 32.32 fixed point holds the first two before its point and
// the rest after it, and a product with 100 brings each further two before the point. The fraction
// is rounded up, so that none falls short of the next digit (exact for every value below 10^8:
// each was tried).
inline void WriteEightDigits(char* at, uint32_t value) {
  constexpr uint64_t kOverMillion = 281474977;  // ceil(2^48 / 10^6)
  uint64_t fixed = ((uint64_t{value} * kOverMillion) >> 16) + 1;
  std::memcpy(at, kPairs + 2 * (fixed >> 32), 2);
  fixed = (fixed & 0xFFFFFFFF) * 100;
  std::memcpy(at + 2, kPairs + 2 * (fixed >> 32), 2);
  fixed = (fixed & 0xFFFFFFFF) * 100;
  std::memcpy(at + 4, kPairs + 2 * (fixed >> 32), 2);
  fixed = (fixed & 0xFFFFFFFF) * 100;
  std::memcpy(at + 6, kPairs + 2 * (fixed >> 32), 2);
}

// Writes the decimal digits of value backwards from end: eight at a time while more are left, the
// last ones two at a time.
void WriteDigits(char* end, uint64_t value) {
  char* at = end;
  while (value >= 100000000) {
    const uint64_t high = value / 100000000;
    at -= 8;
    WriteEightDigits(at, static_cast<uint32_t>(value - high * 100000000));
    value = high;
  }
  while (value >= 100) {
    const size_t pair = static_cast<size_t>(value % 100) * 2;
    value /= 100;
    *--at = kPairs[pair + 1];
    *--at = kPairs[pair];
  }
  if (value >= 10) {
    *--at = kPairs[value * 2 + 1];
    *--at = kPairs[value * 2];
  } else {
    *--at = static_cast<char>('0' + value);
  }
}

// The digits at `at` with a point after the first `whole` of them (the digits written one place on,
// then the few before the point moved back).
void WriteWithPoint(char* at, uint64_t digits, int count, int whole) {
  WriteDigits(at + 1 + count, digits);
  for (int i = 0; i < whole; ++i) at[i] = at[i + 1];
  at[whole] = '.';
}

// The `count` digits of a number of fewer than nine at `at`, with a point `places` digits before
// their end (at most 15: "0.00ddd" when more than count), and the end of the text: the eight digits
// written at once with eight zeros before them, the text then copied from its first digit (or the
// zero before the point) in fixed-size copies. The text has room for the 25 bytes written; those
// past the number are left as they are.
inline char* WriteFewWithPoint(char* at, uint64_t digits, int count, int places) {
  char text[32] = "00000000";
  WriteEightDigits(text + 8, static_cast<uint32_t>(digits));
  const int point = 16 - places;  // the first digit after the point
  const int first = std::min(16 - count, point - 1);
  std::memcpy(at, text + first, 8);  // the digits before the point, and some the rest overwrites
  at[point - first] = '.';
  std::memcpy(at + point - first + 1, text + point, 16);
  return at + 17 - first;
}

// digits * 10^exponent as WriteShortest writes it: to_chars' form, fixed or scientific, whichever
// is shorter, fixed on a tie, the exponent with a sign and at least two digits; ".0" after a whole
// number.
char* PlainForm(char* at, uint64_t digits, int exponent) {
  const int count = DigitCount(digits);
  const int scientificPower = exponent + count - 1;
  const int magnitude = scientificPower < 0 ? -scientificPower : scientificPower;
  const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
  const int fixedLength = exponent >= 0 ? count + exponent : count + exponent > 0 ? count + 1 : 2 - exponent;
  if (fixedLength <= scientificLength) {
    if (exponent >= 0) {  // a whole number: with its fraction, as WithFraction writes it
      WriteDigits(at + count, digits);
      std::memset(at + count, '0', static_cast<size_t>(exponent));
      std::memcpy(at + fixedLength, ".0", 2);
      return at + fixedLength + 2;
    } else if (count <= 8 && exponent >= -15) {
      return WriteFewWithPoint(at, digits, count, -exponent);
    } else if (count + exponent > 0) {
      WriteWithPoint(at, digits, count, count + exponent);
    } else {
      const int zeros = -exponent - count;
      at[0] = '0';
      at[1] = '.';
      std::memset(at + 2, '0', static_cast<size_t>(zeros));
      WriteDigits(at + 2 + zeros + count, digits);
    }
    return at + fixedLength;
  }
  if (count > 1) {
    WriteWithPoint(at, digits, count, 1);
    at += count + 1;
  } else {
    WriteDigits(at + 1, digits);
    at += 1;
  }
  *at++ = 'e';
  *at++ = scientificPower < 0 ? '-' : '+';
  if (magnitude >= 100) *at++ = static_cast<char>('0' + magnitude / 100);
  *at++ = static_cast<char>('0' + magnitude / 10 % 10);
  *at++ = static_cast<char>('0' + magnitude % 10);
  return at;
}

// Most numbers a model or report holds take the integer path (shortest.h), a fraction of
// to_chars' work; zero is written as to_chars writes it.
template <typename T>
char* ShortestOf(char* first, T value) {
  uint64_t digits = 0;
  int exponent = 0;
  char* at = first;
  if (std::signbit(value)) *at++ = '-';
  if (!ShortestDigits(std::fabs(value), &digits, &exponent)) {
    if (value != 0) return Shortest(first, value, std::is_same_v<T, float>);
    std::memcpy(at, "0.0", 3);
    return at + 3;
  }
  // most numbers: fewer than nine digits with a point and at most two zeros after it, which the
  // scientific form never beats
  if (exponent < 0 && digits < 100000000) {
    const int count = DigitCount(digits);
    if (-exponent - count <= 2) return WriteFewWithPoint(at, digits, count, -exponent);
  }
  return PlainForm(at, digits, exponent);
}

}  // namespace

char* WriteShortest(char* first, double value) { return ShortestOf(first, value); }

char* WriteShortest(char* first, float value) { return ShortestOf(first, value); }

double ShortestAsDouble(float value) {
  // the powers of ten a double holds exactly
  static constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr int kMostExactTen = 22;
  uint64_t digits = 0;
  int exponent = 0;
  // a float's 9 digits at the most and an exact power of ten: one product or quotient of exact
  // numbers, rounded once, is the nearest double to the text, as a reader's
  if (value != 0 && ShortestDigits(std::fabs(value), &digits, &exponent) && exponent >= -kMostExactTen &&
      exponent <= kMostExactTen) {
    const double exact = exponent < 0 ? static_cast<double>(digits) / kExactTens[-exponent]
                                      : static_cast<double>(digits) * kExactTens[exponent];
    return std::signbit(value) ? -exact : exact;
  }
  char text[kShortestNumberBytes];
  double read = 0.0;
  ParseFloat(std::string_view(text, static_cast<size_t>(WriteShortest(text, value) - text)), &read);
  return read;
}

char* WriteShortestByPrintf(char* first, double value, bool asFloat) {
  // the fewest significant digits that read back as the value, as %e writes them: d.ddde+XX
  char scientific[kShortestNumberBytes];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, value);
    const double read = std::strtod(scientific, nullptr);
    if (asFloat ? static_cast<float>(read) == static_cast<float>(value) : read == value) break;
  }
  const char* at = scientific;
  const bool negative = *at == '-';
  if (negative) ++at;
  std::string digits;
  for (; *at != 'e'; ++at) {
    if (*at != '.') digits += *at;
  }
  const int exponent = std::atoi(at + 1);
  const int count = static_cast<int>(digits.size());

  // to_chars' choice: the shorter of the fixed and the scientific form, the fixed one on a tie
  std::string fixed;
  if (exponent >= count - 1) {
    fixed = digits + std::string(static_cast<size_t>(exponent - count + 1), '0');
  } else if (exponent >= 0) {
    const size_t point = static_cast<size_t>(exponent) + 1;
    fixed = digits.substr(0, point) + "." + digits.substr(point);
  } else {
    fixed = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  char power[16];
  std::snprintf(power, sizeof power, "e%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
  const std::string shorter = digits.substr(0, 1) + (count > 1 ? "." + digits.substr(1) : "") + power;
  const std::string& chosen = fixed.size() <= shorter.size() ? fixed : shorter;
  char* end = first;
  if (negative) *end++ = '-';
  std::memcpy(end, chosen.data(), chosen.size());
  return WithFraction(first, end + chosen.size());
}

std::string_view Trim(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool ParseInt32(std::string_view text, int32_t* value) {
  const std::string_view number = Trim(text);
  const char* begin = number.data();
  const char* end = begin + number.size();
  // hexadecimal: the 32 bits as written, so FFFFFFFF is -1
  if (number.size() > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
    uint32_t bits = 0;
    const auto [stop, failure] = std::from_chars(begin + 2, end, bits, 16);
    if (failure != std::errc() || stop != end) return false;
    *value = static_cast<int32_t>(bits);
    return true;
  }
  if (!SkipPlus(&begin, end)) return false;
  int32_t parsed = 0;
  const auto [stop, failure] = std::from_chars(begin, end, parsed, 10);
  if (failure != std::errc() || stop != end) return false;
  *value = parsed;
  return true;
}

bool ParseFloatByStream(std::string_view text, double* value) {
  if (!HasDecimalForm(text.data(), text.data() + text.size())) return false;
  std::istringstream stream{std::string(text)};
  stream.imbue(std::locale::classic());
  double parsed = 0.0;
  stream >> parsed;
  if (stream.fail() || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool ParseFloat(std::string_view text, double* value) {
  const std::string_view number = Trim(text);
  const char* begin = number.data();
  const char* end = begin + number.size();
  if (!SkipPlus(&begin, end)) return false;
  if (ParsePlainDecimal(begin, end, value)) return true;
#if defined(_LIBCPP_VERSION)
  // libc++ (macOS) has no from_chars for floating point
  return ParseFloatByStream(std::string_view(begin, static_cast<size_t>(end - begin)), value);
#else
  double parsed = 0.0;
  const auto [stop, failure] = std::from_chars(begin, end, parsed, std::chars_format::general);
  if (failure != std::errc() || stop != end || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
#endif
}

}  // namespace vthost
