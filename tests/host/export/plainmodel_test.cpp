// Tests export/plainmodel.h and export/shapecache.h: one model written to glTF and USD as the public
// entry points write them, shapes shared between models within the cache's budget.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "cases.h"
#include "export/gltf.h"
#include "export/plainmodel.h"
#include "export/shapecache.h"
#include "export/usd.h"
#include "sample_hierarchy.h"
#include "vthost/models.h"

namespace vthost {
namespace {

// A polygon object of one triangle.
NodePtr Triangle() {
  NodePtr node = OwnNode(new VtNode());
  node->type = VT_OBJECT_POLYGON;
  node->name = "Triangle";
  node->mesh = std::make_shared<const Mesh>(Mesh{{{0, 0, 0}, {100, 0, 0}, {0, 100, 0}}, {{0, 1, 2, 2}}, {}});
  return node;
}

struct HierarchyCase {
  const char* name;
  NodePtr (*make)();
  std::string objectName;
};
void PrintTo(const HierarchyCase& c, std::ostream* out) { *out << c.name; }

const HierarchyCase kHierarchies[] = {
    {"AtomsAndABond",
     [] {
       return With(Null("Molecule"), MakeSphere("C", 70.0, 12, {0, 0, 0}), MakeSphere("O", 60.0, 12, {0, 100, 0}),
                   MakeBond({0, 0, 0}, {0, 100, 0}, 5.0));
     },
     "water"},
    // an odd number of 16-bit indices: the block is padded
    {"OddIndices", [] { return With(Null("Molecule"), Triangle()); }, ""},
    {"LargeSphere", [] { return With(Null("Molecule"), MakeSphere("C", 70.0, 400, {0, 0, 0})); }, "large"},
    {"NothingDrawn", [] { return With(Null("Molecule"), MakeSphere("C", 0.0, 12, {0, 0, 0})); }, "empty"},
};

class OneModel : public testing::TestWithParam<HierarchyCase> {
 protected:
  Host host;
};

// The conversion engine builds a model once for every format: each gives what its entry point gives.
TEST_P(OneModel, WritesWhatTheEntryPointsWrite) {
  const NodePtr root = GetParam().make();
  const ExportedModel exported{root.get(), nullptr, GetParam().objectName};
  const PlainModel model = BuildPlainModel(host, exported, nullptr);
  std::string error, expected;
  ModelBytes glb;
  ASSERT_TRUE(GlbFromModel(model, &glb, &error)) << error;
  ASSERT_TRUE(GltfBytes(host, exported, &expected, &error)) << error;
  EXPECT_EQ(glb.Joined(), expected);
  EXPECT_EQ(glb.drawsNothing, model.root < 0);
  for (const bool package : {false, true}) {
    std::string usd;
    ASSERT_TRUE(UsdFromModel(model, package, &usd, &error)) << error;
    ASSERT_TRUE(UsdBytes(host, exported, package, &expected, &error)) << error;
    EXPECT_EQ(usd, expected) << package;
  }
  EXPECT_EQ(TrianglesOf(model), CountTriangles(host, exported));
}

// A large sphere's floats go to the file from the model itself, not from a copy.
TEST_P(OneModel, GlbPiecesAreTheModelsVertices) {
  const NodePtr root = GetParam().make();
  const PlainModel model = BuildPlainModel(host, {root.get(), nullptr, GetParam().objectName}, nullptr);
  ModelBytes glb;
  std::string error;
  ASSERT_TRUE(GlbFromModel(model, &glb, &error)) << error;
  // the header, the JSON text in one piece or more, its padding, the blocks, the buffer's padding
  const size_t blocks = kAttributes * model.geometries.size();
  ASSERT_GE(glb.pieces.size(), 4 + blocks);
  const size_t firstBlock = glb.pieces.size() - 1 - blocks;
  EXPECT_EQ(glb.pieces[0].size(), 20u);
  EXPECT_EQ(glb.pieces[1].substr(0, 9), "{\"asset\":");
  for (size_t g = 0; g < model.geometries.size(); ++g) {
    const std::vector<float>& positions = model.geometries[g].vertices->positions;
    EXPECT_EQ(glb.pieces[firstBlock + AccessorOf(static_cast<int>(g), kPositions)].data(),
              reinterpret_cast<const char*>(positions.data()));
    const std::string_view indices = glb.pieces[firstBlock + AccessorOf(static_cast<int>(g), kIndices)];
    EXPECT_EQ(indices.size() % 4, 0u);
    if (model.geometries[g].vertices->indices.size() % 2 == 1) {
      EXPECT_EQ(indices.substr(indices.size() - 2), std::string(2, '\0')) << "the padding";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Hierarchies, OneModel, testing::ValuesIn(kHierarchies), CaseName);

TEST(PlainModel, BothFormatsTakeTheMaterialsRoughness) {
  Host host;
  VtDocument* document = host.NewDocument();
  SampleHierarchy sample = MakeSampleHierarchy(host, document);
  PlainModel model = BuildPlainModel(host, {sample.root.get(), nullptr, "m"}, nullptr);
  ASSERT_FALSE(model.materials.empty());
  for (ModelMaterial& material : model.materials) material.roughness = 0.25;
  ModelBytes glb;
  std::string usd, error;
  ASSERT_TRUE(GlbFromModel(model, &glb, &error)) << error;
  ASSERT_TRUE(UsdFromModel(model, /*package=*/false, &usd, &error)) << error;
  EXPECT_NE(glb.Joined().find("\"roughnessFactor\":0.25"), std::string::npos);
  EXPECT_NE(usd.find("float inputs:roughness = 0.25\n"), std::string::npos);
  EXPECT_EQ(usd.find("float inputs:roughness = 0.5\n"), std::string::npos);
  host.CloseDocument(document);
}

// The refusal names the format it is made for.
TEST(PlainModel, RefusalNamesTheFormat) {
  Host host;
  const NodePtr root = With(Null("Molecule"), MakeSphere("C", 25.0, 8, {1e41, 0.0, 0.0}));
  const PlainModel model = BuildPlainModel(host, {root.get(), nullptr, {}}, nullptr);
  for (const std::string format : {"glTF", "USD"}) {
    const std::optional<std::string> refused = RefusalOf(model, format);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->rfind("'C' lies beyond what " + format + "'s 32-bit floats hold", 0), 0u) << *refused;
  }
  std::string bytes, error;
  EXPECT_FALSE(UsdFromModel(model, /*package=*/true, &bytes, &error));
  EXPECT_NE(error.find("USD's"), std::string::npos) << error;
}

// Two molecules of the same atoms and bonds share the vertices of their shapes, and write the same
// bytes as molecules built without a cache.
TEST(ShapeCache, ModelsShareShapes) {
  Host host;
  ShapeCache shapes;
  const NodePtr first = kHierarchies[0].make(), second = kHierarchies[0].make();
  const PlainModel a = BuildPlainModel(host, {first.get(), nullptr, "a"}, &shapes);
  const PlainModel b = BuildPlainModel(host, {second.get(), nullptr, "a"}, &shapes);
  ASSERT_EQ(a.geometries.size(), 3u);  // two spheres and a tube
  ASSERT_EQ(b.geometries.size(), a.geometries.size());
  for (size_t g = 0; g < a.geometries.size(); ++g) EXPECT_EQ(a.geometries[g].vertices, b.geometries[g].vertices);
  EXPECT_EQ(shapes.Size(), 3u);

  ModelBytes cached, plain;
  std::string error;
  ASSERT_TRUE(GlbFromModel(b, &cached, &error)) << error;
  ASSERT_TRUE(GlbFromModel(BuildPlainModel(host, {second.get(), nullptr, "a"}, nullptr), &plain, &error)) << error;
  EXPECT_EQ(cached.Joined(), plain.Joined());
}

// Straight tubes are one shape by what their profiles hold, whichever type holds it: a flag that is
// set and the number 1 are one value, as are a flag that is not set and none.
struct ProfileCase {
  const char* name;
  std::optional<Value> first, second;  // each bond profile's closed flag
  size_t shapes;                       // the sphere's and the tubes'
};
void PrintTo(const ProfileCase& c, std::ostream* out) { *out << c.name; }

class TubeProfiles : public testing::TestWithParam<ProfileCase> {};

TEST_P(TubeProfiles, ShareAShapeByWhatTheyHold) {
  Host host;
  ShapeCache shapes;
  NodePtr first = MakeBond({0, 0, 0}, {0, 100, 0}, 5.0), second = MakeBond({0, 0, 0}, {100, 0, 0}, 5.0);
  for (const auto& [bond, closed] : {std::pair{&first, GetParam().first}, std::pair{&second, GetParam().second}}) {
    ValueMap& values = (*bond)->children[0]->parameters.values;
    values.erase(VT_SPLINE_CLOSED);
    if (closed) values.insert_or_assign(VT_SPLINE_CLOSED, *closed);
  }
  const NodePtr root = With(Null("Molecule"), MakeSphere("C", 70.0, 12, {0, 0, 0}), std::move(first), std::move(second));
  BuildPlainModel(host, {root.get(), nullptr, "m"}, &shapes);
  EXPECT_EQ(shapes.Size(), GetParam().shapes);
}

INSTANTIATE_TEST_SUITE_P(Profiles, TubeProfiles,
                         testing::Values(ProfileCase{"FlagAndOne", Value{true}, Value{int32_t{1}}, 2},
                                         ProfileCase{"OneAndOnePointZero", Value{int32_t{1}}, Value{1.0}, 2},
                                         ProfileCase{"UnsetAndNone", Value{false}, std::nullopt, 2},
                                         ProfileCase{"SetAndUnset", Value{true}, Value{false}, 3}),
                         CaseName);

// Nodes of one look share a material, and one thing of the look told apart is another material.
struct LookCase {
  const char* name;
  void (*change)(VtNode* second, Host* host);  // the second of two carbon atoms, or of two bonds
  bool bonds;
  size_t materials;
};
void PrintTo(const LookCase& c, std::ostream* out) { *out << c.name; }

class Looks : public testing::TestWithParam<LookCase> {};

TEST_P(Looks, ShareAMaterialByAllTheyHold) {
  Host host;
  const auto make = [&] {
    NodePtr node = GetParam().bonds ? MakeBond({0, 0, 0}, {0, 100, 0}, 3.0) : MakeSphere("C", 70.0, 12, {0, 0, 0});
    node->display = DisplayColour{true, {1.0, 1.0, 1.0}, 1, false};
    return node;
  };
  NodePtr first = make(), second = make();
  GetParam().change(second.get(), &host);
  VtContainer parameters;  // single bonds 3 thick and white, the others coloured
  parameters.values = {{20008, 3.0},
                       {20022, 2.0},
                       {20030, 3.0},
                       {20009, VtVector{1.0, 1.0, 1.0}},
                       {20010, VtVector{0.5, 0.5, 1.0}},
                       {20011, VtVector{1.0, 0.5, 0.5}},
                       {20012, VtVector{0.5, 1.0, 0.5}}};
  const NodePtr root = With(Null("Molecule"), std::move(first), std::move(second));
  EXPECT_EQ(BuildPlainModel(host, {root.get(), &parameters, "m"}, nullptr).materials.size(), GetParam().materials);
}

const LookCase kLooks[] = {
    {"SameAtoms", [](VtNode*, Host*) {}, false, 1},
    {"OtherElement", [](VtNode* node, Host*) { node->name = "O"; }, false, 2},
    {"Nucleus", [](VtNode* node, Host*) { node->name = "C nucleus"; }, false, 2},
    {"OtherColour", [](VtNode* node, Host*) { node->display.colour.x = 0.5; }, false, 2},
    {"XRay", [](VtNode* node, Host*) { node->display.xray = true; }, false, 2},
    {"NoColour", [](VtNode* node, Host*) { node->display.set = false; }, false, 1},
    {"LinkedMaterial",
     [](VtNode* node, Host* host) {
       auto tag = std::make_unique<VtTag>();
       tag->type = VT_TAG_TEXTURE;
       tag->material = host->CreateMaterial(host->NewDocument(), "M", {1.0, 1.0, 1.0})->serial;
       node->tags.push_back(std::move(tag));
     },
     false, 2},
    {"SameBonds", [](VtNode*, Host*) {}, true, 1},
    {"BondOfNoOrder", [](VtNode* node, Host*) { node->children[0]->spline->points[0].x *= 2.0; }, true, 2},
    {"BondNamedOtherwise", [](VtNode* node, Host*) { node->name = "Other"; }, true, 1},
};
INSTANTIATE_TEST_SUITE_P(Nodes, Looks, testing::ValuesIn(kLooks), CaseName);

// A shape beyond a float's range is refused in every model that takes it from the cache, as in the
// one that made it.
TEST(ShapeCache, KeepsWhetherAShapeFitsAFloat) {
  Host host;
  ShapeCache shapes;
  for (int model = 0; model < 2; ++model) {
    const NodePtr root = With(Null("Molecule"), MakeSphere("C", 1e41, 8, {0.0, 0.0, 0.0}));
    EXPECT_TRUE(RefusalOf(BuildPlainModel(host, {root.get(), nullptr, "m"}, &shapes), "glTF")) << model;
  }
  EXPECT_EQ(shapes.Size(), 1u);
}

// Vertices of about `bytes` bytes.
Vertices OfBytes(size_t bytes) {
  Vertices vertices;
  vertices.positions.resize(bytes / sizeof(float));
  return vertices;
}

struct BudgetCase {
  const char* name;
  size_t shapes, bytesEach;
  size_t keptShapes;
};
void PrintTo(const BudgetCase& c, std::ostream* out) { *out << c.name; }

class ShapeBudget : public testing::TestWithParam<BudgetCase> {};

TEST_P(ShapeBudget, KeepsWithinIt) {
  ShapeCache cache;
  size_t made = 0;
  for (size_t i = 0; i < GetParam().shapes; ++i) {
    cache.Of(std::to_string(i), [&] {
      ++made;
      return OfBytes(GetParam().bytesEach);
    });
    EXPECT_LE(cache.Size(), ShapeCache::kShapes);
    EXPECT_LE(cache.Bytes(), ShapeCache::kShapeBytes);
  }
  EXPECT_EQ(cache.Size(), GetParam().keptShapes);
  cache.Of("0", [&] {
    ++made;
    return OfBytes(GetParam().bytesEach);
  });
  // the first shape is still kept only when nothing was forgotten
  EXPECT_EQ(made, GetParam().shapes + (GetParam().keptShapes == GetParam().shapes ? 0 : 1));
}

constexpr size_t kTenth = ShapeCache::kShapeBytes / 10;

INSTANTIATE_TEST_SUITE_P(
    Budgets, ShapeBudget,
    testing::Values(BudgetCase{"Few", 3, 64, 3}, BudgetCase{"OneTooMany", ShapeCache::kShapes + 1, 64, 1},
                    BudgetCase{"TooLargeToKeep", 2, kTenth + sizeof(float), 0},
                    BudgetCase{"BytesFull", 11, kTenth, 1}),
    CaseName);

}  // namespace
}  // namespace vthost
