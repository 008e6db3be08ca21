// Material rows: the per-element material settings the user adds to a molecule object, their
// parameter ids (a block of 20 per row), and the entries a build collects from them.
#pragma once

#include <cstdint>
#include <optional>

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

// Keys of the special rows.
constexpr int32_t MATERIAL_KEY_NONE = -1;
constexpr int32_t MATERIAL_KEY_BOND1 = 1001;  // bonds of order n take key 1000 + n
constexpr int32_t MATERIAL_KEY_NUCLEUS = 2000;

// One collected row.
struct MaterialRow {
  VtNode* material = nullptr;  // resolved in the document being evaluated; valid for that build
  int32_t key = MATERIAL_KEY_NONE;
  int32_t projection = 0;
  double offsetU = 0.0, offsetV = 0.0, tilesU = 0.0, tilesV = 0.0;
};

}  // namespace vantor
