// The host's reading of resource sets: the shipped res/ and malformed variants of it.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cases.h"
#include "resources/resourceset.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;

fs::path ShippedRes() { return fs::u8path(VANTOR_SOURCE_DIR) / "res"; }

// The id, name, type, default and choices of every parameter are the README's parameter table, which
// the docs.parameter_table test holds against this resource; here what that table leaves out.
TEST(ShippedResources, NameTheObjectAndLabelEveryEntry) {
  ResourceSet set;
  std::string error;
  ASSERT_TRUE(ReadResourceSet(ShippedRes(), &set, &error)) << error;
  EXPECT_EQ(set.strings.at(50000), "Molecule");
  ASSERT_EQ(set.descriptions.count("oxvantor"), 1u);
  const StaticDescription& description = *set.descriptions.at("oxvantor");
  for (const DescriptionEntry& entry : description.entries) EXPECT_FALSE(entry.label.empty()) << entry.name;
  const DescriptionEntry* materials = description.Find(15000);  // where the material rows go
  ASSERT_NE(materials, nullptr);
  EXPECT_EQ(materials->kind, EntryKind::Group);
  EXPECT_EQ(description.Find(20033)->parent, 15000);
}

struct BrokenCase {
  const char* name;
  const char* strings;      // null: no strings.json
  const char* description;  // null: no description file
};

void PrintTo(const BrokenCase& c, std::ostream* out) {
  *out << c.name << ": " << (c.strings ? "with" : "no") << " strings.json, " << (c.description ? "with" : "no")
       << " description";
}

class BrokenResources : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenResources, AreRefusedWithAReason) {
  const fs::path folder = fs::temp_directory_path() / (std::string("vantor-res-") + GetParam().name);
  fs::remove_all(folder);
  fs::create_directories(folder / "description");
  if (GetParam().strings) std::ofstream(folder / "strings.json") << GetParam().strings;
  if (GetParam().description) std::ofstream(folder / "description" / "oxvantor.json") << GetParam().description;
  ResourceSet set;
  std::string error;
  EXPECT_FALSE(ReadResourceSet(folder, &set, &error));
  EXPECT_NE(error.find(".json: "), std::string::npos) << "names the file: " << error;
  EXPECT_TRUE(set.strings.empty());  // nothing of a broken set is kept
  fs::remove_all(folder);
}

const char* const kStrings = R"({"strings": {"50000": "Molecule"}})";

const BrokenCase kBroken[] = {
    {"NoStrings", nullptr, nullptr}, {"StringsNotJson", "{strings", nullptr}, {"StringsNotAnObject", "[1, 2]", nullptr},
    {"StringIdNotANumber", R"({"strings": {"fifty": "x"}})", nullptr}, {"DescriptionNotJson", kStrings, "{"},
    {"UnknownType", kStrings, R"({"description": "d", "entries": [{"id": 1, "type": "matrix"}]})"},
    {"DuplicateId", kStrings,
     R"({"description": "d", "entries": [{"id": 1, "type": "bool"}, {"id": 1, "type": "int"}]})"},
    {"ParentNotAGroup", kStrings,
     R"({"description": "d", "entries": [{"id": 1, "type": "bool"}, {"id": 2, "type": "int", "parent": 1}]})"},
    {"ShortVector", kStrings, R"({"description": "d", "entries": [{"id": 1, "type": "vector", "default": [1, 2]}]})"},
    {"DefaultOfWrongType", kStrings,
     R"({"description": "d", "entries": [{"id": 1, "type": "int", "default": "three"}]})"},
    {"EntryWithoutId", kStrings, R"({"description": "d", "entries": [{"type": "int"}]})"},
    {"IdNotAWholeNumber", kStrings, R"({"description": "d", "entries": [{"id": 1.5, "type": "int"}]})"},
    {"EntriesNotAList", kStrings, R"({"description": "d", "entries": {"id": 1, "type": "int"}})"},
    {"TextAfterTheObject", kStrings, R"({"description": "d", "entries": []} [])"},
    {"TrailingComma", kStrings, R"({"description": "d", "entries": [],})"},
    {"NumberPastTheLargestDouble", kStrings,
     R"({"description": "d", "entries": [{"id": 1, "type": "float", "default": 1e400}]})"},
    {"LoneSurrogate", kStrings, R"({"description": "d\ud800", "entries": []})"},
    {"OverlongUtf8", kStrings, "{\"description\": \"\xC0\xAF\", \"entries\": []}"},
    {"ControlCharacterInAString", kStrings, "{\"description\": \"a\tb\", \"entries\": []}"},
    {"LeadingZero", kStrings, R"({"description": "d", "entries": [{"id": 01, "type": "int"}]})"},
    {"IdPast32Bits", kStrings, R"({"description": "d", "entries": [{"id": 4294967296, "type": "int"}]})"},
};

