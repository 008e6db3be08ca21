// The material rows of the molecule object's description: one group of nine entries per row,
// added after the static part, with the row's defaults written the first time it is described.
#include <algorithm>

#include "hostapi/hostdescription.h"
#include "materialrows.h"
#include "moleculeobject.h"
#include "parameterids.h"

namespace vantor {
namespace {

constexpr int32_t kProjectionUvw = 6;

struct RowTemplates {
  Container group, initialised, material, symbol, offsetU, offsetV, tilesU, tilesV, useMaterial, projection;
};

Container Offset(const char* label) {
  Container attributes = Description::NewAttributes(VT_DATATYPE_FLOAT);
  attributes.SetString(VT_ATTRIBUTE_SHORT_NAME, label);
  attributes.SetInt32(VT_ATTRIBUTE_ANIMATE, VT_ANIMATE_ON);
  attributes.SetInt32(VT_ATTRIBUTE_UNIT, VT_UNIT_PERCENT);
  attributes.SetFloat(VT_ATTRIBUTE_SLIDER_MINIMUM, 0.0);
  attributes.SetFloat(VT_ATTRIBUTE_SLIDER_MAXIMUM, 1.0);
  attributes.SetFloat(VT_ATTRIBUTE_STEP, 0.01);
  attributes.SetInt32(VT_ATTRIBUTE_CUSTOM_GUI, VT_GUI_SLIDER);
  attributes.SetBool(VT_ATTRIBUTE_SCALE_HORIZONTALLY, true);
  return attributes;
}

Container Tiles(const char* label) {
  Container attributes = Description::NewAttributes(VT_DATATYPE_FLOAT);
  attributes.SetString(VT_ATTRIBUTE_SHORT_NAME, label);
  attributes.SetInt32(VT_ATTRIBUTE_ANIMATE, VT_ANIMATE_ON);
  attributes.SetInt32(VT_ATTRIBUTE_UNIT, VT_UNIT_PLAIN);
  attributes.SetFloat(VT_ATTRIBUTE_SLIDER_MINIMUM, 0.01);
  attributes.SetFloat(VT_ATTRIBUTE_SLIDER_MAXIMUM, 5.0);
  attributes.SetFloat(VT_ATTRIBUTE_MINIMUM, 0.01);
  attributes.SetFloat(VT_ATTRIBUTE_STEP, 0.1);
  attributes.SetInt32(VT_ATTRIBUTE_CUSTOM_GUI, VT_GUI_SLIDER);
  attributes.SetBool(VT_ATTRIBUTE_SCALE_HORIZONTALLY, true);
  return attributes;
}

RowTemplates BuildTemplates() {
  RowTemplates t;
  t.group = Description::NewAttributes(VT_DATATYPE_GROUP);
  t.group.SetString(VT_ATTRIBUTE_NAME, "Material");
  t.group.SetString(VT_ATTRIBUTE_SHORT_NAME, "Material");
  t.group.SetInt32(VT_ATTRIBUTE_DEFAULT, 1);  // open
  t.group.SetInt32(VT_ATTRIBUTE_COLUMNS, 2);

  t.initialised = Description::NewAttributes(VT_DATATYPE_BOOL);
  t.initialised.SetBool(VT_ATTRIBUTE_HIDDEN, true);

  t.material = Description::NewAttributes(VT_DATATYPE_LINK);
  t.material.SetString(VT_ATTRIBUTE_SHORT_NAME, "Material");
  t.material.SetInt32(VT_ATTRIBUTE_ANIMATE, VT_ANIMATE_ON);
  t.material.SetInt32(VT_ATTRIBUTE_CUSTOM_GUI, VT_GUI_LINK);
  Container accepted = Container::Create();
  accepted.SetString(VT_OBJECT_MATERIAL, "Mbase");
  t.material.SetContainer(VT_ATTRIBUTE_ACCEPTED_TYPES, accepted);
  t.material.SetBool(VT_ATTRIBUTE_SCALE_HORIZONTALLY, true);

  t.symbol = Description::NewAttributes(VT_DATATYPE_STRING);
  t.symbol.SetString(VT_ATTRIBUTE_SHORT_NAME, "Atomic Symbol");
  t.symbol.SetInt32(VT_ATTRIBUTE_ANIMATE, VT_ANIMATE_ON);
  t.symbol.SetInt32(VT_ATTRIBUTE_CUSTOM_GUI, VT_GUI_TEXT);
  t.symbol.SetBool(VT_ATTRIBUTE_SCALE_HORIZONTALLY, true);

  t.offsetU = Offset("Offset U");
  t.offsetV = Offset("Offset V");
  t.tilesU = Tiles("Tiles U");
  t.tilesV = Tiles("Tiles V");

  t.useMaterial = Description::NewAttributes(VT_DATATYPE_BOOL);
  t.useMaterial.SetString(VT_ATTRIBUTE_SHORT_NAME, "Use Material");
  t.useMaterial.SetInt32(VT_ATTRIBUTE_ANIMATE, VT_ANIMATE_ON);
  t.useMaterial.SetInt32(VT_ATTRIBUTE_CUSTOM_GUI, VT_GUI_CHECK_BOX);
  t.useMaterial.SetBool(VT_ATTRIBUTE_REMOVABLE, false);
  t.useMaterial.SetBool(VT_ATTRIBUTE_DEFAULT, true);

  t.projection = Description::NewAttributes(VT_DATATYPE_INT32);
  t.projection.SetString(VT_ATTRIBUTE_SHORT_NAME, "Projection");
  Container choices = Container::Create();
  choices.SetString(0, "Spherical");
  choices.SetString(2, "Flat");
  choices.SetString(3, "Cubic");
  choices.SetString(kProjectionUvw, "UVW Mapping");
  t.projection.SetContainer(VT_ATTRIBUTE_CHOICES, choices);
  t.projection.SetBool(VT_ATTRIBUTE_SCALE_HORIZONTALLY, true);
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
