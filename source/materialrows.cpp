// Material rows collected for a build, and the look of what the build makes: a texture tag from the
// matching row, or a display colour from the element table, the selected preset or the bond and
// nucleus colours.
#include "materialrows.h"

#include "moleculeobject.h"
#include "parameterids.h"

namespace vantor {
namespace {

constexpr int32_t kUseDisplayColour = 1;
constexpr int32_t kColourModeElements = 0;
constexpr int32_t kColourModePresets = 1;
// Texture tag parameters.
constexpr int32_t kTextureProjection = 1004;
constexpr int32_t kTextureOffsetU = 1000;
constexpr int32_t kTextureOffsetV = 1001;
constexpr int32_t kTextureTilesU = 1014;
constexpr int32_t kTextureTilesV = 1015;

const Vector kBlack{0.0, 0.0, 0.0};

// The special keys in the order they are tried, letter case ignored.
struct SpecialKey {
  const char* symbol;
  int32_t key;
};
const SpecialKey kSpecialKeys[] = {{"BD1", MATERIAL_KEY_BOND1},     {"BD2", MATERIAL_KEY_BOND1 + 1},
                                   {"BD3", MATERIAL_KEY_BOND1 + 2}, {"BD4", MATERIAL_KEY_BOND1 + 3},
                                   {"NUC", MATERIAL_KEY_NUCLEUS}};

// Element symbols match with their letter case, the special keys without.
int32_t RowKey(const String& symbol, const ElementTable& elements) {
  const int32_t element = FindElementIndex(symbol, elements);
  if (element >= 0) return element;
  const String trimmed = symbol.Trimmed();
  for (const SpecialKey& special : kSpecialKeys) {
    if (trimmed.Compare(special.symbol, VT_COMPARE_IGNORE_CASE) == 0) return special.key;
  }
  return MATERIAL_KEY_NONE;
}

Tag TextureTag(VtNode* material) {
  Tag tag = Tag::Alloc(VT_TAG_TEXTURE);
  if (tag.IsValid()) tag.SetMaterial(material);
  return tag;
}

}  // namespace

int32_t MoleculeObject::CollectMaterialRows(const Container& parameters, VtDocument* document) {
  materialRows_.Clear();
  // rows past the last possible one own no parameters to read
  const int32_t rows = std::min(rowCount_, kMaxRows);
  for (int32_t row = 0; row < rows; ++row) {
    MaterialRow entry;
    if (parameters.GetBool(*RowParameterId(row, MOLOBJ_ROW_USE_MATERIAL))) {
      entry.material = parameters.GetLink(*RowParameterId(row, MOLOBJ_ROW_MATERIAL), document);
      entry.key = RowKey(parameters.GetString(*RowParameterId(row, MOLOBJ_ROW_SYMBOL)), elements_);
      entry.projection = parameters.GetInt32(*RowParameterId(row, MOLOBJ_ROW_PROJECTION));
      entry.offsetU = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_OFFSET_U));
      entry.offsetV = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_OFFSET_V));
      entry.tilesU = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_TILES_U));
      entry.tilesV = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_TILES_V));
    }
    materialRows_.Append(entry);  // a row that cannot be stored is left out
  }
  return rows;
}

// The first row of the key decides, even when it has no material.
const MaterialRow* MoleculeObject::FindRow(int64_t key) const {
  for (const MaterialRow& row : materialRows_) {
    if (row.key == key) return &row;
  }
  return nullptr;
}

void MoleculeObject::ApplyAtomAppearance(Node sphere, const Atom& atom) {
  const MaterialRow* row = FindRow(atom.element);
  if (row != nullptr && row->material != nullptr) {
    Tag tag = TextureTag(row->material);
    if (!tag.IsValid()) return;  // neither texture nor colour
    tag.SetInt32(kTextureProjection, row->projection);
    tag.SetFloat(kTextureOffsetU, row->offsetU);
    tag.SetFloat(kTextureOffsetV, row->offsetV);
    tag.SetFloat(kTextureTilesU, row->tilesU);
    tag.SetFloat(kTextureTilesV, row->tilesV);
    tag.InsertFirst(sphere);
    return;
  }
  Vector colour = kBlack;
  if (colorMode_ == kColourModeElements) {
    const double* rgb = elements_[atom.element].color;
    colour = {rgb[0], rgb[1], rgb[2]};
  } else if (colorMode_ == kColourModePresets) {
    // a preset the list does not hold shows black
    if (const ColourPreset* preset = SelectedPreset()) colour = preset->colours[PresetSlotFor(atom.element)];
  }
  SetDisplayColour(sphere, colour, kUseDisplayColour, xray_);
}

void MoleculeObject::ApplyNucleusAppearance(Node nucleus) {
  SetDisplayColour(nucleus, nucleusColor_, kUseDisplayColour, false);  // x-ray never applies to nuclei
  const MaterialRow* row = FindRow(MATERIAL_KEY_NUCLEUS);
  if (row == nullptr || row->material == nullptr) return;
  Tag tag = TextureTag(row->material);
  tag.InsertFirst(nucleus);  // with the host's own placement: the row's values are for atoms
}

void MoleculeObject::ApplyBondAppearance(Node sweep, int32_t order) {
  // a bond of order n looks for key 1000 + n; an order far out of range finds no row
  const MaterialRow* row = FindRow(static_cast<int64_t>(MATERIAL_KEY_BOND1) - 1 + order);
  const Vector* colours[] = {&bond1Color_, &bond2Color_, &bond3Color_, &bond4Color_};
  const Vector& colour = order >= 1 && order <= 4 ? *colours[order - 1] : kBlack;
  SetDisplayColour(sweep, colour, kUseDisplayColour, xray_);
  if (row == nullptr || row->material == nullptr) return;
  Tag tag = TextureTag(row->material);
  tag.InsertFirst(sweep);
}

}  // namespace vantor
