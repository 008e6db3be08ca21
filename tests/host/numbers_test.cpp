// The host's reading of floating-point text: from_chars where the standard library has it for
// double, and the stream reading libc++ (macOS) uses instead, held to the same results.
#include <gtest/gtest.h>

#include <ostream>

#include "base/numbers.h"

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

INSTANTIATE_TEST_SUITE_P(Texts, FloatReading, testing::ValuesIn(kTexts),
                         [](const testing::TestParamInfo<FloatText>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vthost
