// Material rows collected for a build, and the look of what the build makes: a texture tag from the
// matching row, or a display colour from the element table, the selected preset or the bond and
// nucleus colours.
#include "materialrows.h"

#include <algorithm>

#include "modelbuilder.h"
#include "parameterids.h"

namespace vantor {
namespace {

constexpr int32_t kUseDisplayColour = 1;
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
const SpecialKey kSpecialKeys[] = {{"BD1", MATERIAL_KEY_BONDS + kBondSingle},
                                   {"BD2", MATERIAL_KEY_BONDS + kBondDouble},
                                   {"BD3", MATERIAL_KEY_BONDS + kBondTriple},
                                   {"BD4", MATERIAL_KEY_BONDS + kBondAromatic},
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

// The first row of the key decides, even when it has no material.
const MaterialRow* FindRow(const HostArray<MaterialRow>& rows, int64_t key) {
  for (const MaterialRow& row : rows) {
    if (row.key == key) return &row;
  }
  return nullptr;
}

Vector BondColour(const ModelSettings& settings, int32_t order) {
  switch (order) {
    case kBondSingle: return settings.bond1Color;
    case kBondDouble: return settings.bond2Color;
    case kBondTriple: return settings.bond3Color;
    case kBondAromatic: return settings.bond4Color;
    default: return kBlack;
  }
}

}  // namespace

void CollectMaterialRows(const Container& parameters, VtDocument* document, int32_t rowCount,
                         const ElementTable& elements, HostArray<MaterialRow>& rows) {
  rows.Clear();
  // rows past the last possible one own no parameters to read
  const int32_t count = std::min(rowCount, kMaxRows);
  for (int32_t row = 0; row < count; ++row) {
    MaterialRow entry;
    if (parameters.GetBool(*RowParameterId(row, MOLOBJ_ROW_USE_MATERIAL))) {
      entry.material = parameters.GetLink(*RowParameterId(row, MOLOBJ_ROW_MATERIAL), document);
      entry.key = RowKey(parameters.GetString(*RowParameterId(row, MOLOBJ_ROW_SYMBOL)), elements);
      entry.projection = parameters.GetInt32(*RowParameterId(row, MOLOBJ_ROW_PROJECTION));
      entry.offsetU = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_OFFSET_U));
      entry.offsetV = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_OFFSET_V));
      entry.tilesU = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_TILES_U));
      entry.tilesV = parameters.GetFloat(*RowParameterId(row, MOLOBJ_ROW_TILES_V));
    }
    rows.Append(entry);  // a row that cannot be stored is left out
  }
}

void ApplyAtomAppearance(Node sphere, const Atom& atom, const ModelSource& source) {
  const MaterialRow* row = FindRow(source.rows, atom.element);
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
  if (source.settings.colorMode == kColourByElement) {
    const double* rgb = source.elements[atom.element].color;
    colour = {rgb[0], rgb[1], rgb[2]};
  } else if (source.settings.colorMode == kColourByPreset) {
    // a preset the list does not hold shows black
    if (source.preset != nullptr) colour = source.preset->colours[PresetSlotFor(atom.element)];
  }
  SetDisplayColour(sphere, colour, kUseDisplayColour, source.settings.xray);
}

void ApplyNucleusAppearance(Node nucleus, const ModelSource& source) {
  // x-ray never applies to nuclei
  SetDisplayColour(nucleus, source.settings.nucleusColor, kUseDisplayColour, /*xray=*/false);
  const MaterialRow* row = FindRow(source.rows, MATERIAL_KEY_NUCLEUS);
  if (row == nullptr || row->material == nullptr) return;
  Tag tag = TextureTag(row->material);
  tag.InsertFirst(nucleus);  // with the host's own placement: the row's values are for atoms
}

void ApplyBondAppearance(Node sweep, int32_t order, const ModelSource& source) {
  // a bond of order n looks for key 1000 + n; an order far out of range finds no row
  const MaterialRow* row = FindRow(source.rows, int64_t{MATERIAL_KEY_BONDS} + order);
  SetDisplayColour(sweep, BondColour(source.settings, order), kUseDisplayColour, source.settings.xray);
  if (row == nullptr || row->material == nullptr) return;
  Tag tag = TextureTag(row->material);
  tag.InsertFirst(sweep);
}

}  // namespace vantor
