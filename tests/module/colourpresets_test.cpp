// The six colour presets: reset, restore one, slots by element. What the presets hold is checked
// where a user sees it: restored presets against a new object (moleculeobject_test.cpp).
#include "boundmodule.h"
#include "colourpresets.h"
#include "elementtable.h"

namespace vantor {
namespace {

using ColourPresets = BoundModule;

bool SameColours(const ColourPreset& a, const ColourPreset& b) {
  for (int32_t slot = 0; slot < kPresetSlots; ++slot) {
    const Vector &x = a.colours[slot], &y = b.colours[slot];
    if (x.x != y.x || x.y != y.y || x.z != y.z) return false;
  }
  return true;
}

TEST_F(ColourPresets, ResetRebuildsTheSixDefaults) {
  ColourPresetList presets;
  ResetColourPresets(presets, kAllPresets);
  presets[2].colours[kSlotOxygen] = {1.0, 0.0, 0.0};
  ResetColourPresets(presets, kAllPresets);  // rebuilt, not appended to
  ASSERT_EQ(presets.Count(), kDefaultPresetCount);
  for (int32_t i = 0; i < kDefaultPresetCount; ++i) EXPECT_TRUE(SameColours(presets[i], DefaultColourPreset(i))) << i;
}

TEST_F(ColourPresets, RestoreRewritesOnlyThatPresetAndOnlyOneTheListHolds) {
  ColourPresetList presets;
  ResetColourPresets(presets, kAllPresets);
  presets[3].colours[kSlotCarbon] = {1.0, 0.0, 0.0};
  presets[5].colours[kSlotOther] = {0.5, 0.5, 0.5};
  ResetColourPresets(presets, 3);
  EXPECT_TRUE(SameColours(presets[3], DefaultColourPreset(3)));
  for (const int32_t index : {6, 7, -2, 1000}) ResetColourPresets(presets, index);
  EXPECT_EQ(presets.Count(), 6);
  EXPECT_EQ(presets[5].colours[kSlotOther].x, 0.5);
  ColourPresetList shortList;  // as a stored document may bring
  shortList.Append(DefaultColourPreset(0));
  ResetColourPresets(shortList, 4);
  EXPECT_EQ(shortList.Count(), 1);
}

TEST_F(ColourPresets, PresetThatCannotBeStoredIsLeftOut) {
  ColourPresetList presets;
  host_.Faults().FailNth(1, vthost::AllocKind::Memory);  // the list's storage, asked for by preset 0
  ResetColourPresets(presets, kAllPresets);
  // the five after it are stored all the same
  ASSERT_EQ(presets.Count(), 5);
  for (int32_t i = 0; i < 5; ++i) EXPECT_TRUE(SameColours(presets[i], DefaultColourPreset(i + 1))) << i;
}

TEST_F(ColourPresets, SlotsFollowTheElementIndex) {
  EXPECT_EQ(PresetSlotFor(kHydrogen), kSlotHydrogen);
  EXPECT_EQ(PresetSlotFor(kCarbon), kSlotCarbon);
  EXPECT_EQ(PresetSlotFor(kOxygen), kSlotOxygen);  // oxygen's slot comes before nitrogen's, its index after
  EXPECT_EQ(PresetSlotFor(kNitrogen), kSlotNitrogen);
  for (const int32_t other : {1, 4, 8, 15, 117, -1}) EXPECT_EQ(PresetSlotFor(other), kSlotOther) << other;
}

}  // namespace
}  // namespace vantor
