// The script language driving the built module, as vantor-host --script does.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "builtmodule.h"
#include "export/json.h"
#include "molfiles.h"
#include "rowids.h"
#include "scene/model.h"
#include "vthost/report.h"
#include "vthost/module.h"
#include "vthost/molecule.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class Script : public ScriptSession {
 protected:
  // Each JSON document the script printed.
  std::vector<json> Printed() const {
    std::vector<json> documents;
    std::istringstream in(out_.str());
    std::string text, line;
    while (std::getline(in, line)) {
      text += line + "\n";
      if (line == "}") {
        documents.push_back(json::parse(text));
        text.clear();
      }
    }
    return documents;
  }
};

TEST_F(Script, SessionSurvivesSaveAndOpen) {
  ASSERT_TRUE(Run(LoadInto(VANTOR_SOURCE_DIR "/examples/caffeine.mol") + "press m MOLOBJ_ADD_ROW\n" +
                  "material Red 1 0 0\nlink m MOLOBJ_ROW_MATERIAL[0] Red\nset m MOLOBJ_ROW_TILES_U[0] 2.5\n" +
                  "set m MOLOBJ_PRESET_COLOR_C 0.5 0.25 1\neval\nsave " + Path("doc.vdoc") + "\nopen " +
                  Path("doc.vdoc") + "\nsave " + Path("doc.vdoc") +  // an opened document is no input: replaced whole
                  "\ndump caffeine\n"))  // opened objects go by their names
      << err_.str();
  const std::vector<json> printed = Printed();
  ASSERT_EQ(printed.size(), 1u);
  const json& dump = printed[0];
  EXPECT_EQ(dump["name"], "caffeine");  // the title line of the file, read again on open
  EXPECT_EQ(dump["rowCount"], 1);
  EXPECT_EQ(dump["parameters"][RowKey(0, Row::Material)], "Red");
  EXPECT_EQ(dump["parameters"][RowKey(0, Row::TilesU)], 2.5);
  EXPECT_EQ(dump["presets"].size(), 6u);
  EXPECT_EQ(dump["presets"][0][1], json::array({0.5, 0.25, 1.0}));
  EXPECT_TRUE(host_.Events().Texts(vthost::Event::Kind::Message).empty());
}

TEST_F(Script, DescribeShowsEnablingAndRows) {
  ASSERT_TRUE(Run("load\nnew m\npress m MOLOBJ_ADD_ROW\nset m MOLOBJ_DISPLAY_MODE 2\ndescribe m\n")) << err_.str();
  const json description = Printed().at(0);
  std::map<int, json> entries;
  for (const json& entry : description["entries"]) entries[entry["id"].get<int>()] = entry;
  EXPECT_EQ(entries.at(20002)["enabled"], false);
  EXPECT_EQ(entries.at(20008)["enabled"], true);
  EXPECT_EQ(entries.at(RowId(0, Row::Symbol))["label"], "Atomic Symbol");
  EXPECT_EQ(entries.at(RowId(0, Row::Projection))["type"], "int");
  EXPECT_EQ(entries.at(20002)["name"], "MOLOBJ_RADIUS_MODE");
}

TEST_F(Script, RestoreFollowsTheAnswer) {
  ASSERT_TRUE(Run("load\nnew m\nset m MOLOBJ_PRESET_COLOR_H 0 0 0\neval\npress m MOLOBJ_RESTORE_PRESET\ndump m\n"
                  "answer yes\npress m MOLOBJ_RESTORE_PRESET\ndump m\n"))
      << err_.str();
  const std::vector<json> printed = Printed();
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0]["parameters"]["20015"], json::array({0.0, 0.0, 0.0}));
  EXPECT_EQ(printed[1]["parameters"]["20015"], json::array({0.9, 0.84, 0.72}));
  EXPECT_EQ(host_.Events().Texts(vthost::Event::Kind::Question).size(), 2u);
}

TEST_F(Script, CopyAndDeleteAndDanglingLinks) {
  ASSERT_TRUE(Run("load\nnew m\npress m MOLOBJ_ADD_ROW\nmaterial Blue 0 0 1\nlink m MOLOBJ_ROW_MATERIAL[0] Blue\n"
                  "copy m n\ndelete Blue\ndump n\n"))
      << err_.str();
  const json copy = Printed().at(0);
  EXPECT_EQ(copy["parameters"][RowKey(0, Row::Material)], nullptr);  // the link resolves to none
  EXPECT_EQ(copy["rowCount"], 1);
}

