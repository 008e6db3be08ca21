// The conversion engine with the built module, in-process: a new object for each molecule (or one
// reused), edited, loaded, fitted to a budget and evaluated, and each form asked for made or refused
// with a reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "builtmodule.h"
#include "export/usd.h"
#include "gltf.h"
#include "molfiles.h"
#include "vthost/convert.h"
#include "vthost/molecule.h"

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
    {"EmptyMoleculeFailsAndMakesNothing", "empty.mol", {}, 0, {"json", "glb"}, Status::NotLoaded,
     "\nno atom could be read: the model would be empty, nothing written", 0, 0, {}, ""},
    {"DamagedCountsLineMakesNothing", "damaged.mol", {}, 0, {"glb"}, Status::NotLoaded, "\nno atom could be read", 0,
     0, {}, ""},
    {"UnknownSymbolsMakeNothing", "unknown.mol", {}, 0, {"glb"}, Status::NotLoaded, "\nno atom could be read", 0, 0,
     {}, ""},
    {"HydrogensHiddenAreTheUsersEmptyModel", "hydrogens.mol", {{"MOLOBJ_SHOW_HYDROGENS", "false"}}, 0, {"glb"},
     Status::Converted, "\nthe model is empty: the parameters set draw none of its 3 atoms", 0, 0, {State::Made}, ""},
    {"BondsOnlyOfALoneAtom", "lone.mol", {{"MOLOBJ_DISPLAY_MODE", "2"}}, 0, {"usdz"}, Status::Converted,
     "\nthe model is empty: the parameters set draw none of its 1 atoms", 0, 0, {State::Made}, ""},
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

// text with every from replaced by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A loaded module and the test's folder with the molecules the cases name.
class ConversionFolder : public ScriptSession {
 protected:
  void SetUp() override {
    ScriptSession::SetUp();
    ASSERT_TRUE(Run("load\n")) << err_.str();
    Write("water.mol", kWaterMolfile);
    Write("empty.mol", "");
    std::string wide = kWaterMolfile;
    wide.replace(wide.find("    0.0000    0.7572"), 20, "    9.0000    0.7572");
    Write("wide.mol", wide);
    std::string stacked = kWaterMolfile;  // the first hydrogen where the oxygen is
    stacked.replace(stacked.find("    0.0000    0.7572   -0.4692"), 30, "    0.0000    0.0000    0.1173");
    Write("stacked.mol", stacked);
    std::filesystem::create_directory(folder_ / "folder.sdf");
    Write("damaged.mol", Replaced(kWaterMolfile, "  3  2  0", "  x  y  0"));
    Write("unknown.mol", Replaced(Replaced(kWaterMolfile, " O ", " Qq"), " H ", " Qq"));
    Write("hydrogens.mol", Replaced(kWaterMolfile, " O ", " H "));
    const std::string water = kWaterMolfile;  // its oxygen alone
    const size_t oxygenEnd = water.find('\n', water.find(" O ")) + 1;
    Write("lone.mol", Replaced(water.substr(0, oxygenEnd), "  3  2  0", "  1  0  0") + "M  END\n");
  }
};

