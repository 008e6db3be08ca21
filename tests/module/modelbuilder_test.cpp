// The ball-and-stick hierarchy as the host receives it: structure, sizes, positions, the cache, and
// what each refused allocation leaves out.
#include "builtmodel.h"
#include "vthost/molecule.h"

namespace vantor {
namespace {

using vthost::Value;

using ModelBuilder = BuiltModel;

// What a build makes of a molfile under a few settings (the rest as a new object has them).
struct ShapeCase {
  const char* name;
  const char* molfile;  // null: never loaded
  std::vector<std::pair<int32_t, Value>> settings;
  std::vector<std::string> children;  // of the root, bonds as "bond"
  VtVector first;                     // where the first child sits: its position, or a bond's start
};

void PrintTo(const ShapeCase& c, std::ostream* out) { *out << c.name << ": " << c.children.size() << " children"; }

class Shapes : public ModelBuilder, public testing::WithParamInterface<ShapeCase> {};

// Under one null: nuclei first in reverse atom order, then atoms, then bonds, each with its phong tag
// and, but for the nuclei, the update message; the atoms centred on the box of all atoms, shown or
// not; spheres of the fixed radius 25 with 24 segments; a nucleus at its atom, 0.35 of its size.
TEST_P(Shapes, FollowTheMoleculeAndTheSettings) {
  VtNode* node = GetParam().molfile ? Loaded(GetParam().molfile) : NewMolecule();
  for (const auto& [id, value] : GetParam().settings) Set(node, id, value);
  const VtNode* root = Build(node);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->type, VT_OBJECT_NULL);
  ASSERT_EQ(ChildNames(root), GetParam().children);
  for (const auto& child : root->children) {
    SCOPED_TRACE(child->name);
    ASSERT_FALSE(child->tags.empty());
    EXPECT_EQ(child->tags[0]->type, VT_TAG_PHONG);
    const std::string& name = child->name;
    const bool nucleus = vthost::molecule::IsNucleusName(name);
    std::vector<int32_t> messages;
    for (const auto& event : vthost::NodeEvents(child.get())) {
      if (event.kind == vthost::NodeEvent::Kind::Message) messages.push_back(event.value);
    }
    EXPECT_EQ(messages, nucleus ? std::vector<int32_t>{} : std::vector<int32_t>{VT_MSG_UPDATE});
    if (child->type == VT_OBJECT_SWEEP) continue;
    EXPECT_EQ(child->primitive->type, VT_PRIMITIVE_SPHERE);
    EXPECT_DOUBLE_EQ(child->primitive->radius, nucleus ? 25.0 * 0.35 : 25.0);
    EXPECT_EQ(child->primitive->segments, 24);
    const VtNode* atom = nucleus ? Child(root, name.substr(0, name.find(' '))) : child.get();
    ASSERT_NE(atom, nullptr);
    EXPECT_EQ(child->position, atom->position);
  }
  if (root->children.empty()) return;
  const VtNode& first = *root->children[0];
  const VtVector where = first.type == VT_OBJECT_SWEEP ? first.children.at(1)->spline->points.at(0) : first.position;
  EXPECT_EQ(where, GetParam().first);
}

// kChain's atoms span x from -1 to 3 and y from -1 to 1: C sits at -100, N at (-200, -100).
const ShapeCase kShapes[] = {
    {"NeverLoaded", nullptr, {}, {}, {}},
    {"AtomsThenBonds", kChain, {}, {"C", "O", "S", "H", "N", "bond", "bond", "bond", "bond"}, {-100, 0, 0}},
    {"NucleiFirstInReverseOrder", kChain, {{MOLOBJ_SHOW_NUCLEUS, true}},
     {"N nucleus", "H nucleus", "S nucleus", "O nucleus", "C nucleus", "C", "O", "S", "H", "N", "bond", "bond", "bond",
      "bond"}, {-200, -100, 0}},
    {"AtomsOnly", kChain, {{MOLOBJ_SHOW_NUCLEUS, true}, {MOLOBJ_DISPLAY_MODE, int32_t{kDisplayAtomsOnly}}},
     {"N nucleus", "H nucleus", "S nucleus", "O nucleus", "C nucleus", "C", "O", "S", "H", "N"}, {-200, -100, 0}},
    {"BondsOnlyPlacedAsWithAtoms", kChain,
     {{MOLOBJ_SHOW_NUCLEUS, true}, {MOLOBJ_DISPLAY_MODE, int32_t{kDisplayBondsOnly}}},
     {"bond", "bond", "bond", "bond"}, {-100, 0, 0}},
    {"HiddenHydrogensKeepTheCentre", kChain, {{MOLOBJ_SHOW_HYDROGENS, false}},
     {"C", "O", "S", "N", "bond", "bond", "bond"}, {-100, 0, 0}},
    {"OneAtomAtTheOrigin", "one\n\n\n  1  0\n    4.0000   -2.0000    7.5000 Fe  0  0\n", {}, {"Fe"}, {}},
    {"BondsNamingMissingAtomsLeftOut",
     "b\n\n\n  2  5\n    0.0000    0.0000    0.0000 C   0\n    1.0000    0.0000    0.0000 C   0\n"
     "  1  2  1\n  0  1  1\n -1  2  1\n  1999  1\n  2  3  1\n", {}, {"C", "C", "bond"}, {-50, 0, 0}},
};

INSTANTIATE_TEST_SUITE_P(Molecules, Shapes, testing::ValuesIn(kShapes), CaseName);

struct RadiusCase {
  const char* name;
  int32_t mode;
  double carbon, hydrogen, nucleus;  // radii of the carbon and hydrogen spheres, carbon's nucleus
};

void PrintTo(const RadiusCase& c, std::ostream* out) {
  *out << c.name << ": mode " << c.mode << " -> C " << c.carbon << ", H " << c.hydrogen << ", C nucleus " << c.nucleus;
}

class RadiusModes : public ModelBuilder, public testing::WithParamInterface<RadiusCase> {};

TEST_P(RadiusModes, SizeTheSpheres) {
  VtNode* node = Loaded(kChain);
  Set(node, MOLOBJ_RADIUS_MODE, GetParam().mode);
  Set(node, MOLOBJ_RADIUS_SCALE, 2.0);
  Set(node, MOLOBJ_ATOM_RADIUS, 10.0);
  Set(node, MOLOBJ_SHOW_NUCLEUS, true);
  Set(node, MOLOBJ_NUCLEUS_FACTOR, 0.5);
  const VtNode* root = Build(node);
  EXPECT_DOUBLE_EQ(Child(root, "C")->primitive->radius, GetParam().carbon);
  EXPECT_DOUBLE_EQ(Child(root, "H")->primitive->radius, GetParam().hydrogen);
  EXPECT_DOUBLE_EQ(Child(root, "C nucleus")->primitive->radius, GetParam().nucleus);
}

// Carbon reads 77, 170, 91 and hydrogen 32, 120, 79 in the shipped table; 100 is the host's own
// sphere radius.
INSTANTIATE_TEST_SUITE_P(Modes, RadiusModes,
                         testing::Values(RadiusCase{"Covalent", kRadiusCovalent, 154, 64, 77},
                                         RadiusCase{"VanDerWaals", kRadiusVanDerWaals, 340, 240, 170},
                                         RadiusCase{"AtomicNumber", kRadiusByAtomicNumber, 60, 10, 30},
                                         RadiusCase{"Fixed", kRadiusFixed, 10, 10, 5},
                                         RadiusCase{"Atomic", kRadiusAtomic, 182, 158, 91},
                                         RadiusCase{"Unknown", 7, 100, 100, 1}), CaseName);

TEST_F(ModelBuilder, BondsTakeTheirRadiusAndShapeFromTheirOrder) {
  const std::string withOddOrder = std::string(kChain).replace(std::string(kChain).find("  1  4  1"), 9, "  1  4  5");
  VtNode* node = Loaded(withOddOrder);
  Set(node, MOLOBJ_BOND_CAPS, int32_t{kBondCapsClosed});
  Set(node, MOLOBJ_BOND_SUBDIVISIONS, int32_t{5});
  const auto sweeps = Sweeps(Build(node));
  ASSERT_EQ(sweeps.size(), 4u);
  EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[0]), 6.0);  // double: 3 x 2
  EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[1]), 9.0);  // triple: 3 x 3
  EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[2]), 3.0);  // order 5: single
  EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[3]), 6.0);  // aromatic as double

  const VtNode* sweep = sweeps[0];
  EXPECT_TRUE(*vthost::Lookup(&sweep->parameters, 2999) == Value(int32_t{1}));
  EXPECT_TRUE(*vthost::Lookup(&sweep->parameters, 3000) == Value(int32_t{1}));
  const VtNode& profile = *sweep->children.at(0);
  const VtNode& path = *sweep->children.at(1);
  ASSERT_EQ(profile.spline->type, VT_SPLINE_BEZIER);
  ASSERT_EQ(profile.spline->points.size(), 4u);
  EXPECT_EQ(profile.spline->points[1], (VtVector{0.0, 6.0, 0.0}));
  EXPECT_DOUBLE_EQ(profile.spline->tangents[0].right.y, 0.415 * 6.0);
  EXPECT_DOUBLE_EQ(profile.spline->tangents[1].left.x, 0.415 * 6.0);
  EXPECT_TRUE(*vthost::Lookup(&profile.parameters, 1002) == Value(true));
  EXPECT_TRUE(*vthost::Lookup(&profile.parameters, 1001) == Value(int32_t{2}));
  EXPECT_TRUE(*vthost::Lookup(&profile.parameters, 1003) == Value(int32_t{5}));
  EXPECT_EQ(path.spline->type, VT_SPLINE_LINEAR);
  EXPECT_EQ(path.spline->points, (vthost::SplinePoints{{-100.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}));
}

