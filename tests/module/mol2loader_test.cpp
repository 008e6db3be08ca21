// The V2000 reader on molblocks written here: columns, counts, blocks, and every kind of damage.
#include <array>
#include <sstream>

#include "boundmodule.h"
#include "mol2loader.h"

namespace vantor {
namespace {

const char* const kTable = "title\ncolumns\nH,FFFFFF,32,120,79\nC,8F8F8F,77,170,91\nN,2E4FF7,75,160,75\n"
                           "O,FF0D0D,73,155,65\nCl,1FF01F,99,175,79\nBr,A62929,114,185,94\n";
constexpr int32_t kH = 0, kC = 1, kO = 3, kCl = 4, kBr = 5;

// Methanol-like: 3 atoms, 2 bonds; the symbol begins in column 32.
const char* const kThreeAtoms = R"(methanol
  Vantor   12072620003D

  3  2  0  0  0  0  0  0  0  0999 V2000
    0.0000    1.2500   -0.5000 C   0  0  0  0  0  0  0  0  0  0  0  0
    1.4300    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0
   -0.5400   -0.9000    2.0000 H   0  0  0  0  0  0  0  0  0  0  0  0
  1  2  1  0  0  0  0
  1  3  1  0  0  0  0
M  END
)";

struct ReaderCase {
  const char* name;
  std::string text;
  std::vector<int32_t> elements;            // of the atoms kept
  std::vector<std::array<int32_t, 3>> bonds;  // atom1, atom2, type
  std::string title;                          // the node's name afterwards ("keep" when unchanged)
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
  *out << c.name << ": " << c.elements.size() << " atoms, " << c.bonds.size() << " bonds, named \"" << c.title
       << '"';
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

const std::vector<ReaderCase>& Cases() {
  static const std::vector<ReaderCase> cases = {
      {"ThreeAtoms", kThreeAtoms, {kC, kO, kH}, {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"WindowsLineEnds", WithCrLf(kThreeAtoms), {kC, kO, kH}, {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"SymbolOneColumnEarly", Replace(kThreeAtoms, "-0.5000 C  ", "-0.5000C   "), {kC, kO, kH},
       {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"TwoLetterSymbols",
       Replace(Replace(kThreeAtoms, "0.0000 O  ", "0.0000 Cl "), "2.0000 H  ", "2.0000 Br "),
       {kC, kCl, kBr}, {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"CapitalSymbolIsUnknown", Replace(kThreeAtoms, "0.0000 O  ", "0.0000 CL "), {kC, kH},
       {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"UnknownSymbolDropsTheAtomOnly", Replace(kThreeAtoms, "0.0000 O  ", "0.0000 Xx "), {kC, kH},
       {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"ChargesHaveNoEffect",
       Replace(Replace(kThreeAtoms, "O   0  0", "O   0  5"), "M  END", "M  CHG  1   2  -1\nM  END"),
       {kC, kO, kH}, {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"OnlyTheFirstMolecule", std::string(kThreeAtoms) + "$$$$\n" + Replace(kThreeAtoms, "methanol", "second"),
       {kC, kO, kH}, {{1, 2, 1}, {1, 3, 1}}, "methanol"},
      {"BondOrdersKeptAsWritten", Replace(Replace(kThreeAtoms, "  1  2  1", "  1  2  2"), "  1  3  1", "  1  3  9"),
       {kC, kO, kH}, {{1, 2, 2}, {1, 3, 9}}, "methanol"},
      {"V3000CountsAreZero",
       "v3\n  prog\n\n  0  0  0     0  0            999 V3000\nM  V30 BEGIN CTAB\nM  V30 COUNTS 1 0 0 0 0\n", {}, {},
       "v3"},
      {"TitleOnly", "lonely", {}, {}, "lonely"},
      {"EmptyFile", "", {}, {}, "keep"},
      {"EmptyTitleKeepsTheName", Replace(kThreeAtoms, "methanol", ""), {kC, kO, kH}, {{1, 2, 1}, {1, 3, 1}}, "keep"},
      {"ShortCountsLine", "short\n\n\n  3  \n", {}, {}, "short"},
      {"CountsNotNumbers", "nan\n\n\nabcdef\n", {}, {}, "nan"},
      {"NegativeCounts", Replace(kThreeAtoms, "  3  2  0", " -3 -2  0"), {}, {}, "methanol"},
      // the missing lines read as empty: no atom, and bonds of zeros
      {"MoreAtomsAnnouncedThanPresent", Replace(kThreeAtoms, "  3  2  0", "  5  2  0"), {kC, kO, kH}, {{0, 0, 0}, {0, 0, 0}},
       "methanol"},
      {"EndsInsideTheAtomBlock", std::string(kThreeAtoms).substr(0, std::string(kThreeAtoms).find("   -0.54")),
       {kC, kO}, {{0, 0, 0}, {0, 0, 0}}, "methanol"},
      // a line over the limit is cut and fails the stream: every later line reads as empty
      {"LineOverTheLimit",
       Replace(kThreeAtoms, "O   0  0  0  0  0  0  0  0  0  0  0  0", "O   " + std::string(9990, '0')),
       {kC, kO}, {{0, 0, 0}, {0, 0, 0}}, "methanol"},
  };
  return cases;
}

class SdfReading : public BoundModule, public testing::WithParamInterface<ReaderCase> {
 protected:
  void SetUp() override {
    BoundModule::SetUp();
    std::istringstream in(kTable);
    table_.LoadFrom(in);
  }
  void TearDown() override {
    table_ = ElementTable();  // module values go back to the host before it unbinds
    BoundModule::TearDown();
  }
  ElementTable table_;
};

TEST_P(SdfReading, KeepsWhatTheFileHolds) {
  VtNode* node = host_.NewNode("keep");
  std::istringstream in(GetParam().text);
  Molecule molecule;
  SdfLoader().ReadFrom(in, Node(node), table_, molecule.atoms, molecule.bonds);
  EXPECT_EQ(Each(molecule.atoms, &Atom::element), GetParam().elements);
  const auto bond = [](const Bond& b) { return std::array<int32_t, 3>{b.atom1, b.atom2, b.type}; };
  EXPECT_EQ(Each(molecule.bonds, bond), GetParam().bonds);
  EXPECT_EQ(vthost::NodeName(node), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Files, SdfReading, testing::ValuesIn(Cases()), CaseName);

using SdfFile = SdfReading;

TEST_F(SdfFile, ReadOpensTheFileTakesTheCoordinatesRenamesTheNodeAndMarksNothing) {
  const auto file = WriteFile(TempFolder() / "methanol.sdf", kThreeAtoms);
  VtNode* node = host_.NewNode("Molecule");
  Molecule molecule;
  EXPECT_TRUE(SdfLoader().Read(Node(node), Filename(String(file.u8string().c_str())), table_, molecule.atoms,
                               molecule.bonds));
  ASSERT_EQ(molecule.atoms.Count(), 3);
  EXPECT_EQ(molecule.bonds.Count(), 2);
  // the coordinates come from the first thirty columns
  EXPECT_DOUBLE_EQ(molecule.atoms[0].y, 1.25);
  EXPECT_DOUBLE_EQ(molecule.atoms[0].z, -0.5);
  EXPECT_DOUBLE_EQ(molecule.atoms[1].x, 1.43);
  EXPECT_DOUBLE_EQ(molecule.atoms[2].x, -0.54);
  EXPECT_DOUBLE_EQ(molecule.atoms[2].z, 2.0);
  EXPECT_EQ(vthost::NodeEvents(node),
            (std::vector<vthost::NodeEvent>{{vthost::NodeEvent::Kind::Renamed, 1, "methanol"}}));
  EXPECT_TRUE(Messages().empty());
}

class SdfFailure : public SdfReading {
 protected:
  void ExpectFailure(const std::filesystem::path& file, const char* message) {
    VtNode* node = host_.NewNode("kept");
    Molecule molecule;
    std::istringstream in(kThreeAtoms);  // a previous molecule, which a failed read must empty
    SdfLoader().ReadFrom(in, Node(nullptr), table_, molecule.atoms, molecule.bonds);
    EXPECT_FALSE(SdfLoader().Read(Node(node), Filename(String(file.u8string().c_str())), table_, molecule.atoms,
                                  molecule.bonds));
    EXPECT_EQ(molecule.atoms.Count(), 0);
    EXPECT_EQ(molecule.bonds.Count(), 0);
    EXPECT_EQ(vthost::NodeName(node), "kept");
    EXPECT_EQ(Messages(), std::vector<std::string>{message});
    // the loader goes on reading: the next file loads
    const auto good = WriteFile(TempFolder() / "good.sdf", kThreeAtoms);
    EXPECT_TRUE(SdfLoader().Read(Node(node), Filename(String(good.u8string().c_str())), table_, molecule.atoms,
                                 molecule.bonds));
    EXPECT_EQ(molecule.atoms.Count(), 3);
  }
};

TEST_F(SdfFailure, MissingFile) { ExpectFailure(TempFolder() / "missing.sdf", "The .sdf file specified does not exist."); }

TEST_F(SdfFailure, FolderNamedLikeAFile) {
  const auto folder = TempFolder() / "x.sdf";
  std::filesystem::create_directories(folder);
  ExpectFailure(folder, "The .sdf file specified does not exist.");
}

TEST_F(SdfFailure, PathTooLongForTheBufferIsNotCutIntoAnotherFile) {
  const std::filesystem::path top = TempFolder();
  std::filesystem::path folder = top;
  while (folder.u8string().size() < 990) folder /= std::string(200, 'd');
  const auto file = WriteFile(folder / (std::string(40, 'm') + ".sdf"), kThreeAtoms);
  ASSERT_GT(file.u8string().size(), 999u);
  ExpectFailure(file, "Failed to open the .sdf file.");
  RemoveUpward(file, top);
}

// There when its existence is tested, gone when it is opened: unreadable for every account (a missing
// read permission would not stop root).
TEST_F(SdfFailure, UnreadableFile) {
  const auto file = WriteFile(TempFolder() / "taken.sdf", kThreeAtoms);
  host_.Options().afterExistenceTest = [&](const std::string&) { std::filesystem::remove(file); };
  ExpectFailure(file, "Failed to open the .sdf file.");
  host_.Options().afterExistenceTest = nullptr;
}

}  // namespace
}  // namespace vantor
