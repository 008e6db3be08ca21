// The host's reading of resource sets: the shipped res/ and malformed variants of it.
#include <gtest/gtest.h>

#include <fstream>
#include <variant>

#include "scene/resources.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;

fs::path ShippedRes() { return fs::u8path(VANTOR_SOURCE_DIR) / "res"; }

// Every static parameter of the molecule object with its type and default.
struct ParameterCase {
  int32_t id;
  const char* name;
  const char* type;
  Value value;
};

const ParameterCase kParameters[] = {
    {20000, "MOLOBJ_FILE", "filename", {}},
    {20001, "MOLOBJ_LOAD", "button", {}},
    {20002, "MOLOBJ_RADIUS_MODE", "int", int32_t{3}},
    {20003, "MOLOBJ_ATOM_RADIUS", "float", 25.0},
    {20004, "MOLOBJ_RADIUS_SCALE", "float", 1.0},
    {20005, "MOLOBJ_XRAY", "bool", false},
    {20006, "MOLOBJ_DISPLAY_MODE", "int", int32_t{0}},
    {20007, "MOLOBJ_POSITION_SCALE", "float", 100.0},
    {20008, "MOLOBJ_BOND_RADIUS", "float", 3.0},
    {20009, "MOLOBJ_BOND1_COLOR", "colour", VtVector{1.0, 1.0, 1.0}},
    {20010, "MOLOBJ_BOND2_COLOR", "colour", VtVector{0.5, 0.5, 1.0}},
    {20011, "MOLOBJ_BOND3_COLOR", "colour", VtVector{1.0, 0.5, 0.5}},
    {20012, "MOLOBJ_BOND4_COLOR", "colour", VtVector{0.5, 1.0, 0.5}},
    {20013, "MOLOBJ_COLOR_MODE", "int", int32_t{0}},
    {20014, "MOLOBJ_PRESET", "int", int32_t{0}},
    {20015, "MOLOBJ_PRESET_COLOR_H", "colour", VtVector{0.90, 0.84, 0.72}},
    {20016, "MOLOBJ_PRESET_COLOR_C", "colour", VtVector{0.10, 0.10, 0.09}},
    {20017, "MOLOBJ_PRESET_COLOR_O", "colour", VtVector{0.89, 0.35, 0.15}},
    {20018, "MOLOBJ_PRESET_COLOR_N", "colour", VtVector{0.94, 0.65, 0.00}},
    {20019, "MOLOBJ_PRESET_COLOR_OTHER", "colour", VtVector{0.80, 0.80, 0.80}},
    {20020, "MOLOBJ_RESTORE_PRESET", "button", {}},
    {20022, "MOLOBJ_DOUBLE_BOND_FACTOR", "float", 2.0},
    {20023, "MOLOBJ_BOND_SUBDIVISIONS", "int", int32_t{2}},
    {20024, "MOLOBJ_SEGMENTS", "int", int32_t{24}},
    {20025, "MOLOBJ_BOND_CAPS", "int", int32_t{0}},
    {20026, "MOLOBJ_SHOW_NUCLEUS", "bool", false},
    {20027, "MOLOBJ_NUCLEUS_FACTOR", "float", 0.35},
    {20029, "MOLOBJ_NUCLEUS_COLOR", "colour", VtVector{0.0, 0.0, 0.5}},
    {20030, "MOLOBJ_TRIPLE_BOND_FACTOR", "float", 3.0},
    {20031, "MOLOBJ_SHOW_HYDROGENS", "bool", true},
    {20032, "MOLOBJ_ROW_COUNT", "int", int32_t{0}},
    {20033, "MOLOBJ_ADD_ROW", "button", {}},
    {20034, "MOLOBJ_REMOVE_ROW", "button", {}},
};

TEST(ShippedResources, DeclareEveryStaticParameterWithItsDefault) {
  ResourceSet set;
  std::string error;
  ASSERT_TRUE(ReadResourceSet(ShippedRes(), &set, &error)) << error;
  EXPECT_EQ(set.strings.at(50000), "Molecule");
  ASSERT_EQ(set.descriptions.count("oxvantor"), 1u);
  const StaticDescription& description = *set.descriptions.at("oxvantor");
  for (const ParameterCase& parameter : kParameters) {
    SCOPED_TRACE(parameter.name);
    const DescriptionEntry* entry = description.Find(parameter.id);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, parameter.name);
    EXPECT_EQ(entry->type, parameter.type);
    EXPECT_TRUE(entry->defaultValue == parameter.value);
    EXPECT_FALSE(entry->label.empty());
  }
  for (const int32_t unused : {20021, 20028}) EXPECT_EQ(description.Find(unused), nullptr);
  const DescriptionEntry* materials = description.Find(15000);
  ASSERT_NE(materials, nullptr);
  EXPECT_EQ(materials->type, "group");
  EXPECT_EQ(description.Find(20033)->parent, 15000);
  EXPECT_EQ(description.Find(20002)->choices.size(), 5u);
  EXPECT_EQ(description.Find(20014)->choices.size(), 6u);
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
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(set.strings.empty());  // nothing of a broken set is kept
  fs::remove_all(folder);
}

const char* const kStrings = R"({"strings": {"50000": "Molecule"}})";

INSTANTIATE_TEST_SUITE_P(
    Sets, BrokenResources,
    testing::Values(
        BrokenCase{"NoStrings", nullptr, nullptr}, BrokenCase{"StringsNotJson", "{strings", nullptr},
        BrokenCase{"StringsNotAnObject", "[1, 2]", nullptr},
        BrokenCase{"StringIdNotANumber", R"({"strings": {"fifty": "x"}})", nullptr},
        BrokenCase{"DescriptionNotJson", kStrings, "{"},
        BrokenCase{"UnknownType", kStrings, R"({"description": "d", "entries": [{"id": 1, "type": "matrix"}]})"},
        BrokenCase{"DuplicateId", kStrings,
                   R"({"description": "d", "entries": [{"id": 1, "type": "bool"}, {"id": 1, "type": "int"}]})"},
        BrokenCase{"ParentNotAGroup", kStrings,
                   R"({"description": "d", "entries": [{"id": 1, "type": "bool"}, {"id": 2, "type": "int", "parent": 1}]})"},
        BrokenCase{"ShortVector", kStrings,
                   R"({"description": "d", "entries": [{"id": 1, "type": "vector", "default": [1, 2]}]})"},
        BrokenCase{"DefaultOfWrongType", kStrings,
                   R"({"description": "d", "entries": [{"id": 1, "type": "int", "default": "three"}]})"},
        BrokenCase{"EntryWithoutId", kStrings, R"({"description": "d", "entries": [{"type": "int"}]})"},
        BrokenCase{"IdNotAWholeNumber", kStrings, R"({"description": "d", "entries": [{"id": 1.5, "type": "int"}]})"},
        BrokenCase{"EntriesNotAList", kStrings, R"({"description": "d", "entries": {"id": 1, "type": "int"}})"}),
    [](const testing::TestParamInfo<BrokenCase>& info) { return std::string(info.param.name); });

TEST(BrokenResources, MissingFolderIsRefused) {
  ResourceSet set;
  EXPECT_FALSE(ReadResourceSet(fs::temp_directory_path() / "vantor-no-such-res", &set, nullptr));
  EXPECT_FALSE(ReadResourceSet(fs::path(), &set, nullptr));
}

}  // namespace
}  // namespace vthost