class Conversions : public ConversionFolder, public testing::WithParamInterface<ConversionCase> {
 protected:
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

// An object kept from a conversion of water with the same settings loads the case's file instead of
// a new one: what it tells and makes is what a new object's conversion tells and makes.
TEST_P(Conversions, ReusedObjectMakesWhatANewOneMakes) {
  const ConversionCase& c = GetParam();
  vthost::ConversionEngine reusing(host_, vthost::ObjectReuse::SameSettings);
  reusing.Convert(Request(c), folder_ / "water.mol");
  const vthost::Conversion reused = reusing.Convert(Request(c), folder_ / c.file);
  vthost::ConversionEngine fresh(host_);
  const vthost::Conversion made = fresh.Convert(Request(c), folder_ / c.file);
  EXPECT_EQ(reused.status, made.status);
  EXPECT_EQ(Each(reused.told, &vthost::Told::text), Each(made.told, &vthost::Told::text));
  EXPECT_EQ(reused.atoms, made.atoms);
  EXPECT_EQ(reused.bonds, made.bonds);
  ASSERT_EQ(reused.outputs.size(), made.outputs.size());
  for (size_t i = 0; i < made.outputs.size(); ++i) {
    EXPECT_EQ(reused.outputs[i].state, made.outputs[i].state) << i;
    EXPECT_TRUE(reused.outputs[i].bytes.Joined() == made.outputs[i].bytes.Joined()) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Molecules, Conversions, testing::ValuesIn(kConversions), CaseName);

// The triangles of a .glb: each node's mesh, counted where it is placed.
int64_t GlbTriangles(const std::string& bytes) {
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  EXPECT_TRUE(loader.LoadBinaryFromMemory(&model, &error, &warning, data, static_cast<unsigned>(bytes.size())))
      << error;
  int64_t triangles = 0;
  for (const tinygltf::Node& node : model.nodes) {
    if (node.mesh < 0) continue;
    for (const tinygltf::Primitive& primitive : model.meshes.at(node.mesh).primitives) {
      triangles += static_cast<int64_t>(model.accessors.at(primitive.indices).count / 3);
    }
  }
  return triangles;
}

struct BudgetCase {
  const char* name;
  std::string file;  // as in ConversionCase; stacked.mol is water with a hydrogen on its oxygen
  vthost::Settings settings;
  int64_t maxTriangles;
};

void PrintTo(const BudgetCase& c, std::ostream* out) { *out << c.name; }

const std::string kCaffeine = std::string(VANTOR_SOURCE_DIR) + "/examples/caffeine.mol";

const BudgetCase kBudgets[] = {
    {"Water", "water.mol", {}, 500},
    {"Caffeine", kCaffeine, {}, 5000},
    {"BondsOfNoRadius", "water.mol", {{"MOLOBJ_BOND_RADIUS", "0"}}, 500},
    {"BondsOfNoRadiusWithCaps", kCaffeine, {{"MOLOBJ_BOND_RADIUS", "0"}, {"MOLOBJ_BOND_CAPS", "1"}}, 5000},
    // the lightest water draws 34 triangles, 16 of them its bonds
    {"LightestWithoutItsBondsFits", "water.mol", {{"MOLOBJ_BOND_RADIUS", "0"}}, 20},
    {"NothingDrawnFitsAnyBudget", "water.mol", {{"MOLOBJ_DISPLAY_MODE", "2"}, {"MOLOBJ_BOND_RADIUS", "0"}}, 1},
    {"AtomsOnly", kCaffeine, {{"MOLOBJ_DISPLAY_MODE", "1"}}, 3000},
    {"BondsOnly", kCaffeine, {{"MOLOBJ_DISPLAY_MODE", "2"}}, 3000},
    {"AtomsOfNoSizeBondsOnly", "water.mol", {{"MOLOBJ_RADIUS_MODE", "3"}, {"MOLOBJ_ATOM_RADIUS", "0"}}, 300},
    {"BondOfNoLength", "stacked.mol", {}, 500},
    {"BondOfNoLengthWithCaps", "stacked.mol", {{"MOLOBJ_BOND_CAPS", "1"}}, 500},
};

class Budgets : public ConversionFolder, public testing::WithParamInterface<BudgetCase> {};

// The detail chosen is told with the triangles the glTF made with it holds, within the budget.
TEST_P(Budgets, CountWhatTheModelDraws) {
  const BudgetCase& c = GetParam();
  vthost::ConversionEngine engine(host_);
  const vthost::ConversionRequest request{c.settings, c.maxTriangles, {vthost::FormNamed("glb")}};
  const std::filesystem::path file = c.file.find('/') == std::string::npos ? folder_ / c.file : std::filesystem::path(c.file);
  const vthost::Conversion made = engine.Convert(request, file);
  ASSERT_EQ(made.status, Status::Converted) << made.message;
  ASSERT_TRUE(made.detail.has_value());
  ASSERT_EQ(made.outputs.size(), 1u);
  const std::string glb = made.outputs[0].bytes.Joined();
  const int64_t drawn = glb.empty() ? 0 : GlbTriangles(glb);
  EXPECT_EQ(made.detail->triangles, drawn);
  EXPECT_LE(drawn, c.maxTriangles);
}

// An object built already, as a person has it, fitted to the budget: the glb a conversion with that
// budget makes.
TEST_P(Budgets, FitAnObjectBuiltAlreadyAsAConversionDoes) {
  const BudgetCase& c = GetParam();
  const std::filesystem::path file =
      c.file.find('/') == std::string::npos ? folder_ / c.file : std::filesystem::path(c.file);
  vthost::ConversionEngine engine(host_);
  const vthost::Conversion converted = engine.Convert({c.settings, c.maxTriangles, {vthost::FormNamed("glb")}}, file);
  ASSERT_EQ(converted.status, Status::Converted) << converted.message;
  std::string edits;
  for (const auto& [name, value] : c.settings) edits += "set m " + name + " " + value + "\n";
  ASSERT_TRUE(Run("new m\n" + edits + "set m MOLOBJ_FILE " + file.u8string() + "\npress m MOLOBJ_LOAD\neval\n"))
      << err_.str();
  VtNode* object = nullptr;
  for (VtNode* node : host_.Nodes(runner_->Document())) {
    if (vthost::NodeType(node) == vthost::molecule::kType) object = node;
  }
  ASSERT_NE(object, nullptr);
  vthost::Detail chosen;
  std::string error;
  ASSERT_TRUE(vthost::FitToBudget(host_, object, c.maxTriangles, &chosen, &error)) << error;
  ASSERT_TRUE(Run("eval\n")) << err_.str();
  EXPECT_EQ(chosen.triangles, converted.detail->triangles);
  bool ranOut = false;
  const std::vector<vthost::MadeOutput> made = engine.Make(object, {vthost::FormNamed("glb")}, &chosen, &ranOut);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].bytes.Joined(), converted.outputs[0].bytes.Joined());
}

