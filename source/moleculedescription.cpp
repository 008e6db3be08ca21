// The material rows of the molecule object's description: one group of nine entries per row,
// added after the static part, with the row's defaults written the first time it is described.
#include <algorithm>

#include "host/hostdescription.h"
#include "materialrows.h"
#include "moleculeobject.h"
#include "parameterids.h"

namespace vantor {
namespace {

// Attribute keys, as the host reads them.
enum AttributeKey : int32_t {
  kName = 1,
  kShortName = 2,
  kMinimum = 5,
  kStep = 9,
  kAnimate = 10,
  kUnit = 12,
  kChoices = 14,
  kHidden = 15,
  kDefault = 16,
  kAcceptedTypes = 17,
  kCustomGui = 21,
  kColumns = 22,
  kRemovable = 24,
  kSliderMinimum = 27,
  kSliderMaximum = 28,
  kScaleHorizontally = 30,
};

constexpr int32_t kAnimatable = 1;
constexpr int32_t kGuiLink = 1009415;
constexpr int32_t kGuiText = 130;
constexpr int32_t kGuiSlider = 1000489;
constexpr int32_t kGuiCheckBox = 400006001;
constexpr int32_t kUnitPercent = 1718641524;  // 'fpct': 1.0 shows as 100 %
constexpr int32_t kUnitPlain = 1718773089;    // 'frea'
constexpr int32_t kMaterialType = 5702;
constexpr int32_t kProjectionUvw = 6;

struct RowTemplates {
  Container group, initialised, material, symbol, offsetU, offsetV, tilesU, tilesV, useMaterial, projection;
};

Container Offset(const char* label) {
  Container attributes = Description::NewAttributes(VT_DATATYPE_FLOAT);
  attributes.SetString(kShortName, label);
  attributes.SetInt32(kAnimate, kAnimatable);
  attributes.SetInt32(kUnit, kUnitPercent);
  attributes.SetFloat(kSliderMinimum, 0.0);
  attributes.SetFloat(kSliderMaximum, 1.0);
  attributes.SetFloat(kStep, 0.01);
  attributes.SetInt32(kCustomGui, kGuiSlider);
  attributes.SetBool(kScaleHorizontally, true);
  return attributes;
}

Container Tiles(const char* label) {
  Container attributes = Description::NewAttributes(VT_DATATYPE_FLOAT);
  attributes.SetString(kShortName, label);
  attributes.SetInt32(kAnimate, kAnimatable);
  attributes.SetInt32(kUnit, kUnitPlain);
  attributes.SetFloat(kSliderMinimum, 0.01);
  attributes.SetFloat(kSliderMaximum, 5.0);
  attributes.SetFloat(kMinimum, 0.01);
  attributes.SetFloat(kStep, 0.1);
  attributes.SetInt32(kCustomGui, kGuiSlider);
  attributes.SetBool(kScaleHorizontally, true);
  return attributes;
}

RowTemplates BuildTemplates() {
  RowTemplates t;
  t.group = Description::NewAttributes(VT_DATATYPE_GROUP);
  t.group.SetString(kName, "Material");
  t.group.SetString(kShortName, "Material");
  t.group.SetInt32(kDefault, 1);  // open
  t.group.SetInt32(kColumns, 2);

  t.initialised = Description::NewAttributes(VT_DATATYPE_BOOL);
  t.initialised.SetBool(kHidden, true);

  t.material = Description::NewAttributes(VT_DATATYPE_LINK);
  t.material.SetString(kShortName, "Material");
  t.material.SetInt32(kAnimate, kAnimatable);
  t.material.SetInt32(kCustomGui, kGuiLink);
  Container accepted = Container::Create();
  accepted.SetString(kMaterialType, "Mbase");
  t.material.SetContainer(kAcceptedTypes, accepted);
  t.material.SetBool(kScaleHorizontally, true);

  t.symbol = Description::NewAttributes(VT_DATATYPE_STRING);
  t.symbol.SetString(kShortName, "Atomic Symbol");
  t.symbol.SetInt32(kAnimate, kAnimatable);
  t.symbol.SetInt32(kCustomGui, kGuiText);
  t.symbol.SetBool(kScaleHorizontally, true);

  t.offsetU = Offset("Offset U");
  t.offsetV = Offset("Offset V");
  t.tilesU = Tiles("Tiles U");
  t.tilesV = Tiles("Tiles V");

  t.useMaterial = Description::NewAttributes(VT_DATATYPE_BOOL);
  t.useMaterial.SetString(kShortName, "Use Material");
  t.useMaterial.SetInt32(kAnimate, kAnimatable);
  t.useMaterial.SetInt32(kCustomGui, kGuiCheckBox);
  t.useMaterial.SetBool(kRemovable, false);
  t.useMaterial.SetBool(kDefault, true);

  t.projection = Description::NewAttributes(VT_DATATYPE_INT32);
  t.projection.SetString(kShortName, "Projection");
  Container choices = Container::Create();
  choices.SetString(0, "Spherical");
  choices.SetString(2, "Flat");
  choices.SetString(3, "Cubic");
  choices.SetString(kProjectionUvw, "UVW Mapping");
  t.projection.SetContainer(kChoices, choices);
  t.projection.SetBool(kScaleHorizontally, true);
  return t;
}

// One entry of a row and, when it is added to a row not yet initialised, the default it writes.
struct RowEntry {
  RowParameter parameter;
  int32_t dataType;
  Container RowTemplates::*attributes;
  void (*writeDefault)(Container& parameters, int32_t id);
};

const RowEntry kRowEntries[] = {
    {MOLOBJ_ROW_INITIALISED, VT_DATATYPE_BOOL, &RowTemplates::initialised, nullptr},
    {MOLOBJ_ROW_MATERIAL, VT_DATATYPE_LINK, &RowTemplates::material, nullptr},
    // stored as a Float: the Int32 read of a build receives it converted
    {MOLOBJ_ROW_PROJECTION, VT_DATATYPE_INT32, &RowTemplates::projection,
     [](Container& p, int32_t id) { p.SetFloat(id, kProjectionUvw); }},
    {MOLOBJ_ROW_SYMBOL, VT_DATATYPE_STRING, &RowTemplates::symbol, nullptr},
    {MOLOBJ_ROW_USE_MATERIAL, VT_DATATYPE_BOOL, &RowTemplates::useMaterial,
     [](Container& p, int32_t id) { p.SetBool(id, true); }},
    {MOLOBJ_ROW_OFFSET_U, VT_DATATYPE_FLOAT, &RowTemplates::offsetU, [](Container& p, int32_t id) { p.SetFloat(id, 0.0); }},
    {MOLOBJ_ROW_OFFSET_V, VT_DATATYPE_FLOAT, &RowTemplates::offsetV, [](Container& p, int32_t id) { p.SetFloat(id, 0.0); }},
    {MOLOBJ_ROW_TILES_U, VT_DATATYPE_FLOAT, &RowTemplates::tilesU, [](Container& p, int32_t id) { p.SetFloat(id, 1.0); }},
    {MOLOBJ_ROW_TILES_V, VT_DATATYPE_FLOAT, &RowTemplates::tilesV, [](Container& p, int32_t id) { p.SetFloat(id, 1.0); }},
};

}  // namespace

bool MoleculeObject::BuildDescription(Node node, VtDescription* handle, int32_t* flags) {
  Container parameters = node.Parameters();
  Description description(handle);
  if (!description.LoadStatic(kMoleculeObjectId)) return false;
  int32_t requested = 0;
  const bool single = description.RequestedId(&requested);
  const int32_t rows = std::min(parameters.GetInt32(MOLOBJ_ROW_COUNT), kMaxRows);
  const RowTemplates templates = BuildTemplates();

  for (int32_t row = 0; row < rows; ++row) {
    const int32_t group = *RowParameterId(row, MOLOBJ_ROW_GROUP);
    const int32_t initialisedId = *RowParameterId(row, MOLOBJ_ROW_INITIALISED);
    const bool initialised = parameters.GetBool(initialisedId);
    if (!single || requested == group) {
      if (!description.Add({group, VT_DATATYPE_GROUP, 0}, MOLOBJ_MATERIALS_GROUP, templates.group)) return true;
    }
    for (const RowEntry& entry : kRowEntries) {
      const int32_t id = *RowParameterId(row, entry.parameter);
      if (single && requested != id) continue;
      if (!description.Add({id, entry.dataType, 0}, group, templates.*entry.attributes)) return true;
      if (!initialised && entry.writeDefault) entry.writeDefault(parameters, id);
    }
    parameters.SetBool(initialisedId, true);
  }
  if (flags) *flags |= VT_DESCRIPTION_LOADED;
  return ObjectData::Describe(node.Handle(), handle, flags);
}

}  // namespace vantor
