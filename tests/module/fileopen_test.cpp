// Paths as the module opens them: UTF-8 from the host, UTF-16 for Windows.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cases.h"
#include "fileopen.h"

namespace vantor {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

void PrintTo(const Utf8Case& text, std::ostream* out) { *out << text.name; }

class Utf16FromUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf16FromUtf8Test, GivesEachCharacterOrOneReplacementPerBrokenSequence) {
  EXPECT_EQ(Utf16FromUtf8(GetParam().utf8.data(), GetParam().utf8.size()), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf16FromUtf8Test,
    testing::Values(Utf8Case{"Ascii", "res/ptable.csv", u"res/ptable.csv"},
                    Utf8Case{"TwoBytes", "caf\xc3\xa9", u"caf\u00e9"},
                    Utf8Case{"ThreeBytes", "\xe5\x88\x86\xe5\xad\x90", u"\u5206\u5b50"},
                    Utf8Case{"FourBytesAsASurrogatePair", "\xf0\x9f\x98\x80.sdf", u"\xd83d\xde00.sdf"},
                    Utf8Case{"EmbeddedNul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
                    Utf8Case{"Overlong", "a\xc0\x80" "b", u"a\xfffd" "b"},
                    Utf8Case{"EncodedSurrogate", "\xed\xa0\x80x", u"\xfffdx"},
                    Utf8Case{"PastTheLastCodePoint", "\xf4\x90\x80\x80", u"\xfffd"},
                    Utf8Case{"CutSequence", "\xe5\x88" "a", u"\xfffd" "a"},
                    Utf8Case{"StrayContinuation", "\x80" "a", u"\xfffd" "a"},
                    Utf8Case{"AnsiByte", "caf\xe9", u"caf\xfffd"},
                    Utf8Case{"EndsInsideASequence", "ab\xf0\x9f", u"ab\xfffd"}), CaseName);

}  // namespace
}  // namespace vantor
