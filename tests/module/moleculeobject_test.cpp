// The molecule object driven as the host drives it: creation, buttons, parameter changes,
// presets, rows, copies, documents, execution and enabling.
#include "resources/resourceset.h"
#include "rowids.h"
#include "startedmodule.h"
#include "vthost/description.h"
#include "vthost/documents.h"

namespace vantor {
namespace {

using vthost::Value;

class MoleculeObjectTest : public StartedModule {
 protected:
  // The document saved, closed and opened again: its one object as opened, or null.
  VtNode* Reopened() {
    const std::filesystem::path file = TempFolder() / "scene.vdoc";
    std::string error;
    EXPECT_TRUE(vthost::SaveDocument(host_, document_, file, &error)) << error;
    host_.CloseDocument(document_);
    document_ = vthost::OpenDocument(host_, file, &error);
    EXPECT_NE(document_, nullptr) << error;
    return document_ && host_.Nodes(document_).size() == 1 ? host_.Nodes(document_)[0] : nullptr;
  }
};

// The container of a new object holds the default of every entry of the description resource that
// gives one, and nothing else (no file name).
TEST_F(MoleculeObjectTest, NewObjectHoldsTheDefaultsOfItsDescription) {
  VtNode* node = NewMolecule();
  ASSERT_NE(node, nullptr);
  std::vector<int32_t> expected;
  for (const vthost::DescriptionEntry& entry : host_.Types().Description(kMoleculeObjectId)->entries) {
    if (std::holds_alternative<std::monostate>(entry.defaultValue)) continue;
    expected.push_back(entry.id);
    const Value* value = Get(node, entry.id);
    ASSERT_NE(value, nullptr) << entry.name;
    EXPECT_TRUE(*value == entry.defaultValue) << entry.name;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(vthost::Ids(&node->parameters), expected);
  EXPECT_EQ(Object(node).GetMolecule().atoms.Count(), 0);
  EXPECT_EQ(Object(node).Presets().Count(), 6);
  EXPECT_EQ(Object(node).Elements().Count(), 118);
  EXPECT_TRUE(host_.Events().All().empty());
}

TEST_F(MoleculeObjectTest, MissingElementTableRefusesEveryCreation) {
  std::filesystem::remove(plugin_ / "res" / "ptable.csv");
  const std::string message =
      "Vantor could not find or open the file 'ptable.csv', which contains the data for the chemical elements. "
      "Please check that this file is correctly named and present in the 'res' folder.\n\nThe plugin will now terminate.";
  EXPECT_EQ(NewMolecule(), nullptr);
  EXPECT_EQ(NewMolecule(), nullptr);
  EXPECT_EQ(Messages(), (std::vector<std::string>{message, message}));
  EXPECT_TRUE(host_.Nodes(document_).empty());
  EXPECT_EQ(host_.LiveBlocks(), 0);
}

TEST_F(MoleculeObjectTest, LoadButtonReadsTheFileAndMarksTheObject) {
  VtNode* node = NewMolecule();
  SetFile(node, WriteFile(TempFolder() / "water.sdf", kWaterMolfile));
  EXPECT_EQ(Object(node).GetMolecule().atoms.Count(), 0);  // setting the file reads nothing
  host_.Press(node, MOLOBJ_LOAD);
  EXPECT_EQ(Object(node).GetMolecule().atoms.Count(), 3);
  EXPECT_EQ(Object(node).GetMolecule().bonds.Count(), 2);
  EXPECT_EQ(vthost::NodeName(node), "water");
  EXPECT_EQ(vthost::NodeEvents(node).back(), (vthost::NodeEvent{vthost::NodeEvent::Kind::Message, 5, ""}));
}

TEST_F(MoleculeObjectTest, EmptyFileParameterMakesTheButtonDoNothing) {
  VtNode* node = NewMolecule();
  host_.Press(node, MOLOBJ_LOAD);
  EXPECT_TRUE(vthost::NodeEvents(node).empty());
  EXPECT_TRUE(host_.Events().All().empty());
}

TEST_F(MoleculeObjectTest, AddThreeRowsRemoveOne) {
  VtNode* node = NewMolecule();
  for (int i = 0; i < 3; ++i) host_.Press(node, MOLOBJ_ADD_ROW);
  // the host built the description after each message 7, so every row has its defaults
  EXPECT_EQ(GetAs<bool>(node, RowId(2, Row::Initialised)), true);
  host_.SetParameter(node, RowId(2, Row::Symbol), Value(std::string("O")));
  host_.SetParameter(node, RowId(1, Row::Symbol), Value(std::string("C")));
  host_.AddTrack(node, RowId(2, Row::Symbol));
  host_.AddTrack(node, RowId(2, Row::Material));
  host_.AddTrack(node, RowId(1, Row::Symbol));
  host_.SetParameter(node, RowId(2, Row::TilesU), Value(2.5));

  host_.Press(node, MOLOBJ_REMOVE_ROW);
  EXPECT_EQ(GetAs<int32_t>(node, MOLOBJ_ROW_COUNT), 2);
  EXPECT_EQ(Object(node).RowCount(), 2);
  EXPECT_EQ(GetAs<bool>(node, RowId(2, Row::Initialised)), false);
  EXPECT_EQ(GetAs<std::string>(node, RowId(2, Row::Symbol)), "");
  EXPECT_EQ(GetAs<vthost::LinkValue>(node, RowId(2, Row::Material)).node, 0u);
  EXPECT_FALSE(vthost::HasTrack(node, RowId(2, Row::Symbol)));
  EXPECT_FALSE(vthost::HasTrack(node, RowId(2, Row::Material)));
  EXPECT_TRUE(vthost::HasTrack(node, RowId(1, Row::Symbol)));  // row 1 untouched
  EXPECT_EQ(GetAs<std::string>(node, RowId(1, Row::Symbol)), "C");
  EXPECT_EQ(GetAs<double>(node, RowId(2, Row::TilesU)), 2.5);        // the other values of the row stay
  EXPECT_EQ(MessagesSent(node, VT_MSG_DESCRIPTION_CHANGED).size(), 4u);

  // added again, the row gets its defaults back
  host_.Press(node, MOLOBJ_ADD_ROW);
  EXPECT_EQ(GetAs<double>(node, RowId(2, Row::TilesU)), 1.0);
  EXPECT_EQ(GetAs<bool>(node, RowId(2, Row::Initialised)), true);
}

TEST_F(MoleculeObjectTest, RemoveButtonFollowsTheRowsTheObjectHolds) {
  VtNode* node = NewMolecule();
  EXPECT_FALSE(vthost::IsEnabled(node, MOLOBJ_REMOVE_ROW));
  host_.Press(node, MOLOBJ_REMOVE_ROW);
  EXPECT_EQ(GetAs<int32_t>(node, MOLOBJ_ROW_COUNT), 0);
  EXPECT_TRUE(vthost::NodeEvents(node).empty());
  host_.Press(node, MOLOBJ_ADD_ROW);
  node->parameters.values[MOLOBJ_ROW_COUNT] = int32_t{0};  // the container alone does not change it
  EXPECT_TRUE(vthost::IsEnabled(node, MOLOBJ_REMOVE_ROW));
}

const int32_t kPresetColourIds[] = {MOLOBJ_PRESET_COLOR_H, MOLOBJ_PRESET_COLOR_C, MOLOBJ_PRESET_COLOR_O,
                                    MOLOBJ_PRESET_COLOR_N, MOLOBJ_PRESET_COLOR_OTHER};

// The five colours the preset parameters show, and those a preset holds.
std::vector<VtVector> Shown(VtNode* node) {
  return Each(kPresetColourIds, [&](int32_t id) { return StartedModule::GetAs<VtVector>(node, id); });
}
std::vector<VtVector> Colours(const ColourPreset& preset) {
  return Each(preset.colours, [](const Vector& colour) { return VtVector{colour.x, colour.y, colour.z}; });
}

TEST_F(MoleculeObjectTest, PresetEditsStayWithTheirPreset) {
  VtNode* node = NewMolecule();
  host_.SetParameter(node, MOLOBJ_PRESET, Value(int32_t{3}));
  EXPECT_EQ(Shown(node), Colours(DefaultColourPreset(3)));
  EXPECT_EQ(MessagesSent(node, VT_MSG_UPDATE).size(), 1u);

  host_.SetParameter(node, MOLOBJ_PRESET_COLOR_C, Value(VtVector{1.0, 0.0, 0.0}));
  host_.Evaluate(document_);
  EXPECT_EQ(Object(node).Presets()[3].colours[kSlotCarbon].x, 1.0);
  host_.SetParameter(node, MOLOBJ_PRESET, Value(int32_t{1}));
  EXPECT_EQ(Shown(node), Colours(DefaultColourPreset(1)));
  host_.SetParameter(node, MOLOBJ_PRESET, Value(int32_t{3}));
  EXPECT_EQ(GetAs<VtVector>(node, MOLOBJ_PRESET_COLOR_C), (VtVector{1.0, 0.0, 0.0}));
  // the stored block carries the edit: count, then preset 3's carbon is the 3 * 5 + 2nd vector
  const auto stored = vthost::StoredBlock(node);
  ASSERT_EQ(stored.size(), 31u);
  EXPECT_EQ(std::get<int32_t>(stored[0]), 6);
  EXPECT_EQ(std::get<VtVector>(stored[1 + 3 * 5 + kSlotCarbon]), (VtVector{1.0, 0.0, 0.0}));
}

// Every preset, edited and evaluated, stays as edited when the user answers no to the question and
// comes back as a new object showed it when they answer yes.
TEST_F(MoleculeObjectTest, RestoreFollowsTheAnswer) {
  VtNode* node = NewMolecule();
  for (int32_t preset = 0; preset < kDefaultPresetCount; ++preset) {
    host_.SetParameter(node, MOLOBJ_PRESET, Value(preset));
    const std::vector<VtVector> fresh = Shown(node);
    for (const int32_t id : kPresetColourIds) host_.SetParameter(node, id, Value(VtVector{1.0, 0.0, 1.0}));
    host_.Evaluate(document_);
    const std::vector<VtVector> edited = Shown(node);
    for (const bool yes : {false, true}) {
      host_.Options().answerYes = yes;
      host_.Press(node, MOLOBJ_RESTORE_PRESET);
      EXPECT_EQ(Shown(node), yes ? fresh : edited) << preset;
      EXPECT_EQ(Colours(Object(node).Presets()[preset]), yes ? fresh : edited) << preset;
    }
  }
  const std::string question = "Are you sure you want to restore this preset to its default colors?";
  EXPECT_EQ(host_.Events().Texts(vthost::Event::Kind::Question), std::vector<std::string>(2 * kDefaultPresetCount, question));
}

// Restore wrote the whole mirror back, which only an evaluation refreshes: edits made since, or
// every value of an opened or copied object, went back to what the mirror held.
TEST_F(MoleculeObjectTest, RestoreKeepsEditsNotYetEvaluated) {
  VtNode* node = NewMolecule();
  host_.SetParameter(node, MOLOBJ_PRESET, Value(int32_t{3}));
  const std::vector<VtVector> fresh = Shown(node);
  host_.SetParameter(node, MOLOBJ_BOND_RADIUS, Value(8.0));
  host_.SetParameter(node, MOLOBJ_SEGMENTS, Value(int32_t{10}));
  host_.SetParameter(node, MOLOBJ_SHOW_HYDROGENS, Value(false));
  host_.SetParameter(node, MOLOBJ_PRESET_COLOR_C, Value(VtVector{1.0, 0.0, 0.0}));
  VtNode* copy = host_.Duplicate(node, "copy");  // its mirror holds the defaults until evaluated
  ASSERT_NE(copy, nullptr);
  host_.Options().answerYes = true;
  for (VtNode* object : {node, copy}) {
    host_.Press(object, MOLOBJ_RESTORE_PRESET);
    EXPECT_EQ(Shown(object), fresh);
    EXPECT_EQ(GetAs<int32_t>(object, MOLOBJ_PRESET), 3);
    EXPECT_EQ(GetAs<double>(object, MOLOBJ_BOND_RADIUS), 8.0);
    EXPECT_EQ(GetAs<int32_t>(object, MOLOBJ_SEGMENTS), 10);
    EXPECT_EQ(GetAs<bool>(object, MOLOBJ_SHOW_HYDROGENS), false);
    EXPECT_EQ(Colours(Object(object).Presets()[3]), fresh);
  }
}

// Of the parameter changes the object hears of, the colour mode reads the element table again and
// the preset shows its colours; the others are only stored.
TEST_F(MoleculeObjectTest, ColourModeChangeReadsTheElementTableAgain) {
  VtNode* node = NewMolecule();
  host_.SetParameter(node, MOLOBJ_RADIUS_MODE, Value(int32_t{kRadiusVanDerWaals}));
  EXPECT_TRUE(vthost::NodeEvents(node).empty());
  ASSERT_EQ(Object(node).Elements().Count(), 118);
  WriteFile(plugin_ / "res" / "ptable.csv", "t\nc\nH,FFFFFF,32,120,79\nHe,D9FFFF,93,140,49\n");
  host_.SetParameter(node, MOLOBJ_COLOR_MODE, Value(int32_t{kColourByPreset}));
  EXPECT_EQ(Object(node).Elements().Count(), 2);  // the file as it is now
  EXPECT_EQ(MessagesSent(node, VT_MSG_UPDATE).size(), 1u);
  std::filesystem::remove(plugin_ / "res" / "ptable.csv");
  host_.SetParameter(node, MOLOBJ_COLOR_MODE, Value(int32_t{kColourByElement}));
  EXPECT_EQ(Object(node).Elements().Count(), 0);  // emptied, silently
  EXPECT_TRUE(host_.Events().All().empty());
}

TEST_F(MoleculeObjectTest, SaveAndOpenBringBackPresetsRowsAndTheMolecule) {
  VtNode* node = Loaded(kWaterMolfile);
  host_.Press(node, MOLOBJ_ADD_ROW);
  host_.Press(node, MOLOBJ_ADD_ROW);
  host_.SetParameter(node, RowId(0, Row::TilesU), Value(2.5));
  host_.SetParameter(node, MOLOBJ_PRESET_COLOR_N, Value(VtVector{0.25, 0.5, 0.75}));
  host_.Evaluate(document_);
  const auto stored = vthost::StoredBlock(node);
  VtNode* opened = Reopened();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(vthost::NodeName(opened), "water");
  EXPECT_EQ(vthost::StoredBlock(opened), stored);
  EXPECT_EQ(Object(opened).RowCount(), 2);
  EXPECT_EQ(Object(opened).GetMolecule().atoms.Count(), 3);  // read again from its file
  EXPECT_EQ(GetAs<double>(opened, RowId(0, Row::TilesU)), 2.5);
  EXPECT_TRUE(vthost::Describe(host_, opened).Find(RowId(1, Row::Group)) != nullptr);
  EXPECT_EQ(GetAs<double>(opened, RowId(0, Row::TilesU)), 2.5);  // described again, the user's value stays
}

// The object took a stored count past the 249 rows it shows, so the first 51 presses of Remove
// removed nothing the user could see; row 249 would own ids from 20001, the object's own parameters.
TEST_F(MoleculeObjectTest, StoredRowCountPastTheLimitIsBroughtWithinIt) {
  constexpr int32_t kLastRowGroup = RowId(248, Row::Group), kRowBeforeGroup = RowId(247, Row::Group);
  VtNode* node = NewMolecule();
  host_.SetParameter(node, MOLOBJ_ROW_COUNT, Value(int32_t{300}));
  VtNode* opened = Reopened();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(Object(opened).RowCount(), 249);
  EXPECT_EQ(GetAs<int32_t>(opened, MOLOBJ_ROW_COUNT), 249);
  ASSERT_NE(vthost::Describe(host_, opened).Find(kLastRowGroup), nullptr);
  host_.Press(opened, MOLOBJ_ADD_ROW);
  EXPECT_EQ(Object(opened).RowCount(), 249);  // no row past the last possible one
  VtNode* copy = host_.Duplicate(opened, "copy");
  ASSERT_NE(copy, nullptr);
  for (VtNode* object : {opened, copy}) {
    host_.Press(object, MOLOBJ_REMOVE_ROW);
    EXPECT_EQ(GetAs<int32_t>(object, MOLOBJ_ROW_COUNT), 248);
    EXPECT_EQ(GetAs<double>(object, MOLOBJ_ATOM_RADIUS), 25.0);  // untouched by the removal
    EXPECT_EQ(GetAs<bool>(object, MOLOBJ_XRAY), false);
    EXPECT_EQ(GetAs<double>(object, MOLOBJ_RADIUS_SCALE), 1.0);
    const vthost::Description shown = vthost::Describe(host_, object);
    EXPECT_EQ(shown.Find(kLastRowGroup), nullptr);  // the last row shown is gone
    EXPECT_NE(shown.Find(kRowBeforeGroup), nullptr);
  }
}

TEST_F(MoleculeObjectTest, CopyTakesTheModelWithoutReadingTheFile) {
  VtNode* node = Loaded(kWaterMolfile, "water.sdf");
  host_.Press(node, MOLOBJ_ADD_ROW);
  host_.SetParameter(node, MOLOBJ_PRESET_COLOR_O, Value(VtVector{0.0, 0.0, 1.0}));
  host_.Evaluate(document_);
  std::filesystem::remove(TempFolder() / "water.sdf");
  host_.Events().Clear();

  VtNode* copy = host_.Duplicate(node, "copy");
  ASSERT_NE(copy, nullptr);
  const MoleculeObject& original = Object(node);
  const MoleculeObject& duplicate = Object(copy);
  ASSERT_EQ(duplicate.GetMolecule().atoms.Count(), 3);
  EXPECT_EQ(duplicate.GetMolecule().atoms[2].y, original.GetMolecule().atoms[2].y);
  EXPECT_EQ(duplicate.GetMolecule().bonds.Count(), 2);
  EXPECT_EQ(duplicate.Elements().Count(), original.Elements().Count());
  EXPECT_EQ(vthost::StoredBlock(copy), vthost::StoredBlock(node));
  EXPECT_EQ(duplicate.RowCount(), 1);
  EXPECT_TRUE(host_.Events().All().empty());  // no message: no file was looked for
}

TEST_F(MoleculeObjectTest, ExecuteMirrorsTheContainerAndNeedsOne) {
  VtNode* node = NewMolecule();
  host_.Evaluate(document_);
  EXPECT_EQ(vthost::LastExecuteResult(node), 0);
  vthost::SetHasParameters(node, false);
  host_.Evaluate(document_);
  EXPECT_EQ(vthost::LastExecuteResult(node), 2);
}

// Stored blocks: well-formed, short, empty and hostile.
struct BlockCase {
  const char* name;
  std::vector<vthost::StoredValue> values;
  int32_t level;
  int32_t presets;
};

void PrintTo(const BlockCase& c, std::ostream* out) {
  *out << c.name << ": " << c.values.size() << " values at level " << c.level << " -> " << c.presets << " presets";
}

std::vector<vthost::StoredValue> PresetBlock(int32_t count, int32_t vectors) {
  std::vector<vthost::StoredValue> values{count};
  for (int32_t i = 0; i < vectors; ++i) values.emplace_back(VtVector{0.1 * (i % 10), 0.5, 1.0});
  return values;
}

class StoredBlock : public StartedModule, public testing::WithParamInterface<BlockCase> {};

TEST_P(StoredBlock, ReadsWhatTheBlockHoldsAndNoMore) {
  VtNode* node = NewMolecule();
  EXPECT_TRUE(vthost::ReadStoredBlock(node, vthost::EncodeStoredBlock(GetParam().values), GetParam().level));
  EXPECT_EQ(Object(node).Presets().Count(), GetParam().presets);
  // a preset index the list does not hold changes no colour, loses no edit and reads nothing outside
  // the list
  host_.SetParameter(node, MOLOBJ_PRESET, Value(int32_t{5}));
  host_.SetParameter(node, MOLOBJ_PRESET_COLOR_H, Value(VtVector{1.0, 1.0, 0.0}));
  host_.Evaluate(document_);
  host_.SetParameter(node, MOLOBJ_PRESET, Value(int32_t{5}));
  EXPECT_EQ(GetAs<VtVector>(node, MOLOBJ_PRESET_COLOR_H), (VtVector{1.0, 1.0, 0.0}));
  host_.Press(node, MOLOBJ_RESTORE_PRESET);
  EXPECT_EQ(Object(node).Presets().Count(), GetParam().presets);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, StoredBlock,
    testing::Values(BlockCase{"SixPresets", PresetBlock(6, 30), 0, 6}, BlockCase{"NoPresets", PresetBlock(0, 0), 0, 0},
                    BlockCase{"TwoPresets", PresetBlock(2, 10), 0, 2},
                    BlockCase{"CountLargerThanTheBlock", PresetBlock(2147483647, 12), 0, 2},
                    BlockCase{"NegativeCount", PresetBlock(-5, 10), 0, 0},
                    BlockCase{"EmptyBlock", {}, 0, 0}, BlockCase{"NegativeLevel", PresetBlock(6, 30), -1, 0},
                    BlockCase{"IntegerWhereAColourBelongs", {int32_t{2}, VtVector{}, int32_t{7}}, 0, 0}), CaseName);

struct EnablingCase {
  const char* name;
  int32_t display, radius, colour;
  bool nucleus;
  std::vector<int32_t> disabled;
};

void PrintTo(const EnablingCase& c, std::ostream* out) {
  *out << c.name << ": display " << c.display << ", radius " << c.radius << ", colour " << c.colour << ", nucleus "
       << (c.nucleus ? "on" : "off");
}

const std::vector<int32_t> kAtomIds = {MOLOBJ_RADIUS_MODE, MOLOBJ_ATOM_RADIUS, MOLOBJ_RADIUS_SCALE, MOLOBJ_SEGMENTS,
                                       MOLOBJ_SHOW_NUCLEUS, MOLOBJ_NUCLEUS_FACTOR};
const std::vector<int32_t> kBondIds = {MOLOBJ_BOND_RADIUS, MOLOBJ_DOUBLE_BOND_FACTOR, MOLOBJ_BOND_SUBDIVISIONS,
                                       MOLOBJ_BOND_CAPS, MOLOBJ_TRIPLE_BOND_FACTOR};
const std::vector<int32_t> kPresetIds = {20014, 20015, 20016, 20017, 20018, 20019, 20020};

std::vector<int32_t> Join(std::vector<int32_t> a, const std::vector<int32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class Enabling : public StartedModule, public testing::WithParamInterface<EnablingCase> {};

TEST_P(Enabling, FollowsTheContainer) {
  VtNode* node = NewMolecule();
  node->parameters.values[MOLOBJ_DISPLAY_MODE] = GetParam().display;
  node->parameters.values[MOLOBJ_RADIUS_MODE] = GetParam().radius;
  node->parameters.values[MOLOBJ_COLOR_MODE] = GetParam().colour;
  node->parameters.values[MOLOBJ_SHOW_NUCLEUS] = GetParam().nucleus;
  std::vector<int32_t> disabled;
  for (int32_t id = RowId(0, Row::Group); id <= 20034; ++id) {
    if (!vthost::IsEnabled(node, id)) disabled.push_back(id);
  }
  std::vector<int32_t> expected = GetParam().disabled;
  expected.push_back(MOLOBJ_REMOVE_ROW);  // no rows
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(disabled, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Enabling,
    testing::Values(
        EnablingCase{"Defaults", 0, 3, 0, false, Join({MOLOBJ_RADIUS_SCALE, MOLOBJ_NUCLEUS_FACTOR}, kPresetIds)},
        EnablingCase{"ScaledRadii", 0, 0, 1, true, {MOLOBJ_ATOM_RADIUS}},
        EnablingCase{"StepRadii", 0, 2, 1, true, {MOLOBJ_RADIUS_SCALE}},
        EnablingCase{"AtomsOnly", 1, 4, 1, true, Join({MOLOBJ_ATOM_RADIUS}, kBondIds)},
        EnablingCase{"BondsOnly", 2, 3, 1, true, kAtomIds}), CaseName);

}  // namespace
}  // namespace vantor
