// A layer laid out as a USD crate file, version 0.8.0: an 88-byte bootstrap (identifier, version,
// where the table of contents is), the values that do not fit in their field, then the structural
// sections (tokens, strings, fields, field sets, paths, specs), their lists of integers coded and
// compressed as the format wants them, and the table of contents last. Every number is
// little-endian; a value's representation is 64 bits: array, inlined and compressed flags at the
// top, its type in bits 48 to 55, and a payload below, the value itself when inlined, else its
// offset in the file.
#include "export/usdcrate.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vthost {
namespace {

constexpr size_t kBootstrapBytes = 88;
constexpr size_t kSectionNameBytes = 16;
constexpr uint32_t kNoField = 0xFFFFFFFFu;  // ends a field set
constexpr size_t kSections = 6;
constexpr uint8_t kVersion[] = {0, 8, 0};

// The value types, as the crate format numbers them.
enum class Type : uint64_t {
  kBool = 1,
  kInt = 3,
  kFloat = 8,
  kDouble = 9,
  kString = 10,
  kToken = 11,
  kQuatf = 17,
  kVec2f = 20,
  kVec3d = 23,
  kVec3f = 24,
  kTokenListOp = 32,
  kPathListOp = 34,
  kReferenceListOp = 35,
  kTokenVector = 41,
  kSpecifier = 42,
  kVariability = 44,
};

// The kinds of specs, as USD numbers them.
constexpr uint32_t kAttributeSpec = 1;
constexpr uint32_t kPrimSpec = 6;
constexpr uint32_t kPseudoRootSpec = 7;
constexpr uint32_t kRelationshipSpec = 8;

// The bits of a list edit's header.
constexpr uint8_t kExplicit = 1;
constexpr uint8_t kHasExplicitItems = 2;
constexpr uint8_t kHasPrependedItems = 32;

constexpr uint64_t kArrayBit = uint64_t{1} << 63;
constexpr uint64_t kInlinedBit = uint64_t{1} << 62;
constexpr uint64_t kPayloadMask = (uint64_t{1} << 48) - 1;

uint64_t Rep(Type type, uint64_t payload, bool inlined = false, bool array = false) {
  return (array ? kArrayBit : 0) | (inlined ? kInlinedBit : 0) | (static_cast<uint64_t>(type) << 48) |
         (payload & kPayloadMask);
}

void Put8(std::string& out, uint64_t value) { out += static_cast<char>(value & 0xFF); }

template <size_t kBytes>
void PutLittleEndian(std::string& out, uint64_t value) {
  char bytes[kBytes];
  for (size_t i = 0; i < kBytes; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  out.append(bytes, kBytes);
}

void Put32(std::string& out, uint64_t value) { PutLittleEndian<4>(out, value); }

// Many 32-bit words at once, each as of(i): the arrays of a mesh are most of a layer's bytes.
template <typename Word>
void PutWords(std::string& out, size_t count, Word of) {
  const size_t at = out.size();
  out.resize(at + 4 * count);
  char* p = &out[at];
  for (size_t i = 0; i < count; ++i, p += 4) {
    const uint32_t word = of(i);
    p[0] = static_cast<char>(word & 0xFF);
    p[1] = static_cast<char>((word >> 8) & 0xFF);
    p[2] = static_cast<char>((word >> 16) & 0xFF);
    p[3] = static_cast<char>(word >> 24);
  }
}
void Put64(std::string& out, uint64_t value) { PutLittleEndian<8>(out, value); }

uint32_t BitsOf(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

uint64_t BitsOf(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Bytes as the format compresses them (LZ4 in chunks): a chunk count of 0 for one chunk, then one
// LZ4 block of literals alone, a token of the run's length (15 and more in bytes of 255 and a last
// one below it), then the bytes. Valid LZ4, only not smaller: the layer is small beside its arrays.
std::string Compressed(const std::string& bytes) {
  constexpr size_t kLongRun = 15;
  std::string out(1, '\0');
  const size_t length = bytes.size();
  Put8(out, (length < kLongRun ? length : kLongRun) << 4);
  if (length >= kLongRun) {
    size_t rest = length - kLongRun;
    for (; rest >= 255; rest -= 255) Put8(out, 255);
    Put8(out, rest);
  }
  return out + bytes;
}

// Integers as the structural sections hold them: each the difference from the one before, coded
// in 2 bits (0 the most common difference, which comes first, 1 one byte, 2 two, 3 four), four
// codes to a byte from the low bits up, then the differences that are not the common one, then
// all of it compressed and led by its size.
void PutIntegers(std::string& out, const std::vector<uint32_t>& values) {
  // the common difference is looked for among those of one byte, where the lists' are
  constexpr int32_t kSmallest = -128, kLargest = 127;
  std::vector<int32_t> differences;
  differences.reserve(values.size());
  std::array<size_t, kLargest - kSmallest + 1> counts{};
  uint32_t previous = 0;
  for (const uint32_t value : values) {
    const auto difference = static_cast<int32_t>(value - previous);  // modulo 2^32, as read back
    previous = value;
    differences.push_back(difference);
    if (difference >= kSmallest && difference <= kLargest) ++counts[static_cast<size_t>(difference - kSmallest)];
  }
  int32_t common = 0;
  for (int32_t d = kSmallest; d <= kLargest; ++d) {
    if (counts[static_cast<size_t>(d - kSmallest)] >= counts[static_cast<size_t>(common - kSmallest)]) common = d;
  }
  std::string encoded;
  Put32(encoded, static_cast<uint32_t>(common));
  std::string codes((values.size() * 2 + 7) / 8, '\0'), rest;
  for (size_t i = 0; i < differences.size(); ++i) {
    const int32_t d = differences[i];
    const uint32_t code = d == common ? 0 : (d >= -128 && d <= 127) ? 1 : (d >= -32768 && d <= 32767) ? 2 : 3;
    codes[i / 4] = static_cast<char>(static_cast<unsigned char>(codes[i / 4]) | (code << (2 * (i % 4))));
    const auto bits = static_cast<uint32_t>(d);
    if (code == 1) Put8(rest, bits);
    if (code == 2) {
      Put8(rest, bits);
      Put8(rest, bits >> 8);
    }
    if (code == 3) Put32(rest, bits);
  }
  const std::string compressed = values.empty() ? std::string() : Compressed(encoded + codes + rest);
  Put64(out, compressed.size());
  out += compressed;
}

void PutSection(std::string& toc, const char* name, size_t start, size_t end) {
  std::string padded(name);
  padded.resize(kSectionNameBytes, '\0');
  toc += padded;
  Put64(toc, start);
  Put64(toc, end - start);
}

}  // namespace

CrateLayer::CrateLayer() : values_(kBootstrapBytes, '\0') {
  specs_.push_back({kPseudoRoot, Token(""), kPseudoRootSpec, false, {}, {}});
}

CrateLayer::Spec CrateLayer::Add(Spec parent, std::string_view name, uint32_t type, bool property) {
  constexpr size_t kFieldsOfMost = 4;  // an attribute's type, value and one more; a prim's few
  const Spec spec = specs_.size();
  specs_.push_back({parent, Token(name), type, property, {}, {}});
  specs_.back().fields.reserve(kFieldsOfMost);
  specs_[parent].children.push_back(spec);
  return spec;
}

CrateLayer::Spec CrateLayer::AddPrim(Spec parent, std::string_view name, Specifier specifier,
                                     std::string_view typeName) {
  const Spec prim = Add(parent, name, kPrimSpec, false);
  Field(prim, "specifier", Rep(Type::kSpecifier, static_cast<uint32_t>(specifier), true));
  if (!typeName.empty()) SetToken(prim, "typeName", typeName);
  return prim;
}

CrateLayer::Spec CrateLayer::AddAttribute(Spec prim, std::string_view name, std::string_view typeName,
                                          bool uniform) {
  const Spec attribute = Add(prim, name, kAttributeSpec, true);
  SetToken(attribute, "typeName", typeName);
  // varying is what an attribute is without the field
  if (uniform) Field(attribute, "variability", Rep(Type::kVariability, 1, true));
  return attribute;
}

CrateLayer::Spec CrateLayer::AddRelationship(Spec prim, std::string_view name) {
  const Spec relationship = Add(prim, name, kRelationshipSpec, true);
  Field(relationship, "variability", Rep(Type::kVariability, 1, true));  // relationships are uniform
  return relationship;
}

void CrateLayer::MoveLast(Spec parent, Spec child) {
  std::vector<Spec>& children = specs_[parent].children;
  children.erase(std::find(children.begin(), children.end(), child));
  children.push_back(child);
}

uint32_t CrateLayer::Token(std::string_view text) {
  if (const auto known = tokenIndex_.find(text); known != tokenIndex_.end()) return known->second;
  const auto index = static_cast<uint32_t>(tokens_.size());
  tokenIndex_.emplace(tokens_.emplace_back(text), index);
  return index;
}

uint32_t CrateLayer::StringIndex(std::string_view text) {
  const uint32_t token = Token(text);
  const auto [at, added] = stringIndex_.emplace(token, static_cast<uint32_t>(strings_.size()));
  if (added) strings_.push_back(token);
  return at->second;
}

void CrateLayer::Field(Spec spec, std::string_view field, uint64_t rep) {
  specs_[spec].fields.emplace_back(Token(field), rep);
}

uint64_t CrateLayer::ValueStart() {
  values_.resize((values_.size() + 7) / 8 * 8, '\0');
  return values_.size();
}

void CrateLayer::SetToken(Spec spec, std::string_view field, std::string_view token) {
  Field(spec, field, Rep(Type::kToken, Token(token), true));
}

void CrateLayer::SetString(Spec spec, std::string_view field, std::string_view text) {
  Field(spec, field, Rep(Type::kString, StringIndex(text), true));
}

void CrateLayer::SetBool(Spec spec, std::string_view field, bool value) {
  Field(spec, field, Rep(Type::kBool, value ? 1 : 0, true));
}

void CrateLayer::SetFloat(Spec spec, std::string_view field, float value) {
  Field(spec, field, Rep(Type::kFloat, BitsOf(value), true));
}

void CrateLayer::SetDouble(Spec spec, std::string_view field, double value) {
  Field(spec, field, Rep(Type::kDouble, ValueStart()));
  Put64(values_, BitsOf(value));
}

void CrateLayer::SetDouble3(Spec spec, std::string_view field, const std::array<double, 3>& value) {
  Field(spec, field, Rep(Type::kVec3d, ValueStart()));
  for (const double v : value) Put64(values_, BitsOf(v));
}

void CrateLayer::SetFloat3(Spec spec, std::string_view field, const std::array<float, 3>& value) {
  Field(spec, field, Rep(Type::kVec3f, ValueStart()));
  for (const float v : value) Put32(values_, BitsOf(v));
}

void CrateLayer::SetQuatf(Spec spec, std::string_view field, const std::array<float, 4>& xyzw) {
  Field(spec, field, Rep(Type::kQuatf, ValueStart()));
  for (const float v : xyzw) Put32(values_, BitsOf(v));
}

// An array: its length (64 bits), then its items, not compressed; an empty array is payload 0,
// with nothing written.
void CrateLayer::SetTokenArray(Spec spec, std::string_view field, const std::vector<std::string_view>& tokens) {
  std::vector<uint32_t> indices;
  for (const std::string_view token : tokens) indices.push_back(Token(token));
  if (indices.empty()) {
    Field(spec, field, Rep(Type::kToken, 0, false, true));
    return;
  }
  Field(spec, field, Rep(Type::kToken, ValueStart(), false, true));
  Put64(values_, indices.size());
  for (const uint32_t index : indices) Put32(values_, index);
}

void CrateLayer::SetIntArray(Spec spec, std::string_view field, const std::vector<uint32_t>& values) {
  if (values.empty()) {
    Field(spec, field, Rep(Type::kInt, 0, false, true));
    return;
  }
  Field(spec, field, Rep(Type::kInt, ValueStart(), false, true));
  Put64(values_, values.size());
  PutWords(values_, values.size(), [&values](size_t i) { return values[i]; });
}

void CrateLayer::SetFloatTuples(Spec spec, std::string_view field, size_t width, const std::vector<float>& values) {
  const Type type = width == 2 ? Type::kVec2f : Type::kVec3f;
  const size_t count = values.size() / width;
  if (count == 0) {
    Field(spec, field, Rep(type, 0, false, true));
    return;
  }
  Field(spec, field, Rep(type, ValueStart(), false, true));
  Put64(values_, count);
  PutWords(values_, count * width, [&values](size_t i) { return BitsOf(values[i]); });
}

// A list edit: its header byte, then each list it holds as a 64-bit count and the items.
void CrateLayer::SetExplicitPath(Spec spec, std::string_view field, Spec target) {
  Field(spec, field, Rep(Type::kPathListOp, ValueStart()));
  Put8(values_, kExplicit | kHasExplicitItems);
  Put64(values_, 1);
  Put32(values_, target);
}

// A reference: its asset path (a string, empty within the layer), the prim's path, the layer
// offset (offset, scale) and custom data (a dictionary, empty).
void CrateLayer::PrependInternalReference(Spec spec, Spec target) {
  const uint32_t noAsset = StringIndex("");
  Field(spec, "references", Rep(Type::kReferenceListOp, ValueStart()));
  Put8(values_, kHasPrependedItems);
  Put64(values_, 1);
  Put32(values_, noAsset);
  Put32(values_, target);
  Put64(values_, BitsOf(0.0));
  Put64(values_, BitsOf(1.0));
  Put64(values_, 0);
}

void CrateLayer::PrependTokens(Spec spec, std::string_view field, const std::vector<std::string_view>& tokens) {
  std::vector<uint32_t> indices;
  for (const std::string_view token : tokens) indices.push_back(Token(token));
  Field(spec, field, Rep(Type::kTokenListOp, ValueStart()));
  Put8(values_, kHasPrependedItems);
  Put64(values_, indices.size());
  for (const uint32_t index : indices) Put32(values_, index);
}

// The names of the prims (or of the properties) below a spec, as a vector of tokens.
void CrateLayer::TokenVectorField(Spec spec, std::string_view field, bool properties) {
  std::vector<uint32_t> names;
  for (const Spec child : specs_[spec].children) {
    if (specs_[child].property == properties) names.push_back(specs_[child].nameToken);
  }
  if (names.empty()) return;
  Field(spec, field, Rep(Type::kTokenVector, ValueStart()));
  Put64(values_, names.size());
  for (const uint32_t name : names) Put32(values_, name);
}

// A path and those below it, depth first: each its index, its last element's token (negated for a
// property's name) and a jump: -2 for a leaf with no sibling after it, -1 for a child only, 0 for a
// sibling only, and with both, how many entries on the sibling lies, for the child comes next.
void CrateLayer::PathTree(Spec spec, bool hasSibling, PathTable& paths) const {
  const SpecEntry& entry = specs_[spec];
  const bool hasChild = !entry.children.empty();
  const size_t at = paths.index.size();
  paths.index.push_back(static_cast<uint32_t>(spec));
  paths.element.push_back(entry.property ? 0u - entry.nameToken : entry.nameToken);
  paths.jump.push_back(hasChild ? (hasSibling ? 0u : 0u - 1u) : (hasSibling ? 0u : 0u - 2u));
  for (size_t i = 0; i < entry.children.size(); ++i) {
    PathTree(entry.children[i], i + 1 < entry.children.size(), paths);
  }
  if (hasChild && hasSibling) paths.jump[at] = static_cast<uint32_t>(paths.index.size() - at);
}

// The tokens, each ended by a NUL: their count, the bytes' count, then the bytes compressed.
void CrateLayer::PutTokens(std::string& out) const {
  std::string characters;
  for (const std::string& token : tokens_) characters.append(token.c_str(), token.size() + 1);
  Put64(out, tokens_.size());
  Put64(out, characters.size());
  const std::string compressed = Compressed(characters);
  Put64(out, compressed.size());
  out += compressed;
}

void CrateLayer::PutStrings(std::string& out) const {
  Put64(out, strings_.size());
  for (const uint32_t token : strings_) Put32(out, token);
}

// The fields, all specs' in turn: their names' tokens as integers, then their values'
// representations compressed.
void CrateLayer::PutFields(std::string& out) const {
  std::vector<uint32_t> names;
  std::string reps;
  for (const SpecEntry& entry : specs_) {
    for (const auto& [name, rep] : entry.fields) {
      names.push_back(name);
      Put64(reps, rep);
    }
  }
  Put64(out, names.size());
  PutIntegers(out, names);
  const std::string compressed = Compressed(reps);
  Put64(out, compressed.size());
  out += compressed;
}

// Each spec's fields by their index, each run ended by kNoField; answers where each run starts.
std::vector<uint32_t> CrateLayer::PutFieldSets(std::string& out) const {
  std::vector<uint32_t> fieldSets, setOfSpec;
  uint32_t field = 0;
  for (const SpecEntry& entry : specs_) {
    setOfSpec.push_back(static_cast<uint32_t>(fieldSets.size()));
    for (size_t i = 0; i < entry.fields.size(); ++i) fieldSets.push_back(field++);
    fieldSets.push_back(kNoField);
  }
  Put64(out, fieldSets.size());
  PutIntegers(out, fieldSets);
  return setOfSpec;
}

void CrateLayer::PutPaths(std::string& out) const {
  PathTable paths;
  PathTree(kPseudoRoot, false, paths);
  Put64(out, specs_.size());
  Put64(out, paths.index.size());
  PutIntegers(out, paths.index);
  PutIntegers(out, paths.element);
  PutIntegers(out, paths.jump);
}

// The specs: their paths (a spec's index is its path's), field sets and kinds, as three lists.
void CrateLayer::PutSpecs(std::string& out, const std::vector<uint32_t>& setOfSpec) const {
  std::vector<uint32_t> paths, types;
  for (Spec spec = 0; spec < specs_.size(); ++spec) {
    paths.push_back(static_cast<uint32_t>(spec));
    types.push_back(specs_[spec].type);
  }
  Put64(out, specs_.size());
  PutIntegers(out, paths);
  PutIntegers(out, setOfSpec);
  PutIntegers(out, types);
}

std::string CrateLayer::Bytes() {
  for (Spec spec = 0; spec < specs_.size(); ++spec) {
    if (specs_[spec].property) continue;
    TokenVectorField(spec, "primChildren", false);
    TokenVectorField(spec, "properties", true);
  }
  std::string out = std::move(values_);
  std::string toc;
  const auto section = [&out, &toc](const char* name, auto put) {
    const size_t start = out.size();
    put();
    PutSection(toc, name, start, out.size());
  };
  std::vector<uint32_t> setOfSpec;
  section("TOKENS", [&] { PutTokens(out); });
  section("STRINGS", [&] { PutStrings(out); });
  section("FIELDS", [&] { PutFields(out); });
  section("FIELDSETS", [&] { setOfSpec = PutFieldSets(out); });
  section("PATHS", [&] { PutPaths(out); });
  section("SPECS", [&] { PutSpecs(out, setOfSpec); });

  const size_t tocOffset = out.size();
  Put64(out, kSections);
  out += toc;

  std::string bootstrap = "PXR-USDC";
  for (const uint8_t part : kVersion) Put8(bootstrap, part);
  bootstrap.append(8 - sizeof kVersion, '\0');
  Put64(bootstrap, tocOffset);
  out.replace(0, bootstrap.size(), bootstrap);
  return out;
}

}  // namespace vthost
