// The six built-in colour presets and the slot an element takes.
#include "colourpresets.h"

#include "elementtable.h"

namespace vantor {
namespace {

// Rows: presets 0 to 5. Columns: hydrogen, carbon, oxygen, nitrogen, other.
const ColourPreset kDefaults[kDefaultPresetCount] = {
    {{{0.90, 0.84, 0.72}, {0.10, 0.10, 0.09}, {0.89, 0.35, 0.15}, {0.94, 0.65, 0.00}, {0.80, 0.80, 0.80}}},
    {{{0.96, 0.94, 0.90}, {0.24, 0.14, 0.09}, {0.71, 0.80, 0.90}, {0.38, 0.56, 0.56}, {0.80, 0.80, 0.80}}},
    {{{0.95, 0.95, 0.95}, {0.09, 0.09, 0.09}, {0.36, 0.72, 0.89}, {0.53, 0.35, 1.00}, {0.80, 0.80, 0.80}}},
    {{{0.85, 0.13, 0.28}, {0.08, 0.11, 0.23}, {0.85, 0.86, 0.74}, {0.43, 0.75, 0.55}, {0.80, 0.80, 0.80}}},
    {{{0.70, 0.64, 1.00}, {1.00, 0.97, 0.79}, {1.00, 0.71, 0.71}, {1.00, 0.87, 0.71}, {0.80, 0.80, 0.80}}},
    {{{0.84, 0.94, 0.66}, {0.11, 0.14, 0.19}, {0.32, 0.33, 0.49}, {0.51, 0.40, 0.59}, {0.80, 0.80, 0.80}}},
};

}  // namespace

const ColourPreset& DefaultColourPreset(int32_t index) { return kDefaults[index]; }

void ResetColourPresets(ColourPresetList& presets, int32_t index) {
  if (index == kAllPresets) {
    presets.Clear();
    for (const ColourPreset& preset : kDefaults) presets.Append(preset);
  } else if (index >= 0 && index < kDefaultPresetCount && index < presets.Count()) {
    presets[index] = kDefaults[index];
  }
}

PresetSlot PresetSlotFor(int32_t elementIndex) {
  switch (elementIndex) {
    case kHydrogen:
      return kSlotHydrogen;
    case kCarbon:
      return kSlotCarbon;
    case kOxygen:
      return kSlotOxygen;
    case kNitrogen:
      return kSlotNitrogen;
    default:
      return kSlotOther;
  }
}

}  // namespace vantor
