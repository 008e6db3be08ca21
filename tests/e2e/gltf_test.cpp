// The glTF of what the built module generates, as an artist's importer reads it: one object per
// atom, nucleus and bond under one root, texture coordinates on every mesh, and a material per
// role. Written by the script's export command.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "builtmodule.h"
#include "gltf.h"
#include "molfiles.h"
#include "vthost/budget.h"
#include "vthost/models.h"

namespace {

namespace fs = std::filesystem;

// Six carbons in a row, bonded with the order codes 1, 2, 3, 4 and 8 (V2000's "any").
const char* const kBondOrdersMolfile = R"(orders
  Vantor

  6  5  0  0  0  0  0  0  0  0999 V2000
    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    1.5000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    3.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    4.5000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    6.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    7.5000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
  1  2  1  0  0  0  0
  2  3  2  0  0  0  0
  3  4  3  0  0  0  0
  4  5  4  0  0  0  0
  5  6  8  0  0  0  0
M  END
)";

class GltfExport : public ScriptSession {
 protected:
  // A molecule object m with the file loaded, the edits made and evaluated, exported as out.glb.
  tinygltf::Model Export(const std::string& molfile, const std::string& edits = "") {
    EXPECT_TRUE(Run(LoadInto(molfile) + edits + "eval\nexport m " + Path("out.glb") + "\n")) << err_.str();
    return LoadGlb(Path("out.glb"));
  }
};

// The materials of the generated objects, in order.
std::vector<std::string> Generated(const tinygltf::Model& model) { return ChildMaterials(model, &GeneratedRoot(model)); }

struct ImportCase {
  const char* name;
  const char* edits;
  size_t nuclei;
  std::set<std::string> materials;
};

void PrintTo(const ImportCase& c, std::ostream* out) { *out << c.name; }

class CaffeineImport : public GltfExport, public testing::WithParamInterface<ImportCase> {};

// What an importer makes of it: one root, and under it one object per atom, nucleus and bond,
// each with a mesh, normals and texture coordinates; nothing else (no splines, no empties).
TEST_P(CaffeineImport, OneObjectPerAtomNucleusAndBondUnderOneRoot) {
  const tinygltf::Model model = Export(std::string(VANTOR_SOURCE_DIR) + "/examples/caffeine.mol", GetParam().edits);
  ASSERT_EQ(model.scenes.size(), 1u);
  ASSERT_EQ(model.scenes[0].nodes.size(), 1u);
  // the molecule object by its title, holding what it generated
  const tinygltf::Node& object = SceneRoot(model);
  EXPECT_EQ(object.name, "caffeine");
  ASSERT_EQ(object.children.size(), 1u);
  const tinygltf::Node& root = GeneratedRoot(model);
  EXPECT_EQ(root.mesh, -1);
  EXPECT_EQ(root.children.size(), 24 + 25 + GetParam().nuclei);
  EXPECT_EQ(model.nodes.size(), 2 + root.children.size());
  std::map<std::string, size_t> kinds;
  for (const int child : root.children) {
    const tinygltf::Node& node = model.nodes.at(child);
    EXPECT_TRUE(node.children.empty()) << node.name;
    ASSERT_GE(node.mesh, 0) << node.name;
    const tinygltf::Primitive& primitive = model.meshes.at(node.mesh).primitives.at(0);
    EXPECT_EQ(primitive.attributes.count("NORMAL"), 1u) << node.name;
    ASSERT_EQ(primitive.attributes.count("TEXCOORD_0"), 1u) << node.name;
    EXPECT_EQ(model.accessors.at(primitive.attributes.at("TEXCOORD_0")).count,
              model.accessors.at(primitive.attributes.at("POSITION")).count);
    ++kinds[node.name.find(" nucleus") != std::string::npos ? "nucleus" : node.name == "Sweep" ? "bond" : "atom"];
  }
  EXPECT_EQ(kinds["atom"], 24u);
  EXPECT_EQ(kinds["bond"], 25u);
  EXPECT_EQ(kinds["nucleus"], GetParam().nuclei);
  std::set<std::string> materials;
  for (const tinygltf::Material& material : model.materials) materials.insert(material.name);
  EXPECT_EQ(materials, GetParam().materials);
  EXPECT_EQ(materials.size(), model.materials.size()) << "two materials of one name";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CaffeineImport,
    testing::Values(ImportCase{"Defaults", "", 0, {"C", "H", "N", "O", "bond 1", "bond 2"}},
                    ImportCase{"WithNuclei", "set m MOLOBJ_SHOW_NUCLEUS true\n", 24,
                               {"C", "H", "N", "O", "bond 1", "bond 2", "nucleus"}},
                    ImportCase{"XRay", "set m MOLOBJ_XRAY true\n", 0,
                               {"C (x-ray)", "H (x-ray)", "N (x-ray)", "O (x-ray)", "bond 1 (x-ray)",
                                "bond 2 (x-ray)"}}), CaseName);

struct BondCase {
  const char* name;
  const char* edits;  // made before the evaluation
  const char* later;  // made after it, before the export
  std::vector<std::string> bonds;  // the material of each bond, in bond order
};

