// The molecule object's lifecycle, stored block, messages, parameter mirror, enabling and hierarchy requests.
#include "moleculeobject.h"

#include <algorithm>

#include "hostapi/hostdescription.h"
#include "hostapi/hoststream.h"
#include "hostapi/hostui.h"
#include "moleculefile.h"
#include "parameterids.h"

namespace vantor {
namespace {

constexpr int32_t kExecutionPriority = 5000;

const char* const kElementTableMissing =
    "Vantor could not find or open the file 'ptable.csv', which contains the data for the chemical elements. "
    "Please check that this file is correctly named and present in the 'res' folder.\n\n"
    "The plugin will now terminate.";
const char* const kRestoreQuestion = "Are you sure you want to restore this preset to its default colors?";

// The preset colour parameters, in slot order.
constexpr int32_t kPresetColourIds[kPresetSlots] = {MOLOBJ_PRESET_COLOR_H, MOLOBJ_PRESET_COLOR_C, MOLOBJ_PRESET_COLOR_O,
                                                    MOLOBJ_PRESET_COLOR_N, MOLOBJ_PRESET_COLOR_OTHER};

int32_t IdOf(const void* data) { return data ? static_cast<const VtDescriptionId*>(data)->id : 0; }

// A stored count can say anything; the object has no more rows than the description can show.
int32_t RowCountWithinLimit(int32_t count) { return std::clamp(count, 0, kMaxRows); }

// Every mirrored parameter: its id, its field and its default, in the order the container receives
// them (ints, floats, bools, then vectors).
template <typename T>
struct MirroredValue {
  int32_t id;
  T ModelSettings::*field;
  T fallback;
};

const MirroredValue<int32_t> kMirroredInts[] = {
    {MOLOBJ_DISPLAY_MODE, &ModelSettings::displayMode, kDisplayAtomsAndBonds},
    {MOLOBJ_RADIUS_MODE, &ModelSettings::radiusMode, kRadiusFixed},
    {MOLOBJ_COLOR_MODE, &ModelSettings::colorMode, kColourByElement},
    {MOLOBJ_PRESET, &ModelSettings::preset, 0},
    {MOLOBJ_SEGMENTS, &ModelSettings::segments, 24},
    {MOLOBJ_BOND_SUBDIVISIONS, &ModelSettings::bondSubdivisions, 2},
    {MOLOBJ_BOND_CAPS, &ModelSettings::bondCaps, kBondCapsOpen},
};
const MirroredValue<double> kMirroredFloats[] = {
    {MOLOBJ_ATOM_RADIUS, &ModelSettings::atomRadius, 25.0},
    {MOLOBJ_RADIUS_SCALE, &ModelSettings::radiusScale, 1.0},
    {MOLOBJ_POSITION_SCALE, &ModelSettings::positionScale, 100.0},
    {MOLOBJ_BOND_RADIUS, &ModelSettings::bondRadius, 3.0},
    {MOLOBJ_DOUBLE_BOND_FACTOR, &ModelSettings::doubleBondFactor, 2.0},
    {MOLOBJ_TRIPLE_BOND_FACTOR, &ModelSettings::tripleBondFactor, 3.0},
    {MOLOBJ_NUCLEUS_FACTOR, &ModelSettings::nucleusFactor, 0.35},
};
const MirroredValue<bool> kMirroredBools[] = {
    {MOLOBJ_XRAY, &ModelSettings::xray, false},
    {MOLOBJ_SHOW_NUCLEUS, &ModelSettings::showNucleus, false},
    {MOLOBJ_SHOW_HYDROGENS, &ModelSettings::showHydrogens, true},
};
const MirroredValue<Vector> kMirroredVectors[] = {
    {MOLOBJ_BOND1_COLOR, &ModelSettings::bond1Color, {1.0, 1.0, 1.0}},
    {MOLOBJ_BOND2_COLOR, &ModelSettings::bond2Color, {0.5, 0.5, 1.0}},
    {MOLOBJ_BOND3_COLOR, &ModelSettings::bond3Color, {1.0, 0.5, 0.5}},
    {MOLOBJ_BOND4_COLOR, &ModelSettings::bond4Color, {0.5, 1.0, 0.5}},
    {MOLOBJ_NUCLEUS_COLOR, &ModelSettings::nucleusColor, {0.0, 0.0, 0.5}},
};

ModelSettings DefaultSettings() {
  ModelSettings settings;
  for (const auto& value : kMirroredInts) settings.*value.field = value.fallback;
  for (const auto& value : kMirroredFloats) settings.*value.field = value.fallback;
  for (const auto& value : kMirroredBools) settings.*value.field = value.fallback;
  for (const auto& value : kMirroredVectors) settings.*value.field = value.fallback;
  return settings;
}

}  // namespace

ColourPreset* MoleculeObject::SelectedPreset() {
  return settings_.preset >= 0 && settings_.preset < presets_.Count() ? &presets_[settings_.preset] : nullptr;
}

void MoleculeObject::PushParameters(Container& parameters) {
  for (const auto& value : kMirroredInts) parameters.SetInt32(value.id, settings_.*value.field);
  for (const auto& value : kMirroredFloats) parameters.SetFloat(value.id, settings_.*value.field);
  for (const auto& value : kMirroredBools) parameters.SetBool(value.id, settings_.*value.field);
  for (const auto& value : kMirroredVectors) parameters.SetVector(value.id, settings_.*value.field);
  // a preset the list does not hold leaves the colours as they are
  if (const ColourPreset* preset = SelectedPreset()) {
    for (int32_t slot = 0; slot < kPresetSlots; ++slot) parameters.SetVector(kPresetColourIds[slot], preset->colours[slot]);
  }
}

void MoleculeObject::PullParameters(const Container& parameters) {
  for (const auto& value : kMirroredInts) settings_.*value.field = parameters.GetInt32(value.id);
  for (const auto& value : kMirroredFloats) settings_.*value.field = parameters.GetFloat(value.id);
  for (const auto& value : kMirroredBools) settings_.*value.field = parameters.GetBool(value.id);
  for (const auto& value : kMirroredVectors) settings_.*value.field = parameters.GetVector(value.id);
  if (ColourPreset* preset = SelectedPreset()) {
    for (int32_t slot = 0; slot < kPresetSlots; ++slot) preset->colours[slot] = parameters.GetVector(kPresetColourIds[slot]);
  }
}

bool MoleculeObject::Initialise(VtNode* handle) {
  Node node(handle);
  Container parameters = node.Parameters();
  settings_ = DefaultSettings();
  rowCount_ = 0;
  materialRows_.Clear();
  parameters.SetInt32(MOLOBJ_ROW_COUNT, 0);
  ResetColourPresets(presets_, kAllPresets);
  PushParameters(parameters);
  if (!elements_.Load()) {
    ShowMessage(kElementTableMissing);
    return false;
  }
  return true;
}

void MoleculeObject::Free(VtNode*) {
  elements_.Clear();
  molecule_.Clear();
  presets_.Clear();
}

bool MoleculeObject::Read(VtNode*, VtStream* handle, int32_t level) {
  presets_.Clear();
  if (level < 0) return true;
  DocumentStream stream(handle);
  int32_t count = 0;
  stream.ReadInt32(&count);
  // the stream ends with the block, so a count larger than the block holds stops there
  for (int32_t i = 0; i < count; ++i) {
    ColourPreset preset;
    bool whole = true;
    for (Vector& colour : preset.colours) whole = whole && stream.ReadVector(&colour);
    if (!whole) break;
    presets_.Append(preset);  // a preset that cannot be stored is dropped
  }
  return true;
}

bool MoleculeObject::Write(VtNode*, VtStream* handle) {
  DocumentStream stream(handle);
  stream.WriteInt32(presets_.Count());
  for (const ColourPreset& preset : presets_) {
    for (const Vector& colour : preset.colours) stream.WriteVector(colour);
  }
  return true;
}

bool MoleculeObject::CopyTo(ObjectData& destination, VtNode*, VtNode*) {
  auto& target = static_cast<MoleculeObject&>(destination);
  if (&target != this) {
    // an array that cannot be filled stays short; the next one is copied all the same
    target.molecule_.atoms.CopyFrom(molecule_.atoms);
    target.molecule_.bonds.CopyFrom(molecule_.bonds);
    target.elements_.CopyFrom(elements_);
    target.presets_.CopyFrom(presets_);
    target.materialRows_.CopyFrom(materialRows_);
  }
  target.rowCount_ = RowCountWithinLimit(rowCount_);
  return true;
}

bool MoleculeObject::Message(VtNode* handle, int32_t type, void* data) {
  Node node(handle);
  Container parameters = node.Parameters();
  switch (type) {
    case VT_MSG_COMMAND:
      OnCommand(node, parameters, IdOf(data));
      break;
    case VT_MSG_PARAMETER_SET:
      OnParameterSet(node, parameters, IdOf(data));
      break;
    case VT_MSG_DOCUMENT_LOADED: {
      const int32_t subType = data ? *static_cast<const int32_t*>(data) : 0;
      if (subType == VT_DOCUMENT_OPENED || subType == VT_DOCUMENT_MERGED) {
        LoadMoleculeFile(node, parameters, elements_, molecule_);
        const int32_t stored = parameters.GetInt32(MOLOBJ_ROW_COUNT);
        rowCount_ = RowCountWithinLimit(stored);
        // so each press of Remove takes away a row the description shows
        if (stored > kMaxRows) parameters.SetInt32(MOLOBJ_ROW_COUNT, rowCount_);
      }
      break;
    }
    default:
      break;
  }
  return true;
}

void MoleculeObject::OnCommand(Node node, Container& parameters, int32_t id) {
  switch (id) {
    case MOLOBJ_LOAD:
      LoadMoleculeFile(node, parameters, elements_, molecule_);
      break;
    case MOLOBJ_RESTORE_PRESET:
      if (AskQuestion(kRestoreQuestion)) RestorePreset(parameters);
      break;
    case MOLOBJ_ADD_ROW:
      AddRow(node, parameters);
      break;
    case MOLOBJ_REMOVE_ROW:
      RemoveRow(node, parameters);
      break;
    default:
      break;
  }
}

// Only the preset's colours are written: the mirror is refreshed by evaluations alone, so writing
// it all back would undo every edit made since the last one (and every value of an object just
// opened or copied).
void MoleculeObject::RestorePreset(Container& parameters) {
  const int32_t index = parameters.GetInt32(MOLOBJ_PRESET);
  ResetColourPresets(presets_, index);
  // a preset without defaults, or one the list does not hold, was not restored: nothing to show
  if (index < 0 || index >= kDefaultPresetCount || index >= presets_.Count()) return;
  for (int32_t slot = 0; slot < kPresetSlots; ++slot) {
    parameters.SetVector(kPresetColourIds[slot], presets_[index].colours[slot]);
  }
}

void MoleculeObject::AddRow(Node node, Container& parameters) {
  if (rowCount_ >= kMaxRows) return;
  ++rowCount_;
  parameters.SetInt32(MOLOBJ_ROW_COUNT, rowCount_);
  node.SendMessage(VT_MSG_DESCRIPTION_CHANGED);
}

void MoleculeObject::RemoveRow(Node node, Container& parameters) {
  if (rowCount_ <= 0) return;
  const int32_t row = rowCount_ - 1;
  // a row past the last possible one would own no ids to reset (the count is kept within the limit)
  if (const auto initialised = RowParameterId(row, MOLOBJ_ROW_INITIALISED)) parameters.SetBool(*initialised, false);
  const auto symbol = RowParameterId(row, MOLOBJ_ROW_SYMBOL);
  const auto material = RowParameterId(row, MOLOBJ_ROW_MATERIAL);
  if (symbol) node.RemoveTrack(*symbol);
  if (material) node.RemoveTrack(*material);
  if (symbol) parameters.SetString(*symbol, "");
  if (material) parameters.SetLink(*material, nullptr);
  --rowCount_;
  parameters.SetInt32(MOLOBJ_ROW_COUNT, rowCount_);
  node.SendMessage(VT_MSG_DESCRIPTION_CHANGED);
}

void MoleculeObject::OnParameterSet(Node node, Container& parameters, int32_t id) {
  switch (id) {
    case MOLOBJ_COLOR_MODE:
      settings_.colorMode = parameters.GetInt32(MOLOBJ_COLOR_MODE);
      elements_.Load();  // a missing file leaves the table empty, silently
      break;
    case MOLOBJ_PRESET:
      settings_.preset = parameters.GetInt32(MOLOBJ_PRESET);
      if (const ColourPreset* preset = SelectedPreset()) {
        for (int32_t slot = 0; slot < kPresetSlots; ++slot) {
          parameters.SetVector(kPresetColourIds[slot], preset->colours[slot]);
        }
      }
      break;
    default:
      return;
  }
  node.SetDirty(VT_DIRTY_DATA);
  node.SendMessage(VT_MSG_UPDATE);
}

bool MoleculeObject::Describe(VtNode* node, VtDescription* description, int32_t* flags) {
  return BuildDescription(Node(node), description, flags);
}

bool MoleculeObject::IsEnabled(VtNode* handle, int32_t id) {
  const Container parameters = Node(handle).Parameters();
  const int32_t display = parameters.GetInt32(MOLOBJ_DISPLAY_MODE);
  const int32_t radius = parameters.GetInt32(MOLOBJ_RADIUS_MODE);
  const bool atoms = display != kDisplayBondsOnly;
  const bool bonds = display != kDisplayAtomsOnly;
  const bool radiusByStep = radius == kRadiusByAtomicNumber || radius == kRadiusFixed;
  switch (id) {
    case MOLOBJ_RADIUS_MODE:
    case MOLOBJ_SEGMENTS:
    case MOLOBJ_SHOW_NUCLEUS:
      return atoms;
    case MOLOBJ_ATOM_RADIUS:
      return atoms && radiusByStep;
    case MOLOBJ_RADIUS_SCALE:
      return atoms && !radiusByStep;
    case MOLOBJ_BOND_RADIUS:
    case MOLOBJ_DOUBLE_BOND_FACTOR:
    case MOLOBJ_BOND_SUBDIVISIONS:
    case MOLOBJ_BOND_CAPS:
    case MOLOBJ_TRIPLE_BOND_FACTOR:
      return bonds;
    case MOLOBJ_PRESET:
    case MOLOBJ_PRESET_COLOR_H:
    case MOLOBJ_PRESET_COLOR_C:
    case MOLOBJ_PRESET_COLOR_O:
    case MOLOBJ_PRESET_COLOR_N:
    case MOLOBJ_PRESET_COLOR_OTHER:
    case MOLOBJ_RESTORE_PRESET:
      return parameters.GetInt32(MOLOBJ_COLOR_MODE) == kColourByPreset;
    case MOLOBJ_NUCLEUS_FACTOR:
      return parameters.GetBool(MOLOBJ_SHOW_NUCLEUS) && atoms;
    case MOLOBJ_REMOVE_ROW:
      return rowCount_ > 0;
    default:
      return true;
  }
}

bool MoleculeObject::AddToExecution(VtNode* node, VtExecList* list) {
  AddToExecutionList(list, Node(node), kExecutionPriority, /*flags=*/0);
  return true;
}

VtNode* MoleculeObject::BuildHierarchy(VtNode* handle, VtBuildContext* buildContext) {
  Node node(handle);
  const BuildContext context(buildContext);
  const Container parameters = node.Parameters();
  if (!MustRebuild(node, context) && !IsDirty(node, VT_DIRTY_DATA)) return CurrentHierarchy(node);
  PullParameters(parameters);
  CollectMaterialRows(parameters, context.Document(), rowCount_, elements_, materialRows_);
  return BuildBallAndStick({settings_, molecule_, elements_, materialRows_, SelectedPreset()}, context);
}

int32_t MoleculeObject::Execute(VtNode* node, VtDocument*) {
  constexpr int32_t kNoParameters = 2;
  const Container parameters = Node(node).Parameters();
  if (!parameters.IsValid()) return kNoParameters;
  PullParameters(parameters);
  return 0;
}

}  // namespace vantor
