// The module's wrappers over the host tables (source/host: hoststring, hostfilename, hostcontainer,
// hostmemory, hostui, hostresource), bound to the stand-in host in-process.
#include "boundmodule.h"
#include "hostapi/hostcontainer.h"
#include "hostapi/hostfilename.h"
#include "hostapi/hostmemory.h"
#include "hostapi/hostresource.h"
#include "hostapi/hoststring.h"
#include "hostapi/hostui.h"
#include "printers.h"
#include "rowids.h"

namespace vantor {
namespace {

using HostLayer = BoundModule;

struct NumberCase {
  const char* name;
  const char* text;
  double value;
  bool error;
};

void PrintTo(const NumberCase& number, std::ostream* out) {
  *out << number.name << ": \"" << number.text << "\" -> " << ExactText(number.value)
       << (number.error ? ", an error" : "");
}

class Int32Conversion : public BoundModule, public testing::WithParamInterface<NumberCase> {};

TEST_P(Int32Conversion, TakesTheWholeTextOrReportsAnError) {
  bool error = false;
  EXPECT_EQ(String(GetParam().text).ToInt32(&error), static_cast<int32_t>(GetParam().value));
  EXPECT_EQ(error, GetParam().error);
}

const NumberCase kInt32Texts[] = {
    {"LeadingBlanks", "  3", 3, false}, {"BlanksAround", " 12 ", 12, false}, {"Negative", "-7", -7, false},
    {"PlusSign", "+7", 7, false}, {"HexCapitals", "0x8F8F8F", 0x8F8F8F, false},
    {"HexSmallLetters", "0xffffff", 0xFFFFFF, false}, {"HexAllBitsSet", "0xFFFFFFFF", -1, false},
    {"Largest", "2147483647", 2147483647, false}, {"PastLargest", "2147483648", 0, true}, {"Empty", "", 0, true},
    {"OnlyBlanks", "   ", 0, true}, {"Letters", "abc", 0, true}, {"TrailingLetters", "12abc", 0, true},
    {"BlankInside", "1 2", 0, true}, {"TwoSigns", "+-7", 0, true}, {"HexWithoutDigits", "0x", 0, true},
    {"HexBadDigit", "0xG1", 0, true}, {"Fraction", "1.5", 0, true},
};

INSTANTIATE_TEST_SUITE_P(Texts, Int32Conversion, testing::ValuesIn(kInt32Texts), CaseName);

class FloatConversion : public BoundModule, public testing::WithParamInterface<NumberCase> {};

TEST_P(FloatConversion, TakesFiniteNumbersOnly) {
  bool error = false;
  EXPECT_DOUBLE_EQ(String(GetParam().text).ToFloat(&error), GetParam().value);
  EXPECT_EQ(error, GetParam().error);
}

const NumberCase kFloatTexts[] = {
    {"LeadingBlanks", "    1.2345", 1.2345, false}, {"NegativeBlanksAround", "  -0.7500 ", -0.75, false},
    {"NoIntegerDigits", ".5", 0.5, false}, {"NoFractionDigits", "3.", 3.0, false}, {"PlusSign", "+2", 2.0, false},
    {"Exponent", "1e3", 1000.0, false}, {"Integer", "77", 77.0, false}, {"Empty", "", 0, true},
    {"LeadingLetter", "x1", 0, true}, {"DecimalComma", "1,5", 0, true}, {"PastLargest", "1e400", 0, true},
    {"NotANumber", "nan", 0, true}, {"Infinity", "inf", 0, true}, {"NegativeInfinity", "-infinity", 0, true},
    {"Hex", "0x10", 0, true}, {"EveryBlankAround", "\t\v\f 4.5\r\n", 4.5, false},
    {"ControlBeforeTab", "\b4.5", 0, true}, {"ControlAfterReturn", "4.5\x0e", 0, true},
};

INSTANTIATE_TEST_SUITE_P(Texts, FloatConversion, testing::ValuesIn(kFloatTexts), CaseName);

// Strings are values shared by reference: an operation makes a new one and leaves its source alone.
TEST_F(HostLayer, StringOperations) {
  String original("Carbon");
  String copy = original;
  copy = copy.Appended(" atom");
  EXPECT_EQ(original.ToStdString(), "Carbon");
  EXPECT_EQ(String(std::move(copy)).ToStdString(), "Carbon atom");
  EXPECT_EQ(String::FromBytes("O\0H", 3).Length(), 3);
  const String text(" Cl \t");
  EXPECT_EQ(text.Trimmed().ToStdString(), "Cl");
  EXPECT_EQ(text.Length(), 5);
  EXPECT_EQ(String("  1.0000  2.0000").Substring(0, 8).ToStdString(), "  1.0000");
  EXPECT_EQ(String("C").Substring(30, 3).ToStdString(), "");  // a line that ends early gives an empty field
  EXPECT_EQ(String("abcdef").Substring(4, 10).ToStdString(), "ef");
  EXPECT_EQ(String("O").Inserted(1, " nucleus").ToStdString(), "O nucleus");
  EXPECT_EQ(String("ac").Inserted(1, "b").ToStdString(), "abc");
  EXPECT_EQ(String("Co").Compare("CO"), String("Co").Compare("CO", VT_COMPARE_EXACT));
  EXPECT_NE(String("Co").Compare("CO"), 0);
  EXPECT_EQ(String("nuc").Compare("NUC", VT_COMPARE_IGNORE_CASE), 0);
  EXPECT_NE(String("nuc").Compare("NUCL", VT_COMPARE_IGNORE_CASE), 0);
  EXPECT_TRUE(String() == String(""));
  EXPECT_TRUE(String().IsEmpty());
}

TEST_F(HostLayer, ToBytesReportsACut) {
  char buffer[8];
  EXPECT_EQ(String("benzene").ToBytes(buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "benzene");
  EXPECT_EQ(String("benzene.sdf").ToBytes(buffer, sizeof buffer), 11);  // >= limit: cut
  EXPECT_STREQ(buffer, "benzene");
}

TEST_F(HostLayer, OutOfMemoryStringsReadAsEmpty) {
  host_.Faults().FailAll(vthost::AllocKind::String);
  const String text("lost");
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_TRUE(text.Appended("more").IsEmpty());
  host_.Faults().Clear();
  EXPECT_EQ(String("kept").ToStdString(), "kept");
}

struct SuffixCase {
  const char* name;
  const char* path;
  const char* suffix;
};

void PrintTo(const SuffixCase& c, std::ostream* out) {
  *out << c.name << ": \"" << c.path << "\" -> \"" << c.suffix << '"';
}

class FilenameSuffix : public BoundModule, public testing::WithParamInterface<SuffixCase> {};

TEST_P(FilenameSuffix, IsTheTextAfterTheLastDot) {
  EXPECT_EQ(Filename(GetParam().path).Suffix().ToStdString(), GetParam().suffix);
}

const SuffixCase kSuffixes[] = {
    {"WholePath", "/data/benzene.sdf", "sdf"}, {"Mol", "caffeine.mol", "mol"}, {"Mol2", "x.mol2", "mol2"},
    {"TwoDots", "a.b.SDF", "SDF"}, {"NoDot", "noext", ""}, {"DotInTheFolder", "dir.d/noext", ""},
    {"DotInTheFolderBackslash", "dir.d\\noext", ""}, {"TrailingDot", "trailing.", ""}, {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Paths, FilenameSuffix, testing::ValuesIn(kSuffixes), CaseName);

TEST_F(HostLayer, FilenamesJoinAndAnswerExistence) {
  const std::filesystem::path folder = TempFolder();
  WriteFile(folder / "atoms.sdf", "x\n");
  std::filesystem::create_directory(folder / "x.sdf");
  const Filename base{String(folder.u8string().c_str())};
  EXPECT_TRUE(FileExists(base + "atoms.sdf"));
  EXPECT_FALSE(FileExists(base + "x.sdf"));  // a folder, not a file
  EXPECT_TRUE(FolderExists(base + "x.sdf"));
  EXPECT_FALSE(FileExists(base + "missing.sdf"));
  EXPECT_FALSE(FileExists(Filename()));
  EXPECT_TRUE(Filename().IsEmpty());
  EXPECT_EQ((base + "atoms.sdf").Path().ToStdString(), (folder / "atoms.sdf").u8string());
  EXPECT_EQ(PluginResourceFolder().Path().ToStdString(), (SourceDir() / "res").u8string());
}

TEST_F(HostLayer, ContainersHoldEveryValueType) {
  Container container = Container::Create();
  ASSERT_TRUE(container.IsValid());
  EXPECT_TRUE(container.SetInt32(20002, 3));
  EXPECT_TRUE(container.SetFloat(20003, 25.0));
  EXPECT_TRUE(container.SetBool(20031, true));
  EXPECT_TRUE(container.SetVector(20009, {1.0, 0.5, 0.25}));
  EXPECT_TRUE(container.SetString(RowId(0, Row::Symbol), "NUC"));
  EXPECT_TRUE(container.SetFilename(20000, Filename(String("/m/benzene.sdf"))));
  EXPECT_TRUE(container.SetLink(RowId(0, Row::Material), nullptr));
  Container inner = Container::Create();
  inner.SetInt32(1, 7);
  EXPECT_TRUE(container.SetContainer(5, inner));

  EXPECT_EQ(container.GetInt32(20002), 3);
  EXPECT_DOUBLE_EQ(container.GetFloat(20003), 25.0);
  EXPECT_TRUE(container.GetBool(20031));
  const Vector colour = container.GetVector(20009);
  EXPECT_EQ(colour.x, 1.0);
  EXPECT_EQ(colour.y, 0.5);
  EXPECT_EQ(colour.z, 0.25);
  EXPECT_EQ(container.GetString(RowId(0, Row::Symbol)).ToStdString(), "NUC");
  EXPECT_EQ(container.GetFilename(20000).Suffix().ToStdString(), "sdf");
  EXPECT_EQ(container.GetLink(RowId(0, Row::Material), nullptr), nullptr);
  EXPECT_EQ(container.GetContainer(5).GetInt32(1), 7);
  EXPECT_EQ(container.TypeOf(20003), VT_VALUE_FLOAT);

  // a missing id reads as the empty value of its type
  EXPECT_EQ(container.GetInt32(99), 0);
  EXPECT_EQ(container.GetFloat(99), 0.0);
  EXPECT_FALSE(container.GetBool(99));
  EXPECT_EQ(container.GetVector(99).x, 0.0);
  EXPECT_TRUE(container.GetString(99).IsEmpty());
  EXPECT_TRUE(container.GetFilename(99).IsEmpty());
  EXPECT_FALSE(container.GetContainer(99).IsValid());
  EXPECT_TRUE(container.Remove(20002));
  EXPECT_EQ(container.GetInt32(20002, -1), -1);
  // numbers are converted when read as the other kind
  container.SetFloat(1, -2.9);
  EXPECT_EQ(container.GetInt32(1), -2);
  container.SetInt32(2, 4);
  EXPECT_DOUBLE_EQ(container.GetFloat(2), 4.0);
}

TEST_F(HostLayer, RefusedContainerWritesLeaveTheValue) {
  Container container = Container::Create();
  container.SetInt32(1, 5);
  host_.Faults().FailAll(vthost::AllocKind::Container);
  EXPECT_FALSE(container.SetInt32(1, 6));
  EXPECT_FALSE(Container::Create().IsValid());
  host_.Faults().Clear();
  EXPECT_EQ(container.GetInt32(1), 5);
  Container none;
  EXPECT_FALSE(none.SetInt32(1, 1));
  EXPECT_EQ(none.GetInt32(1, 9), 9);
}

TEST_F(HostLayer, HostMemoryIsNullWhenRefused) {
  struct Record {
    int32_t element = 4;
    double x = 1.5;
  };
  Record* record = HostNew<Record>();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->element, 4);
  EXPECT_EQ(host_.LiveBlocks(), 1);
  HostDelete(record);
  EXPECT_EQ(host_.LiveBlocks(), 0);
  host_.Faults().FailNth(2, vthost::AllocKind::Memory);
  void* first = HostAlloc(16);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(HostAlloc(16), nullptr);
  void* third = HostAlloc(16);
  EXPECT_NE(third, nullptr);
  HostFree(first);
  HostFree(third);
  HostFree(nullptr);
  EXPECT_EQ(host_.LiveBlocks(), 0);
}

TEST_F(HostLayer, DialogsAndConsoleReachTheUser) {
  ShowMessage("first line\nsecond line");
  EXPECT_FALSE(AskQuestion("Restore?"));
  host_.Options().answerYes = true;
  EXPECT_TRUE(AskQuestion("Restore?"));
  ConsoleLine("hello");
  const auto& events = host_.Events().All();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].kind, vthost::Event::Kind::Message);
  EXPECT_EQ(events[0].text, "first line\nsecond line");
  EXPECT_EQ(events[1].kind, vthost::Event::Kind::Question);
  EXPECT_FALSE(events[1].answer);
  EXPECT_TRUE(events[2].answer);
  EXPECT_EQ(events[3].kind, vthost::Event::Kind::Console);
}

TEST_F(HostLayer, AQuestionGoesToTheAskerWhenThereIsOne) {
  std::vector<std::string> asked;
  host_.Options().answerYes = true;
  host_.Options().ask = [&asked](const std::string& question) {
    asked.push_back(question);
    return false;
  };
  EXPECT_FALSE(AskQuestion("Restore?"));
  EXPECT_EQ(asked, std::vector<std::string>{"Restore?"});
  ASSERT_EQ(host_.Events().All().size(), 1u);
  EXPECT_FALSE(host_.Events().All()[0].answer);
}

TEST_F(HostLayer, ResourcesAndBitmapsLoadFromRes) {
  const Filename res = PluginResourceFolder();
  Resource resource;
  EXPECT_TRUE(resource.Load(res));
  EXPECT_EQ(resource.GetString(50000).ToStdString(), "Molecule");
  EXPECT_TRUE(resource.GetString(49999).IsEmpty());
  resource.Free();
  EXPECT_TRUE(resource.GetString(50000).IsEmpty());
  EXPECT_FALSE(resource.Load(res + "missing"));

  EXPECT_TRUE(Bitmap::Load(res + "icons8-test-tube.tif", 1.0).IsValid());
  EXPECT_FALSE(Bitmap::Load(res + "strings.json", 1.0).IsValid());  // not a TIFF
  EXPECT_FALSE(Bitmap::Load(res + "missing.tif", 1.0).IsValid());
}

}  // namespace
}  // namespace vantor
