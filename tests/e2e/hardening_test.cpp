// The built module under pressure: every host allocation of the main flows refused in turn, and
// inputs made to hurt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "builtmodule.h"
#include "export/json.h"
#include "molfiles.h"
#include "rowids.h"
#include "scene/model.h"
#include "vthost/documents.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"

namespace {

namespace fs = std::filesystem;

using vthost::molecule::kFile;
using vthost::molecule::kLoad;
constexpr int32_t kShowNucleus = 20026, kAddRow = 20033;  // MOLOBJ_SHOW_NUCLEUS, MOLOBJ_ADD_ROW
constexpr int32_t kRowMaterial = RowId(0, Row::Material), kRowSymbol = RowId(0, Row::Symbol);

class Hardening : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshTempFolder("vantor-hard-");
    std::string error;
    module_ = vthost::Module::Load(host_, BuiltModule(), &error);
    ASSERT_TRUE(module_ && module_->StartUp(&error)) << error;
    host_.Events().Clear();
  }
  void TearDown() override {
    module_->End();
    module_.reset();
    fs::remove_all(folder_);
  }
  fs::path Write(const std::string& name, const std::string& text) { return WriteFile(folder_ / name, text); }
  // A new object with the file loaded, evaluated; null when the object could not be made.
  VtNode* Load(VtDocument* document, const fs::path& file) {
    VtNode* node = host_.CreateObject(document, vthost::molecule::kType);
    if (node == nullptr) return nullptr;
    host_.SetParameter(node, kFile, vthost::Value(file));
    host_.Press(node, kLoad);
    host_.Evaluate(document);
    return node;
  }
  vthost::Host host_;
  std::unique_ptr<vthost::Module> module_;
  fs::path folder_;
};

// The main flows: create, load, rows and nuclei, evaluate, copy, save, open, evaluate again.
void MainFlows(vthost::Host& host, const fs::path& molecule, const fs::path& document) {
  VtDocument* scene = host.NewDocument();
  VtNode* material = host.CreateMaterial(scene, "Red", {1, 0, 0});
  VtNode* node = host.CreateObject(scene, vthost::molecule::kType);
  if (node != nullptr) {
    host.SetParameter(node, kFile, vthost::Value(molecule));
    host.Press(node, kLoad);
    host.Press(node, kAddRow);
    host.SetParameter(node, kRowSymbol, vthost::Value(std::string("O")));
    host.SetParameter(node, kRowMaterial, vthost::LinkValue{material->serial});
    host.SetParameter(node, kShowNucleus, vthost::Value(true));
    host.Evaluate(scene);
    host.Duplicate(node, "copy");
    host.Evaluate(scene);
  }
  std::string error;
  vthost::SaveDocument(host, scene, document, &error);
  host.CloseDocument(scene);
  if (VtDocument* opened = vthost::OpenDocument(host, document, &error)) {
    host.Evaluate(opened);
    host.CloseDocument(opened);
  }
}

TEST_F(Hardening, EveryAllocationOfTheMainFlowsCanFail) {
  const fs::path molecule = Write("water.mol", kWaterMolfile);
  const fs::path document = folder_ / "flow.vdoc";
  uint64_t swept = 0;
  for (uint64_t n = 1;; ++n) {
    host_.Faults().FailNth(n);
    const uint64_t failuresBefore = host_.Faults().Failures();
    MainFlows(host_, molecule, document);
    const bool failed = host_.Faults().Failures() > failuresBefore;
    host_.Faults().Clear();
    // whatever failed, nothing is left over: every block the module took went back
    ASSERT_EQ(host_.LiveBlocks(), 0) << "after failing allocation " << n;
    ASSERT_EQ(host_.Loose().Count(), 0u) << "after failing allocation " << n;
    if (!failed) break;  // the flow ran past its last allocation
    ++swept;
    ASSERT_LT(n, 1000000u) << "the flows never end";
  }
  RecordProperty("allocations_swept", std::to_string(swept));
  std::cout << "allocation failure points swept: " << swept << "\n";
  // the module still works afterwards
  VtDocument* scene = host_.NewDocument();
  VtNode* node = Load(scene, molecule);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(vthost::Hierarchy(node)->children.size(), 5u);
  host_.CloseDocument(scene);
}

struct HostileFile {
  const char* name;
  std::string text;
  size_t spheres;
};

void PrintTo(const HostileFile& file, std::ostream* out) {
  *out << file.name << ": " << file.text.size() << " bytes -> " << file.spheres << " spheres";
}

std::string Molfile(const std::string& atomLines, const std::string& counts) {
  return "hostile\n\n\n" + counts + "  0  0  0  0  0  0  0  0999 V2000\n" + atomLines + "M  END\n";
}

class HostileFiles : public Hardening, public testing::WithParamInterface<HostileFile> {};