void PrintTo(const BondCase& c, std::ostream* out) { *out << c.name; }

class BondMaterials : public GltfExport, public testing::WithParamInterface<BondCase> {};

TEST_P(BondMaterials, OnePerOrder) {
  ASSERT_TRUE(Run(LoadInto(Write("orders.mol", kBondOrdersMolfile)) + GetParam().edits + "eval\n" + GetParam().later +
                  "export m " + Path("out.glb") + "\n"))
      << err_.str();
  const std::vector<std::string> children = Generated(LoadGlb(Path("out.glb")));
  ASSERT_EQ(children.size(), 6u + GetParam().bonds.size());
  EXPECT_EQ(std::vector<std::string>(children.begin() + 6, children.end()), GetParam().bonds);
}

const BondCase kBondCases[] = {
    {"Defaults", "", "", {"bond 1", "bond 2", "bond 3", "bond 4", "bond"}},
    // the radius tells orders 1, 2 and 3 apart when their colours are equal
    {"OneColourForAll",
     "set m MOLOBJ_BOND1_COLOR 0.5 0.5 0.5\nset m MOLOBJ_BOND2_COLOR 0.5 0.5 0.5\n"
     "set m MOLOBJ_BOND3_COLOR 0.5 0.5 0.5\n", "", {"bond 1", "bond 2", "bond 3", "bond 4", "bond"}},
    // double and aromatic bonds of one colour are built alike: nothing tells them apart
    {"DoubleAndAromaticAlike", "set m MOLOBJ_BOND4_COLOR 0.5 0.5 1\n", "",
     {"bond 1", "bond 2", "bond 3", "bond 2", "bond"}},
    // the model is as the evaluation built it, whatever was edited since
    {"EditedAfterTheEvaluation", "", "set m MOLOBJ_BOND2_COLOR 0.5 1 0.5\nset m MOLOBJ_BOND_RADIUS 7\n",
     {"bond 1", "bond 2", "bond 3", "bond 4", "bond"}},
};

INSTANTIATE_TEST_SUITE_P(Orders, BondMaterials, testing::ValuesIn(kBondCases), CaseName);

// Hydrogens and single bonds are both white by default: recolouring one must not recolour the other.
TEST_F(GltfExport, HydrogensAndSingleBondsOfOneColourKeepTheirOwnMaterials) {
  const tinygltf::Model model = Export(Write("water.mol", kWaterMolfile));
  EXPECT_EQ(Generated(model), (std::vector<std::string>{"O", "H", "H", "bond 1", "bond 1"}));
  ASSERT_EQ(model.materials.size(), 3u);
  EXPECT_EQ(model.materials[1].pbrMetallicRoughness.baseColorFactor,
            model.materials[2].pbrMetallicRoughness.baseColorFactor);
}

TEST_F(GltfExport, LinkedMaterialsGoByTheirNames) {
  const tinygltf::Model model =
      Export(Write("water.mol", kWaterMolfile),
             "set m MOLOBJ_SHOW_NUCLEUS true\nmaterial Gold 1 0.8 0.2\nmaterial Lead 0.3 0.3 0.35\n"
             "press m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_SYMBOL[0] H\nlink m MOLOBJ_ROW_MATERIAL[0] Gold\n"
             "set m MOLOBJ_ROW_USE_MATERIAL[0] true\n"
             "press m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_SYMBOL[1] bd1\nlink m MOLOBJ_ROW_MATERIAL[1] Gold\n"
             "set m MOLOBJ_ROW_USE_MATERIAL[1] true\n"
             "press m MOLOBJ_ADD_ROW\nset m MOLOBJ_ROW_SYMBOL[2] NUC\nlink m MOLOBJ_ROW_MATERIAL[2] Lead\n"
             "set m MOLOBJ_ROW_USE_MATERIAL[2] true\n");
  // nuclei first, in reverse atom order
  EXPECT_EQ(Generated(model),
            (std::vector<std::string>{"Lead", "Lead", "Lead", "O", "Gold", "Gold", "Gold", "Gold"}));
  std::map<std::string, std::vector<double>> colours;
  for (const auto& material : model.materials) colours[material.name] = material.pbrMetallicRoughness.baseColorFactor;
  EXPECT_EQ(colours["Gold"], (std::vector<double>{1.0, 0.8, 0.2, 1.0}));
  EXPECT_EQ(colours.size(), 3u);
}

struct ExportError {
  const char* name;
  std::string script;  // FILE: a file in the test's folder; WATER: a water molfile there
  const char* reason;
  bool sandboxed = false;
};

void PrintTo(const ExportError& c, std::ostream* out) { *out << c.name; }

// A water molecule in object m, evaluated.
const std::string kWater = "load\nnew m\nset m MOLOBJ_FILE WATER\npress m MOLOBJ_LOAD\neval\n";

class ExportErrors : public GltfExport, public testing::WithParamInterface<ExportError> {};

