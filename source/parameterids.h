// Parameter ids of the molecule object, as its description resource declares them, and the values
// its choice parameters and the bonds it reads can take.
#pragma once

#include <cstdint>

namespace vantor {

// NOLINTBEGIN(readability-identifier-naming): the ids keep the names the resource gives them
enum : int32_t {
  MOLOBJ_MATERIALS_GROUP = 15000,
  MOLOBJ_FILE = 20000,
  MOLOBJ_LOAD = 20001,
  MOLOBJ_RADIUS_MODE = 20002,
  MOLOBJ_ATOM_RADIUS = 20003,
  MOLOBJ_RADIUS_SCALE = 20004,
  MOLOBJ_XRAY = 20005,
  MOLOBJ_DISPLAY_MODE = 20006,
  MOLOBJ_POSITION_SCALE = 20007,
  MOLOBJ_BOND_RADIUS = 20008,
  MOLOBJ_BOND1_COLOR = 20009,
  MOLOBJ_BOND2_COLOR = 20010,
  MOLOBJ_BOND3_COLOR = 20011,
  MOLOBJ_BOND4_COLOR = 20012,
  MOLOBJ_COLOR_MODE = 20013,
  MOLOBJ_PRESET = 20014,
  MOLOBJ_PRESET_COLOR_H = 20015,
  MOLOBJ_PRESET_COLOR_C = 20016,
  MOLOBJ_PRESET_COLOR_O = 20017,
  MOLOBJ_PRESET_COLOR_N = 20018,
  MOLOBJ_PRESET_COLOR_OTHER = 20019,
  MOLOBJ_RESTORE_PRESET = 20020,
  MOLOBJ_DOUBLE_BOND_FACTOR = 20022,
  MOLOBJ_BOND_SUBDIVISIONS = 20023,
  MOLOBJ_SEGMENTS = 20024,
  MOLOBJ_BOND_CAPS = 20025,
  MOLOBJ_SHOW_NUCLEUS = 20026,
  MOLOBJ_NUCLEUS_FACTOR = 20027,
  MOLOBJ_NUCLEUS_COLOR = 20029,
  MOLOBJ_TRIPLE_BOND_FACTOR = 20030,
  MOLOBJ_SHOW_HYDROGENS = 20031,
  MOLOBJ_ROW_COUNT = 20032,
  MOLOBJ_ADD_ROW = 20033,
  MOLOBJ_REMOVE_ROW = 20034,
};
// NOLINTEND(readability-identifier-naming)

// The choices of the choice parameters, as the description offers them. A container can hold any
// Int32 under their ids: the code reading one says what other values do.
enum DisplayMode : int32_t { kDisplayAtomsAndBonds = 0, kDisplayAtomsOnly = 1, kDisplayBondsOnly = 2 };
enum RadiusMode : int32_t {
  kRadiusCovalent = 0,
  kRadiusVanDerWaals = 1,
  kRadiusByAtomicNumber = 2,
  kRadiusFixed = 3,
  kRadiusAtomic = 4,
};
enum ColourMode : int32_t { kColourByElement = 0, kColourByPreset = 1 };
enum BondCaps : int32_t { kBondCapsOpen = 0, kBondCapsClosed = 1 };

// Bond orders as the bond block's type column writes them; a bond keeps any other value as written.
enum BondOrder : int32_t { kBondSingle = 1, kBondDouble = 2, kBondTriple = 3, kBondAromatic = 4 };

}  // namespace vantor