// C, an element the table lacks, O and N; bonds C-O single, O-N triple, one to the dropped atom and
// one to an atom line the file does not have.
const char* const kDroppedSecondAtom = R"(dropped
  Vantor

  4  4  0  0  0  0  0  0  0  0999 V2000
    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    5.0000    0.0000    0.0000 Xx  0  0  0  0  0  0  0  0  0  0  0  0
    1.0000    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0
    3.0000    0.0000    0.0000 N   0  0  0  0  0  0  0  0  0  0  0  0
  1  3  1  0  0  0  0
  3  4  3  0  0  0  0
  1  2  1  0  0  0  0
  4  5  1  0  0  0  0
M  END
)";

TEST_F(ModelBuilder, BondsAfterADroppedAtomJoinTheAtomsTheFileNames) {
  VtNode* node = Loaded(kDroppedSecondAtom);
  ASSERT_EQ(Object(node).GetMolecule().atoms.Count(), 3);
  ASSERT_EQ(Object(node).GetMolecule().bonds.Count(), 4);  // the reader keeps every bond as written
  VtNode* copy = host_.Duplicate(node, "copy");
  ASSERT_NE(copy, nullptr);
  host_.Evaluate(document_);
  // atoms C, O, N at x = 0, 1, 3, centred on 1.5
  const VtVector carbon{-150.0, 0.0, 0.0}, oxygen{-50.0, 0.0, 0.0}, nitrogen{150.0, 0.0, 0.0};
  for (VtNode* object : {node, copy}) {
    const auto sweeps = Sweeps(vthost::Hierarchy(object));
    ASSERT_EQ(sweeps.size(), 2u) << vthost::NodeName(object);
    EXPECT_EQ(sweeps[0]->children.at(1)->spline->points, (vthost::SplinePoints{carbon, oxygen}));
    EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[0]), 3.0);  // single
    EXPECT_EQ(sweeps[1]->children.at(1)->spline->points, (vthost::SplinePoints{oxygen, nitrogen}));
    EXPECT_DOUBLE_EQ(ProfileRadius(sweeps[1]), 9.0);  // triple
  }
}

