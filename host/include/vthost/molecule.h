// What the host knows of the molecule object that the vantor module registers: its type, the
// parameters the host itself names, the layout of its material rows and the names of its nuclei.
// Written here once for the host; a test holds it against the module's own declarations.
#pragma once

#include <cstdint>
#include <string_view>

#include "vantor_host.h"

namespace vthost::molecule {

constexpr int32_t kType = 1060013;

// Parameters, by the names the description gives them.
constexpr int32_t kFile = 20000;              // MOLOBJ_FILE
constexpr int32_t kLoad = 20001;              // MOLOBJ_LOAD
constexpr int32_t kBondRadius = 20008;        // MOLOBJ_BOND_RADIUS
constexpr int32_t kFirstBondColour = 20009;   // MOLOBJ_BOND1_COLOR, then the colours of orders 2 to 4
constexpr int32_t kDoubleBondFactor = 20022;  // MOLOBJ_DOUBLE_BOND_FACTOR, also aromatic bonds
constexpr int32_t kTripleBondFactor = 20030;  // MOLOBJ_TRIPLE_BOND_FACTOR
constexpr int32_t kRowCount = 20032;          // MOLOBJ_ROW_COUNT

// Material rows. Row r owns the ids from 15021 + 20 r: its group, then its parameters at offsets
// from its first parameter, 15023 + 20 r. From row 249 on they would be the object's own parameters
// (20001 upward), so rows 0 to 248 are all an object can have.
constexpr int32_t kFirstRowParameter = 15023;
constexpr int32_t kRowIdStride = 20;
constexpr int32_t kMaxRows = 249;

struct RowParameter {
  std::string_view name;  // MOLOBJ_ROW_NAME; the script and --set write MOLOBJ_ROW_NAME[row]
  int32_t offset;         // from the row's first parameter
  int32_t dataType;       // VT_DATATYPE_*
};
constexpr RowParameter kRowParameters[] = {
    {"MOLOBJ_ROW_GROUP", -2, VT_DATATYPE_GROUP},      {"MOLOBJ_ROW_INITIALISED", 0, VT_DATATYPE_BOOL},
    {"MOLOBJ_ROW_MATERIAL", 1, VT_DATATYPE_LINK},     {"MOLOBJ_ROW_SYMBOL", 2, VT_DATATYPE_STRING},
    {"MOLOBJ_ROW_OFFSET_U", 3, VT_DATATYPE_FLOAT},    {"MOLOBJ_ROW_OFFSET_V", 4, VT_DATATYPE_FLOAT},
    {"MOLOBJ_ROW_TILES_U", 5, VT_DATATYPE_FLOAT},     {"MOLOBJ_ROW_TILES_V", 6, VT_DATATYPE_FLOAT},
    {"MOLOBJ_ROW_USE_MATERIAL", 7, VT_DATATYPE_BOOL}, {"MOLOBJ_ROW_PROJECTION", 8, VT_DATATYPE_INT32}};

constexpr int32_t RowParameterId(int32_t row, const RowParameter& parameter) {
  return kFirstRowParameter + kRowIdStride * row + parameter.offset;
}

// A nucleus is named after its atom's element: "<symbol> nucleus".
constexpr std::string_view kNucleusSuffix = " nucleus";

constexpr bool IsNucleusName(std::string_view name) {
  return name.size() >= kNucleusSuffix.size() && name.substr(name.size() - kNucleusSuffix.size()) == kNucleusSuffix;
}

}  // namespace vthost::molecule
