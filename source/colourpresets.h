// Colour presets: five colours each (hydrogen, carbon, oxygen, nitrogen, every other element),
// six of them after a reset, each with built-in defaults.
#pragma once

#include <cstdint>

#include "hostapi/hostarray.h"
#include "hostapi/hostcontainer.h"

namespace vantor {

constexpr int32_t kPresetSlots = 5;
constexpr int32_t kDefaultPresetCount = 6;

// Slot order; note that oxygen comes before nitrogen.
enum PresetSlot : int32_t { kSlotHydrogen = 0, kSlotCarbon = 1, kSlotOxygen = 2, kSlotNitrogen = 3, kSlotOther = 4 };

struct ColourPreset {
  Vector colours[kPresetSlots];
};

using ColourPresetList = HostArray<ColourPreset>;

// The built-in colours of preset index (0 to 5).
const ColourPreset& DefaultColourPreset(int32_t index);

// kAllPresets rebuilds the whole list (a preset that cannot be stored is left out); 0 to 5 restores
// that preset's colours when the list holds it; any other index changes nothing.
constexpr int32_t kAllPresets = -1;
void ResetColourPresets(ColourPresetList& presets, int32_t index);

// The slot whose colour an atom of the element index takes.
PresetSlot PresetSlotFor(int32_t elementIndex);

}  // namespace vantor
