// Tests export/report.cpp, and export/gltf*.cpp with the roles.cpp and vertices.cpp they use:
// a generated hierarchy's JSON, the run's report, and the .glb read back with tinygltf's loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <vector>

#include "cases.h"
#include "export/json.h"
#include "gltf.h"
#include "sample_hierarchy.h"
#include "tempfolder.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::set<std::string> Keys(const json& object) {
  std::set<std::string> keys;
  for (const auto& item : object.items()) keys.insert(item.key());
  return keys;
}

class ExportTest : public ::testing::Test {
 protected:
  Host host;
  VtDocument* document = host.NewDocument();
  SampleHierarchy sample = MakeSampleHierarchy(host, document);
};

TEST_F(ExportTest, NullRootAndChildrenInOrder) {
  const json root = HierarchyJson(host, sample.root.get());
  EXPECT_EQ(Keys(root), (std::set<std::string>{"type", "name", "position", "tags", "params", "children"}));
  EXPECT_EQ(root["type"], "null");
  EXPECT_EQ(root["name"], "Molecule");
  EXPECT_EQ(root["position"], json::array({0.0, 0.0, 0.0}));
  EXPECT_EQ(root["tags"], json::array());
  EXPECT_EQ(root["params"], json::object());
  ASSERT_EQ(root["children"].size(), 4u);
  EXPECT_EQ(Each(root["children"], [](const json& child) { return child["name"].get<std::string>(); }),
            (std::vector<std::string>{"C nucleus", "C", "O", "Bond"}));
  EXPECT_TRUE(HierarchyJson(host, nullptr).is_null());
}

TEST_F(ExportTest, SphereWithTagsAndDisplayColour) {
  const json carbon = HierarchyJson(host, sample.root.get())["children"][1];
  EXPECT_EQ(Keys(carbon), (std::set<std::string>{"type", "name", "position", "displayColor", "tags", "params",
                                                 "primitive", "pointCount", "polygonCount", "children"}));
  EXPECT_EQ(carbon["type"], "polygon");
  EXPECT_EQ(carbon["position"], json::array({100.0, 0.0, 50.0}));
  EXPECT_EQ(carbon["displayColor"], json({{"color", {0.2, 0.2, 0.2}}, {"mode", 1}, {"xray", true}}));
  EXPECT_EQ(carbon["primitive"], json({{"type", 5160}, {"radius", 100.0}, {"segments", 8}}));
  EXPECT_EQ(carbon["pointCount"], 2 + 8 * 3);
  EXPECT_EQ(carbon["polygonCount"], 8 * 4);
  ASSERT_EQ(carbon["tags"].size(), 2u);
  EXPECT_EQ(carbon["tags"][0],
            json({{"type", 5616},
                  {"material", "Red"},
                  {"params", {{"1000", 0.25}, {"1001", 0.5}, {"1004", 3}, {"1014", 2.0}, {"1015", 3.0}}}}));
  EXPECT_EQ(carbon["tags"][1], json({{"type", 5612}}));
  EXPECT_EQ(carbon["children"], json::array());
}

TEST_F(ExportTest, DeletedMaterialReadsAsNull) {
  host.DeleteNode(sample.material);
  const json carbon = HierarchyJson(host, sample.root.get())["children"][1];
  EXPECT_TRUE(carbon["tags"][0]["material"].is_null());
  EXPECT_EQ(carbon["tags"][0]["params"]["1004"], 3);
}