TEST_P(ExportErrors, StopTheScriptWithAReason) {
  if (GetParam().sandboxed) runner_->Sandbox();
  std::string script = GetParam().script;
  const size_t file = script.find(" FILE\n");  // not MOLOBJ_FILE
  if (file != std::string::npos) script.replace(file + 1, 4, Path("out.glb"));
  const size_t water = script.find("WATER");
  if (water != std::string::npos) script.replace(water, 5, Write("water.mol", kWaterMolfile));
  EXPECT_FALSE(Run(script));
  EXPECT_NE(err_.str().find(GetParam().reason), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(Path("out.glb")));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExportErrors,
    testing::Values(ExportError{"NoEvaluationYet", "load\nnew m\nexport m FILE\n", "line 3: 'm' has no model"},
                    ExportError{"UnknownObject", "load\nnew m\neval\nexport n FILE\n", "no object named 'n'"},
                    ExportError{"NoFile", "load\nnew m\neval\nexport m\n", "usage: export NAME FILE.glb"},
                    ExportError{"EmptyModel", "load\nnew m\neval\nexport m FILE\n",
                                "line 4: 'm' has an empty model, with no atoms and no bonds: nothing written"},
                    ExportError{"UnwritableFile", kWater + "export m /no/such/folder/out.glb\n",
                                "cannot write /no/such/folder/out.glb: "},  // and why
                    ExportError{"IntoTheModuleResources", kWater + "export m " VANTOR_PLUGIN_DIR "/res/out.glb\n",
                                "out.glb is in the res folder of the module this run loaded: not written"},
                    ExportError{"Sandboxed", "load\nnew m\neval\nexport m FILE\n", "'export' names a file", true}),
    CaseName);

TEST_F(GltfExport, ExportNeverReplacesAFileThatIsNotGltf) {
  const std::string molfile = Write("water.mol", kWaterMolfile);
  const std::string model = Path("model.glb");
  EXPECT_FALSE(Run(LoadInto(molfile) + "eval\nexport m " + molfile + "\n"));
  EXPECT_NE(err_.str().find("is there and is not a glTF file: not replaced"), std::string::npos) << err_.str();
  EXPECT_EQ(ReadFile(fs::u8path(molfile)), kWaterMolfile);  // as it was written: text
  // a glTF file written before is replaced
  EXPECT_TRUE(Run("export m " + model + "\nexport m " + model + "\n")) << err_.str();
}

struct DetailCase {
  const char* name;
  const char* edits;
  int32_t segments, subdivisions;
};

void PrintTo(const DetailCase& c, std::ostream* out) { *out << c.name; }

class TriangleCounts : public GltfExport, public testing::WithParamInterface<DetailCase> {};

// A model built with the least detail tells how many triangles the glTF of one built with more
// would hold, before that one is built: as many as it holds once it is.
TEST_P(TriangleCounts, AreKnownFromTheLightestModel) {
  const DetailCase& c = GetParam();
  ASSERT_TRUE(Run(LoadInto(std::string(VANTOR_SOURCE_DIR) + "/examples/caffeine.mol") + c.edits +
                  "set m MOLOBJ_SEGMENTS 3\nset m MOLOBJ_BOND_SUBDIVISIONS 0\neval\n"))
      << err_.str();
  VtNode* object = host_.FindByName(runner_->Document(), "caffeine");
  ASSERT_NE(object, nullptr);
  const vthost::TriangleCounter counter = vthost::CounterOf(vthost::Hierarchy(object));
  ASSERT_TRUE(Run("set m MOLOBJ_SEGMENTS " + std::to_string(c.segments) + "\nset m MOLOBJ_BOND_SUBDIVISIONS " +
                  std::to_string(c.subdivisions) + "\neval\n"))
      << err_.str();
  EXPECT_EQ(counter(c.segments, c.subdivisions), vthost::CountTriangles(host_, vthost::ModelOf(object)));
}

INSTANTIATE_TEST_SUITE_P(
    Details, TriangleCounts,
    testing::Values(DetailCase{"Defaults", "", 24, 2},
                    DetailCase{"NucleiAndCaps", "set m MOLOBJ_SHOW_NUCLEUS true\nset m MOLOBJ_BOND_CAPS 1\n", 41, 7},
                    DetailCase{"AtomsOnly", "set m MOLOBJ_DISPLAY_MODE 1\n", 100, 0},
                    // past 64 intermediate points the host samples no more
                    DetailCase{"BondsOnly", "set m MOLOBJ_DISPLAY_MODE 2\n", 3, 100},
                    // spheres of radius 0 draw nothing
                    DetailCase{"AtomsOfNoSize", "set m MOLOBJ_RADIUS_MODE 3\nset m MOLOBJ_ATOM_RADIUS 0\n", 24, 2},
                    // nor do bonds of radius 0, with caps or without
                    DetailCase{"BondsOfNoSize", "set m MOLOBJ_BOND_RADIUS 0\n", 24, 2},
                    DetailCase{"BondsOfNoSizeWithCaps", "set m MOLOBJ_BOND_RADIUS 0\nset m MOLOBJ_BOND_CAPS 1\n", 7, 9}),
    CaseName);

}  // namespace
