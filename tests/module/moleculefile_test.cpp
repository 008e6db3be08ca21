// Loading the file named by MOLOBJ_FILE: the reader by suffix, the messages, the change marks.
#include <algorithm>
#include <cctype>

#include "boundmodule.h"
#include "moleculefile.h"
#include "molfiles.h"
#include "parameterids.h"

namespace vantor {
namespace {

using Kind = vthost::NodeEvent::Kind;

const char* const kLoadError = "An error was encountered when loading the molecule definition file.";
const char* const kUnknownFormat = "Unrecognised file format, molecule definition file cannot be loaded.";

class MoleculeFile : public BoundModule {
 protected:
  void SetUp() override {
    BoundModule::SetUp();
    ASSERT_TRUE(elements_.Load());
    node_ = host_.NewNode("Molecule");
  }
  void TearDown() override {
    elements_ = ElementTable();
    molecule_ = Molecule();
    BoundModule::TearDown();
  }
  // Points MOLOBJ_FILE at path and loads it.
  void LoadPath(const std::filesystem::path& path) {
    Container parameters = Node(node_).Parameters();
    parameters.SetFilename(MOLOBJ_FILE, Filename(String(path.u8string().c_str())));
    EXPECT_TRUE(LoadMoleculeFile(Node(node_), parameters, elements_, molecule_));
  }
  // A molecule loaded before, which a refused file must leave alone.
  void LoadWaterFirst() {
    LoadPath(WriteFile(TempFolder() / "first.sdf", kWaterMolfile));
    ASSERT_EQ(molecule_.atoms.Count(), 3);
    events_before_ = vthost::NodeEvents(node_).size();
    host_.Events().Clear();
  }
  std::vector<vthost::NodeEvent> NewEvents() const {
    const auto& all = vthost::NodeEvents(node_);
    return {all.begin() + static_cast<std::ptrdiff_t>(events_before_), all.end()};
  }

  ElementTable elements_;
  Molecule molecule_;
  VtNode* node_ = nullptr;
  size_t events_before_ = 0;
};

TEST_F(MoleculeFile, SuccessfulReadMarksTheNodeOnceThenNotifiesIt) {
  LoadPath(WriteFile(TempFolder() / "water.sdf", kWaterMolfile));
  EXPECT_EQ(molecule_.atoms.Count(), 3);
  EXPECT_EQ(molecule_.bonds.Count(), 2);
  EXPECT_EQ(vthost::NodeEvents(node_),
            (std::vector<vthost::NodeEvent>{{Kind::Renamed, 1, "water"}, {Kind::Dirty, VT_DIRTY_DATA, ""},
                                            {Kind::Message, VT_MSG_UPDATE, ""}}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(MoleculeFile, SdfAndMolSuffixesReadTheSame) {
  LoadPath(WriteFile(TempFolder() / "water.mol", kWaterMolfile));
  ASSERT_EQ(molecule_.atoms.Count(), 3);
  const Atom viaMol = molecule_.atoms[1];
  LoadPath(WriteFile(TempFolder() / "water.sdf", kWaterMolfile));
  ASSERT_EQ(molecule_.atoms.Count(), 3);
  EXPECT_EQ(molecule_.atoms[1].element, viaMol.element);
  EXPECT_EQ(molecule_.atoms[1].y, viaMol.y);
}

struct RefusedCase {
  const char* name;
  const char* file;
  bool create;
  std::vector<std::string> messages;
  int32_t atoms = 3, bonds = 2;  // the model afterwards: the one loaded before, unless emptied
};

void PrintTo(const RefusedCase& c, std::ostream* out) {
  *out << c.name << ": " << c.file << (c.create ? "" : " (missing)") << " -> \"" << c.messages.back() << '"';
}

class MoleculeFileRefused : public MoleculeFile, public testing::WithParamInterface<RefusedCase> {};

TEST_P(MoleculeFileRefused, ShowTheReasonAndLeaveTheNodeUnmarked) {
  LoadWaterFirst();
  const std::filesystem::path file = TempFolder() / GetParam().file;
  if (GetParam().create) WriteFile(file, kWaterMolfile);  // a readable molfile whatever its suffix
  LoadPath(file);
  EXPECT_EQ(molecule_.atoms.Count(), GetParam().atoms);
  EXPECT_EQ(molecule_.bonds.Count(), GetParam().bonds);
  EXPECT_TRUE(NewEvents().empty());
  EXPECT_EQ(Messages(), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MoleculeFileRefused,
    testing::Values(RefusedCase{"Mol2", "water.mol2", true, {kLoadError}},
                    RefusedCase{"MissingMol2", "missing.mol2", false, {kLoadError}},
                    RefusedCase{"Pdb", "water.pdb", true, {kUnknownFormat}},
                    RefusedCase{"NoSuffix", "water", true, {kUnknownFormat}},
                    RefusedCase{"CapitalSuffix", "water.SDF", true, {kUnknownFormat}},
                    RefusedCase{"TrailingDot", "water.", true, {kUnknownFormat}},
                    // emptied, but not marked changed
                    RefusedCase{"MissingSdfEmptiesTheModel", "missing.sdf", false,
                                {"The .sdf file specified does not exist.", kLoadError}, 0, 0}), CaseName);

TEST_F(MoleculeFile, EmptyFileNameDoesNothing) {
  LoadWaterFirst();
  Container parameters = Node(node_).Parameters();
  parameters.Remove(MOLOBJ_FILE);
  EXPECT_TRUE(LoadMoleculeFile(Node(node_), parameters, elements_, molecule_));
  EXPECT_EQ(molecule_.atoms.Count(), 3);
  EXPECT_TRUE(NewEvents().empty());
  EXPECT_TRUE(Messages().empty());
}

struct ExampleCase {
  const char* file;
  int32_t atoms, bonds;
  const char* title;
};

void PrintTo(const ExampleCase& c, std::ostream* out) {
  *out << c.file << ": " << c.atoms << " atoms, " << c.bonds << " bonds";
}

// benzene.sdf -> Benzene_sdf
std::string ExampleName(const testing::TestParamInfo<ExampleCase>& info) {
  std::string name = info.param.file;
  name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

class ShippedExample : public MoleculeFile, public testing::WithParamInterface<ExampleCase> {};

TEST_P(ShippedExample, ReadsEveryAtomAndBond) {
  LoadPath(SourceDir() / "examples" / GetParam().file);
  EXPECT_EQ(molecule_.atoms.Count(), GetParam().atoms);
  EXPECT_EQ(molecule_.bonds.Count(), GetParam().bonds);
  EXPECT_EQ(vthost::NodeName(node_), GetParam().title);
  for (const Bond& bond : molecule_.bonds) {
    EXPECT_GE(bond.atom1, 1);
    EXPECT_LE(bond.atom1, molecule_.atoms.Count());
    EXPECT_GE(bond.atom2, 1);
    EXPECT_LE(bond.atom2, molecule_.atoms.Count());
  }
  EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Examples, ShippedExample,
                         testing::Values(ExampleCase{"benzene.sdf", 12, 12, "benzene"},
                                         ExampleCase{"caffeine.mol", 24, 25, "caffeine"},
                                         ExampleCase{"water.mol", 3, 2, "water"}),
                         ExampleName);

}  // namespace
}  // namespace vantor