TEST_F(ExportTest, SweepWithItsSplines) {
  const json bond = HierarchyJson(host, sample.root.get())["children"][3];
  EXPECT_EQ(Keys(bond), (std::set<std::string>{"type", "name", "position", "displayColor", "tags", "params", "children"}));
  EXPECT_EQ(bond["type"], "sweep");
  EXPECT_EQ(bond["params"], json({{"2999", 1}, {"3000", 1}}));
  ASSERT_EQ(bond["children"].size(), 2u);

  const json& profile = bond["children"][0];
  EXPECT_EQ(Keys(profile), (std::set<std::string>{"type", "name", "position", "tags", "params", "spline", "children"}));
  EXPECT_EQ(profile["type"], "spline");
  EXPECT_EQ(profile["params"], json({{"1001", 2}, {"1002", true}, {"1003", 2}}));
  EXPECT_EQ(profile["spline"]["type"], 4);
  ASSERT_EQ(profile["spline"]["points"].size(), 4u);
  EXPECT_EQ(profile["spline"]["points"][1], json::array({0.0, 5.0, 0.0}));
  ASSERT_EQ(profile["spline"]["tangents"].size(), 4u);
  const double t = 0.415 * 5.0;
  EXPECT_EQ(profile["spline"]["tangents"][1], json::array({json::array({t, 0.0, 0.0}), json::array({-t, 0.0, 0.0})}));

  const json& path = bond["children"][1];
  EXPECT_EQ(path["spline"]["type"], 0);
  EXPECT_EQ(path["spline"]["points"], json::array({{100.0, 0.0, 50.0}, {-100.0, 0.0, -50.0}}));
  EXPECT_EQ(path["spline"]["tangents"], json::array());
  EXPECT_EQ(path["children"], json::array());
}

TEST_F(ExportTest, ReportCountsAtomsAndBondsAndKeepsWhatTheUserSaw) {
  VtNode object;
  object.name = "caffeine";
  object.generator.hierarchy = std::move(sample.root);
  host.Events().Record({Event::Kind::Console, "loaded", false});
  host.Events().Record({Event::Kind::Message, "first", false});
  host.Events().Record({Event::Kind::Question, "second?", true});
  host.Events().Record({Event::Kind::Console, "again", false});

  const json report = Report(host, &object);
  EXPECT_EQ(Keys(report), (std::set<std::string>{"name", "atoms", "bonds", "messages", "console", "hierarchy"}));
  EXPECT_EQ(report["name"], "caffeine");
  EXPECT_EQ(report["atoms"], 2) << "the nucleus is no atom";
  EXPECT_EQ(report["bonds"], 1);
  EXPECT_EQ(report["messages"], json::array({"first", "second?"}));
  EXPECT_EQ(report["console"], json::array({"loaded", "again"}));
  EXPECT_EQ(report["hierarchy"], HierarchyJson(host, object.generator.hierarchy.get()));
}

TEST_F(ExportTest, ReportWithoutHierarchy) {
  VtNode object;
  object.name = "empty";
  const json report = Report(host, &object);
  EXPECT_EQ(report["atoms"], 0);
  EXPECT_EQ(report["bonds"], 0);
  EXPECT_TRUE(report["hierarchy"].is_null());
}

// The report's text: compact, each generated object on a line of its own.
TEST_F(ExportTest, ReportTextHasAnObjectPerLine) {
  VtNode object;
  object.name = "caffeine";
  object.generator.hierarchy = std::move(sample.root);
  const std::string text = ReportText(host, &object);
  std::vector<std::string> lines;
  std::string joined;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    const size_t blanks = lines.back().find_first_not_of(' ');
    joined += lines.back().substr(blanks == std::string::npos ? lines.back().size() : blanks);
    start = end + 1;
  }
  // the root's line, its four children (the bond's on two lines, around its profile and path),
  // and the root's own fields
  ASSERT_EQ(lines.size(), 1u + 3u + 2u + 2u + 1u);
  EXPECT_EQ(lines[1].rfind("   {\"children\":[],", 0), 0u) << lines[1];
  EXPECT_EQ(lines[5].rfind("     {\"children\":[],", 0), 0u) << lines[5] << ": one blank per level";
  // without its line breaks, the text is nlohmann-json's own compact text of it
  EXPECT_EQ(joined, JsonText(json::parse(text), -1));
}

// A container's keys are the text of its ids, in the order of that text (as nlohmann-json keeps an
// object's keys), whether or not it is the order of the numbers.
struct ContainerKeysCase {
  const char* name;
  std::vector<int32_t> ids;
};
void PrintTo(const ContainerKeysCase& c, std::ostream* out) { *out << c.name; }