INSTANTIATE_TEST_SUITE_P(Sets, BrokenResources, testing::ValuesIn(kBroken), CaseName);

// A description of one entry read from the text of its members.
struct ReadCase {
  const char* name;
  std::string members;  // after "id": 1, "type": "int"
  std::string label;
  std::vector<std::pair<int32_t, std::string>> choices;
  std::optional<double> minimum;
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name << ": " << c.members; }

class ReadResources : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadResources, TakeWhatTheTextSays) {
  const fs::path folder = fs::temp_directory_path() / (std::string("vantor-res-") + GetParam().name);
  fs::remove_all(folder);
  fs::create_directories(folder / "description");
  std::ofstream(folder / "strings.json") << kStrings;
  std::ofstream(folder / "description" / "d.json")
      << R"({"description": "d", "entries": [{"id": 1, "type": "int", )" << GetParam().members << "}]}";
  ResourceSet set;
  std::string error;
  ASSERT_TRUE(ReadResourceSet(folder, &set, &error)) << error;
  const DescriptionEntry& entry = set.descriptions.at("d")->entries.at(0);
  EXPECT_EQ(entry.label, GetParam().label);
  EXPECT_EQ(entry.choices, GetParam().choices);
  EXPECT_EQ(entry.minimum, GetParam().minimum);
  fs::remove_all(folder);
}

const ReadCase kRead[] = {
    {"Escapes", R"("label": "\u00e9\t\"\\\/\ud83d\ude00")", "\xC3\xA9\t\"\\/\xF0\x9F\x98\x80", {}, std::nullopt},
    {"KeyGivenTwiceKeepsTheLast", R"("label": "a", "label": "b")", "b", {}, std::nullopt},
    {"ChoicesInTheOrderOfTheirKeysText", R"("choices": {"2": "two", "10": "ten", "1": "one"})", "",
     {{1, "one"}, {10, "ten"}, {2, "two"}}, std::nullopt},
    {"NumbersWithExponents", R"("label": "x", "min": -1.5E+1)", "x", {}, -15.0},
    {"WholeNumbersAsFloats", R"("min": -3)", "", {}, -3.0},
    {"UnderflowIsZero", R"("min": 1e-400)", "", {}, 0.0},
    {"Utf8AsItIs", "\"label\": \"\xE2\x82\xAC\"", "\xE2\x82\xAC", {}, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Texts, ReadResources, testing::ValuesIn(kRead), CaseName);

TEST(ReadResources, ByteOrderMarkIsSkipped) {
  const fs::path folder = fs::temp_directory_path() / "vantor-res-bom";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "strings.json") << "\xEF\xBB\xBF" << kStrings;
  ResourceSet set;
  std::string error;
  EXPECT_TRUE(ReadResourceSet(folder, &set, &error)) << error;
  EXPECT_EQ(set.strings.at(50000), "Molecule");
  fs::remove_all(folder);
}

TEST(BrokenResources, MissingFolderIsRefused) {
  ResourceSet set;
  std::string error;
  EXPECT_FALSE(ReadResourceSet(fs::temp_directory_path() / "vantor-no-such-res", &set, &error));
  EXPECT_FALSE(ReadResourceSet(fs::path(), &set, &error));
}

}  // namespace
}  // namespace vthost
