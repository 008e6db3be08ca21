// The crate layer's bytes as a reader finds them: the bootstrap, the table of contents and its six
// sections, the tokens, and the values that do not fit in a field, each where its field says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cases.h"
#include "export/usdcrate.h"

namespace vthost {
namespace {

uint64_t Le(const std::string& bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{static_cast<unsigned char>(bytes.at(at + i))} << (8 * i);
  return value;
}

// A layer of one prim with an attribute of each kind of value the stages hold.
std::string SampleLayer() {
  CrateLayer layer;
  layer.SetToken(CrateLayer::kPseudoRoot, "defaultPrim", "root");
  const CrateLayer::Item root = layer.AddPrim(CrateLayer::kPseudoRoot, "root", CrateLayer::Specifier::kDef, "Xform");
  const CrateLayer::Item shapes =
      layer.AddPrim(CrateLayer::kPseudoRoot, "Shapes", CrateLayer::Specifier::kClass, "");
  layer.PrependInternalReference(root, shapes);
  layer.SetDouble3(layer.AddAttribute(root, "xformOp:translate", "double3", false), "default", {1.0, 2.0, 3.0});
  layer.SetIntArray(layer.AddAttribute(root, "counts", "int[]", false), "default", {3, 3});
  layer.SetFloatTuples(layer.AddAttribute(root, "points", "point3f[]", false), "default", 3, {});
  return std::string(layer.Bytes().View());
}

struct Section {
  std::string name;  // the row's name, the section's too
  size_t index;
};
void PrintTo(const Section& c, std::ostream* out) { *out << c.name; }

class CrateSections : public testing::TestWithParam<Section> {};

// The table of contents, at the offset the bootstrap gives, lists six sections of 32 bytes (a name
// of 16, a start and a size), in the order they lie between the values and the table itself.
TEST_P(CrateSections, LieInOrderBeforeTheTable) {
  const std::string bytes = SampleLayer();
  ASSERT_EQ(bytes.substr(0, 8), "PXR-USDC");
  EXPECT_EQ(bytes.substr(8, 8), std::string("\0\x08\0\0\0\0\0\0", 8));
  const uint64_t toc = Le(bytes, 16, 8);
  ASSERT_EQ(Le(bytes, toc, 8), 6u);
  ASSERT_EQ(toc + 8 + 6 * 32, bytes.size());
  const size_t entry = toc + 8 + 32 * GetParam().index;
  EXPECT_EQ(bytes.substr(entry, 16), GetParam().name + std::string(16 - GetParam().name.size(), '\0'));
  const uint64_t start = Le(bytes, entry + 16, 8), size = Le(bytes, entry + 24, 8);
  const uint64_t next = GetParam().index == 5 ? toc : Le(bytes, entry + 32 + 16, 8);
  EXPECT_GE(start, 88u);
  EXPECT_EQ(start + size, next);
}

INSTANTIATE_TEST_SUITE_P(Sections, CrateSections,
                         testing::Values(Section{"TOKENS", 0}, Section{"STRINGS", 1}, Section{"FIELDS", 2},
                                         Section{"FIELDSETS", 3}, Section{"PATHS", 4}, Section{"SPECS", 5}),
                         CaseName);

// What the writer compresses, read back: a chunk count of 0, then one LZ4 block of literals alone.
std::string Literals(const std::string& compressed) {
  EXPECT_EQ(compressed.at(0), '\0');
  size_t length = static_cast<unsigned char>(compressed.at(1)) >> 4, at = 2;
  if (length == 15) {
    for (unsigned char more = 255; more == 255; length += more) more = static_cast<unsigned char>(compressed.at(at++));
  }
  EXPECT_EQ(at + length, compressed.size());
  return compressed.substr(at, length);
}

// The tokens: a count, the bytes' count and the compressed bytes' count, then each token ended by
// a NUL.
std::vector<std::string> Tokens(const std::string& bytes) {
  const uint64_t start = Le(bytes, Le(bytes, 16, 8) + 8 + 16, 8);
  const uint64_t count = Le(bytes, start, 8), characters = Le(bytes, start + 8, 8);
  const std::string text = Literals(bytes.substr(start + 24, Le(bytes, start + 16, 8)));
  EXPECT_EQ(text.size(), characters);
  std::vector<std::string> tokens;
  for (size_t at = 0; at < text.size(); at = text.find('\0', at) + 1) {
    tokens.push_back(text.substr(at, text.find('\0', at) - at));
  }
  EXPECT_EQ(tokens.size(), count);
  return tokens;
}

// The names, the fields' names and the types, each once.
TEST(CrateLayer, TokensAreNamedOnce) {
  const std::vector<std::string> tokens = Tokens(SampleLayer());
  for (const std::string name : {"", "root", "Shapes", "Xform", "defaultPrim", "references", "xformOp:translate",
                                 "double3", "default", "primChildren", "properties", "specifier"}) {
    EXPECT_EQ(std::count(tokens.begin(), tokens.end(), name), 1) << "'" << name << "'";
  }
}

struct NamedTokens {
  std::string name;
  int prims;
  bool nameFirst;  // the type's Name used before its text is
  size_t reserved = 0;  // the items room is made for once the first prim is made
};
void PrintTo(const NamedTokens& c, std::ostream* out) { *out << c.name; }

class CrateNames : public testing::TestWithParam<NamedTokens> {};

// A Name and the same text are one token, numbered where either is first used, however many
// tokens the layer holds.
TEST_P(CrateNames, AreTokensInTheOrderOfFirstUse) {
  const NamedTokens& c = GetParam();
  CrateLayer layer;
  const CrateLayer::Text xform = layer.Name("Xform");
  const CrateLayer::Text first = c.nameFirst ? xform : CrateLayer::Text("Xform");
  const CrateLayer::Text then = c.nameFirst ? CrateLayer::Text("Xform") : xform;
  layer.AddPrim(CrateLayer::kPseudoRoot, "prim_0", CrateLayer::Specifier::kDef, first);
  if (c.reserved > 0) layer.Reserve(0, c.reserved, 0);
  for (int i = 1; i < c.prims; ++i) {
    layer.AddPrim(CrateLayer::kPseudoRoot, "prim_" + std::to_string(i), CrateLayer::Specifier::kDef, then);
  }
  std::vector<std::string> expected = {"", "prim_0", "specifier", "Xform", "typeName"};
  for (int i = 1; i < c.prims; ++i) expected.push_back("prim_" + std::to_string(i));
  expected.push_back("primChildren");
  EXPECT_EQ(Tokens(std::string(layer.Bytes().View())), expected);
}

INSTANTIATE_TEST_SUITE_P(Layers, CrateNames,
                         testing::Values(NamedTokens{"NameFirst", 3, true}, NamedTokens{"TextFirst", 3, false},
                                         NamedTokens{"ManyTokens", 3000, true},
                                         NamedTokens{"ManyTokensRoomMade", 3000, true, 20000}),
                         CaseName);

// The literals' length past 15 goes on in bytes of 255 and one below it.
TEST(CrateLayer, LongTokenListsCompressWhole) {
  CrateLayer layer;
  for (int i = 0; i < 300; ++i) {
    layer.AddPrim(CrateLayer::kPseudoRoot, "prim_" + std::to_string(i), CrateLayer::Specifier::kDef, "");
  }
  const std::string bytes(layer.Bytes().View());
  const uint64_t start = Le(bytes, Le(bytes, 16, 8) + 8 + 16, 8);
  EXPECT_EQ(Literals(bytes.substr(start + 24, Le(bytes, start + 16, 8))).size(), Le(bytes, start + 8, 8));
}

// The integers of a structural section, decoded as a reader decodes them: the compressed size, then
// the common difference, the 2-bit codes (four to a byte, low bits first) and the other differences.
std::vector<int32_t> Integers(const std::string& bytes, size_t* at, size_t count) {
  const std::string coded = Literals(bytes.substr(*at + 8, Le(bytes, *at, 8)));
  *at += 8 + Le(bytes, *at, 8);
  const auto common = static_cast<int32_t>(Le(coded, 0, 4));
  size_t next = 4 + (count * 2 + 7) / 8;
  std::vector<int32_t> values;
  int32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t code = (static_cast<unsigned char>(coded.at(4 + i / 4)) >> (2 * (i % 4))) & 3;
    const size_t width = code == 0 ? 0 : code == 1 ? 1 : code == 2 ? 2 : 4;
    uint64_t bits = Le(coded, next, width);
    next += width;
    if (width > 0 && width < 4 && (bits >> (8 * width - 1)) != 0) bits |= ~uint64_t{0} << (8 * width);  // sign
    value += code == 0 ? common : static_cast<int32_t>(static_cast<uint32_t>(bits));
    values.push_back(value);
  }
  EXPECT_EQ(next, coded.size());
  // the common difference is the most common of those that take a byte, a tie going to the larger
  std::vector<size_t> counts(256);
  for (size_t i = 0; i < count; ++i) {
    const int64_t difference = int64_t{values[i]} - (i == 0 ? 0 : values[i - 1]);
    if (difference >= -128 && difference < 128) ++counts[static_cast<size_t>(difference + 128)];
  }
  const auto most = std::max_element(counts.rbegin(), counts.rend());
  EXPECT_EQ(common, static_cast<int32_t>(counts.rend() - most - 1) - 128);
  return values;
}

// The paths, depth first from the pseudo-root: each its item, its name's token (negated for a
// property) and its jump: -1 a child follows, 0 a sibling, -2 neither, and past 0 both, the
// sibling that many entries on.
TEST(CrateLayer, PathsListTheTreeDepthFirst) {
  CrateLayer layer;
  const CrateLayer::Item a = layer.AddPrim(CrateLayer::kPseudoRoot, "a", CrateLayer::Specifier::kDef, "");
  const CrateLayer::Item c = layer.AddPrim(CrateLayer::kPseudoRoot, "c", CrateLayer::Specifier::kDef, "");
  const CrateLayer::Item b = layer.AddPrim(a, "b", CrateLayer::Specifier::kDef, "");
  const CrateLayer::Item x = layer.AddAttribute(a, "x", "float", false);
  const std::string bytes(layer.Bytes().View());
  size_t at = Le(bytes, Le(bytes, 16, 8) + 8 + 4 * 32 + 16, 8);  // the fifth section's start
  ASSERT_EQ(Le(bytes, at, 8), 5u);
  ASSERT_EQ(Le(bytes, at + 8, 8), 5u);
  at += 16;
  const std::vector<int32_t> items = Integers(bytes, &at, 5);
  EXPECT_EQ(items, (std::vector<int32_t>{0, static_cast<int32_t>(a), static_cast<int32_t>(b),
                                         static_cast<int32_t>(x), static_cast<int32_t>(c)}));
  const std::vector<int32_t> names = Integers(bytes, &at, 5);
  EXPECT_LT(names[3], 0);
  EXPECT_GT(names[1], 0);
  EXPECT_EQ(Integers(bytes, &at, 5), (std::vector<int32_t>{-1, 3, 0, -2, -2}));
}

struct FieldSetCase {
  std::string name;
  int prims;  // each with one field: the differences reach past one byte at 128, past two at 32768
  bool typed = false;  // each with a type as well: a second field, and 1 the common difference
};
void PrintTo(const FieldSetCase& c, std::ostream* out) { *out << c.name; }

// The bytes of a layer of prims prims under the pseudo-root, named p0, p1...
std::string BytesOfPrims(int prims, bool typed = false) {
  CrateLayer layer;
  for (int i = 0; i < prims; ++i) {
    layer.AddPrim(CrateLayer::kPseudoRoot, "p" + std::to_string(i), CrateLayer::Specifier::kDef, typed ? "Xform" : "");
  }
  return std::string(layer.Bytes().View());
}

class CrateFieldSets : public testing::TestWithParam<FieldSetCase> {};

// Each item's fields by index, each run ended by -1, read back whatever width the differences take.
TEST_P(CrateFieldSets, ReadBackAtEveryWidth) {
  const FieldSetCase& c = GetParam();
  const std::string bytes = BytesOfPrims(c.prims, c.typed);
  size_t at = Le(bytes, Le(bytes, 16, 8) + 8 + 3 * 32 + 16, 8);  // the fourth section's start
  const int fieldsPerPrim = c.typed ? 2 : 1;
  const size_t count = 2 + (fieldsPerPrim + 1) * c.prims;
  ASSERT_EQ(Le(bytes, at, 8), count);
  at += 8;
  std::vector<int32_t> expected = {0, -1};  // the pseudo-root's children
  for (int prim = 0; prim < c.prims; ++prim) {
    for (int field = 0; field < fieldsPerPrim; ++field) expected.push_back(1 + fieldsPerPrim * prim + field);
    expected.push_back(-1);
  }
  EXPECT_EQ(Integers(bytes, &at, count), expected);
}

INSTANTIATE_TEST_SUITE_P(Widths, CrateFieldSets,
                         testing::Values(FieldSetCase{"OneByte", 3}, FieldSetCase{"TwoBytes", 300},
                                         FieldSetCase{"FourBytes", 40000}, FieldSetCase{"RunsOneByte", 3, true},
                                         FieldSetCase{"RunsTwoBytes", 300, true},
                                         FieldSetCase{"RunsFourBytes", 20000, true}),
                         CaseName);

class CrateItemPaths : public testing::TestWithParam<FieldSetCase> {};

// The items list their paths in order, 0 to the last, however many there are.
TEST_P(CrateItemPaths, CountUpFromThePseudoRoot) {
  const std::string bytes = BytesOfPrims(GetParam().prims);
  size_t at = Le(bytes, Le(bytes, 16, 8) + 8 + 5 * 32 + 16, 8);  // the sixth section's start
  const size_t count = GetParam().prims + 1;
  ASSERT_EQ(Le(bytes, at, 8), count);
  at += 8;
  std::vector<int32_t> expected(count);
  for (size_t i = 0; i < count; ++i) expected[i] = static_cast<int32_t>(i);
  EXPECT_EQ(Integers(bytes, &at, count), expected);
}

INSTANTIATE_TEST_SUITE_P(Counts, CrateItemPaths,
                         testing::Values(FieldSetCase{"PseudoRootOnly", 0}, FieldSetCase{"Two", 1},
                                         FieldSetCase{"FourCodesEven", 3}, FieldSetCase{"Many", 300}),
                         CaseName);

class CratePathLists : public testing::TestWithParam<FieldSetCase> {};

// Long lists read back whether or not the common difference that a spread of them has is theirs:
// prims each with an attribute, listed in the order they were made.
TEST_P(CratePathLists, ReadBackWhateverTheirSpreadSays) {
  const int prims = GetParam().prims;
  CrateLayer layer;
  for (int i = 0; i < prims; ++i) {
    const CrateLayer::Item prim =
        layer.AddPrim(CrateLayer::kPseudoRoot, "p" + std::to_string(i), CrateLayer::Specifier::kDef, "");
    layer.AddAttribute(prim, "a", "float", false);
  }
  const std::string bytes(layer.Bytes().View());
  size_t at = Le(bytes, Le(bytes, 16, 8) + 8 + 4 * 32 + 16, 8) + 16;  // the paths' first list
  const size_t count = 1 + 2 * prims;
  std::vector<int32_t> items(count), jumps = {-1};
  for (size_t i = 0; i < count; ++i) items[i] = static_cast<int32_t>(i);
  for (int i = 0; i < prims; ++i) jumps.insert(jumps.end(), {i + 1 < prims ? 2 : -1, -2});
  EXPECT_EQ(Integers(bytes, &at, count), items);
  const std::vector<int32_t> names = Integers(bytes, &at, count);
  for (size_t i = 1; i < count; ++i) EXPECT_EQ(names[i] < 0, i % 2 == 0) << i;
  EXPECT_EQ(Integers(bytes, &at, count), jumps);
}

// (at 300 a spread of the names' differences misses the common one)
INSTANTIATE_TEST_SUITE_P(Lists, CratePathLists,
                         testing::Values(FieldSetCase{"SpreadRight", 301}, FieldSetCase{"SpreadWrong", 300}),
                         CaseName);

struct Move {
  std::string name;
  size_t child;  // which of three children goes last
  std::vector<int32_t> paths;  // the items depth first, after the move
};
void PrintTo(const Move& c, std::ostream* out) { *out << c.name; }

class CrateMoves : public testing::TestWithParam<Move> {};

// A child put last is listed last among its siblings, the others keeping their order.
TEST_P(CrateMoves, PutTheChildLast) {
  CrateLayer layer;
  const CrateLayer::Item a = layer.AddPrim(CrateLayer::kPseudoRoot, "a", CrateLayer::Specifier::kDef, "");
  const std::vector<CrateLayer::Item> children = {layer.AddPrim(a, "x", CrateLayer::Specifier::kDef, ""),
                                                  layer.AddPrim(a, "y", CrateLayer::Specifier::kDef, ""),
                                                  layer.AddPrim(a, "z", CrateLayer::Specifier::kDef, "")};
  layer.MoveLast(a, children[GetParam().child]);
  const std::string bytes(layer.Bytes().View());
  size_t at = Le(bytes, Le(bytes, 16, 8) + 8 + 4 * 32 + 16, 8) + 16;  // the paths' first list
  EXPECT_EQ(Integers(bytes, &at, 5), GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(Children, CrateMoves,
                         testing::Values(Move{"First", 0, {0, 1, 3, 4, 2}}, Move{"Middle", 1, {0, 1, 2, 4, 3}},
                                         Move{"Last", 2, {0, 1, 2, 3, 4}}),
                         CaseName);

// A value that does not fit in its field lies at a multiple of 8 after the bootstrap: the
// translation as three doubles, the counts as an array (a 64-bit length, then the items); an empty
// array is written nowhere.
TEST(CrateLayer, ValuesLieWhereTheirFieldsSay) {
  const std::string bytes = SampleLayer();
  std::string translation;
  for (const double v : {1.0, 2.0, 3.0}) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) translation += static_cast<char>((bits >> (8 * i)) & 0xFF);
  }
  const size_t at = bytes.find(translation);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(at % 8, 0u);
  const std::string counts("\2\0\0\0\0\0\0\0\3\0\0\0\3\0\0\0", 16);
  EXPECT_EQ(bytes.find(counts) % 8, 0u);
  EXPECT_LT(bytes.find(counts), Le(bytes, Le(bytes, 16, 8) + 8 + 16, 8));
}

}  // namespace
}  // namespace vthost
