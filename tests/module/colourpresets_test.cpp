// The six colour presets: reset, restore one, slots by element.
#include "boundmodule.h"
#include "colourpresets.h"

namespace vantor {
namespace {

using ColourPresets = BoundModule;

void ExpectColour(const Vector& colour, double r, double g, double b) {
  EXPECT_EQ(colour.x, r);
  EXPECT_EQ(colour.y, g);
  EXPECT_EQ(colour.z, b);
}

TEST_F(ColourPresets, ResetBuildsTheSixDefaults) {
  ColourPresetList presets;
  ResetColourPresets(presets, -1);
  ASSERT_EQ(presets.Count(), 6);
  const Vector* first = presets[0].colours;
  ExpectColour(first[kSlotHydrogen], 0.90, 0.84, 0.72);
  ExpectColour(first[kSlotCarbon], 0.10, 0.10, 0.09);
  ExpectColour(first[kSlotOxygen], 0.89, 0.35, 0.15);
  ExpectColour(first[kSlotNitrogen], 0.94, 0.65, 0.00);
  ExpectColour(first[kSlotOther], 0.80, 0.80, 0.80);
  ExpectColour(presets[3].colours[kSlotCarbon], 0.08, 0.11, 0.23);
  ExpectColour(presets[2].colours[kSlotNitrogen], 0.53, 0.35, 1.00);
  ExpectColour(presets[5].colours[kSlotOxygen], 0.32, 0.33, 0.49);
  ResetColourPresets(presets, -1);  // a second reset rebuilds, it does not append
  EXPECT_EQ(presets.Count(), 6);
}

TEST_F(ColourPresets, RestoreRewritesOnlyThatPreset) {
  ColourPresetList presets;
  ResetColourPresets(presets, -1);
  presets[3].colours[kSlotCarbon] = {1.0, 0.0, 0.0};
  presets[1].colours[kSlotHydrogen] = {0.0, 1.0, 0.0};
  ResetColourPresets(presets, 3);
  ExpectColour(presets[3].colours[kSlotCarbon], 0.08, 0.11, 0.23);
  ExpectColour(presets[1].colours[kSlotHydrogen], 0.0, 1.0, 0.0);
}

TEST_F(ColourPresets, IndexOutsideTheListChangesNothing) {
  ColourPresetList presets;
  ResetColourPresets(presets, -1);
  presets[5].colours[kSlotOther] = {0.5, 0.5, 0.5};
  for (const int32_t index : {6, 7, -2, 1000}) ResetColourPresets(presets, index);
  EXPECT_EQ(presets.Count(), 6);
  ExpectColour(presets[5].colours[kSlotOther], 0.5, 0.5, 0.5);
  ColourPresetList shortList;  // as a stored document may bring
  shortList.Append(DefaultColourPreset(0));
  ResetColourPresets(shortList, 4);
  EXPECT_EQ(shortList.Count(), 1);
}

TEST_F(ColourPresets, PresetThatCannotBeStoredIsLeftOut) {
  ColourPresetList presets;
  host_.Faults().FailNth(1, vthost::AllocKind::Memory);  // the list's storage, asked for by preset 0
  ResetColourPresets(presets, -1);
  // the five after it are stored all the same
  ASSERT_EQ(presets.Count(), 5);
  for (int32_t i = 0; i < 5; ++i) {
    for (int32_t slot = 0; slot < kPresetSlots; ++slot) {
      const Vector& expected = DefaultColourPreset(i + 1).colours[slot];
      ExpectColour(presets[i].colours[slot], expected.x, expected.y, expected.z);
    }
  }
}

TEST_F(ColourPresets, SlotsFollowTheElementIndex) {
  EXPECT_EQ(PresetSlotFor(0), kSlotHydrogen);
  EXPECT_EQ(PresetSlotFor(5), kSlotCarbon);
  EXPECT_EQ(PresetSlotFor(7), kSlotOxygen);  // oxygen is slot 3 although its index is the higher
  EXPECT_EQ(PresetSlotFor(6), kSlotNitrogen);
  for (const int32_t other : {1, 4, 8, 15, 117, -1}) EXPECT_EQ(PresetSlotFor(other), kSlotOther) << other;
}

}  // namespace
}  // namespace vantor
