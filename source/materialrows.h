// Material rows: the per-element material settings the user adds to a molecule object, their
// parameter ids (a block of 20 per row), the entries a build collects from them, and the look they
// and the colour parameters give what a build makes.
#pragma once

#include <cstdint>
#include <optional>

#include "elementtable.h"
#include "hostapi/hostarray.h"
#include "hostapi/hostcontainer.h"
#include "hostapi/hostnode.h"
#include "moleculemodel.h"
#include "vantor_host.h"

namespace vantor {

// Row i owns the ids from 15021 + 20 i: its group, then (from D = 15023 + 20 i) these offsets.
constexpr int32_t kFirstRowInitialised = 15023;
constexpr int32_t kRowIdStride = 20;
enum RowParameter : int32_t {
  MOLOBJ_ROW_GROUP = -2,
  MOLOBJ_ROW_INITIALISED = 0,
  MOLOBJ_ROW_MATERIAL = 1,
  MOLOBJ_ROW_SYMBOL = 2,
  MOLOBJ_ROW_OFFSET_U = 3,
  MOLOBJ_ROW_OFFSET_V = 4,
  MOLOBJ_ROW_TILES_U = 5,
  MOLOBJ_ROW_TILES_V = 6,
  MOLOBJ_ROW_USE_MATERIAL = 7,
  MOLOBJ_ROW_PROJECTION = 8,
};

// Rows 0 to 248 own ids up to 19991; row 249 would begin at 20001, where the object's own
// parameters are. So no more rows than this exist: the add button stops there, descriptions show
// no more whatever a stored row count says, and no row ever writes over another parameter.
constexpr int32_t kMaxRows = 249;

// The id of a row's parameter; none for a row outside 0 to kMaxRows - 1.
constexpr std::optional<int32_t> RowParameterId(int32_t row, RowParameter parameter) {
  if (row < 0 || row >= kMaxRows) return std::nullopt;
  return kFirstRowInitialised + kRowIdStride * row + parameter;
}

// Keys of the special rows; an atom's row takes its element index.
constexpr int32_t MATERIAL_KEY_NONE = -1;
constexpr int32_t MATERIAL_KEY_BONDS = 1000;  // a bond of order n takes key 1000 + n
constexpr int32_t MATERIAL_KEY_NUCLEUS = 2000;

// One collected row.
struct MaterialRow {
  VtNode* material = nullptr;  // resolved in the document being evaluated; valid for that build
  int32_t key = MATERIAL_KEY_NONE;
  int32_t projection = 0;
  double offsetU = 0.0, offsetV = 0.0, tilesU = 0.0, tilesV = 0.0;
};

// The first rowCount rows of the container (no more than kMaxRows), one entry each, their materials
// resolved in the document being evaluated; a row that cannot be stored is left out.
void CollectMaterialRows(const Container& parameters, VtDocument* document, int32_t rowCount,
                         const ElementTable& elements, HostArray<MaterialRow>& rows);

// The look of what a build makes: a texture from the first row of its key, or a display colour from
// the element table, the selected preset, or the bond and nucleus colours.
struct ModelSource;  // modelbuilder.h
void ApplyAtomAppearance(Node sphere, const Atom& atom, const ModelSource& source);
void ApplyNucleusAppearance(Node nucleus, const ModelSource& source);
void ApplyBondAppearance(Node sweep, int32_t order, const ModelSource& source);

}  // namespace vantor