// The ids from first to last.
std::vector<int32_t> IdsFrom(int32_t first, int32_t last) {
  std::vector<int32_t> ids;
  for (int32_t id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

class ContainerKeys : public testing::TestWithParam<ContainerKeysCase> {
 protected:
  Host host;
};

TEST_P(ContainerKeys, InTheOrderOfTheirText) {
  VtNode node;
  node.type = VT_OBJECT_NULL;
  for (const int32_t id : GetParam().ids) node.parameters.values.insert_or_assign(id, Value{id});
  const std::string text = HierarchyText(host, &node);
  EXPECT_EQ(text, JsonText(json::parse(text), -1));
  EXPECT_EQ(json::parse(text)["params"].size(), GetParam().ids.size());
}

INSTANTIATE_TEST_SUITE_P(Ids, ContainerKeys,
                         testing::Values(ContainerKeysCase{"AsManyDigits", {1000, 1001, 1014, 2999}},
                                         ContainerKeysCase{"FewerDigits", {5, 12, 999, 1000, 3000}},
                                         ContainerKeysCase{"NegativeOfOneDigit", {-9, -1}},
                                         ContainerKeysCase{"NegativeAndNot", {-30, -4, 0, 7}},
                                         // more than a container's keys usually are
                                         ContainerKeysCase{"ManyOfFewerDigits", IdsFrom(1, 40)},
                                         ContainerKeysCase{"ManyOfAsManyDigits", IdsFrom(1000, 1040)}),
                         CaseName);

// Alike objects share their text: each must still show its own fields.
TEST_F(ExportTest, AlikeObjectsKeepWhatTellsThemApart) {
  NodePtr root = Null("");
  const auto sphere = [&](const std::string& name, double red, double x, int32_t parameter) {
    NodePtr node = MakeSphere(name, 50.0, 6, {x, 0.0, 0.0});
    node->display = DisplayColour{true, {red, 0.5, 0.5}, 1, false};
    if (parameter != 0) node->parameters.values[parameter] = 1.5;
    Adopt(root.get(), std::move(node));
  };
  for (int i = 0; i < 4; ++i) sphere("C", 0.5, 10.0 * i, 0);
  sphere("C", 0.25, 50.0, 0);  // another colour
  sphere("N", 0.5, 60.0, 0);   // another name
  sphere("C", 0.5, 70.0, 7);   // a parameter more
  sphere("C", 0.5, 80.0, 0);
  for (int i = 0; i < 3; ++i) Adopt(root.get(), MakeBond({0, 0, 0}, {0, 0, 100.0 + i}, 3.0));
  Adopt(root.get(), MakeBond({0, 0, 0}, {0, 0, 100.0}, 4.0));  // another profile

  const json hierarchy = HierarchyJson(host, root.get());
  ASSERT_EQ(hierarchy["children"].size(), root->children.size());
  for (size_t i = 0; i < root->children.size(); ++i) {
    const VtNode& node = *root->children[i];
    const json& written = hierarchy["children"][i];
    EXPECT_EQ(written["name"], node.name) << i;
    EXPECT_EQ(written["position"], json::array({node.position.x, node.position.y, node.position.z})) << i;
    EXPECT_EQ(written["params"], ContainerJson(host, &node.parameters)) << i;
    EXPECT_EQ(written["displayColor"]["color"][0], node.display.colour.x) << i;
    if (node.type == VT_OBJECT_SWEEP) {
      EXPECT_EQ(written["children"][0]["spline"]["points"][0][0], node.children[0]->spline->points[0].x) << i;
      EXPECT_EQ(written["children"][1]["spline"]["points"][1][2], node.children[1]->spline->points[1].z) << i;
    }
  }
}

// A temporary folder of the test's own, removed after it.
class GltfTest : public ExportTest {
 protected:
  void SetUp() override { folder_ = FreshTempFolder("vantor-gltf-"); }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  tinygltf::Model WriteAndRead(const VtNode* root, const VtContainer* parameters = nullptr) {
    const fs::path file = folder_ / "out.glb";
    std::string error;
    EXPECT_TRUE(WriteGltf(host, {root, parameters, {}}, file, &error)) << error;
    return LoadGlb(file.u8string());
  }

  fs::path folder_;
};

// The elements of a float or index accessor, as doubles.
std::vector<double> Read(const tinygltf::Model& model, int accessorIndex) {
  const tinygltf::Accessor& accessor = model.accessors.at(accessorIndex);
  const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
  const unsigned char* data = model.buffers.at(view.buffer).data.data() + view.byteOffset + accessor.byteOffset;
  const size_t components = accessor.type == TINYGLTF_TYPE_VEC3 ? 3 : accessor.type == TINYGLTF_TYPE_VEC2 ? 2 : 1;
  std::vector<double> values;
  for (size_t i = 0; i < accessor.count * components; ++i) {
    switch (accessor.componentType) {
      case TINYGLTF_COMPONENT_TYPE_FLOAT: values.push_back(reinterpret_cast<const float*>(data)[i]); break;
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: values.push_back(reinterpret_cast<const uint16_t*>(data)[i]); break;
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: values.push_back(reinterpret_cast<const uint32_t*>(data)[i]); break;
      default: ADD_FAILURE() << "component type " << accessor.componentType;
    }
  }
  return values;
}

TEST_F(GltfTest, NodesMeshesAndMaterials) {
  const tinygltf::Model model = WriteAndRead(sample.root.get());
  // the bond's profile and path only shape its tube: they draw nothing of their own
  EXPECT_EQ(Each(model.nodes, &tinygltf::Node::name),
            (std::vector<std::string>{"Molecule", "C nucleus", "C", "O", "Bond"}));
  ASSERT_EQ(model.scenes.size(), 1u);
  EXPECT_EQ(model.scenes[0].nodes, std::vector<int>{0});
  EXPECT_EQ(model.nodes[0].children, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(model.nodes[4].children.empty());

  // 1 angstrom (100 units) to the metre, z mirrored
  EXPECT_EQ(model.nodes[2].translation, (std::vector<double>{1.0, 0.0, -0.5}));
  EXPECT_EQ(model.nodes[3].translation, (std::vector<double>{-1.0, 0.0, 0.5}));
  EXPECT_TRUE(model.nodes[0].translation.empty());

  // the null has no mesh; C and O are the same sphere in two materials
  EXPECT_EQ(model.nodes[0].mesh, -1);
  ASSERT_EQ(model.meshes.size(), 4u);
  const tinygltf::Primitive& carbon = model.meshes.at(model.nodes[2].mesh).primitives.at(0);
  const tinygltf::Primitive& oxygen = model.meshes.at(model.nodes[3].mesh).primitives.at(0);
  EXPECT_NE(model.nodes[2].mesh, model.nodes[3].mesh);
  EXPECT_EQ(carbon.attributes.at("POSITION"), oxygen.attributes.at("POSITION"));
  EXPECT_EQ(carbon.attributes.at("TEXCOORD_0"), oxygen.attributes.at("TEXCOORD_0"));
  EXPECT_EQ(carbon.indices, oxygen.indices);
  EXPECT_EQ(model.accessors.size(), 12u) << "two spheres' and one tube's worth, the big sphere once";

  // the texture's material wins over the display colour; x-ray blends; the other roles by name
  EXPECT_EQ(Each(model.materials, &tinygltf::Material::name),
            (std::vector<std::string>{"nucleus", "Red (x-ray)", "O", "bond"}));
  const tinygltf::Material& red = model.materials.at(carbon.material);
  EXPECT_EQ(red.name, "Red (x-ray)");
  EXPECT_EQ(red.alphaMode, "BLEND");
  EXPECT_EQ(red.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{0.9, 0.1, 0.1, 0.5}));
  const tinygltf::Material& oxygenColour = model.materials.at(oxygen.material);
  EXPECT_EQ(oxygenColour.name, "O");
  EXPECT_EQ(oxygenColour.alphaMode, "OPAQUE");
  EXPECT_EQ(oxygenColour.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
}

TEST_F(GltfTest, SphereAccessorsAndWinding) {
  const tinygltf::Model model = WriteAndRead(sample.root.get());
  const tinygltf::Primitive& carbon = model.meshes.at(model.nodes[2].mesh).primitives.at(0);
  EXPECT_EQ(carbon.mode, TINYGLTF_MODE_TRIANGLES);
  // 8 around, 4 rings: the 3 inner rings with a seam vertex each, and a pole vertex per triangle
  constexpr size_t kVertices = 3 * 9 + 2 * 8;
  const tinygltf::Accessor& position = model.accessors.at(carbon.attributes.at("POSITION"));
  EXPECT_EQ(position.count, kVertices);
  EXPECT_EQ(model.accessors.at(carbon.attributes.at("NORMAL")).count, kVertices);
  EXPECT_EQ(model.accessors.at(carbon.attributes.at("TEXCOORD_0")).count, kVertices);
  EXPECT_EQ(model.accessors.at(carbon.indices).count, 3u * (8 + 8 + 2 * 8 * 2));
  ASSERT_EQ(position.minValues.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(position.minValues[i], -1.0, 1e-6);
    EXPECT_NEAR(position.maxValues[i], 1.0, 1e-6);
  }

  const std::vector<double> points = Read(model, carbon.attributes.at("POSITION"));
  const std::vector<double> normals = Read(model, carbon.attributes.at("NORMAL"));
  const std::vector<double> indices = Read(model, carbon.indices);
  for (size_t v = 0; v < kVertices; ++v) {
    const double length = std::hypot(normals[3 * v], normals[3 * v + 1], normals[3 * v + 2]);
    EXPECT_NEAR(length, 1.0, 1e-6);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(normals[3 * v + k], points[3 * v + k], 1e-6) << "radial normal";
  }
  // counter-clockwise seen from outside, in glTF's right-handed frame
  for (size_t i = 0; i + 2 < indices.size(); i += 3) {
    const double* a = &points[3 * static_cast<size_t>(indices[i])];
    const double* b = &points[3 * static_cast<size_t>(indices[i + 1])];
    const double* c = &points[3 * static_cast<size_t>(indices[i + 2])];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    EXPECT_GT(n[0] * (a[0] + b[0] + c[0]) + n[1] * (a[1] + b[1] + c[1]) + n[2] * (a[2] + b[2] + c[2]), 0.0);
  }
}

// A point of a node's mesh where the node's translation, rotation and scale put it.
std::array<double, 3> Placed(const tinygltf::Node& node, const double* p) {
  const double v[3] = {p[0] * node.scale[0], p[1] * node.scale[1], p[2] * node.scale[2]};
  const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
  // v + 2w (q x v) + 2 q x (q x v), q the rotation's vector part
  const double c1[3] = {y * v[2] - z * v[1], z * v[0] - x * v[2], x * v[1] - y * v[0]};
  const double c2[3] = {y * c1[2] - z * c1[1], z * c1[0] - x * c1[2], x * c1[1] - y * c1[0]};
  return {v[0] + 2 * w * c1[0] + 2 * c2[0] + node.translation[0], v[1] + 2 * w * c1[1] + 2 * c2[1] + node.translation[1],
          v[2] + 2 * w * c1[2] + 2 * c2[2] + node.translation[2]};
}

TEST_F(GltfTest, TubeFollowsTheMirroredPath) {
  const tinygltf::Model model = WriteAndRead(sample.root.get());
  const tinygltf::Node& node = model.nodes.at(4);  // the bond itself carries its tube
  ASSERT_EQ(node.rotation.size(), 4u);
  ASSERT_EQ(node.scale.size(), 3u);
  ASSERT_EQ(node.translation.size(), 3u);
  const tinygltf::Primitive& tube = model.meshes.at(node.mesh).primitives.at(0);
  const std::vector<double> points = Read(model, tube.attributes.at("POSITION"));
  const std::vector<double> normals = Read(model, tube.attributes.at("NORMAL"));
  // the path runs from (1, 0, -0.5) to (-1, 0, 0.5) in glTF's frame; the tube is 0.05 thick
  double lowest = 1.0, highest = 0.0;
  for (size_t v = 0; v < points.size(); v += 3) {
    const std::array<double, 3> p = Placed(node, &points[v]);
    const double t = ((p[0] - 1.0) * -2.0 + (p[2] + 0.5) * 1.0) / 5.0;  // along (-2, 0, 1)
    const double centre[3] = {1.0 - 2.0 * t, 0.0, -0.5 + t};
    const double distance = std::hypot(p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]);
    EXPECT_NEAR(distance, 0.0, 0.05 + 1e-6);
    EXPECT_GT(t, -1e-6);
    EXPECT_LT(t, 1.0 + 1e-6);
    EXPECT_NEAR(std::hypot(normals[v], normals[v + 1], normals[v + 2]), 1.0, 1e-6);
    lowest = std::min(lowest, t);
    highest = std::max(highest, t);
  }
  // both ends reached
  EXPECT_NEAR(lowest, 0.0, 1e-6);
  EXPECT_NEAR(highest, 1.0, 1e-6);
  // 12 around: the tube's 2 rings of 12 and a seam vertex, and each cap's 12 corners and centre
  // of its own (flat)
  EXPECT_EQ(points.size() / 3, 2 * 13u + 2 * 13u);
  EXPECT_EQ(model.accessors.at(tube.indices).count, 3u * (2 * 12 + 2 * 12));
}

// Seen from outside, the texture reads left to right and top to bottom (glTF's v runs down, so a
// triangle wound counter-clockwise on the surface is wound clockwise on the texture), and no
// triangle reaches across the seam.
TEST_F(GltfTest, TexturesAreNotMirroredAndDoNotWrap) {
  const tinygltf::Model model = WriteAndRead(sample.root.get());
  ASSERT_FALSE(model.meshes.empty());
  for (const tinygltf::Mesh& mesh : model.meshes) {
    const tinygltf::Primitive& primitive = mesh.primitives.at(0);
    const std::vector<double> uvs = Read(model, primitive.attributes.at("TEXCOORD_0"));
    const std::vector<double> indices = Read(model, primitive.indices);
    for (const double value : uvs) {
      EXPECT_GE(value, 0.0) << mesh.name;
      EXPECT_LE(value, 1.0) << mesh.name;
    }
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
      const double* a = &uvs[2 * static_cast<size_t>(indices[i])];
      const double* b = &uvs[2 * static_cast<size_t>(indices[i + 1])];
      const double* c = &uvs[2 * static_cast<size_t>(indices[i + 2])];
      const double area = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
      EXPECT_LT(area, 0.0) << mesh.name << " triangle " << i / 3;
      EXPECT_LE(std::max({a[0], b[0], c[0]}) - std::min({a[0], b[0], c[0]}), 0.5) << mesh.name;
    }
  }
}

struct EmptyCase {
  const char* name;
  NodePtr (*make)();
  std::vector<std::string> nodes;  // the names written, in order
};

void PrintTo(const EmptyCase& c, std::ostream* out) { *out << c.name; }

const EmptyCase kEmptyCases[] = {
    {"NothingToDraw", [] { return Null("Molecule"); }, {}},
    {"NullsAndSplinesHoldingNothing",
     [] {
       NodePtr spline = SplineNode(Spline(VT_SPLINE_LINEAR, {{0, 0, 0}, {1, 0, 0}}));
       return With(Null("Molecule"), With(Null("Group"), std::move(spline)), MakeSphere("C", 10.0, 6, {0, 0, 0}),
                   Null("Empty"));
     },
     {"Molecule", "C"}},
    // a spline is left out only when nothing below it draws
    {"SplineHoldingASphere",
     [] {
       NodePtr spline = SplineNode(Spline(VT_SPLINE_LINEAR, {{0, 0, 0}, {1, 0, 0}}), "Path");
       return With(Null("Molecule"), With(std::move(spline), MakeSphere("C", 10.0, 6, {})));
     },
     {"Molecule", "Path", "C"}},
    {"NullHoldingASphere", [] { return With(Null("Molecule"), With(Null("Group"), MakeSphere("C", 10.0, 6, {}))); },
     {"Molecule", "Group", "C"}},
    // what else is below a sweep must not be stretched with its tube
    {"SweepHoldingMore",
     [] { return With(Null("Molecule"), With(MakeBond({0, 0, 0}, {0, 0, 100}, 3.0), MakeSphere("C", 10.0, 6, {}))); },
     {"Molecule", "Sweep", "C", "Tube"}},
    {"DegenerateBond",
     [] { return With(Null("Molecule"), MakeBond({5, 5, 5}, {5, 5, 5}, 3.0), MakeSphere("C", 10.0, 6, {5, 5, 5})); },
     {"Molecule", "C"}},
    // every triangle of no area
    {"RadiusZero",
     [] {
       return With(Null("Molecule"), MakeSphere("C", 0.0, 6, {0, 0, 0}), MakeBond({0, 0, 0}, {0, 0, 100}, 0.0),
                   MakeSphere("O", 10.0, 6, {0, 0, 100}));
     },
     {"Molecule", "O"}},
};

class GltfNodes : public GltfTest, public testing::WithParamInterface<EmptyCase> {};

TEST_P(GltfNodes, NoNodeWithoutSomethingToDrawBelowIt) {
  const NodePtr root = GetParam().make();
  const tinygltf::Model model = WriteAndRead(root.get());
  const std::vector<std::string> names = Each(model.nodes, &tinygltf::Node::name);
  EXPECT_EQ(names, GetParam().nodes);
  ASSERT_EQ(model.scenes.size(), 1u);
  EXPECT_EQ(model.scenes[0].nodes.size(), names.empty() ? 0u : 1u);
  for (const tinygltf::Node& node : model.nodes) {
    EXPECT_TRUE(node.mesh >= 0 || !node.children.empty()) << node.name;
    if (node.name == "Sweep") {
      EXPECT_TRUE(node.scale.empty()) << "its other children are not stretched";
    }
    if (node.name == "Tube") {
      EXPECT_EQ(node.scale.size(), 3u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Hierarchies, GltfNodes, testing::ValuesIn(kEmptyCases), CaseName);

// White hydrogens, white nuclei and white single bonds: three roles, three materials.
TEST_F(GltfTest, RolesNeverShareAMaterial) {
  const VtVector white{1.0, 1.0, 1.0};
  NodePtr hydrogen = MakeSphere("H", 25.0, 8, {0, 0, 0});
  hydrogen->display = DisplayColour{true, white, 1, false};
  NodePtr nucleus = MakeSphere("H nucleus", 8.0, 8, {0, 0, 0});
  nucleus->display = DisplayColour{true, white, 1, false};
  const NodePtr root = With(Null("Molecule"), std::move(nucleus), std::move(hydrogen),
                            MakeBond({0, 0, 0}, {0, 0, 100}, 3.0), MakeBond({0, 0, 0}, {0, 100, 0}, 6.0));
  VtContainer parameters;  // the molecule object's bond settings: single bonds 3 thick and white
  parameters.values = {{20008, 3.0}, {20022, 2.0}, {20030, 3.0}, {20009, white}, {20010, VtVector{0.5, 0.5, 1.0}},
                       {20011, VtVector{1.0, 0.5, 0.5}}, {20012, VtVector{0.5, 1.0, 0.5}}};

  const tinygltf::Model model = WriteAndRead(root.get(), &parameters);
  // the thicker white bond matches no order: white is single bonds' colour, 6 is double bonds' radius
  EXPECT_EQ(ChildMaterials(model), (std::vector<std::string>{"nucleus", "H", "bond 1", "bond"}));
  EXPECT_EQ(model.materials.size(), 4u);
}

TEST_F(GltfTest, MaterialNamesAreUnique) {
  VtNode* linked = host.CreateMaterial(document, "O", {0.0, 1.0, 0.0});
  NodePtr textured = MakeSphere("C", 25.0, 8, {0, 0, 0});
  auto tag = std::make_unique<VtTag>();
  tag->type = VT_TAG_TEXTURE;
  tag->material = linked->serial;
  textured->tags.push_back(std::move(tag));
  NodePtr oxygen = MakeSphere("O", 25.0, 8, {100, 0, 0});
  oxygen->display = DisplayColour{true, {1.0, 0.0, 0.0}, 1, false};
  const tinygltf::Model model = WriteAndRead(With(Null("Molecule"), std::move(textured), std::move(oxygen)).get());
  ASSERT_EQ(model.materials.size(), 2u);
  EXPECT_EQ(model.materials[0].name, "O");
  EXPECT_EQ(model.materials[0].pbrMetallicRoughness.baseColorFactor, (std::vector<double>{0.0, 1.0, 0.0, 1.0}));
  EXPECT_EQ(model.materials[1].name, "O (2)");
}

TEST_F(GltfTest, IdenticalSpheresShareOneMesh) {
  NodePtr root = Null("Atoms");
  for (int i = 0; i < 5; ++i) {
    NodePtr sphere = MakeSphere("C", 70.0, 12, {100.0 * i, 0.0, 0.0});
    sphere->display = DisplayColour{true, {0.3, 0.3, 0.3}, 1, false};
    Adopt(root.get(), std::move(sphere));
  }
  const tinygltf::Model model = WriteAndRead(root.get());
  ASSERT_EQ(model.nodes.size(), 6u);
  EXPECT_EQ(model.meshes.size(), 1u);
  EXPECT_EQ(model.materials.size(), 1u);
  EXPECT_EQ(model.accessors.size(), 4u);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(model.nodes[i].mesh, 0);
}

struct FarCase {
  const char* name;
  NodePtr (*make)();
};

void PrintTo(const FarCase& c, std::ostream* out) { *out << c.name; }

const FarCase kFarCases[] = {
    {"AtomFarAway", [] { return MakeSphere("C", 25.0, 8, {1e41, 0.0, 0.0}); }},
    {"HugeAtom", [] { return MakeSphere("C", 1e41, 8, {0.0, 0.0, 0.0}); }},
    {"HugeBond", [] { return MakeBond({0, 0, 0}, {0, 0, 100}, 1e41); }},
    {"EndlessBond", [] { return MakeBond({0, 0, 0}, {0, 0, 1e300}, 3.0); }},
};

class GltfBeyondFloats : public GltfTest, public testing::WithParamInterface<FarCase> {};

// The file held null where glTF wants numbers, and the run said it was written.
TEST_P(GltfBeyondFloats, BeyondFloatRangeWritesNoFile) {
  NodePtr far = GetParam().make();
  far->name = "Far";
  const NodePtr root = With(Null("Molecule"), MakeSphere("O", 25.0, 8, {0.0, 0.0, 0.0}), std::move(far));
  const fs::path file = folder_ / "far.glb";
  std::string error;
  EXPECT_FALSE(WriteGltf(host, {root.get(), nullptr, {}}, file, &error));
  EXPECT_NE(error.find("'Far'"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Objects, GltfBeyondFloats, testing::ValuesIn(kFarCases), CaseName);

// Seven decimals put atoms a hundred-millionth of an angstrom apart on one spot, and gave their bond
// no length.
TEST_F(GltfTest, TinyPlacementsKeepTheirDigits) {
  const tinygltf::Model model = WriteAndRead(
      With(Null("Molecule"), MakeSphere("C", 1e-6, 6, {1e-6, 0, 0}), MakeBond({0, 0, 0}, {0, 0, -1e-6}, 1e-7)).get());
  ASSERT_EQ(model.nodes.size(), 3u);
  ASSERT_EQ(model.nodes[1].translation.size(), 3u);
  EXPECT_EQ(static_cast<float>(model.nodes[1].translation[0]), 1e-8f);
  ASSERT_EQ(model.nodes[2].scale.size(), 3u);
  EXPECT_EQ(static_cast<float>(model.nodes[2].scale[2]), 1e-8f);
}

TEST_F(GltfTest, UnwritableFileOrNoHierarchyFails) {
  std::string error;
  EXPECT_FALSE(WriteGltf(host, {sample.root.get(), nullptr, {}}, folder_ / "missing" / "out.glb", &error));
  EXPECT_NE(error, "");
  error.clear();
  EXPECT_FALSE(WriteGltf(host, {}, folder_ / "out.glb", &error));
  EXPECT_NE(error, "");
}

}  // namespace
}  // namespace vthost
