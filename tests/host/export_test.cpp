// What vantor-host writes of a generated hierarchy: its JSON, the run's report, and the .glb read
// back with tinygltf's own loader.
#include <gtest/gtest.h>

#include <array>

#include <cmath>
#include <set>

#include "export.h"
#include "gltf.h"
#include "sample_hierarchy.h"

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
  std::vector<std::string> names;
  for (const json& child : root["children"]) names.push_back(child["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"C nucleus", "C", "O", "Bond"}));
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
  object.cache = std::move(sample.root);
  host.Record({Event::Kind::Console, "loaded", false});
  host.Record({Event::Kind::Message, "first", false});
  host.Record({Event::Kind::Question, "second?", true});
  host.Record({Event::Kind::Console, "again", false});

  const json report = Report(host, &object);
  EXPECT_EQ(Keys(report), (std::set<std::string>{"name", "atoms", "bonds", "messages", "console", "hierarchy"}));
  EXPECT_EQ(report["name"], "caffeine");
  EXPECT_EQ(report["atoms"], 2) << "the nucleus is no atom";
  EXPECT_EQ(report["bonds"], 1);
  EXPECT_EQ(report["messages"], json::array({"first", "second?"}));
  EXPECT_EQ(report["console"], json::array({"loaded", "again"}));
  EXPECT_EQ(report["hierarchy"], HierarchyJson(host, object.cache.get()));
}

TEST_F(ExportTest, ReportWithoutHierarchy) {
  VtNode object;
  object.name = "empty";
  const json report = Report(host, &object);
  EXPECT_EQ(report["atoms"], 0);
  EXPECT_EQ(report["bonds"], 0);
  EXPECT_TRUE(report["hierarchy"].is_null());
}

// A temporary folder of the test's own, removed after it.
class GltfTest : public ExportTest {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantor_gltf_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  tinygltf::Model WriteAndRead(const VtNode* root) {
    const fs::path file = folder_ / "out.glb";
    std::string error;
    EXPECT_TRUE(WriteGltf(host, root, file, &error)) << error;
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string warning;
    EXPECT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, file.u8string())) << error;
    EXPECT_EQ(warning, "");
    return model;
  }

  fs::path folder_;
};