TEST_F(Script, DumpShowsTheModelAsTheReportDoesAndNullBeforeAnyEvaluation) {
  ASSERT_TRUE(Run(LoadInto(Write("water.mol", kWaterMolfile)) + "dump m\neval\ndump m\n")) << err_.str();
  const std::vector<json> printed = Printed();
  ASSERT_EQ(printed.size(), 2u);
  ASSERT_TRUE(printed[0].contains("hierarchy"));
  EXPECT_EQ(printed[0]["hierarchy"], nullptr);  // loaded, not yet evaluated
  const json& hierarchy = printed[1]["hierarchy"];
  EXPECT_EQ(hierarchy["type"], "null");
  EXPECT_EQ(hierarchy["children"].size(), 5u);  // three atoms, two bonds
  VtNode* node = host_.FindByName(runner_->Document(), "water");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(hierarchy, vthost::Report(host_, node)["hierarchy"]);
  // what dump printed before stays
  for (const char* key : {"name", "rowCount", "presets", "parameters"}) EXPECT_TRUE(printed[1].contains(key)) << key;
}

// nlohmann's strict dump threw on text that is not UTF-8, ending the process
TEST_F(Script, DumpOfTextThatIsNotUtf8IsWritten) {
  ASSERT_TRUE(Run("load\nnew m\npress m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_SYMBOL[0] C\xff\xfe\ndump m\ndescribe m\n"))
      << err_.str();
  const std::vector<json> printed = Printed();
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0]["parameters"][RowKey(0, Row::Symbol)], "C\xef\xbf\xbd\xef\xbf\xbd");  // each bad byte a U+FFFD
}

// On Windows std::filesystem::u8path throws for text that is not UTF-8 (here an e-acute of the
// ANSI code page, a lead byte without its continuation), which ended the process.
TEST_F(Script, PathThatIsNotUtf8NeverThrows) {
  bool ran = false;
  const std::string file = folder_.u8string() + "/caf\xe9-bad.sdf";  // not through a path: no conversion
  EXPECT_NO_THROW(ran = Run("load\nnew m\nset m MOLOBJ_FILE " + file + "\n"));
#if defined(_WIN32)
  EXPECT_FALSE(ran);  // the line fails with a reason
  EXPECT_NE(err_.str().find("line 3: "), std::string::npos) << err_.str();
#else
  EXPECT_TRUE(ran) << err_.str();  // file names are bytes here
#endif
}

struct BadLine {
  std::string name;
  std::string script;
  std::string reason;
};

void PrintTo(const BadLine& line, std::ostream* out) { *out << line.name; }

class ScriptErrors : public Script, public testing::WithParamInterface<BadLine> {};

TEST_P(ScriptErrors, StopAtTheLineWithAReason) {
  EXPECT_FALSE(Run(GetParam().script));
  EXPECT_NE(err_.str().find(GetParam().reason), std::string::npos) << err_.str();
}

const std::string kRows = "load\nnew m\nmaterial R 1 0 0\n";

const BadLine kBadLines[] = {
    {"NoModule", "new m\n", "line 1: no module loaded"},
    {"UnknownCommand", "load\nfly m\n", "line 2: unknown command 'fly'"},
    {"UnknownObject", "load\npress x MOLOBJ_LOAD\n", "no object named 'x'"},
    {"UnknownParameter", "load\nnew m\nset m MOLOBJ_COLOUR 1\n", "unknown parameter"},
    {"WrongValue", "load\nnew m\nset m MOLOBJ_XRAY maybe\n", "not a bool value"},
    {"ShortVector", "load\nnew m\nset m MOLOBJ_BOND1_COLOR 1 1\n", "not a colour value"},
    {"DuplicateName", "load\nnew m\nnew m\n", "exists already"},
    {"MissingDocument", "load\nopen /no/such/file.vdoc\n", "cannot open"},
    {"NotADocument", "load\nopen " VANTOR_SOURCE_DIR "/examples/water.mol\n", "not a Vantor document"},
    // ids from row 249 on are the object's own parameters (display mode, bond radius ...)
    {"SetOfRow249", kRows + "set m MOLOBJ_ROW_OFFSET_U[249] 2\n",
     "line 4: no row 249 in 'MOLOBJ_ROW_OFFSET_U[249]': an object has at most 249 material rows, 0 to 248"},
    {"LinkIntoRow249", kRows + "link m MOLOBJ_ROW_MATERIAL[249] R\n", "at most 249 material rows"},
    {"NegativeRow", kRows + "set m MOLOBJ_ROW_TILES_U[-1] 2\n", "no row -1"},
    {"LinkIntoAnInteger", kRows + "link m MOLOBJ_SEGMENTS R\n", "'MOLOBJ_SEGMENTS' is an int parameter, not a link"},
    {"LinkIntoAnUnshownId", kRows + "link m 12345 R\n", "is no parameter the object shows, so not a link"},
    {"PressOfAFloat", kRows + "press m MOLOBJ_BOND_RADIUS\n", "is a float parameter, not a button"},
    {"PressOfARowSymbol", kRows + "press m MOLOBJ_ROW_SYMBOL[0]\n", "is a string parameter, not a button"},
    {"NoIntValue", "load\nnew m\nset m MOLOBJ_SEGMENTS\n", "'' is not an int value"},
    {"ModuleNamedByTheRestOfTheLine", "load /no such/module.so\n", "/no such/module.so"},
    {"WordsAfterEval", "load\neval now\n", "line 2: usage: eval"},
    {"WordsAfterUnload", "load\nunload now\n", "line 2: usage: unload"},
    {"SetWithoutValue", "load\nset m\n", "line 2: usage: set NAME PARAM VALUE"},
    {"AnswerMaybe", "load\nanswer maybe\n", "line 2: usage: answer yes|no"},
    {"MaterialOfNoColour", "load\nmaterial R 1 x 0\n", "line 2: usage: material NAME R G B"},
    {"OpenOfAFolder", "load\nopen " VANTOR_SOURCE_DIR "\n", "a folder"},
    {"LineTooLong", "load\n# " + std::string(size_t{1} << 20, 'x') + "\n",
     "line 2: longer than 1048576 bytes, the most a script line may hold"},
};

