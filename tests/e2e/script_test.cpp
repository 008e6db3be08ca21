// The script language driving the built module, as vantor-host --script does.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "export.h"
#include "molfiles.h"
#include "tempfolder.h"
#include "vthost/script.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class Script : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshTempFolder("vantor-script-");
  }
  void TearDown() override {
    runner_.reset();
    fs::remove_all(folder_);
  }
  bool Run(const std::string& script) {
    out_.str("");
    std::istringstream in(script);
    return runner_->Run(in);
  }
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
  std::string Path(const std::string& name) const { return (folder_ / name).u8string(); }

  vthost::Host host_;
  std::ostringstream out_, err_;
  std::unique_ptr<vthost::ScriptRunner> runner_ = std::make_unique<vthost::ScriptRunner>(
      host_, out_, err_, fs::path(VANTOR_PLUGIN_DIR) / (std::string("vantor") + VANTOR_MODULE_SUFFIX));
  fs::path folder_;
};

TEST_F(Script, SessionSurvivesSaveAndOpen) {
  const std::string source = std::string(VANTOR_SOURCE_DIR) + "/examples/caffeine.mol";
  ASSERT_TRUE(Run("load\nnew m\nset m MOLOBJ_FILE " + source + "\npress m MOLOBJ_LOAD\npress m MOLOBJ_ADD_ROW\n" +
                  "material Red 1 0 0\nlink m MOLOBJ_ROW_MATERIAL[0] Red\nset m MOLOBJ_ROW_TILES_U[0] 2.5\n" +
                  "set m MOLOBJ_PRESET_COLOR_C 0.5 0.25 1\neval\nsave " + Path("doc.vdoc") + "\nopen " +
                  Path("doc.vdoc") + "\ndump caffeine\n"))  // opened objects go by their names
      << err_.str();
  const std::vector<json> printed = Printed();
  ASSERT_EQ(printed.size(), 1u);
  const json& dump = printed[0];
  EXPECT_EQ(dump["name"], "caffeine");  // the title line of the file, read again on open
  EXPECT_EQ(dump["rowCount"], 1);
  EXPECT_EQ(dump["parameters"]["15024"], "Red");
  EXPECT_EQ(dump["parameters"]["15028"], 2.5);
  EXPECT_EQ(dump["presets"].size(), 6u);
  EXPECT_EQ(dump["presets"][0][1], json::array({0.5, 0.25, 1.0}));
  EXPECT_TRUE(host_.Texts(vthost::Event::Kind::Message).empty());
}

TEST_F(Script, DescribeShowsEnablingAndRows) {
  ASSERT_TRUE(Run("load\nnew m\npress m MOLOBJ_ADD_ROW\nset m MOLOBJ_DISPLAY_MODE 2\ndescribe m\n")) << err_.str();
  const json description = Printed().at(0);
  std::map<int, json> entries;
  for (const json& entry : description["entries"]) entries[entry["id"].get<int>()] = entry;
  EXPECT_EQ(entries.at(20002)["enabled"], false);
  EXPECT_EQ(entries.at(20008)["enabled"], true);
  EXPECT_EQ(entries.at(15025)["label"], "Atomic Symbol");
  EXPECT_EQ(entries.at(15031)["type"], "int");
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
  EXPECT_EQ(host_.Texts(vthost::Event::Kind::Question).size(), 2u);
}

TEST_F(Script, CopyAndDeleteAndDanglingLinks) {
  ASSERT_TRUE(Run("load\nnew m\npress m MOLOBJ_ADD_ROW\nmaterial Blue 0 0 1\nlink m MOLOBJ_ROW_MATERIAL[0] Blue\n"
                  "copy m n\ndelete Blue\ndump n\n"))
      << err_.str();
  const json copy = Printed().at(0);
  EXPECT_EQ(copy["parameters"]["15024"], nullptr);  // the link resolves to none
  EXPECT_EQ(copy["rowCount"], 1);
}

TEST_F(Script, DumpShowsTheModelAsTheReportDoesAndNullBeforeAnyEvaluation) {
  std::ofstream(folder_ / "water.mol", std::ios::binary) << kWaterMolfile;
  ASSERT_TRUE(Run("load\nnew m\nset m MOLOBJ_FILE " + Path("water.mol") + "\npress m MOLOBJ_LOAD\ndump m\neval\ndump m\n"))
      << err_.str();
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
  EXPECT_EQ(printed[0]["parameters"]["15025"], "C\xef\xbf\xbd\xef\xbf\xbd");  // each bad byte a U+FFFD
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
  const char* name;
  const char* script;
  const char* reason;
};

class ScriptErrors : public Script, public testing::WithParamInterface<BadLine> {};

TEST_P(ScriptErrors, StopAtTheLineWithAReason) {
  EXPECT_FALSE(Run(GetParam().script));
  EXPECT_NE(err_.str().find(GetParam().reason), std::string::npos) << err_.str();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptErrors,
    testing::Values(BadLine{"NoModule", "new m\n", "line 1: no module loaded"},
                    BadLine{"UnknownCommand", "load\nfly m\n", "line 2: unknown command 'fly'"},
                    BadLine{"UnknownObject", "load\npress x MOLOBJ_LOAD\n", "no object named 'x'"},
                    BadLine{"UnknownParameter", "load\nnew m\nset m MOLOBJ_COLOUR 1\n", "unknown parameter"},
                    BadLine{"WrongValue", "load\nnew m\nset m MOLOBJ_XRAY maybe\n", "not a bool value"},
                    BadLine{"ShortVector", "load\nnew m\nset m MOLOBJ_BOND1_COLOR 1 1\n", "not a colour value"},
                    BadLine{"DuplicateName", "load\nnew m\nnew m\n", "exists already"},
                    BadLine{"MissingDocument", "load\nopen /no/such/file.vdoc\n", "cannot open"},
                    BadLine{"NotADocument", "load\nopen " VANTOR_SOURCE_DIR "/examples/water.mol\n", "not a Vantor document"}),
    [](const testing::TestParamInfo<BadLine>& info) { return std::string(info.param.name); });

}  // namespace