TEST_F(ModelBuilder, AtomsPastAShrunkenTableAreLeftOut) {
  VtNode* node = Loaded(kChain);
  // the table read again with two rows: carbon (5) and above are past its end
  WriteFile(plugin_ / "res" / "ptable.csv", "t\nc\nH,FFFFFF,32,120,79\nHe,D9FFFF,93,140,49\n");
  Set(node, MOLOBJ_COLOR_MODE, int32_t{kColourByPreset});
  const VtNode* root = Build(node);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"H", "bond", "bond", "bond", "bond"}));
}

TEST_F(ModelBuilder, SecondEvaluationReturnsTheCache) {
  VtNode* node = Loaded(kChain);
  const VtNode* first = Build(node);
  const VtNode* second = Build(node);
  EXPECT_EQ(first, second);
  EXPECT_EQ(vthost::BuildCount(node), 2);
  Set(node, MOLOBJ_SEGMENTS, int32_t{8});
  const VtNode* third = Build(node);
  EXPECT_NE(third, first);
  EXPECT_EQ(Child(third, "C")->primitive->segments, 8);
  host_.Press(node, MOLOBJ_LOAD);  // read again: dirty, so a new hierarchy
  EXPECT_NE(Build(node), third);
}

// Each refused allocation leaves out exactly what it was for, and nothing is left loose.
struct FailureCase {
  const char* name;
  vthost::AllocKind kind;
  uint64_t nth;
  std::vector<std::string> children;  // of the root; empty with root false: no hierarchy
  bool root;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
  *out << c.name << ": allocation " << c.nth << " of kind ";
  vthost::PrintTo(c.kind, out);
  *out << " refused";
}

