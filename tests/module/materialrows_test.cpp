// The looks of what a build makes (materialrows.cpp): the textures of the material rows, and the
// colours of the element table, the selected preset, the bond orders and the nuclei.
#include "builtmodel.h"
#include "rowids.h"

namespace vantor {
namespace {

using vthost::Value;

class MaterialRows : public BuiltModel {
 protected:
  // A row with the symbol and, when given, a link to a material made for it.
  void AddRow(VtNode* node, const std::string& symbol, VtNode* material) {
    host_.Press(node, MOLOBJ_ADD_ROW);
    const int32_t row = Object(node).RowCount() - 1;
    Set(node, RowId(row, Row::Symbol), symbol);
    if (material) Set(node, RowId(row, Row::Material), vthost::LinkValue{material->serial});
  }
  static const VtTag* Texture(const VtNode* object) {
    for (const auto& tag : object->tags) {
      if (tag->type == VT_TAG_TEXTURE) return tag.get();
    }
    return nullptr;
  }
};

// The texture takes the row's placement: the user's values, and the defaults the row's first
// description wrote (UVW projection, stored as a Float; no offset; one tile; material used).
TEST_F(MaterialRows, AtomRowGivesATextureWithItsPlacementAndNoColour) {
  VtNode* node = Loaded(kChain);
  VtNode* red = host_.CreateMaterial(document_, "Red", {1, 0, 0});
  AddRow(node, " O ", red);
  Set(node, RowId(0, Row::TilesU), 2.5);
  Set(node, RowId(0, Row::Projection), int32_t{3});
  AddRow(node, "S", red);
  const VtNode* root = Build(node);
  const VtNode* oxygen = Child(root, "O");
  const VtTag* texture = Texture(oxygen);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(oxygen->tags[0].get(), texture);  // at the head, before the phong tag
  EXPECT_EQ(texture->material, red->serial);
  EXPECT_FALSE(oxygen->display.set);
  using Placement = vthost::ValueMap;  // offset U, V; projection; tiles U, V
  EXPECT_EQ(texture->parameters.values, (Placement{{1000, 0.0}, {1001, 0.0}, {1004, 3}, {1014, 2.5}, {1015, 1.0}}));
  ASSERT_NE(Texture(Child(root, "S")), nullptr);
  EXPECT_EQ(Texture(Child(root, "S"))->parameters.values,
            (Placement{{1000, 0.0}, {1001, 0.0}, {1004, 6}, {1014, 1.0}, {1015, 1.0}}));
}

TEST_F(MaterialRows, ElementSymbolsKeepLetterCaseSpecialKeysDoNot) {
  VtNode* node = Loaded(kChain);
  VtNode* blue = host_.CreateMaterial(document_, "Blue", {0, 0, 1});
  AddRow(node, "o", blue);    // no element: oxygen keeps its colour
  AddRow(node, "nuc", blue);  // the nucleus key
  AddRow(node, "bd3", blue);  // triple bonds
  Set(node, MOLOBJ_SHOW_NUCLEUS, true);
  const VtNode* root = Build(node);
  EXPECT_EQ(Texture(Child(root, "O")), nullptr);
  const VtNode* nucleus = Child(root, "C nucleus");
  ASSERT_NE(Texture(nucleus), nullptr);
  EXPECT_TRUE(Texture(nucleus)->parameters.values.empty());  // the host's placement, not the row's
  EXPECT_EQ(nucleus->tags[0]->type, VT_TAG_PHONG);             // then the texture
  EXPECT_EQ(nucleus->display.colour, GetAs<VtVector>(node, MOLOBJ_NUCLEUS_COLOR));  // and still its colour
  const auto sweeps = Sweeps(root);
  EXPECT_EQ(Texture(sweeps[0]), nullptr);
  ASSERT_NE(Texture(sweeps[1]), nullptr);
  EXPECT_EQ(sweeps[1]->display.colour, GetAs<VtVector>(node, MOLOBJ_BOND3_COLOR));
}

// The first row of a key decides, even without a material; a row turned off or linking a deleted
// material gives nothing, and the atom keeps its colour.
TEST_F(MaterialRows, FirstRowOfAKeyDecidesRowsOffOrDanglingApplyNothing) {
  VtNode* node = Loaded(kChain);
  VtNode* gone = host_.CreateMaterial(document_, "Gone", {0, 0, 0});
  AddRow(node, "C", nullptr);
  AddRow(node, "C", host_.CreateMaterial(document_, "Green", {0, 1, 0}));
  AddRow(node, "S", host_.CreateMaterial(document_, "Gold", {1, 0.8, 0}));
  AddRow(node, "O", gone);
  Set(node, RowId(2, Row::UseMaterial), false);  // row 2 off
  host_.DeleteNode(gone);
  const VtNode* root = Build(node);
  for (const char* element : {"C", "S", "O"}) {
    EXPECT_EQ(Texture(Child(root, element)), nullptr) << element;
    EXPECT_TRUE(Child(root, element)->display.set) << element;
  }
}

TEST_F(MaterialRows, WithoutRowsAtomsBondsAndNucleiShowTheirColours) {
  // the bond to the hydrogen written as order 5
  const std::string withOddOrder = std::string(kChain).replace(std::string(kChain).find("  1  4  1"), 9, "  1  4  5");
  VtNode* node = Loaded(withOddOrder);
  Set(node, MOLOBJ_SHOW_NUCLEUS, true);
  Set(node, MOLOBJ_XRAY, true);
  const VtNode* root = Build(node);
  const VtNode* oxygen = Child(root, "O");
  EXPECT_EQ(oxygen->display.colour, (VtVector{1.0, 0x0D / 255.0, 0x0D / 255.0}));  // ptable.csv's FF0D0D
  EXPECT_EQ(oxygen->display.mode, 1);
  EXPECT_TRUE(oxygen->display.xray);
  const VtNode* nucleus = Child(root, "O nucleus");
  EXPECT_EQ(nucleus->display.colour, GetAs<VtVector>(node, MOLOBJ_NUCLEUS_COLOR));
  EXPECT_FALSE(nucleus->display.xray);  // x-ray never applies to nuclei
  const auto sweeps = Sweeps(root);
  ASSERT_EQ(sweeps.size(), 4u);
  EXPECT_EQ(sweeps[0]->display.colour, GetAs<VtVector>(node, MOLOBJ_BOND2_COLOR));
  EXPECT_EQ(sweeps[1]->display.colour, GetAs<VtVector>(node, MOLOBJ_BOND3_COLOR));
  EXPECT_EQ(sweeps[2]->display.colour, (VtVector{0.0, 0.0, 0.0}));  // an order outside 1 to 4
  EXPECT_EQ(sweeps[3]->display.colour, GetAs<VtVector>(node, MOLOBJ_BOND4_COLOR));
  EXPECT_TRUE(sweeps[3]->display.xray);
}

TEST_F(MaterialRows, PresetColoursAreThoseShownForTheSlotOfTheElement) {
  VtNode* node = Loaded(kChain);
  Set(node, MOLOBJ_COLOR_MODE, int32_t{kColourByPreset});
  Set(node, MOLOBJ_PRESET, int32_t{2});
  const VtNode* root = Build(node);
  const std::pair<const char*, int32_t> slots[] = {{"H", MOLOBJ_PRESET_COLOR_H}, {"C", MOLOBJ_PRESET_COLOR_C},
                                                   {"O", MOLOBJ_PRESET_COLOR_O}, {"N", MOLOBJ_PRESET_COLOR_N},
                                                   {"S", MOLOBJ_PRESET_COLOR_OTHER}};
  for (const auto& [element, shownIn] : slots) {
    EXPECT_EQ(Child(root, element)->display.colour, GetAs<VtVector>(node, shownIn)) << element;
  }
}

TEST_F(MaterialRows, RefusedTextureTagLeavesTheAtomWithoutColour) {
  VtNode* node = Loaded(kChain);
  AddRow(node, "C", host_.CreateMaterial(document_, "Red", {1, 0, 0}));
  host_.Faults().FailNth(2, vthost::AllocKind::Tag);  // the carbon's phong tag, then its texture
  const VtNode* carbon = Child(Build(node), "C");
  host_.Faults().Clear();
  ASSERT_NE(carbon, nullptr);
  EXPECT_FALSE(carbon->display.set);
  EXPECT_EQ(carbon->tags.size(), 1u);
}

}  // namespace
}  // namespace vantor