INSTANTIATE_TEST_SUITE_P(Lines, ScriptErrors, testing::ValuesIn(kBadLines), CaseName);

// A number that is not one, as the host's interface or a damaged document gives it: a colour goes
// into neither the glTF nor the report, and the refusal names what holds it; a document holding
// any such number (a radius that would hide every atom too) is refused on opening, naming it.
struct NanNumber {
  std::string name;
  std::string edits;   // after water is loaded into m
  int32_t id;          // the parameter made NaN; 0: the colour of the material R
  std::string source;  // as the glTF's refusal names it; empty for no colour
  std::string opened;  // as the document's refusal names it
};

void PrintTo(const NanNumber& c, std::ostream* out) { *out << c.name; }

class NanNumbers : public Script, public testing::WithParamInterface<NanNumber> {};

TEST_P(NanNumbers, RefusedNamingWhatHoldsThem) {
  const NanNumber& c = GetParam();
  ASSERT_TRUE(Run(LoadInto(Write("water.mol", kWaterMolfile)) + c.edits)) << err_.str();
  const VtVector nan{std::nan(""), 0.5, 0.5};
  VtNode* water = host_.FindByName(runner_->Document(), "water");
  if (c.id == 0) {
    host_.FindByName(runner_->Document(), "R")->colour = nan;
  } else if (c.source.empty()) {
    host_.SetParameter(water, c.id, std::nan(""));
  } else {
    host_.SetParameter(water, c.id, nan);
  }
  if (!c.source.empty()) {
    EXPECT_FALSE(Run("eval\nexport water " + Path("t.glb")));
    EXPECT_NE(err_.str().find("' has a colour that is not a finite number, from " + c.source), std::string::npos)
        << err_.str();
    EXPECT_FALSE(fs::exists(folder_ / "t.glb"));
    std::ostringstream report;
    std::string error;
    const bool written = vthost::WriteReport(host_, water, report, nullptr, &error);
    EXPECT_EQ(written, c.id == 0) << "a material's colour is no part of the report";
    EXPECT_EQ(error.find("in \"color\" of '") != std::string::npos, !written) << error;
  }
  ASSERT_TRUE(Run("save " + Path("nan.vdoc"))) << err_.str();
  EXPECT_FALSE(Run("open " + Path("nan.vdoc")));
  EXPECT_NE(err_.str().find("nan.vdoc: " + c.opened), std::string::npos) << err_.str();
  EXPECT_EQ(host_.FindByName(runner_->Document(), "water"), water) << "the document held is kept";
}

INSTANTIATE_TEST_SUITE_P(
    Sources, NanNumbers,
    testing::Values(NanNumber{"BondColour", "", 20009, "MOLOBJ_BOND1_COLOR",
                              "'water' holds a number that is not finite in MOLOBJ_BOND1_COLOR"},
                    NanNumber{"NucleusColour", "set m MOLOBJ_SHOW_NUCLEUS true\n", 20029, "MOLOBJ_NUCLEUS_COLOR",
                              "'water' holds a number that is not finite in MOLOBJ_NUCLEUS_COLOR"},
                    NanNumber{"PresetColour", "set m MOLOBJ_COLOR_MODE 1\n", 20017, "MOLOBJ_PRESET_COLOR_O",
                              "'water' holds a number that is not finite in MOLOBJ_PRESET_COLOR_O"},
                    NanNumber{"MaterialColour",
                              "material R 1 0 0\npress m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_SYMBOL[0] O\n"
                              "link m MOLOBJ_ROW_MATERIAL[0] R\n",
                              0, "the material 'R'", "the material 'R' has a colour that is not finite"},
                    // both hid every atom or nucleus, status 0
                    NanNumber{"AtomRadius", "", 20003, "", "'water' holds a number that is not finite in MOLOBJ_ATOM_RADIUS"},
                    NanNumber{"NucleusFactor", "set m MOLOBJ_SHOW_NUCLEUS true\n", 20027, "",
                              "'water' holds a number that is not finite in MOLOBJ_NUCLEUS_FACTOR"}),
    CaseName);