TEST_P(HostileFiles, LoadWithoutHarm) {
  VtDocument* scene = host_.NewDocument();
  VtNode* node = Load(scene, Write("hostile.sdf", GetParam().text));
  ASSERT_NE(node, nullptr);
  const VtNode* root = vthost::Hierarchy(node);
  ASSERT_NE(root, nullptr);
  const auto spheres = std::count_if(root->children.begin(), root->children.end(),
                                     [](const auto& child) { return child->type == VT_OBJECT_POLYGON; });
  EXPECT_EQ(static_cast<size_t>(spheres), GetParam().spheres);
  for (const auto& child : root->children) {
    for (const double value : {child->position.x, child->position.y, child->position.z}) EXPECT_TRUE(std::isfinite(value));
  }
  EXPECT_TRUE(host_.Events().Texts(vthost::Event::Kind::Message).empty());
  host_.CloseDocument(scene);
}

const std::string kAtom = "    1.0000    2.0000    3.0000 C   0  0\n";

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFiles,
    testing::Values(
        HostileFile{"NulBytes", std::string(4096, '\0'), 0},
        HostileFile{"CountsWithoutAtoms", Molfile("", "999999"), 0},
        HostileFile{"HugeCoordinate", Molfile("     1e400    2.0000    3.0000 C   0  0\n" + kAtom, "  2  0"), 2},
        HostileFile{"NotANumberCoordinates", Molfile("       nan       inf      -inf C   0  0\n", "  1  0"), 1},
        HostileFile{"InvalidUtf8Symbol", Molfile("    1.0000    2.0000    3.0000 \xff\xfe   0  0\n" + kAtom, "  2  0"), 1},
        HostileFile{"BondsToNowhere", Molfile(kAtom + kAtom, "  2  3") + "", 2},
        HostileFile{"LongLineThenAtoms", Molfile(std::string(20000, 'x') + "\n" + kAtom, "  2  0"), 0}), CaseName);

TEST_F(Hardening, HundredMegabyteLineIsCutAndTheRestReadsEmpty) {
  const fs::path file = folder_ / "long.sdf";
  {
    std::ofstream out(file, std::ios::binary);
    out << "long title\n\n\n  1  0\n";
    const std::string chunk(1 << 20, '7');
    for (int i = 0; i < 100; ++i) out << chunk;
    out << "\n" << kAtom;
  }
  VtDocument* scene = host_.NewDocument();
  VtNode* node = Load(scene, file);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(vthost::NodeName(node), "long title");
  EXPECT_TRUE(vthost::Hierarchy(node)->children.empty());
  host_.CloseDocument(scene);
}

// A title that is not UTF-8 names the object: the report and the glTF must still be written.
TEST_F(Hardening, ReportAndModelOfATitleThatIsNotUtf8AreWritten) {
  VtDocument* scene = host_.NewDocument();
  std::string molfile = kWaterMolfile;
  molfile.replace(0, 5, "w\xff\xfe");
  VtNode* node = Load(scene, Write("bad-title.mol", molfile));
  ASSERT_NE(node, nullptr);
  const std::string report = vthost::JsonText(vthost::Report(host_, node));
#if !defined(_WIN32)
  // the title reaches the name byte for byte where the platform's 8-bit set is UTF-8; on Windows
  // it is read in the ANSI code page, which makes it UTF-8 by the time it is a name
  EXPECT_EQ(vthost::NodeName(node), "w\xff\xfe");
  EXPECT_NE(report.find("w\xef\xbf\xbd\xef\xbf\xbd"), std::string::npos);
#endif
  std::string error;
  EXPECT_TRUE(vthost::WriteGltf(host_, {vthost::Hierarchy(node), nullptr, {}}, folder_ / "bad-title.glb", &error)) << error;
  host_.CloseDocument(scene);
}

TEST_F(Hardening, TruncatedDocumentsOpenNothingAtEveryLength) {
  VtDocument* scene = host_.NewDocument();
  ASSERT_NE(Load(scene, Write("water.mol", kWaterMolfile)), nullptr);
  const fs::path whole = folder_ / "whole.vdoc";
  std::string error;
  ASSERT_TRUE(vthost::SaveDocument(host_, scene, whole, &error)) << error;
  host_.CloseDocument(scene);
  const std::string bytes = ReadFile(whole);
  for (size_t length = 0; length < bytes.size(); ++length) {
    const fs::path cut = Write("cut.vdoc", bytes.substr(0, length));
    error.clear();
    EXPECT_EQ(vthost::OpenDocument(host_, cut, &error), nullptr) << "at " << length;
    EXPECT_FALSE(error.empty());
  }
  VtDocument* opened = vthost::OpenDocument(host_, whole, &error);
  ASSERT_NE(opened, nullptr) << error;
  host_.CloseDocument(opened);
}

}  // namespace
