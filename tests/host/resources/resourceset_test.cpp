// The host's reading of resource sets: the shipped res/ and malformed variants of it.
#include <gtest/gtest.h>

#include <fstream>

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
};

INSTANTIATE_TEST_SUITE_P(Sets, BrokenResources, testing::ValuesIn(kBroken), CaseName);

TEST(BrokenResources, MissingFolderIsRefused) {
  ResourceSet set;
  std::string error;
  EXPECT_FALSE(ReadResourceSet(fs::temp_directory_path() / "vantor-no-such-res", &set, &error));
  EXPECT_FALSE(ReadResourceSet(fs::path(), &set, &error));
}

}  // namespace
}  // namespace vthost