// The elements of a float or index accessor, as doubles.
std::vector<double> Read(const tinygltf::Model& model, int accessorIndex) {
  const tinygltf::Accessor& accessor = model.accessors.at(accessorIndex);
  const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
  const unsigned char* data = model.buffers.at(view.buffer).data.data() + view.byteOffset + accessor.byteOffset;
  const size_t components = accessor.type == TINYGLTF_TYPE_VEC3 ? 3 : 1;
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
  std::vector<std::string> names;
  for (const tinygltf::Node& node : model.nodes) names.push_back(node.name);
  // a straight sweep's tube is a node of its own under the sweep
  EXPECT_EQ(names, (std::vector<std::string>{"Molecule", "C nucleus", "C", "O", "Bond", "Profile", "Path", "Tube"}));
  ASSERT_EQ(model.scenes.size(), 1u);
  EXPECT_EQ(model.scenes[0].nodes, std::vector<int>{0});
  EXPECT_EQ(model.nodes[0].children, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(model.nodes[4].children, (std::vector<int>{5, 6, 7}));
  EXPECT_EQ(model.nodes[4].mesh, -1);

  // 1 angstrom (100 units) to the metre, z mirrored
  EXPECT_EQ(model.nodes[2].translation, (std::vector<double>{1.0, 0.0, -0.5}));
  EXPECT_EQ(model.nodes[3].translation, (std::vector<double>{-1.0, 0.0, 0.5}));
  EXPECT_TRUE(model.nodes[0].translation.empty());

  // splines and the null have no mesh; C and O are the same sphere in two materials
  EXPECT_EQ(model.nodes[0].mesh, -1);
  EXPECT_EQ(model.nodes[5].mesh, -1);
  EXPECT_EQ(model.nodes[6].mesh, -1);
  ASSERT_EQ(model.meshes.size(), 4u);
  const tinygltf::Primitive& carbon = model.meshes.at(model.nodes[2].mesh).primitives.at(0);
  const tinygltf::Primitive& oxygen = model.meshes.at(model.nodes[3].mesh).primitives.at(0);
  EXPECT_NE(model.nodes[2].mesh, model.nodes[3].mesh);
  EXPECT_EQ(carbon.attributes.at("POSITION"), oxygen.attributes.at("POSITION"));
  EXPECT_EQ(carbon.indices, oxygen.indices);
  EXPECT_EQ(model.accessors.size(), 9u) << "three spheres' and one tube's worth, the big sphere once";

  // the texture's material wins over the display colour; x-ray blends
  ASSERT_EQ(model.materials.size(), 4u);
  const tinygltf::Material& red = model.materials.at(carbon.material);
  EXPECT_EQ(red.name, "Red (x-ray)");
  EXPECT_EQ(red.alphaMode, "BLEND");
  EXPECT_EQ(red.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{0.9, 0.1, 0.1, 0.5}));
  const tinygltf::Material& oxygenColour = model.materials.at(oxygen.material);
  EXPECT_EQ(oxygenColour.name, "#ff0000");
  EXPECT_EQ(oxygenColour.alphaMode, "OPAQUE");
  EXPECT_EQ(oxygenColour.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
}

TEST_F(GltfTest, SphereAccessorsAndWinding) {
  const tinygltf::Model model = WriteAndRead(sample.root.get());
  const tinygltf::Primitive& carbon = model.meshes.at(model.nodes[2].mesh).primitives.at(0);
  EXPECT_EQ(carbon.mode, TINYGLTF_MODE_TRIANGLES);
  const tinygltf::Accessor& position = model.accessors.at(carbon.attributes.at("POSITION"));
  EXPECT_EQ(position.count, 26u);
  EXPECT_EQ(model.accessors.at(carbon.attributes.at("NORMAL")).count, 26u);
  EXPECT_EQ(model.accessors.at(carbon.indices).count, 3u * (8 + 8 + 2 * 8 * 2));
  ASSERT_EQ(position.minValues.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(position.minValues[i], -1.0, 1e-6);
    EXPECT_NEAR(position.maxValues[i], 1.0, 1e-6);
  }

  const std::vector<double> points = Read(model, carbon.attributes.at("POSITION"));
  const std::vector<double> normals = Read(model, carbon.attributes.at("NORMAL"));
  const std::vector<double> indices = Read(model, carbon.indices);
  for (size_t v = 0; v < 26; ++v) {
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

// A point of the tube node's mesh where the node's translation, rotation and scale put it.
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
  const tinygltf::Node& node = model.nodes.at(7);
  ASSERT_EQ(node.rotation.size(), 4u);
  ASSERT_EQ(node.scale.size(), 3u);
  const tinygltf::Primitive& tube = model.meshes.at(node.mesh).primitives.at(0);
  const std::vector<double> points = Read(model, tube.attributes.at("POSITION"));
  const std::vector<double> normals = Read(model, tube.attributes.at("NORMAL"));
  // the path runs from (1, 0, -0.5) to (-1, 0, 0.5) in glTF's frame; the tube is 0.05 thick
  for (size_t v = 0; v < points.size(); v += 3) {
    const std::array<double, 3> p = Placed(node, &points[v]);
    const double t = ((p[0] - 1.0) * -2.0 + (p[2] + 0.5) * 1.0) / 5.0;  // along (-2, 0, 1)
    const double centre[3] = {1.0 - 2.0 * t, 0.0, -0.5 + t};
    const double distance = std::hypot(p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]);
    EXPECT_NEAR(distance, 0.0, 0.05 + 1e-6);
    EXPECT_GT(t, -1e-6);
    EXPECT_LT(t, 1.0 + 1e-6);
    EXPECT_NEAR(std::hypot(normals[v], normals[v + 1], normals[v + 2]), 1.0, 1e-6);
  }
  // both ends reached
  double lowest = 1.0, highest = 0.0;
  for (size_t v = 0; v < points.size(); v += 3) {
    const std::array<double, 3> p = Placed(node, &points[v]);
    const double t = ((p[0] - 1.0) * -2.0 + (p[2] + 0.5) * 1.0) / 5.0;
    lowest = std::min(lowest, t);
    highest = std::max(highest, t);
  }
  EXPECT_NEAR(lowest, 0.0, 1e-6);
  EXPECT_NEAR(highest, 1.0, 1e-6);
  // 12 around: the tube's 24 vertices, and each cap's 12 corners and centre of its own (flat)
  EXPECT_EQ(points.size() / 3, 24u + 2 * 13u);
  EXPECT_EQ(model.accessors.at(tube.indices).count, 3u * (2 * 12 + 2 * 12));
}

TEST_F(GltfTest, IdenticalSpheresShareOneMesh) {
  NodePtr root = OwnNode(new VtNode());
  root->type = VT_OBJECT_NULL;
  root->name = "Atoms";
  for (int i = 0; i < 5; ++i) {
    NodePtr sphere = MakeSphere("C", 70.0, 12, {100.0 * i, 0.0, 0.0});
    sphere->display = DisplayColour{true, {0.3, 0.3, 0.3}, 1, false};
    sphere->parent = root.get();
    root->children.push_back(std::move(sphere));
  }
  const tinygltf::Model model = WriteAndRead(root.get());
  ASSERT_EQ(model.nodes.size(), 6u);
  EXPECT_EQ(model.meshes.size(), 1u);
  EXPECT_EQ(model.materials.size(), 1u);
  EXPECT_EQ(model.accessors.size(), 3u);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(model.nodes[i].mesh, 0);
}

TEST_F(GltfTest, UnwritableFileOrNoHierarchyFails) {
  std::string error;
  EXPECT_FALSE(WriteGltf(host, sample.root.get(), folder_ / "missing" / "out.glb", &error));
  EXPECT_NE(error, "");
  error.clear();
  EXPECT_FALSE(WriteGltf(host, nullptr, folder_ / "out.glb", &error));
  EXPECT_NE(error, "");
}

}  // namespace
}  // namespace vthost