class BuildFailures : public ModelBuilder, public testing::WithParamInterface<FailureCase> {};

TEST_P(BuildFailures, LeaveOutWhatTheyWereFor) {
  VtNode* node = Loaded("w\n\n\n  2  1\n    0.0000    0.0000    0.0000 O   0\n    1.0000    0.0000    0.0000 H   0\n  1  2  1\n");
  Set(node, MOLOBJ_SHOW_NUCLEUS, true);
  host_.Faults().FailNth(GetParam().nth, GetParam().kind);
  const VtNode* root = Build(node);
  host_.Faults().Clear();
  ASSERT_EQ(root != nullptr, GetParam().root);
  if (root) {
    EXPECT_EQ(ChildNames(root), GetParam().children);
  }
}

// Objects in order: root, O sphere, O nucleus, H sphere, H nucleus, then the bond's profile,
// sweep and path. Tags: phong O, phong H... as made.
INSTANTIATE_TEST_SUITE_P(
    Steps, BuildFailures,
    testing::Values(FailureCase{"Root", vthost::AllocKind::Object, 1, {}, false},
                    FailureCase{"FirstSphere", vthost::AllocKind::Object, 2, {"H nucleus", "H", "bond"}, true},
                    FailureCase{"FirstNucleus", vthost::AllocKind::Object, 3, {"H nucleus", "O", "H", "bond"}, true},
                    FailureCase{"Profile", vthost::AllocKind::Object, 6, {"H nucleus", "O nucleus", "O", "H"}, true},
                    FailureCase{"Sweep", vthost::AllocKind::Object, 7, {"H nucleus", "O nucleus", "O", "H"}, true},
                    FailureCase{"Path", vthost::AllocKind::Object, 8, {"H nucleus", "O nucleus", "O", "H"}, true},
                    FailureCase{"ProfileArrays", vthost::AllocKind::Memory, 1, {"H nucleus", "O nucleus", "O", "H"}, true},
                    FailureCase{"PathPoints", vthost::AllocKind::Memory, 3, {"H nucleus", "O nucleus", "O", "H"}, true}),
    CaseName);

}  // namespace
}  // namespace vantor
