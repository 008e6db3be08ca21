// The conversion engine with the built module, in-process: a new object for each molecule, edited,
// loaded, fitted to a budget and evaluated, and each form asked for made or refused with a reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtmodule.h"
#include "molfiles.h"
#include "vthost/convert.h"

namespace {

using State = vthost::MadeOutput::State;
using Status = vthost::ConversionStatus;

struct ConversionCase {
  const char* name;
  std::string file;  // in the test's folder: water.mol, wide.mol (water 9 Å wide), empty.mol, a folder
                     // folder.sdf; any other name is not there
  vthost::Settings settings;
  int64_t maxTriangles;
  std::vector<std::string> forms;
  Status status;
  std::string told;  // what it tells, each line after a newline; empty for nothing
  int64_t atoms, bonds;
  std::vector<State> made;  // of each form
  std::string refusal;      // a part of the first refusal
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.name; }

const std::string kBudgetNote = "486 triangles within --max-triangles ";
const std::string kMissing = "could not be loaded (The .sdf file specified does not exist.; ";

const ConversionCase kConversions[] = {
    {"EveryForm", "water.mol", {}, 0, {"json", "glb", "usda", "usdz"}, Status::Converted, "", 3, 2,
     {State::Made, State::Made, State::Made, State::Made}, ""},
    {"MissingFileHasOnlyItsReport", "missing.sdf", {}, 0, {"json", "glb"}, Status::NotLoaded, "\n" + kMissing, 0, 0,
     {State::Made, State::NoModel}, ""},
    {"Folder", "folder.sdf", {}, 0, {"glb"}, Status::NotLoaded, "\ncould not be loaded (it is a folder) (", 0, 0,
     {State::NoModel}, ""},
    {"UnknownSuffix", "water.pdb", {}, 0, {}, Status::NotLoaded, "\ncould not be loaded (Unrecognised file format", 0,
     0, {}, ""},
    {"EmptyMoleculeIsToldAndMade", "empty.mol", {}, 0, {"glb"}, Status::Converted,
     "\nthe model is empty, with no atoms and no bonds", 0, 0, {State::Made}, ""},
    {"BudgetThatFits", "water.mol", {}, 500, {"glb"}, Status::Converted,
     "\n" + kBudgetNote + "500, with MOLOBJ_SEGMENTS=13 and MOLOBJ_BOND_SUBDIVISIONS=5", 3, 2, {State::Made}, ""},
    {"BudgetMetExactly", "water.mol", {}, 486, {}, Status::Converted,
     "\n" + kBudgetNote + "486, with MOLOBJ_SEGMENTS=13 and MOLOBJ_BOND_SUBDIVISIONS=5", 3, 2, {}, ""},
    {"BudgetUnderAValueSet", "water.mol", {{"MOLOBJ_SEGMENTS", "8"}}, 100000, {}, Status::Converted,
     "with MOLOBJ_SEGMENTS=8 and MOLOBJ_BOND_SUBDIVISIONS=100", 3, 2, {}, ""},
    {"BudgetTooSmallMakesNothing", "water.mol", {}, 10, {"glb"}, Status::Failed,
     "\nthe model needs 34 triangles at the least (MOLOBJ_SEGMENTS=3 and MOLOBJ_BOND_SUBDIVISIONS=0), more than "
     "--max-triangles 10",
     0, 0, {}, ""},
    {"SettingRefused", "water.mol", {{"99999", "5"}}, 0, {"glb"}, Status::Failed,
     "\n--set 99999=5: the object shows no parameter of the id 99999", 0, 0, {}, ""},
    {"HugeBondRadiusRefusesTheModels", "water.mol", {{"MOLOBJ_BOND_RADIUS", "1e100"}}, 0, {"json", "glb", "usdz"},
     Status::Converted, "", 3, 2, {State::Made, State::Refused, State::Refused},
     "lies beyond what glTF's 32-bit floats hold"},
    {"HugePositionScaleRefusesTheReport", "wide.mol", {{"MOLOBJ_POSITION_SCALE", "1e308"}}, 0, {"json"},
     Status::Converted, "", 3, 2, {State::Refused}, "the report holds a number that is not finite, in \"position\""},
};

class Conversions : public ScriptSession, public testing::WithParamInterface<ConversionCase> {
 protected:
  void SetUp() override {
    ScriptSession::SetUp();
    ASSERT_TRUE(Run("load\n")) << err_.str();
    Write("water.mol", kWaterMolfile);
    Write("empty.mol", "");
    std::string wide = kWaterMolfile;
    wide.replace(wide.find("    0.0000    0.7572"), 20, "    9.0000    0.7572");
    Write("wide.mol", wide);
    std::filesystem::create_directory(folder_ / "folder.sdf");
  }

  vthost::ConversionRequest Request(const ConversionCase& c) const {
    vthost::ConversionRequest request{c.settings, c.maxTriangles, {}};
    for (const std::string& name : c.forms) request.forms.push_back(vthost::FormNamed(name));
    return request;
  }
};

TEST_P(Conversions, TellWhatBecameOfEachForm) {
  const ConversionCase& c = GetParam();
  vthost::ConversionEngine engine(host_);
  const vthost::Conversion made = engine.Convert(Request(c), folder_ / c.file);
  std::string told;
  for (const vthost::Told& line : made.told) told += "\n" + line.text;
  EXPECT_EQ(made.status, c.status) << told;
  if (c.told.empty()) {
    EXPECT_EQ(told, "");
  } else {
    EXPECT_NE(told.find(c.told), std::string::npos) << told;
  }
  EXPECT_EQ(made.atoms, c.atoms);
  EXPECT_EQ(made.bonds, c.bonds);
  EXPECT_EQ(Each(made.outputs, &vthost::MadeOutput::state), c.made);
  std::string refusal;
  for (const vthost::MadeOutput& output : made.outputs) {
    if (refusal.empty()) refusal = output.refusal;
    // a refused report keeps its text, for standard output
    if (output.state != State::Refused) {
      EXPECT_EQ(output.state == State::Made, !output.bytes.pieces.empty());
    }
  }
  EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
}

INSTANTIATE_TEST_SUITE_P(Molecules, Conversions, testing::ValuesIn(kConversions), CaseName);

// One engine converts molecule after molecule: a failed one leaves nothing to the next, whose report
// tells only what it showed, and whose bytes are those of a first conversion.
TEST_F(Conversions, EachConversionStartsClean) {
  vthost::ConversionEngine engine(host_);
  const vthost::ConversionRequest request{{}, 0, {vthost::FormNamed("json"), vthost::FormNamed("glb")}};
  const vthost::Conversion first = engine.Convert(request, folder_ / "water.mol");
  ASSERT_EQ(engine.Convert(request, folder_ / "missing.sdf").status, Status::NotLoaded);
  const vthost::Conversion again = engine.Convert(request, folder_ / "water.mol");
  ASSERT_EQ(again.outputs.size(), 2u);
  EXPECT_EQ(again.outputs[0].bytes.Joined().find("does not exist"), std::string::npos);
  EXPECT_EQ(again.outputs[0].bytes.Joined(), first.outputs[0].bytes.Joined());
  EXPECT_EQ(again.outputs[1].bytes.Joined(), first.outputs[1].bytes.Joined());
}

}  // namespace