// The description a script sees is built again whenever what it depends on changed: the row count
// and each row's initialised flag, set by the script or by the object.
struct DescriptionCase {
  std::string name;
  std::string edits;  // after "load\nnew m\n"
  std::string id;     // a parameter of the dump that follows
  json value;
};

void PrintTo(const DescriptionCase& c, std::ostream* out) { *out << c.name; }

class ShownDescription : public Script, public testing::WithParamInterface<DescriptionCase> {};

TEST_P(ShownDescription, FollowsWhatItDependsOn) {
  ASSERT_TRUE(Run("load\nnew m\n" + GetParam().edits + "dump m\n")) << err_.str();
  EXPECT_EQ(Printed().at(0)["parameters"][GetParam().id], GetParam().value);
}

const DescriptionCase kDescriptionCases[] = {
    // row 1 gets its defaults from the next description
    {"RowCountSetByTheScript", "set m MOLOBJ_BOND_RADIUS 4\nset m MOLOBJ_ROW_COUNT 2\nset m MOLOBJ_BOND_RADIUS 5\n",
     RowKey(1, Row::UseMaterial), true},
    {"RowAddedByTheObject", "set m MOLOBJ_BOND_RADIUS 4\npress m MOLOBJ_ADD_ROW\npress m MOLOBJ_ADD_ROW\n",
     RowKey(1, Row::TilesU), 1.0},
    {"EditsKeepARowsValues", "press m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_TILES_U[0] 2.5\nset m MOLOBJ_BOND_RADIUS 4\n",
     RowKey(0, Row::TilesU), 2.5},
    {"InitialisedFlagCleared",
     "press m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_TILES_U[0] 2.5\nset m MOLOBJ_ROW_INITIALISED[0] false\n"
     "set m MOLOBJ_BOND_RADIUS 4\n", RowKey(0, Row::TilesU), 1.0},
    {"RowRemovedAndAddedAgain",
     "press m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_TILES_U[0] 2.5\npress m MOLOBJ_REMOVE_ROW\npress m MOLOBJ_ADD_ROW\n",
     RowKey(0, Row::TilesU), 1.0},
};

INSTANTIATE_TEST_SUITE_P(Edits, ShownDescription, testing::ValuesIn(kDescriptionCases), CaseName);

// The fuzzer's runs: save and open of plain names inside a folder of the run's own, nothing else,
// with a module started once for every run.
TEST_F(Script, SandboxedRunSavesAndOpensInItsFolder) {
  std::string error;
  std::unique_ptr<vthost::Module> module = vthost::Module::Load(host_, BuiltModule(), &error);
  ASSERT_TRUE(module && module->StartUp(&error)) << error;
  runner_->Sandbox(folder_);
  runner_->ShareModule(module.get());
  ASSERT_TRUE(Run("load\nnew m\npress m MOLOBJ_ADD_ROW\nsave doc.vdoc\nunload\nload\nopen doc.vdoc\ndump m\n"))
      << err_.str();
  EXPECT_TRUE(fs::is_regular_file(folder_ / "doc.vdoc"));
  EXPECT_EQ(Printed().at(0)["rowCount"], 1);
  runner_.reset();
  EXPECT_NE(host_.Types().Find(vthost::molecule::kType), nullptr);  // unload left the module started
  module->End();
}

class SandboxRefuses : public Script, public testing::WithParamInterface<BadLine> {};

TEST_P(SandboxRefuses, FilesOutsideItsFolder) {
  runner_->Sandbox(folder_ / "scratch");
  std::string script = GetParam().script;
  if (const size_t at = script.find("{dir}"); at != std::string::npos) script.replace(at, 5, folder_.u8string());
  EXPECT_FALSE(Run(script));
  EXPECT_NE(err_.str().find(GetParam().reason), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(folder_ / "escaped.vdoc"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SandboxRefuses,
    testing::Values(BadLine{"ParentFolder", "load\nsave ../escaped.vdoc\n", "may only name a file in this run's own folder"},
                    BadLine{"BackslashParent", "load\nsave ..\\escaped.vdoc\n", "may only name a file"},
                    BadLine{"WholePath", "load\nsave {dir}/escaped.vdoc\n", "may only name a file"},
                    BadLine{"DotDot", "load\nopen ..\n", "may only name a file"},
                    BadLine{"Module", "load " VANTOR_SOURCE_DIR "/x.so\n", "'load' names a file"}), CaseName);

}  // namespace
