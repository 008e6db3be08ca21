// The records of SD text, the ranges of records and the output names of a collection.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cases.h"
#include "vthost/collection.h"

namespace {

using vthost::NameTemplate;

struct RecordsCase {
  std::string name;
  std::string text;
  bool whole;
  std::vector<std::string> titles;  // of the records read, in order
};

void PrintTo(const RecordsCase& c, std::ostream* out) { *out << c.name; }

class Records : public testing::TestWithParam<RecordsCase> {};

TEST_P(Records, SplitAtEachEndLine) {
  std::istringstream in(GetParam().text);
  vthost::RecordReader reader(in, GetParam().whole);
  vthost::Record record;
  std::vector<std::string> titles;
  std::string joined;
  while (reader.Next(&record)) {
    EXPECT_EQ(record.number, titles.size() + 1);
    titles.push_back(record.title);
    joined += record.text;
  }
  EXPECT_EQ(titles, GetParam().titles);
  if (!GetParam().whole && !titles.empty()) {
    EXPECT_EQ(GetParam().text.substr(0, joined.size()), joined);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Records,
    testing::Values(RecordsCase{"TwoWithEndLines", "a\nx\n$$$$\nb\ny\n$$$$\n", false, {"a", "b"}},
                    RecordsCase{"LastWithoutEndLine", "a\n$$$$\nb\ny", false, {"a", "b"}},
                    RecordsCase{"BlankLinesAfterTheLast", "a\n$$$$\n\n  \r\n", false, {"a"}},
                    RecordsCase{"CarriageReturnsAndBlanks", "a\r\n$$$$ \r\nb\r\n$$$$\r\n", false, {"a", "b"}},
                    RecordsCase{"EndLineMustStandAlone", "a\n$$$$x\n$$$\n$$$$\n", false, {"a"}},
                    RecordsCase{"Empty", "", false, {}},
                    RecordsCase{"MolFileIsOneRecord", "a\n$$$$\nb\n$$$$\n", true, {"a"}},
                    RecordsCase{"EmptyMolFileIsARecord", "", true, {""}},
                    // the stream is taken 64 KiB at a time: an end line across two takes, and a
                    // title kept to its first 4,095 bytes
                    RecordsCase{"EndLineAcrossTakes", "a\n" + std::string(65530, 'y') + "\n$$$$\nb\n$$$$\n", false, {"a", "b"}},
                    RecordsCase{"LongTitle", std::string(70000, 't') + "\n$$$$\nb\n", false, {std::string(4095, 't'), "b"}}),
    CaseName);

TEST(Records, EndlessLineStopsAtTheLimitAndReadsNoFurther) {
  std::istringstream in(std::string(1010, 'x') + "\n$$$$\nnext\n$$$$\n");
  vthost::RecordReader reader(in, false, 1000);
  vthost::Record record;
  ASSERT_TRUE(reader.Next(&record));
  EXPECT_TRUE(reader.TooLong());
  EXPECT_TRUE(record.text.empty());
  EXPECT_FALSE(reader.Next(&record));
}

// A stream that holds a few bytes at a time, as a pipe may: every line lies across several takes.
class Trickle : public std::streambuf {
 public:
  Trickle(std::string text, size_t step) : text_(std::move(text)), step_(step) {}

 protected:
  int_type underflow() override {
    if (at_ >= text_.size()) return traits_type::eof();
    const size_t n = std::min(step_, text_.size() - at_);
    setg(&text_[at_], &text_[at_], &text_[at_] + n);
    at_ += n;
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::string text_;
  size_t step_;
  size_t at_ = 0;
};

TEST(Records, ReadAFewBytesAtATimeAsAtOnce) {
  const std::string text = "first\nx\n$$$$\nsecond \r\n" + std::string(300, 'y') + "\n$$$$\r\nthird\n$$$$\n\n";
  for (const size_t step : {1, 2, 3, 7, 64}) {
    for (const bool keep : {true, false}) {
      SCOPED_TRACE(std::to_string(step) + (keep ? " bytes, text kept" : " bytes"));
      std::istringstream atOnce(text);
      Trickle trickle(text, step);
      std::istream fewAtATime(&trickle);
      vthost::RecordReader expected(atOnce, false), read(fewAtATime, false);
      vthost::Record want, got;
      std::vector<std::string> titles;
      while (expected.Next(&want, keep)) {
        ASSERT_TRUE(read.Next(&got, keep));
        EXPECT_EQ(got.title, want.title);
        EXPECT_EQ(got.text, want.text);
        titles.push_back(want.title);
        if (titles.size() == 1) {
          EXPECT_EQ(want.text, keep ? "first\nx\n$$$$\n" : "");
        }
      }
      EXPECT_FALSE(read.Next(&got, keep));
      EXPECT_EQ(titles, (std::vector<std::string>{"first", "second ", "third"}));
    }
  }
}

TEST(RecordRanges, ReadOrRefused) {
  const struct {
    std::string text;
    bool read;
    uint64_t first, last;
  } cases[] = {{"all", true, 1, vthost::RecordRange::kEnd}, {"7", true, 7, 7}, {"2-5", true, 2, 5},
               {"0", false, 0, 0}, {"5-2", false, 0, 0}, {"1-", false, 0, 0}, {"-3", false, 0, 0},
               {"x", false, 0, 0}, {"99999999999999999999", false, 0, 0}};
  for (const auto& c : cases) {
    vthost::RecordRange range;
    std::string error;
    EXPECT_EQ(vthost::RecordRange::Parse(c.text, &range, &error), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(std::make_pair(range.first, range.last), std::make_pair(c.first, c.last)) << c.text;
    } else {
      EXPECT_NE(error.find("--records"), std::string::npos) << error;
    }
  }
}

TEST(SafeTitles, NameOneFileOnEverySystem) {
  const std::pair<std::string, std::string> cases[] = {
      {"aspirin", "aspirin"},         {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
      {"  .hidden. ", "hidden"},      {"..", "record-4"},
      {"", "record-4"},               {"con", "con_"},
      {"COM1.x", "COM1_.x"},          {"tab\there", "tab_here"},
      {"caf\xC3\xA9", "caf\xC3\xA9"}, {"bad\xFF", "bad_"},
      // well-formed UTF-8 only: the manifest names the file as it is on disk
      {"over\xC0\xAFlong", "over__long"},  {"over\xE0\x80\xAF", "over___"},
      {"sur\xED\xA0\x80", "sur___"},       {"past\xF4\x90\x80\x80", "past____"},
      {"max\xF4\x8F\xBF\xBF", "max\xF4\x8F\xBF\xBF"},
      // devices in every spelling Windows opens as one
      {"CON .x", "CON_ .x"},          {"conin$", "conin$_"},
      {"CONOUT$.glb", "CONOUT$_.glb"}, {"COM\xC2\xB9", "COM\xC2\xB9_"},
      {"lpt\xC2\xB2.x", "lpt\xC2\xB2_.x"}, {"nul . ", "nul_"},
      {"CONSOLE", "CONSOLE"},         {"COM10", "COM10"},
      {std::string(150, 'a'), std::string(100, 'a')},
      // cut after a blank: the blank goes too (Windows drops it from a name)
      {std::string(99, '\x01') + " \x01\x01", std::string(99, '_')}};
  for (const auto& [title, safe] : cases) EXPECT_EQ(vthost::SafeTitle(title, 4), safe) << title;
}

TEST(NameTemplates, ExpandAndTellApart) {
  NameTemplate t;
  std::string error;
  ASSERT_TRUE(NameTemplate::Parse("out/{stem}-{record}{title}.glb", &t, &error));
  EXPECT_EQ(t.Expand("lib", 12, "x"), "out/lib-12x.glb");
  EXPECT_EQ(t.FixedFolder(), "out");
  EXPECT_FALSE(NameTemplate::Parse("out/{name}.glb", &t, &error));
  EXPECT_NE(error.find("{name}"), std::string::npos);
  ASSERT_TRUE(NameTemplate::Parse("a {1} {}.glb", &t, &error)) << "braces around no placeholder name are text";
  EXPECT_FALSE(t.HasAny());

  const struct {
    std::string a, b;
    bool disjoint;
  } pairs[] = {{"{stem}.glb", "{stem}.json", true},    {"{stem}.glb", "{stem}.GLB", false},
               {"a/{record}.x", "b/{record}.x", true}, {"{record}.x", "1{record}.x", false},
               {"m.json", "{stem}.json", false},      {"m.jsonl", "{stem}.json", true}};
  // shards write records apart only where a name tells its record
  const std::pair<std::string, bool> apart[] = {
      {"{title}-{record}.glb", true}, {"{record}_{title}", true},      {"out/{stem}-{record}.glb", true},
      {"{title}.glb", false},         {"{stem}{record}.glb", false},  {"{record}{title}", false},
      {"{title}-{record}{stem}", false}, {"x{record}7{title}", false}, {"x{record}y{title}", true}};
  for (const auto& [text, keeps] : apart) {
    ASSERT_TRUE(NameTemplate::Parse(text, &t, &error));
    EXPECT_EQ(t.KeepsRecordsApart(), keeps) << text;
  }
  // names of one folder, whatever the placeholders give
  const std::pair<std::string, bool> folders[] = {{"out/{record}.glb", true}, {"{stem}/{record}.glb", false},
                                                  {"a/b/{title}-{record}", true}, {"{record}/x.glb", false},
                                                  {"x.glb", true}};
  for (const auto& [text, fixed] : folders) {
    ASSERT_TRUE(NameTemplate::Parse(text, &t, &error));
    EXPECT_EQ(t.FolderIsFixed(), fixed) << text;
  }
  for (const auto& p : pairs) {
    NameTemplate a, b;
    ASSERT_TRUE(NameTemplate::Parse(p.a, &a, &error) && NameTemplate::Parse(p.b, &b, &error));
    EXPECT_EQ(a.Disjoint(b), p.disjoint) << p.a << " " << p.b;
    EXPECT_EQ(b.Disjoint(a), p.disjoint) << p.b << " " << p.a;
  }
}

}  // namespace
