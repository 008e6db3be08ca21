// The host's reading and writing of floating-point text: from_chars and to_chars where the standard
// library has them for double, and what libc++ (macOS) uses instead, held to the same results.
#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

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

}  // namespace
}  // namespace vthost
