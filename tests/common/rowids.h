// The ids of the molecule object's material rows, written out here rather than taken from the
// module or the host: documents store them, so a change of either side must fail a test.
#pragma once

#include <cstdint>
#include <string>

// Row r's ids run from 15021 + 20 r (its group) upward.
enum class Row : int32_t {
  Group = 0, Initialised = 2, Material = 3, Symbol = 4, OffsetU = 5, OffsetV = 6, TilesU = 7, TilesV = 8,
  UseMaterial = 9, Projection = 10
};

constexpr int32_t RowId(int32_t row, Row parameter) { return 15021 + 20 * row + static_cast<int32_t>(parameter); }
// The same id as the text of a key in what the script prints.
inline std::string RowKey(int32_t row, Row parameter) { return std::to_string(RowId(row, parameter)); }
