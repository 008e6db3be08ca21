// What the host knows of the molecule object that the vantor module registers: its type, the
// parameters the host itself names, the layout of its material rows and of its stored block, and
// the rules by which its generated objects tell their roles (nuclei, bond orders). Written here
// once for the host; a test holds it against the module's own declarations and what it builds.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "vantor_host.h"
#include "vthost/value.h"

namespace vthost::molecule {

constexpr int32_t kType = 1060013;

// Parameters, by the names the description gives them.
constexpr int32_t kFile = 20000;              // MOLOBJ_FILE
constexpr int32_t kLoad = 20001;              // MOLOBJ_LOAD
constexpr int32_t kBondRadius = 20008;        // MOLOBJ_BOND_RADIUS
constexpr int32_t kFirstBondColour = 20009;   // MOLOBJ_BOND1_COLOR, then the colours of orders 2 to 4
constexpr int32_t kDoubleBondFactor = 20022;  // MOLOBJ_DOUBLE_BOND_FACTOR, also aromatic bonds
constexpr int32_t kBondSubdivisions = 20023;  // MOLOBJ_BOND_SUBDIVISIONS
constexpr int32_t kSegments = 20024;          // MOLOBJ_SEGMENTS
constexpr int32_t kTripleBondFactor = 20030;  // MOLOBJ_TRIPLE_BOND_FACTOR
constexpr int32_t kRowCount = 20032;          // MOLOBJ_ROW_COUNT

// The parameters that hold colours, by name: messages say which one holds a colour refused.
struct NamedParameter {
  int32_t id;
  std::string_view name;
};
constexpr NamedParameter kColourParameters[] = {
    {20009, "MOLOBJ_BOND1_COLOR"},        {20010, "MOLOBJ_BOND2_COLOR"},       {20011, "MOLOBJ_BOND3_COLOR"},
    {20012, "MOLOBJ_BOND4_COLOR"},        {20015, "MOLOBJ_PRESET_COLOR_H"},    {20016, "MOLOBJ_PRESET_COLOR_C"},
    {20017, "MOLOBJ_PRESET_COLOR_O"},     {20018, "MOLOBJ_PRESET_COLOR_N"},    {20019, "MOLOBJ_PRESET_COLOR_OTHER"},
    {20029, "MOLOBJ_NUCLEUS_COLOR"}};

// Where a model's numbers grow past what a file can hold, the user is asked about the parameter
// that scales the whole model: "(is a parameter such as MOLOBJ_POSITION_SCALE ... too large?)".
constexpr std::string_view kScaleQuestion = "is a parameter such as MOLOBJ_POSITION_SCALE";

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

// The object's stored block: the number of colour presets, then five colours per preset
// (hydrogen, carbon, oxygen, nitrogen, every other element).
constexpr size_t kColoursPerPreset = 5;

// A nucleus is named after its atom's element: "<symbol> nucleus".
constexpr std::string_view kNucleusSuffix = " nucleus";

constexpr bool IsNucleusName(std::string_view name) {
  return name.size() >= kNucleusSuffix.size() && name.substr(name.size() - kNucleusSuffix.size()) == kNucleusSuffix;
}

// Bond orders 1 (single) to 4 (aromatic): the object gives the bonds of each order a tube of its own
// radius and a display colour of its own, and nothing else tells them apart.
constexpr int32_t kBondOrders = 4;

struct BondLooks {
  std::array<double, kBondOrders> radius{};
  std::array<VtVector, kBondOrders> colour{};
};

// The radius and colour of each bond order as the object builds them from its parameters: Bond
// Radius for single bonds, times the double bond factor for double and aromatic ones, times the
// triple bond factor for triple ones; the colours MOLOBJ_BOND1_COLOR to MOLOBJ_BOND4_COLOR. None
// when the parameters are not all there.
inline std::optional<BondLooks> BondLooksOf(const VtContainer* parameters) {
  const auto number = [&](int32_t id) -> std::optional<double> {
    const Value* value = Lookup(parameters, id);
    if (value == nullptr || !std::holds_alternative<double>(*value)) return std::nullopt;
    return std::get<double>(*value);
  };
  const std::optional<double> radius = number(kBondRadius);
  const std::optional<double> doubleFactor = number(kDoubleBondFactor);
  const std::optional<double> tripleFactor = number(kTripleBondFactor);
  if (!radius || !doubleFactor || !tripleFactor) return std::nullopt;
  BondLooks looks;
  looks.radius = {*radius, *radius * *doubleFactor, *radius * *tripleFactor, *radius * *doubleFactor};
  for (int32_t i = 0; i < kBondOrders; ++i) {
    const Value* colour = Lookup(parameters, kFirstBondColour + i);
    if (colour == nullptr || !std::holds_alternative<VtVector>(*colour)) return std::nullopt;
    looks.colour[static_cast<size_t>(i)] = std::get<VtVector>(*colour);
  }
  return looks;
}

}  // namespace vthost::molecule
