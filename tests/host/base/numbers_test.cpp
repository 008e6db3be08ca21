// The host's reading and writing of floating-point text: from_chars and to_chars where the standard
// library has them for double, and what libc++ (macOS) uses instead, held to the same results.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/numbers.h"
#include "cases.h"

namespace vthost {
namespace {

struct FloatText {
  const char* name;
  const char* text;
  bool accepted;
  double value;  // a literal, rounded by the compiler: the correctly rounded value of the text
};

void PrintTo(const FloatText& number, std::ostream* out) { *out << '"' << number.text << '"'; }

// No blanks or plus signs: the stream reading takes the text after ParseFloat has removed them.
const FloatText kTexts[] = {
    {"Exponent", "1e3", true, 1e3},
    {"CapitalExponentNegative", "-2.5E-3", true, -2.5E-3},
    {"ExponentWithPlus", "1e+2", true, 1e+2},
    {"Avogadro", "6.02214076e23", true, 6.02214076e23},
    {"MoreThanFifteenDigits", "1234567890.1234567890123", true, 1234567890.1234567890123},
    {"NearestOfPointThree", "0.30000000000000004441", true, 0.30000000000000004441},
    {"TieRoundsToEven", "9007199254740993", true, 9007199254740993.0},
    {"LargestDouble", "1.7976931348623157e308", true, 1.7976931348623157e308},
    {"SmallestNormal", "2.2250738585072014e-308", true, 2.2250738585072014e-308},
    {"PointThenExponent", "5.e1", true, 5.e1},
    {"LeadingPointThenExponent", ".5e1", true, .5e1},
    {"ExponentWithoutDigits", "1e", false, 0},
    {"ExponentSignWithoutDigits", "1e+", false, 0},
    {"ExponentAlone", "e5", false, 0},
    {"PointAlone", ".", false, 0},
    {"MinusAlone", "-", false, 0},
    {"TwoMinusSigns", "--1e3", false, 0},
    {"TwoPoints", "1.2.3e1", false, 0},
    {"CommaAsPoint", "1,5e3", false, 0},
    {"TrailingLetter", "1.5e3x", false, 0},
    {"Hexadecimal", "0x1p3", false, 0},
    {"Overflow", "1e400", false, 0},
    {"NegativeOverflow", "-1e400", false, 0},
    {"Infinity", "infinity", false, 0},
    {"NotANumber", "nan", false, 0},
};

class FloatReading : public testing::TestWithParam<FloatText> {};

// Both the stream reading and ParseFloat, which uses it or from_chars.
TEST_P(FloatReading, GivesTheCorrectlyRoundedValueOrLeavesItAlone) {
  for (const auto& [name, parse] : {std::pair{"stream", &ParseFloatByStream}, std::pair{"ParseFloat", &ParseFloat}}) {
    SCOPED_TRACE(name);
    double value = -1.0;
    ASSERT_EQ(parse(GetParam().text, &value), GetParam().accepted);
    EXPECT_EQ(value, GetParam().accepted ? GetParam().value : -1.0);  // untouched when refused
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, FloatReading, testing::ValuesIn(kTexts), CaseName);

struct ShortestText {
  const char* name;
  double value;
  bool asFloat;  // the value as a float, with a float's digits
  const char* text;
};

void PrintTo(const ShortestText& number, std::ostream* out) { *out << number.text; }

const ShortestText kShortest[] = {
    {"Zero", 0.0, false, "0.0"},
    {"NegativeZero", -0.0, false, "-0.0"},
    {"FloatZero", 0.0f, true, "0.0"},
    {"FloatNegativeZero", -0.0f, true, "-0.0"},
    {"Whole", 100.0, false, "100.0"},
    {"Tenth", 0.1, false, "0.1"},
    {"Small", 1e-5, false, "1e-05"},
    {"TangentOfTheBondProfile", 0.415 * 3.0, false, "1.2449999999999999"},
    {"Position", -224.73500000000053, false, "-224.73500000000053"},
    {"LargeWhole", 1e21, false, "1e+21"},
    {"Smallest", std::numeric_limits<double>::denorm_min(), false, "5e-324"},
    {"Largest", std::numeric_limits<double>::max(), false, "1.7976931348623157e+308"},
    {"FixedOnATie", 0.000123, false, "0.000123"},
    {"FloatTenth", 0.1f, true, "0.1"},
    {"FloatRotation", 0.007925226f, true, "0.007925226"},
    {"FloatWhole", 1.0f, true, "1.0"},
    {"FloatSmall", -3e-7f, true, "-3e-07"},
    // the integer path of floats (base/shortest.h)
    {"FloatCoordinate", -4.33235f, true, "-4.33235"},
    {"FloatBondScale", 1.0999976f, true, "1.0999976"},
    {"FloatPowerOfTwo", 0.125f, true, "0.125"},
    {"FloatBelowAPowerOfTwo", 0.99999994f, true, "0.99999994"},
    {"FloatAboveAPowerOfTwo", 1.0000001f, true, "1.0000001"},
    {"FloatLargestOfTheIntegerPath", 16777215.0f, true, "16777215.0"},
    {"FloatWholeWithZeros", 1000.0f, true, "1000.0"},
    {"FloatTenMillionIsShorterScientific", 1e7f, true, "1e+07"},
    {"FloatScientificWhenShorter", 1.5e-5f, true, "1.5e-05"},
    {"FloatTenThousandthIsShorterScientific", 0.0001f, true, "1e-04"},
    {"FloatFixedOnATie", 0.000123f, true, "0.000123"},
    {"FloatTiny", 1.1754944e-38f, true, "1.1754944e-38"},
    {"FloatMostDigits", 0.33333334f, true, "0.33333334"},
    {"DoubleCoordinate", -4.3323, false, "-4.3323"},
    {"DoubleMostDigits", 0.1 + 0.2, false, "0.30000000000000004"},
    {"DoubleBelowAPowerOfTwo", 0.9999999999999999, false, "0.9999999999999999"},
    {"DoubleLargestOfTheIntegerPath", 9007199254740991.0, false, "9007199254740991.0"},
    {"DoubleSmallOfTheIntegerPath", 0.000123456789, false, "0.000123456789"},
    // fewer than nine digits with a point: written eight at once
    {"EightDigitsAndAPoint", 1234.5678, false, "1234.5678"},
    {"EightDigitsAfterThreeZeros", 0.00012345678, false, "0.00012345678"},
    {"OneDigitAfterAZero", 0.05, false, "0.05"},
    {"NineDigitsAndAPoint", 123.456789, false, "123.456789"},
};

class ShortestWriting : public testing::TestWithParam<ShortestText> {};

// Both to_chars (WriteShortest) and the printf digits libc++ uses instead: the same text.
TEST_P(ShortestWriting, ReadsBackAsTheValue) {
  const ShortestText& number = GetParam();
  char text[kShortestNumberBytes];
  const char* end = number.asFloat ? WriteShortest(text, static_cast<float>(number.value))
                                   : WriteShortest(text, number.value);
  EXPECT_EQ(std::string(static_cast<const char*>(text), end), number.text);
  end = WriteShortestByPrintf(text, number.value, number.asFloat);
  EXPECT_EQ(std::string(static_cast<const char*>(text), end), number.text);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ShortestWriting, testing::ValuesIn(kShortest), CaseName);

// The float's text read as a double, without the text: the same double as ParseFloat reads.
TEST(ShortestAsDouble, ReadsAsTheTextReads) {
  std::vector<float> values;
  for (const ShortestText& number : kShortest) {
    if (number.asFloat) values.push_back(static_cast<float>(number.value));
  }
  for (const float extreme : {0.0f, -0.0f, 1e-45f, 3.4028235e38f, 1e22f, 1e23f, 1e-22f, 1e-23f, -2.24735f}) {
    values.push_back(extreme);
  }
  std::mt19937 random(2026);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int i = 0; i < 200000; ++i) values.push_back(std::ldexp(unit(random), static_cast<int>(random() % 160) - 80));
  for (const float value : values) {
    char text[kShortestNumberBytes];
    double read = 0.0;
    ASSERT_TRUE(ParseFloat(std::string_view(text, static_cast<size_t>(WriteShortest(text, value) - text)), &read));
    const double made = ShortestAsDouble(value);
    EXPECT_EQ(std::memcmp(&made, &read, sizeof made), 0) << "for " << std::hexfloat << value;
  }
}

#if !defined(_LIBCPP_VERSION)
// WriteShortest's text: what to_chars writes, with the fraction of a whole number.
template <typename T>
std::string ToChars(T value) {
  char text[kShortestNumberBytes];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  std::string written(static_cast<const char*>(text), end);
  if (written.find_first_of(".e") == std::string::npos) written += ".0";
  return written;
}

template <typename T>
std::string Written(T value) {
  char text[kShortestNumberBytes];
  const char* end = WriteShortest(text, value);
  return std::string(static_cast<const char*>(text), end);
}

// The integer path (base/shortest.h) against to_chars: every 97th float from 2^-30 to 2^26 and a
// million doubles of a model's magnitudes, either sign, past the path's ends on both sides.
TEST(ShortestIntegerPath, WritesWhatToCharsWrites) {
  int differing = 0;
  for (uint32_t bits = 0x30800000u; bits < 0x4C800000u && differing < 5; bits += 97) {
    for (const uint32_t sign : {0u, 0x80000000u}) {
      float value = 0.0f;
      const uint32_t signedBits = bits | sign;
      std::memcpy(&value, &signedBits, sizeof value);
      const std::string written = Written(value);
      if (written != ToChars(value)) ++differing;
      EXPECT_EQ(written, ToChars(value)) << "for the float of bits " << std::hex << signedBits;
    }
  }
  std::mt19937_64 random(2025);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 1000000 && differing < 10; ++i) {
    const double value = std::ldexp(unit(random), static_cast<int>(random() % 90) - 60);
    const std::string written = Written(value);
    if (written != ToChars(value)) ++differing;
    EXPECT_EQ(written, ToChars(value)) << "for " << std::hexfloat << value;
  }
}

// Every float of a range against to_chars: where the digits before the point grow past eight, where
// the zeros after the point grow past two, where a whole number grows past seven digits.
struct FloatRange {
  const char* name;
  float from;
  float to;
};

const FloatRange kFloatRanges[] = {
    {"FourWholeDigits", 1000.0f, 1024.0f},
    {"AroundAThousandth", 0.00095f, 0.00105f},
    {"AroundTenMillion", 9.9e6f, 1.01e7f},
};

class EveryFloat : public testing::TestWithParam<FloatRange> {};

TEST_P(EveryFloat, WritesWhatToCharsWrites) {
  const FloatRange& range = GetParam();
  int differing = 0;
  for (float value = range.from; value < range.to && differing < 5; value = std::nextafter(value, range.to)) {
    const std::string written = Written(value);
    if (written != ToChars(value)) ++differing;
    EXPECT_EQ(written, ToChars(value)) << "for " << std::hexfloat << value;
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, EveryFloat, testing::ValuesIn(kFloatRanges), CaseName);

// Floats of any bits, either sign and any exponent (those not finite aside), against to_chars.
TEST(ShortestFloatBits, WriteWhatToCharsWrites) {
  std::mt19937 random(7);
  int differing = 0;
  for (int i = 0; i < 2000000 && differing < 5; ++i) {
    const uint32_t bits = static_cast<uint32_t>(random());
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string written = Written(value);
    if (written != ToChars(value)) ++differing;
    EXPECT_EQ(written, ToChars(value)) << "for the float of bits " << std::hex << bits;
  }
}
#endif

}  // namespace
}  // namespace vthost
