// A plug-in folder and a molecule file whose names go beyond ASCII: on Windows every path crosses
// the seam as UTF-8 and is opened by its UTF-16 name, so nothing depends on the ANSI code page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "export/json.h"
#include "molfiles.h"
#include "tempfolder.h"
#include "scene/model.h"
#include "vthost/host.h"
#include "vthost/molecule.h"

namespace {

namespace fs = std::filesystem;

using vthost::molecule::kFile;
using vthost::molecule::kLoad;

// Written as UTF-8 bytes, so the names do not depend on the compiler's source character set.
const char* const kPluginFolder = "plug-\xc3\xa9-\xe5\x88\x86\xe5\xad\x90";                  // plug-é-分子
const char* const kMoleculeFolder = "donn\xc3\xa9" "es-\xce\xa9";                             // données-Ω
const char* const kMoleculeFile = "caf\xc3\xa9-\xe5\x88\x86\xe5\xad\x90.sdf";                // café-分子.sdf

// The report of water read by the vantor module copied into plugin, from the file molecule.
nlohmann::json ReportFrom(const fs::path& plugin, const fs::path& molecule) {
  fs::create_directories(plugin);
  const std::string moduleName = vthost::ModuleFileName("vantor");
  fs::copy_file(fs::path(VANTOR_PLUGIN_DIR) / moduleName, plugin / moduleName);
  fs::copy(fs::path(VANTOR_PLUGIN_DIR) / "res", plugin / "res", fs::copy_options::recursive);
  fs::create_directories(molecule.parent_path());
  std::ofstream(molecule, std::ios::binary) << kWaterMolfile;

  vthost::Host host;
  std::string error;
  std::unique_ptr<vthost::Module> module = vthost::Module::Load(host, plugin / moduleName, &error);
  EXPECT_TRUE(module) << error;
  if (!module) return nullptr;
  EXPECT_TRUE(module->StartUp());
  VtDocument* document = host.NewDocument();
  VtNode* node = host.CreateObject(document, vthost::molecule::kType, "Molecule");
  nlohmann::json report;
  if (node != nullptr) {
    host.SetParameter(node, kFile, vthost::Value(molecule));
    host.Press(node, kLoad);
    host.Evaluate(document);
  }
  report = vthost::Report(host, node);
  host.CloseDocument(document);
  module->End();
  return report;
}

TEST(UnicodePaths, PluginFolderAndMoleculeBeyondAsciiGiveTheSameReport) {
  const fs::path folder = FreshTempFolder("vantor-");
  const nlohmann::json plain = ReportFrom(folder / "plain" / "plugin", folder / "plain" / "water.sdf");
  const nlohmann::json wide = ReportFrom(folder / fs::u8path(kPluginFolder),
                                         folder / fs::u8path(kMoleculeFolder) / fs::u8path(kMoleculeFile));
  EXPECT_EQ(wide["messages"], nlohmann::json::array());  // the element table and the file were opened
  EXPECT_EQ(wide["name"], "water");
  EXPECT_EQ(wide["atoms"], 3);
  EXPECT_EQ(wide["bonds"], 2);
  EXPECT_TRUE(wide == plain) << "the hierarchies differ";
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
