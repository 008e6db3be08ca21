// What the host knows of the molecule object (host/include/vthost/molecule.h) held against what the
// module declares and builds (parameterids.h, materialrows.h, moleculeobject.h, modelbuilder.cpp):
// the two are written apart and must not drift.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "builtmodel.h"
#include "colourpresets.h"
#include "materialrows.h"
#include "resources/resourceset.h"
#include "vthost/description.h"
#include "vthost/molecule.h"

namespace vantor {
namespace {

namespace facts = vthost::molecule;

struct SameNumber {
  const char* name;
  int32_t host, module;
};

void PrintTo(const SameNumber& c, std::ostream* out) { *out << c.name; }

const SameNumber kNumbers[] = {
    {"Type", facts::kType, kMoleculeObjectId},
    {"File", facts::kFile, MOLOBJ_FILE},
    {"Load", facts::kLoad, MOLOBJ_LOAD},
    {"BondRadius", facts::kBondRadius, MOLOBJ_BOND_RADIUS},
    {"Bond1Colour", facts::kFirstBondColour, MOLOBJ_BOND1_COLOR},
    {"Bond4Colour", facts::kFirstBondColour + 3, MOLOBJ_BOND4_COLOR},
    {"DoubleBondFactor", facts::kDoubleBondFactor, MOLOBJ_DOUBLE_BOND_FACTOR},
    {"TripleBondFactor", facts::kTripleBondFactor, MOLOBJ_TRIPLE_BOND_FACTOR},
    {"RowCount", facts::kRowCount, MOLOBJ_ROW_COUNT},
    {"MaxRows", facts::kMaxRows, kMaxRows},
    {"FirstRowParameter", facts::kFirstRowParameter, kFirstRowInitialised},
    {"RowIdStride", facts::kRowIdStride, kRowIdStride},
    {"Segments", facts::kSegments, MOLOBJ_SEGMENTS},
    {"ColoursPerPreset", static_cast<int32_t>(facts::kColoursPerPreset), kPresetSlots},
};

class MoleculeFacts : public testing::TestWithParam<SameNumber> {};

TEST_P(MoleculeFacts, HostAndModuleAgree) { EXPECT_EQ(GetParam().host, GetParam().module); }

INSTANTIATE_TEST_SUITE_P(Numbers, MoleculeFacts, testing::ValuesIn(kNumbers), CaseName);

// Each row parameter the host names is the module's of that name, of the type the description shows.
TEST(MoleculeRowFacts, EveryRowParameterIsTheModules) {
  const std::pair<std::string_view, RowParameter> kModule[] = {
      {"MOLOBJ_ROW_GROUP", MOLOBJ_ROW_GROUP},     {"MOLOBJ_ROW_INITIALISED", MOLOBJ_ROW_INITIALISED},
      {"MOLOBJ_ROW_MATERIAL", MOLOBJ_ROW_MATERIAL}, {"MOLOBJ_ROW_SYMBOL", MOLOBJ_ROW_SYMBOL},
      {"MOLOBJ_ROW_OFFSET_U", MOLOBJ_ROW_OFFSET_U}, {"MOLOBJ_ROW_OFFSET_V", MOLOBJ_ROW_OFFSET_V},
      {"MOLOBJ_ROW_TILES_U", MOLOBJ_ROW_TILES_U},   {"MOLOBJ_ROW_TILES_V", MOLOBJ_ROW_TILES_V},
      {"MOLOBJ_ROW_USE_MATERIAL", MOLOBJ_ROW_USE_MATERIAL}, {"MOLOBJ_ROW_PROJECTION", MOLOBJ_ROW_PROJECTION}};
  ASSERT_EQ(std::size(facts::kRowParameters), std::size(kModule));
  for (const facts::RowParameter& parameter : facts::kRowParameters) {
    const auto* module = std::find_if(std::begin(kModule), std::end(kModule),
                                      [&](const auto& named) { return named.first == parameter.name; });
    ASSERT_NE(module, std::end(kModule)) << parameter.name;
    EXPECT_EQ(facts::RowParameterId(facts::kMaxRows - 1, parameter), RowParameterId(kMaxRows - 1, module->second))
        << parameter.name;
  }
}

class MoleculeBuildFacts : public BuiltModel {};

// The colour parameters the host names are every colour of the description, by its names.
TEST_F(MoleculeBuildFacts, ColourParametersAreTheDescriptions) {
  const vthost::StaticDescription* description = host_.Types().Description(kMoleculeObjectId);
  ASSERT_NE(description, nullptr);
  const auto colour = [](const vthost::DescriptionEntry& entry) { return entry.kind == vthost::EntryKind::Colour; };
  const auto colours = std::count_if(description->entries.begin(), description->entries.end(), colour);
  EXPECT_EQ(std::size(facts::kColourParameters), static_cast<size_t>(colours));
  for (const facts::NamedParameter& parameter : facts::kColourParameters) {
    const vthost::DescriptionEntry* entry = description->Find(parameter.id);
    ASSERT_NE(entry, nullptr) << parameter.name;
    EXPECT_EQ(entry->name, parameter.name);
    EXPECT_EQ(entry->kind, vthost::EntryKind::Colour) << parameter.name;
  }
}

// Each bond is built with the radius and colour the host expects of its order.
TEST_F(MoleculeBuildFacts, BondsHaveTheLooksOfTheirOrder) {
  VtNode* node = Loaded(kChain);
  Set(node, MOLOBJ_BOND4_COLOR, VtVector{0.25, 0.75, 0.5});
  const VtNode* root = Build(node);
  ASSERT_NE(root, nullptr);
  const std::optional<facts::BondLooks> looks = facts::BondLooksOf(vthost::HierarchyParameters(node));
  ASSERT_TRUE(looks);
  const int32_t orders[] = {2, 3, 1, 4};  // as kChain lists its bonds
  const std::vector<const VtNode*> sweeps = Sweeps(root);
  ASSERT_EQ(sweeps.size(), std::size(orders));
  for (size_t i = 0; i < sweeps.size(); ++i) {
    const size_t order = static_cast<size_t>(orders[i] - 1);
    EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[i]), looks->radius[order]) << "bond " << i;
    EXPECT_TRUE(sweeps[i]->display.colour == looks->colour[order]) << "bond " << i;
  }
}

TEST_F(MoleculeBuildFacts, RowTypesAreTheDescriptionsAndNucleiGoByTheirSuffix) {
  VtNode* node = Loaded(kChain);
  host_.Press(node, MOLOBJ_ADD_ROW);
  host_.SetParameter(node, MOLOBJ_SHOW_NUCLEUS, vthost::Value(true));
  const vthost::Description& shown = vthost::Describe(host_, node);
  for (const facts::RowParameter& parameter : facts::kRowParameters) {
    const vthost::ShownEntry* entry = shown.Find(facts::RowParameterId(0, parameter));
    ASSERT_NE(entry, nullptr) << parameter.name;
    EXPECT_EQ(entry->dataType, parameter.dataType) << parameter.name;
  }
  const VtNode* root = Build(node);
  ASSERT_NE(root, nullptr);
  int nuclei = 0;
  for (const auto& child : root->children) {
    if (child->type != VT_OBJECT_POLYGON) continue;
    // the fixed atom radius is 25, a nucleus 0.35 of it
    EXPECT_EQ(facts::IsNucleusName(child->name), child->primitive->radius < 25.0) << child->name;
    nuclei += facts::IsNucleusName(child->name) ? 1 : 0;
  }
  EXPECT_EQ(nuclei, 5);
}

}  // namespace
}  // namespace vantor
