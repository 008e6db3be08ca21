// The JSON writer against nlohmann-json's own dump: the report was nlohmann-json's text before it
// was written as it goes, and readers of it see the same strings and layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cases.h"
#include "base/numbers.h"
#include "export/jsonwriter.h"

namespace vthost {
namespace {

using nlohmann::json;

std::string NlohmannText(const json& value, int indent = -1) {
  return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

struct TextCase {
  const char* name;
  std::string text;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class JsonStrings : public testing::TestWithParam<TextCase> {};

TEST_P(JsonStrings, AsNlohmannWritesThem) {
  JsonWriter out;
  out.String(GetParam().text);
  EXPECT_EQ(out.Take(), NlohmannText(json(GetParam().text)));
}

// A name made well-formed once (as the plain model makes its names) is written as the writer
// writes the name itself, ASCII or not.
TEST_P(JsonStrings, MadeWellFormedAsWritten) {
  JsonWriter repaired, original;
  repaired.String(WellFormedUtf8(GetParam().text));
  original.String(GetParam().text);
  EXPECT_EQ(repaired.Take(), original.Take());
}

const TextCase kTexts[] = {
    {"Empty", ""},
    {"Plain", "C nucleus"},
    {"QuotesAndBackslash", "a \"b\" \\ c"},
    {"ShortEscapes", "\b\f\n\r\t"},
    {"OtherControls", std::string("\x01\x1f\x7f", 3) + std::string(1, '\0')},
    {"TwoThreeAndFourBytes", "\xc3\xa9 \xe2\x82\xac \xf0\x9d\x84\x9e"},
    {"LoneContinuations", "C\x80\xbf"},
    {"BytesNeverInUtf8", "C\xff\xfe\xc0\xc1\xf5"},
    {"TruncatedAtTheEnd", "x\xe2\x82"},
    {"TruncatedBeforeAscii", "\xe2\x82" "A\xf0\x9d\x84" "B"},
    {"OverlongForms", "\xc0\xaf\xe0\x80\x80\xf0\x80\x80\x80"},
    {"Surrogate", "\xed\xa0\x80\xed\x9f\xbf"},
    {"PastTheLastCodePoint", "\xf4\x90\x80\x80\xf4\x8f\xbf\xbf"},
};

INSTANTIATE_TEST_SUITE_P(Texts, JsonStrings, testing::ValuesIn(kTexts), CaseName);

// Numbers JSON cannot write stand as null, noted with the key they stand under.
TEST(JsonNumbers, NotFiniteAsNullUnderItsKey) {
  for (const double value : {std::nan(""), -HUGE_VAL}) {
    JsonWriter out;
    out.BeginObject();
    out.PlainKey("position");
    out.BeginArray();
    out.Number(1.5);
    out.Number(value);
    out.EndArray();
    out.EndObject();
    EXPECT_EQ(out.Take(), "{\"position\":[1.5,null]}");
    EXPECT_TRUE(out.NonFinite());
    EXPECT_EQ(out.NonFiniteKey(), "position");
  }
}

// After an object in an array, a number stands under the array's key, not the last one written in
// the object (whose text may have gone with it).
TEST(JsonNumbers, NotFiniteInAnArrayAfterAnObjectUnderTheArraysKey) {
  JsonWriter out;
  out.BeginObject();
  out.PlainKey("values");
  out.BeginArray();
  {
    const std::string key(40, 'k');  // longer than a string keeps in place
    out.BeginObject();
    out.PlainKey(key);
    out.Integer(1);
    out.EndObject();
  }
  out.Number(std::nan(""));
  out.EndArray();
  out.EndObject();
  EXPECT_EQ(out.Take(), "{\"values\":[{\"" + std::string(40, 'k') + "\":1},null]}");
  EXPECT_EQ(out.NonFiniteKey(), "values");
}

// A key copied by the writer is named after a deeper one was copied and its object ended.
TEST(JsonNumbers, NotFiniteUnderACopiedKeyAfterADeeperOne) {
  JsonWriter out;
  out.BeginObject();
  out.Key("outer\t" + std::string(30, 'o'));
  out.BeginArray();
  out.BeginObject();
  out.Key("inner\t" + std::string(30, 'i'));
  out.Integer(1);
  out.EndObject();
  out.Number(std::nan(""));
  out.EndArray();
  out.EndObject();
  EXPECT_EQ(out.NonFiniteKey(), "outer\t" + std::string(30, 'o'));
}

// A number written again (its text kept by its bits) reads as when first written, however many
// others share its slot: floats and doubles of the same value apart.
TEST(JsonNumbers, NumbersWrittenAgainAsAtFirst) {
  JsonWriter out;
  std::string expected;
  const auto add = [&](auto value) {
    out.Number(value);
    char text[kShortestNumberBytes];
    if (expected.size() > 1) expected += ',';
    expected.append(text, WriteShortest(text, value));
  };
  out.BeginArray();
  expected += '[';
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 20000; ++i) {
      add(static_cast<float>(i) * 0.37f - 1000.0f);
      add(static_cast<double>(i) * 0.37 - 1000.0);
      add(static_cast<double>(static_cast<float>(i) * 0.37f - 1000.0f));  // a float as a double: its own text
      add(-std::ldexp(1.0 + i * 0x1p-40, -1000));  // longer than a slot keeps: "-9.332636185032189e-302"
    }
  }
  out.EndArray();
  expected += ']';
  EXPECT_EQ(out.Take(), expected);
}

// A number that is not finite is null each time, also once the cache has slots (none holds it).
TEST(JsonNumbers, NotFiniteAfterCachedNumbersIsNull) {
  JsonWriter out;
  out.BeginArray();
  for (int round = 0; round < 2; ++round) {
    out.Number(1.5f);
    out.Number(std::numeric_limits<float>::infinity());
    out.Number(std::nanf(""));
    out.Number(2.5);
    out.Number(-std::numeric_limits<double>::infinity());
  }
  out.EndArray();
  EXPECT_EQ(out.Take(), "[1.5,null,null,2.5,null,1.5,null,null,2.5,null]");
  EXPECT_TRUE(out.NonFinite());
}

// Everything the writer does once, nested.
std::string Document(bool breakLines) {
  JsonWriter out;
  out.BeginObject();
  out.PlainKey("a");
  out.BeginArray();
  out.Integer(-3);
  if (breakLines) out.BreakLine();
  out.Bool(true);
  out.Null();
  out.BeginArray();
  out.EndArray();
  if (breakLines) out.BreakLine();
  out.BeginObject();
  out.EndObject();
  out.BeginObject();
  out.Key("x\ty");
  out.Number(0.5f);
  out.EndObject();
  out.Number(0.1f);  // floats with their own shortest digits
  out.Number(-0.03f);
  out.Number(1.0f);
  if (breakLines) out.BreakLine();
  out.EndArray();
  out.PlainKey("b");
  out.String("text");
  out.PlainKey("c");
  out.BeginObject();
  out.PlainKey("d");
  out.Integer(std::numeric_limits<int64_t>::min());
  out.EndObject();
  out.EndObject();
  return out.Take();
}

TEST(JsonLayout, CompactAsNlohmannDumpsIt) {
  const std::string text = Document(false);
  EXPECT_EQ(text, NlohmannText(json::parse(text)));
  EXPECT_EQ(text.find(' '), std::string::npos);
}

TEST(JsonLayout, LineBreaksWhereAskedIndentedByDepth) {
  EXPECT_EQ(Document(true),
            "{\"a\":[-3,\n  true,null,[],\n  {},{\"x\\ty\":0.5},0.1,-0.03,1.0\n ],\"b\":\"text\","
            "\"c\":{\"d\":-9223372036854775808}}");
}

TEST(JsonLayout, ASinkGetsEverythingInOrder) {
  std::ostringstream sink;
  JsonWriter out(&sink);
  out.BeginArray();
  for (int i = 0; i < 200000; ++i) out.Integer(i % 100000);
  out.EndArray();
  ASSERT_TRUE(out.Flush());
  const json read = json::parse(sink.str());
  ASSERT_EQ(read.size(), 200000u);
  EXPECT_EQ(read[199999], 99999);
}

// A long text is written in blocks: in pieces without a copy, or in one piece, the same text.
TEST(JsonLayout, ALongTextInPiecesAsInOne) {
  const auto write = [](JsonWriter& out) {
    out.BeginArray();
    for (int i = 0; i < 200000; ++i) out.Integer(i % 100000);
    out.EndArray();
  };
  JsonWriter whole;
  write(whole);
  const std::string text = whole.Take();
  JsonWriter pieced;
  write(pieced);
  std::vector<std::unique_ptr<char[]>> held;
  const std::vector<std::string_view> pieces = pieced.TakePieces(&held);
  EXPECT_GT(pieces.size(), 1u);
  std::string joined;
  for (const std::string_view piece : pieces) joined.append(piece);
  EXPECT_EQ(joined, text);
  EXPECT_EQ(json::parse(text).size(), 200000u);
}

}  // namespace
}  // namespace vthost
