// The host's number conversions: the whole text, blanks around it aside, must be the number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vthost {

// A whole number that fits 32 bits; 0x introduces hexadecimal (the 32 bits as written).
bool ParseInt32(std::string_view text, int32_t* value);
// A finite number in from_chars' general form, with an optional plus sign.
bool ParseFloat(std::string_view text, double* value);
// ParseFloat's reading where the standard library has no from_chars for double (libc++, macOS):
// text of from_chars' decimal form (no blanks, no plus sign) read by a stream in the classic
// locale. Built everywhere, so that it is tested where from_chars is there to compare.
bool ParseFloatByStream(std::string_view text, double* value);
// The most bytes WriteShortest writes: a sign, 17 digits, a point, an exponent.
constexpr size_t kShortestNumberBytes = 32;
// What it writes for most numbers: every float with a fraction ("-1.00000075e-36", 15 bytes, is among the longest),
// and doubles of up to 17 digits with a sign, a point and two more.
constexpr size_t kShortestCachedBytes = 22;
// The shortest text that reads back as the same value (a finite one), as std::to_chars writes it,
// with ".0" after a whole number ("100.0", "1e+21") so that it reads as a number with a fraction;
// at most kShortestNumberBytes at first, and the end of what was written.
char* WriteShortest(char* first, double value);
char* WriteShortest(char* first, float value);
// The double a reader makes of the float's shortest text (WriteShortest): the nearest to it.
double ShortestAsDouble(float value);
// WriteShortest's digits where the standard library has no to_chars for floating point (libc++,
// macOS): printf's %g with more digits until the text reads back as the value. Built everywhere,
// so that it is tested where to_chars is there to compare.
char* WriteShortestByPrintf(char* first, double value, bool asFloat);
// The text without the blanks (space, tab, line ends, vertical tab, form feed) around it.
std::string_view Trim(std::string_view text);

}  // namespace vthost