INSTANTIATE_TEST_SUITE_P(Molecules, Budgets, testing::ValuesIn(kBudgets), CaseName);

// A budget the lightest model does not keep within leaves the object as it was, and says what it
// needs.
TEST_F(ConversionFolder, ObjectOverItsBudgetKeepsItsDetail) {
  ASSERT_TRUE(Run("new m\nset m MOLOBJ_FILE " + kCaffeine + "\npress m MOLOBJ_LOAD\nset m MOLOBJ_SEGMENTS 30\neval\n"))
      << err_.str();
  VtNode* object = host_.FindByName(runner_->Document(), "caffeine");
  ASSERT_NE(object, nullptr);
  vthost::Detail chosen;
  std::string error;
  EXPECT_FALSE(vthost::FitToBudget(host_, object, 10, &chosen, &error));
  EXPECT_NE(error.find("triangles at the least"), std::string::npos) << error;
  EXPECT_NE(error.find("more than 10"), std::string::npos) << error;
  const vthost::Value* segments = vthost::Lookup(vthost::NodeParameters(object), vthost::molecule::kSegments);
  ASSERT_NE(segments, nullptr);
  EXPECT_EQ(std::get<int32_t>(*segments), 30);
}

struct TitleCase {
  const char* name;
  std::string title;
};

void PrintTo(const TitleCase& c, std::ostream* out) { *out << c.name; }

// The text of the first `key = "..."` after `from` (no quote is escaped in the titles below).
std::string QuotedAfter(const std::string& text, const std::string& key, size_t from) {
  const size_t start = text.find(key + " = \"", from);
  if (start == std::string::npos) return "(no " + key + ")";
  const size_t first = start + key.size() + 4;
  return text.substr(first, text.find('"', first) - first);
}

class Titles : public ConversionFolder, public testing::WithParamInterface<TitleCase> {};

// A title that is not UTF-8 names the glTF's root and the USD's root prim with the same text.
TEST_P(Titles, NameTheModelAlikeInEveryFormat) {
  std::string molfile = kWaterMolfile;
  molfile.replace(0, 5, GetParam().title);
  Write("titled.mol", molfile);
  vthost::ConversionEngine engine(host_);
  const vthost::ConversionRequest request{{}, 0, {vthost::FormNamed("glb"), vthost::FormNamed("usda")}};
  const vthost::Conversion made = engine.Convert(request, folder_ / "titled.mol");
  ASSERT_EQ(made.outputs.size(), 2u);
  const std::string glb = made.outputs[0].bytes.Joined(), usda = made.outputs[1].bytes.Joined();
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  ASSERT_TRUE(loader.LoadBinaryFromMemory(&model, &error, &warning, reinterpret_cast<const unsigned char*>(glb.data()),
                                          static_cast<unsigned>(glb.size())))
      << error;
  const std::string name = SceneRoot(model).name;
#if !defined(_WIN32)  // Windows reads the title in its ANSI code page, where every byte is a character
  EXPECT_NE(name.find("\xEF\xBF\xBD"), std::string::npos) << "made U+FFFD";
#endif
  const std::string prim = vthost::UsdName(name);
  const size_t root = usda.find("\ndef Xform \"" + prim + "\" (");
  ASSERT_NE(root, std::string::npos) << usda;
  EXPECT_EQ(QuotedAfter(usda, "displayName", root), name);
  EXPECT_EQ(QuotedAfter(usda, "defaultPrim", 0), prim);
}

INSTANTIATE_TEST_SUITE_P(NotUtf8, Titles,
                         testing::Values(TitleCase{"CutShort", "w\xC3\x28"}, TitleCase{"Overlong", "w\xC0\xAF"},
                                         TitleCase{"LoneSurrogate", "w\xED\xA0\x80"}),
                         CaseName);

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
