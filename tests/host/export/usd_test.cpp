// The USD stage of a generated hierarchy: prim names, the layers and the .usdz package that holds
// them, and the detail chosen for a triangle budget.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cases.h"
#include "export/plainmodel.h"
#include "export/usd.h"
#include "sample_hierarchy.h"
#include "vthost/budget.h"

namespace vthost {
namespace {

struct NameCase {
  std::string name, given, made;
};
void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }

class PrimNames : public testing::TestWithParam<NameCase> {};

TEST_P(PrimNames, AreIdentifiers) { EXPECT_EQ(UsdName(GetParam().given), GetParam().made); }

INSTANTIATE_TEST_SUITE_P(Names, PrimNames,
                         testing::Values(NameCase{"Symbol", "C", "C"}, NameCase{"Blank", "bond 1", "bond_1"},
                                         NameCase{"Brackets", "C (x-ray)", "C__x_ray_"},
                                         NameCase{"LeadingDigit", "3-methyl", "_3_methyl"}, NameCase{"Empty", "", "_"},
                                         NameCase{"Utf8", "\xC3\xA9t\xC3\xA9", "_t_"}, NameCase{"Slash", "a/b", "a_b"}),
                         CaseName);

struct SiblingCase {
  std::string name;
  std::vector<std::string> given, made;
  size_t room = 0;  // the names room is made for at first
};
void PrintTo(const SiblingCase& c, std::ostream* out) { *out << c.name; }

class SiblingNames : public testing::TestWithParam<SiblingCase> {};

// Each name taken in turn is unique among those taken before it, a number after the first free.
TEST_P(SiblingNames, AreUnique) {
  UsdSiblings siblings(GetParam().room);
  std::vector<std::string> made;
  for (const std::string& name : GetParam().given) made.push_back(siblings.Take(name));
  EXPECT_EQ(made, GetParam().made);
}

std::vector<std::string> Repeated(const std::string& name, size_t count) {
  return std::vector<std::string>(count, name);
}
std::vector<std::string> Numbered(const std::string& name, size_t count) {
  std::vector<std::string> names{name};
  for (size_t i = 1; i < count; ++i) names.push_back(name + "_" + std::to_string(i));
  return names;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SiblingNames,
    testing::Values(SiblingCase{"AllDifferent", {"C", "H", "N"}, {"C", "H", "N"}},
                    SiblingCase{"Repeated", {"C", "C", "H", "C"}, {"C", "C_1", "H", "C_2"}},
                    SiblingCase{"NumberTaken", {"C_1", "C", "C", "C"}, {"C_1", "C", "C_2", "C_3"}},
                    SiblingCase{"MadeNamesMeet", {"a b", "a_b", "a?b"}, {"a_b", "a_b_1", "a_b_2"}},
                    SiblingCase{"NumberedTwice", {"C", "C", "C_1"}, {"C", "C_1", "C_1_1"}},
                    SiblingCase{"ManyPastTheTable", Repeated("Sweep", 300), Numbered("Sweep", 300)},
                    SiblingCase{"ManyWithRoom", Repeated("Sweep", 300), Numbered("Sweep", 300), 300},
                    SiblingCase{"LongerThanTheStack", Repeated(std::string(70, 'x'), 3),
                                Numbered(std::string(70, 'x'), 3)}),
    CaseName);

uint32_t Le(const std::string& bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint32_t{static_cast<unsigned char>(bytes.at(at + i))} << (8 * i);
  return value;
}

// A package read as a zip reader reads it: from the end record to the central directory to each
// local header; every file stored, its data where the headers say, at a multiple of 64 bytes.
TEST(UsdzPackage, EveryFileStoredAndAlignedInOrder) {
  for (size_t length = 1; length <= 70; ++length) {  // every padding a name can need, some below 4
    const std::string shape(length * 7, 'x');
    const std::vector<PackagedFile> files{{std::string(length, 'r') + ".usda", "#usda 1.0\n"},
                                          {"shapes/shape_0.usda", shape},
                                          {"123456789", "123456789"}};
    std::string zip;
    ASSERT_TRUE(UsdzBytes(files, &zip));
    const size_t end = zip.size() - 22;
    ASSERT_EQ(Le(zip, end, 4), 0x06054b50u);
    ASSERT_EQ(Le(zip, end + 10, 2), files.size());
    size_t central = Le(zip, end + 16, 4);
    for (const PackagedFile& file : files) {
      ASSERT_EQ(Le(zip, central, 4), 0x02014b50u);
      EXPECT_EQ(Le(zip, central + 10, 2), 0u) << "compressed";
      const size_t name = Le(zip, central + 28, 2), local = Le(zip, central + 42, 4);
      EXPECT_EQ(zip.substr(central + 46, name), file.name);
      ASSERT_EQ(Le(zip, local, 4), 0x04034b50u);
      EXPECT_EQ(Le(zip, local + 14, 4), Le(zip, central + 16, 4)) << "the CRCs differ";
      const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
      EXPECT_EQ(data % 64, 0u) << file.name;
      EXPECT_EQ(zip.substr(data, Le(zip, local + 18, 4)), file.bytes);
      if (file.bytes == "123456789") {
        EXPECT_EQ(Le(zip, local + 14, 4), 0xCBF43926u) << "its well-known CRC-32";
      }
      central += 46 + name;
    }
  }
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The sample's stage: one shape per sphere and tube, referenced by every node that draws it, a
// material bound for each role, names made prim names and the given ones kept.
TEST(UsdStage, SharesShapesAndBindsMaterials) {
  Host host;
  VtDocument* document = host.NewDocument();
  SampleHierarchy sample = MakeSampleHierarchy(host, document);
  NodePtr oxygen = MakeSphere("O", 100.0, 8, {0.0, 300.0, 0.0});  // a second oxygen
  oxygen->display = DisplayColour{true, {1.0, 0.0, 0.0}, 1, false};
  Adopt(sample.root.get(), std::move(oxygen));
  const PlainModel model = BuildPlainModel(host, {sample.root.get(), nullptr, "my molecule"}, nullptr);
  const std::string root = UsdaLayer(model);
  EXPECT_EQ(root.rfind("#usda 1.0\n(\n    defaultPrim = \"my_molecule\"\n", 0), 0u);
  EXPECT_NE(root.find("def Xform \"my_molecule\" (\n    kind = \"component\"\n    displayName = \"my molecule\"\n"),
            std::string::npos);
  EXPECT_NE(root.find("def Xform \"O_1\" (\n            displayName = \"O\"\n"), std::string::npos) << root;
  EXPECT_EQ(Count(root, "</Shapes/shape_"), 5u);  // nucleus, carbon, two oxygens, bond
  // the nucleus, the tube and one sphere for carbon and both oxygens (of one radius)
  EXPECT_EQ(Count(root, "def Xform \"shape_"), 3u);
  EXPECT_NE(root.find("rel material:binding = </my_molecule/Looks/Red__x_ray_>"), std::string::npos);
  EXPECT_NE(root.find("def Material \"Red__x_ray_\" (\n            displayName = \"Red (x-ray)\"\n"),
            std::string::npos)
      << root;
  EXPECT_NE(root.find("uniform token info:id = \"UsdPreviewSurface\""), std::string::npos);
  host.CloseDocument(document);
}

struct PackageCase {
  std::string name;
  bool drawsNothing;
};
void PrintTo(const PackageCase& c, std::ostream* out) { *out << c.name; }

class UsdzLayer : public testing::TestWithParam<PackageCase> {};

// A package holds one crate layer and nothing else, whether the model draws or not.
TEST_P(UsdzLayer, IsOneCrateFile) {
  Host host;
  VtDocument* document = host.NewDocument();
  SampleHierarchy sample = MakeSampleHierarchy(host, document);
  PlainModel model = BuildPlainModel(host, {sample.root.get(), nullptr, "my molecule"}, nullptr);
  if (GetParam().drawsNothing) model = PlainModel{-1, "nothing", {}, {}, {}, {}};
  std::string zip, error;
  ASSERT_TRUE(UsdFromModel(model, /*package=*/true, &zip, &error)) << error;
  const size_t end = zip.size() - 22;
  ASSERT_EQ(Le(zip, end + 10, 2), 1u);
  const size_t central = Le(zip, end + 16, 4);
  EXPECT_EQ(zip.substr(central + 46, Le(zip, central + 28, 2)), "model.usdc");
  const size_t local = Le(zip, central + 42, 4);
  const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
  EXPECT_EQ(zip.substr(data, 8), "PXR-USDC");
  EXPECT_NE(zip.find(GetParam().drawsNothing ? "nothing" : "my_molecule"), std::string::npos);
  host.CloseDocument(document);
}

INSTANTIATE_TEST_SUITE_P(Models, UsdzLayer,
                         testing::Values(PackageCase{"Sample", false}, PackageCase{"DrawsNothing", true}), CaseName);

struct FitCase {
  std::string name;
  int64_t most;
  DetailRange segments, subdivisions;
  bool fits;
  Detail chosen;
};
void PrintTo(const FitCase& c, std::ostream* out) { *out << c.name; }

class TriangleBudget : public testing::TestWithParam<FitCase> {};

// A model of 10 triangles a segment and one a subdivision: the spheres are given the most first.
TEST_P(TriangleBudget, TakesTheFinestThatFits) {
  const FitCase& c = GetParam();
  Detail chosen;
  EXPECT_EQ(
      FitDetail([](int32_t s, int32_t d) { return int64_t{10} * s + d; }, c.most, c.segments, c.subdivisions, &chosen),
      c.fits);
  EXPECT_EQ(chosen.segments, c.chosen.segments);
  EXPECT_EQ(chosen.subdivisions, c.chosen.subdivisions);
  EXPECT_EQ(chosen.triangles, c.chosen.triangles);
}

INSTANTIATE_TEST_SUITE_P(Budgets, TriangleBudget,
                         testing::Values(FitCase{"SpheresTakeAll", 100, {3, 1000}, {0, 100}, true, {10, 0, 100}},
                                         FitCase{"BondsTakeTheRest", 105, {3, 1000}, {0, 100}, true, {10, 5, 105}},
                                         FitCase{"Tight", 30, {3, 1000}, {0, 100}, true, {3, 0, 30}},
                                         FitCase{"TooSmall", 29, {3, 1000}, {0, 100}, false, {3, 0, 30}},
                                         FitCase{"NeverAboveTheCeiling", 100000, {3, 24}, {0, 2}, true, {24, 2, 242}},
                                         FitCase{
                                             "AtTheRangesEnd", 1000000, {3, 1000}, {0, 100}, true, {1000, 100, 10100}}),
                         CaseName);

}  // namespace
}  // namespace vthost
