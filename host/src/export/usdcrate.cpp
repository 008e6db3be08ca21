// A layer laid out as a USD crate file, version 0.8.0: an 88-byte bootstrap (identifier, version,
// where the table of contents is), the values that do not fit in their field, then the structural
// sections (tokens, strings, fields, field sets, paths, items), their lists of integers coded and
// compressed as the format wants them, and the table of contents last. Every number is
// little-endian; a value's representation is 64 bits: array, inlined and compressed flags at the
// top, its type in bits 48 to 55, and a payload below, the value itself when inlined, else its
// offset in the file.
#include "export/usdcrate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

namespace vthost {
namespace {

constexpr size_t kBootstrapBytes = 88;
constexpr size_t kSectionNameBytes = 16;
constexpr uint32_t kNoField = 0xFFFFFFFFu;  // ends a field set
constexpr size_t kSections = 6;
constexpr uint8_t kVersion[] = {0, 8, 0};
constexpr size_t kFirstTokenSlots = 1024;  // a power of two

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

// The kinds of items, as USD numbers them.
constexpr uint32_t kAttributeItem = 1;
constexpr uint32_t kPrimItem = 6;
constexpr uint32_t kPseudoRootItem = 7;
constexpr uint32_t kRelationshipItem = 8;

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

// Whether this machine lays out its words little-endian, as the file does: then a word is copied
// whole, else byte by byte. Known when compiling, so that a store is one instruction: GCC and Clang
// say; the compilers that do not (MSVC) build for little-endian machines only.
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndianMachine = false;
#else
constexpr bool kLittleEndianMachine = true;
#endif

template <size_t kBytes>
void StoreLittleEndian(char* at, uint64_t value) {
  if constexpr (kLittleEndianMachine) {
    std::memcpy(at, &value, kBytes);
  } else {
    for (size_t i = 0; i < kBytes; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

// Room for at least bytes in all, the bytes so far kept: kept out of line, so that Grow, which
// calls it seldom, stays small enough to be inlined wherever a word is put.
#if defined(_MSC_VER)
__declspec(noinline)
#else
__attribute__((noinline))
#endif
void MakeRoomFor(CrateBytes& out, size_t bytes) {
  if (bytes <= out.room) return;
  std::unique_ptr<char[]> more(new char[bytes]);
  if (out.size > 0) std::memcpy(more.get(), out.bytes.get(), out.size);
  out.bytes = std::move(more);
  out.room = bytes;
}

// Room for bytes at the end of out, not filled: answers where they go.
char* Grow(CrateBytes& out, size_t bytes) {
  if (out.size + bytes > out.room) MakeRoomFor(out, std::max(2 * out.room, out.size + bytes));
  char* at = out.bytes.get() + out.size;
  out.size += bytes;
  return at;
}

char* GrowZeros(CrateBytes& out, size_t bytes) { return static_cast<char*>(std::memset(Grow(out, bytes), 0, bytes)); }

void Put8(CrateBytes& out, uint64_t value) { *Grow(out, 1) = static_cast<char>(value & 0xFF); }
void Put64(CrateBytes& out, uint64_t value) { StoreLittleEndian<8>(Grow(out, 8), value); }

// Many 32-bit words at once, each as of(i): the arrays of a mesh are most of a layer's bytes.
template <typename Word>
void PutWords(CrateBytes& out, size_t count, Word of) {
  char* at = Grow(out, 4 * count);
  for (size_t i = 0; i < count; ++i, at += 4) StoreLittleEndian<4>(at, of(i));
}

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

constexpr size_t kLongRun = 15;  // a literals' length from which it goes on past its token

// Bytes as the format compresses them (LZ4 in chunks): a chunk count of 0 for one chunk, then one
// LZ4 block of literals alone, a token of the run's length (15 and more in bytes of 255 and a last
// one below it), then the bytes. Valid LZ4, only not smaller: the layer is small beside its arrays.
// Puts the compressed size, the header, and room for the length bytes: answers where they go.
char* PutCompressed(CrateBytes& out, size_t length) {
  const size_t lengthBytes = length < kLongRun ? 0 : (length - kLongRun) / 255 + 1;
  Put64(out, 2 + lengthBytes + length);
  Put8(out, 0);
  Put8(out, (length < kLongRun ? length : kLongRun) << 4);
  if (length >= kLongRun) {
    const size_t rest = length - kLongRun;
    std::memset(Grow(out, rest / 255), 255, rest / 255);
    Put8(out, rest % 255);
  }
  return Grow(out, length);
}

// Room for bytes past the end of out that are not yet its own: a word may be stored whole where
// fewer of its bytes count.
void MakeRoom(CrateBytes& out, size_t bytes) {
  Grow(out, bytes);
  out.size -= bytes;
}

// A list of count integers, not filled (each is written before it is read).
std::unique_ptr<uint32_t[]> Unfilled(size_t count) { return std::unique_ptr<uint32_t[]>(new uint32_t[count]); }

// The differences between integers that take one byte are biased by 128 to count them: the
// common difference is looked for among them, where the lists' are.
constexpr uint32_t kOneByteBias = 128, kTwoByteBias = 32768;
constexpr size_t kOneByteDifferences = 256;

using DifferenceCounts = std::array<uint32_t, kOneByteDifferences>;

// The most common one-byte difference (biased), a tie going to the larger.
size_t MostCommon(const DifferenceCounts& counts) {
  size_t common = 0;
  for (size_t d = 0; d < kOneByteDifferences; ++d) common = counts[d] >= counts[common] ? d : common;
  return common;
}

// The code of each one-byte difference (biased): 0 for the common one, whose byte is not kept, 1
// for the others.
using OneByteCodes = std::array<unsigned char, kOneByteDifferences>;

OneByteCodes CodesWith(size_t common) {
  OneByteCodes codes;
  codes.fill(1);
  codes[common] = 0;
  return codes;
}

// Puts a difference's bytes at next, unless it is the common one; with kCount, a one-byte
// difference is counted as well. Answers its code: 0 the common difference, 1 one byte, 2 two, 3
// four. It is stored as four bytes, its width then kept: three bytes of room must follow.
template <bool kCount>
unsigned PutDifference(uint32_t difference, const OneByteCodes& oneByteCode, char*& next, DifferenceCounts& counts) {
  const uint32_t biased = difference + kOneByteBias;
  if (biased < kOneByteDifferences) {
    if constexpr (kCount) ++counts[biased];
    *next = static_cast<char>(difference & 0xFF);
    next += oneByteCode[biased];
    return oneByteCode[biased];
  }
  const bool twoBytes = difference + kTwoByteBias < 65536;
  StoreLittleEndian<4>(next, difference);
  next += twoBytes ? 2 : 4;
  return twoBytes ? 2 : 3;
}

// The 2-bit codes of the differences at codes, four to a byte from the low bits up, and those that
// are not the common one (biased) at next; with kCount, each one-byte difference counted as well.
// Three bytes of room must follow. Answers where the differences end.
template <bool kCount>
char* PutDifferences(const uint32_t* values, size_t count, size_t common, char* codes, char* next,
                     DifferenceCounts& counts) {
  const OneByteCodes oneByteCode = CodesWith(common);
  const auto put = [&](uint32_t difference) { return PutDifference<kCount>(difference, oneByteCode, next, counts); };
  size_t i = 0;
  uint32_t previous = 0;
  for (; i + 4 <= count; i += 4) {
    const unsigned first = put(values[i] - previous), second = put(values[i + 1] - values[i]),
                   third = put(values[i + 2] - values[i + 1]), fourth = put(values[i + 3] - values[i + 2]);
    previous = values[i + 3];
    codes[i / 4] = static_cast<char>(first | second << 2 | third << 4 | fourth << 6);
  }
  if (i == count) return next;
  unsigned last = 0;
  for (size_t k = 0; i + k < count; ++k) {
    last |= put(values[i + k] - previous) << (2 * k);
    previous = values[i + k];
  }
  codes[i / 4] = static_cast<char>(last);
  return next;
}

// The common difference as a spread of a list's differences has it (all of them in a short list):
// when it is right, the list is coded in the one pass that counts its differences.
constexpr size_t kSampledDifferences = 512;

size_t GuessCommon(const uint32_t* values, size_t count) {
  DifferenceCounts counts{};
  const auto add = [&counts](uint32_t difference) {
    const uint32_t biased = difference + kOneByteBias;
    if (biased < kOneByteDifferences) ++counts[biased];
  };
  if (count <= kSampledDifferences) {
    add(values[0]);
    for (size_t i = 1; i < count; ++i) add(values[i] - values[i - 1]);
    return MostCommon(counts);
  }
  // spread by a golden-ratio step, so that no period of the list lines up with it
  constexpr uint64_t kStep = 2654435769u;
  for (uint64_t k = 0; k < kSampledDifferences; ++k) {
    const size_t i = 1 + static_cast<size_t>(k * kStep % (count - 1));
    add(values[i] - values[i - 1]);
  }
  return MostCommon(counts);
}

// The bytes of a compressed header (PutCompressed) for a length.
size_t CompressedHeaderBytes(size_t length) {
  return 8 + 2 + (length < kLongRun ? 0 : (length - kLongRun) / 255 + 1);
}

// Integers as the structural sections hold them: each the difference from the one before, coded
// in 2 bits (0 the most common difference, which comes first, 1 one byte, 2 two, 3 four), four
// codes to a byte from the low bits up, then the differences that are not the common one, then
// all of it compressed and led by its size. Differences are taken modulo 2^32, as read back.
void PutIntegers(CrateBytes& out, const uint32_t* values, size_t count) {
  if (count == 0) {
    Put64(out, 0);
    return;
  }
  const size_t codeBytes = (count + 3) / 4;
  // coded past the longest header first, then moved up to the header its length takes (the
  // room made, the bytes stay where they are)
  const size_t longest = 4 + codeBytes + 4 * count, headerRoom = CompressedHeaderBytes(longest);
  MakeRoom(out, headerRoom + longest + 3);
  char* const coded = out.bytes.get() + out.size + headerRoom;
  DifferenceCounts counts{};
  size_t common = GuessCommon(values, count);
  char* end = PutDifferences<true>(values, count, common, coded + 4, coded + 4 + codeBytes, counts);
  if (MostCommon(counts) != common) {
    common = MostCommon(counts);
    end = PutDifferences<false>(values, count, common, coded + 4, coded + 4 + codeBytes, counts);
  }
  StoreLittleEndian<4>(coded, static_cast<uint32_t>(common) - kOneByteBias);
  const auto length = static_cast<size_t>(end - coded);
  std::memmove(PutCompressed(out, length), coded, length);
}

// The integers 0 to count - 1, as PutIntegers codes them without the list: past one of them the
// common difference is 1, and only the first, 0, is a one-byte difference.
void PutCounting(CrateBytes& out, size_t count) {
  if (count < 2) {
    const uint32_t zero = 0;
    PutIntegers(out, &zero, count);
    return;
  }
  const size_t codeBytes = (count + 3) / 4;
  char* at = PutCompressed(out, 4 + codeBytes + 1);
  StoreLittleEndian<4>(at, 1);
  std::memset(at + 4, 0, codeBytes + 1);
  at[4] = 1;
}

void PutSection(CrateBytes& toc, const char* name, size_t start, size_t end) {
  std::memcpy(GrowZeros(toc, kSectionNameBytes), name, std::strlen(name));  // the rest stays NUL
  Put64(toc, start);
  Put64(toc, end - start);
}

}  // namespace

CrateLayer::CrateLayer() : tokenSlots_(kFirstTokenSlots, kNoToken) {
  GrowZeros(values_, kBootstrapBytes);
  items_.push_back({Token(""), kPseudoRootItem, false});
}

CrateLayer::Text CrateLayer::Name(std::string_view text) {
  nameTokens_.push_back(kNoToken);
  return Text(text, static_cast<uint32_t>(nameTokens_.size() - 1));
}

CrateLayer::Item CrateLayer::Add(Item parent, Text name, uint32_t type, bool property) {
  const Item item = items_.size();
  items_.push_back({Token(name), type, property});
  ItemRow& above = items_[parent];
  ++(property ? above.properties : above.primChildren);
  if (above.lastChild == kNoItem) {
    above.firstChild = item;
  } else {
    items_[above.lastChild].nextSibling = item;
  }
  above.lastChild = item;
  return item;
}

CrateLayer::Item CrateLayer::AddPrim(Item parent, Text name, Specifier specifier, Text typeName) {
  const Item prim = Add(parent, name, kPrimItem, false);
  Field(prim, specifier_, Rep(Type::kSpecifier, static_cast<uint32_t>(specifier), true));
  if (!typeName.text().empty()) SetToken(prim, typeName_, typeName);
  return prim;
}

CrateLayer::Item CrateLayer::AddAttribute(Item prim, Text name, Text typeName, bool uniform) {
  const Item attribute = Add(prim, name, kAttributeItem, true);
  SetToken(attribute, typeName_, typeName);
  // varying is what an attribute is without the field
  if (uniform) Field(attribute, variability_, Rep(Type::kVariability, 1, true));
  return attribute;
}

CrateLayer::Item CrateLayer::AddRelationship(Item prim, Text name) {
  const Item relationship = Add(prim, name, kRelationshipItem, true);
  Field(relationship, variability_, Rep(Type::kVariability, 1, true));  // relationships are uniform
  return relationship;
}

void CrateLayer::MoveLast(Item parent, Item child) {
  ItemRow& above = items_[parent];
  if (above.lastChild == child) return;
  if (above.firstChild == child) {
    above.firstChild = items_[child].nextSibling;
  } else {
    Item before = above.firstChild;
    while (items_[before].nextSibling != child) before = items_[before].nextSibling;
    items_[before].nextSibling = items_[child].nextSibling;
  }
  items_[above.lastChild].nextSibling = child;
  items_[child].nextSibling = kNoItem;
  above.lastChild = child;
}

uint32_t CrateLayer::LookUpToken(Text text) {
  const size_t hash = NameHash(text.text());
  const size_t mask = tokenSlots_.size() - 1;
  size_t slot = hash & mask;
  for (; tokenSlots_[slot] != kNoToken; slot = (slot + 1) & mask) {
    const uint32_t token = tokenSlots_[slot];
    if (tokenHashes_[token] == hash && TokenText(token) == text.text()) break;
  }
  const uint32_t token = tokenSlots_[slot] != kNoToken ? tokenSlots_[slot] : NewToken(text.text(), hash, slot);
  if (text.name_ != kNoToken) nameTokens_[text.name_] = token;
  return token;
}

uint32_t CrateLayer::NewToken(std::string_view text, size_t hash, size_t slot) {
  const auto token = static_cast<uint32_t>(tokenHashes_.size());
  char* const at = Grow(tokenCharacters_, text.size() + 1);
  std::memcpy(at, text.data(), text.size());
  at[text.size()] = '\0';
  tokenStarts_.push_back(static_cast<uint32_t>(tokenCharacters_.size));
  tokenHashes_.push_back(hash);
  tokenSlots_[slot] = token;
  if (2 * tokenHashes_.size() > tokenSlots_.size()) RehashTokens(2 * tokenSlots_.size());
  return token;
}

void CrateLayer::RehashTokens(size_t slots) {
  tokenSlots_.assign(slots, kNoToken);
  const size_t mask = slots - 1;
  for (uint32_t known = 0; known < tokenHashes_.size(); ++known) {
    size_t free = tokenHashes_[known] & mask;
    while (tokenSlots_[free] != kNoToken) free = (free + 1) & mask;
    tokenSlots_[free] = known;
  }
}

std::string_view CrateLayer::TokenText(uint32_t token) const {
  return {tokenCharacters_.bytes.get() + tokenStarts_[token], tokenStarts_[token + 1] - tokenStarts_[token] - 1};
}

uint32_t CrateLayer::StringIndex(Text text) {
  const uint32_t token = Token(text);
  if (token >= stringOfToken_.size()) stringOfToken_.resize(token + 1, kNoToken);
  if (stringOfToken_[token] == kNoToken) {
    stringOfToken_[token] = static_cast<uint32_t>(strings_.size());
    strings_.push_back(token);
  }
  return stringOfToken_[token];
}

char* CrateLayer::Value(size_t bytes, uint64_t* start) {
  // eight zeros stored whole, those past the padding written over
  const size_t end = values_.size;
  StoreLittleEndian<8>(Grow(values_, 8 + bytes), 0);
  *start = (end + 7) & ~uint64_t{7};
  values_.size = *start + bytes;
  return values_.bytes.get() + *start;
}

void CrateLayer::SetToken(Item item, Text field, Text token) {
  Field(item, field, Rep(Type::kToken, Token(token), true));
}

void CrateLayer::SetString(Item item, Text field, Text text) {
  Field(item, field, Rep(Type::kString, StringIndex(text), true));
}

void CrateLayer::SetBool(Item item, Text field, bool value) {
  Field(item, field, Rep(Type::kBool, value ? 1 : 0, true));
}

void CrateLayer::SetFloat(Item item, Text field, float value) {
  Field(item, field, Rep(Type::kFloat, BitsOf(value), true));
}

void CrateLayer::SetDouble(Item item, Text field, double value) {
  uint64_t start = 0;
  StoreLittleEndian<8>(Value(8, &start), BitsOf(value));
  Field(item, field, Rep(Type::kDouble, start));
}

void CrateLayer::SetDouble3(Item item, Text field, const std::array<double, 3>& value) {
  uint64_t start = 0;
  char* const at = Value(3 * 8, &start);
  for (size_t i = 0; i < value.size(); ++i) StoreLittleEndian<8>(at + 8 * i, BitsOf(value[i]));
  Field(item, field, Rep(Type::kVec3d, start));
}

void CrateLayer::SetFloat3(Item item, Text field, const std::array<float, 3>& value) {
  uint64_t start = 0;
  char* const at = Value(3 * 4, &start);
  for (size_t i = 0; i < value.size(); ++i) StoreLittleEndian<4>(at + 4 * i, BitsOf(value[i]));
  Field(item, field, Rep(Type::kVec3f, start));
}

void CrateLayer::SetQuatf(Item item, Text field, const std::array<float, 4>& xyzw) {
  uint64_t start = 0;
  char* const at = Value(4 * 4, &start);
  for (size_t i = 0; i < xyzw.size(); ++i) StoreLittleEndian<4>(at + 4 * i, BitsOf(xyzw[i]));
  Field(item, field, Rep(Type::kQuatf, start));
}

// An array: its length (64 bits), then its items, not compressed; an empty array is payload 0,
// with nothing written.
void CrateLayer::SetTokenArray(Item item, Text field, const std::vector<Text>& tokens) {
  if (tokens.empty()) {
    Field(item, field, Rep(Type::kToken, 0, false, true));
    return;
  }
  uint64_t start = 0;
  char* at = Value(8 + 4 * tokens.size(), &start);
  StoreLittleEndian<8>(at, tokens.size());
  at += 8;
  // the items' tokens are numbered before the field's name, as they are named first
  for (const Text& token : tokens) {
    StoreLittleEndian<4>(at, Token(token));
    at += 4;
  }
  Field(item, field, Rep(Type::kToken, start, false, true));
}

void CrateLayer::SetIntArray(Item item, Text field, const std::vector<uint32_t>& values) {
  if (values.empty()) {
    Field(item, field, Rep(Type::kInt, 0, false, true));
    return;
  }
  uint64_t start = 0;
  char* const at = Value(8 + 4 * values.size(), &start);
  StoreLittleEndian<8>(at, values.size());
  for (size_t i = 0; i < values.size(); ++i) StoreLittleEndian<4>(at + 8 + 4 * i, values[i]);
  Field(item, field, Rep(Type::kInt, start, false, true));
}

void CrateLayer::SetFloatTuples(Item item, Text field, size_t width, const std::vector<float>& values) {
  const Type type = width == 2 ? Type::kVec2f : Type::kVec3f;
  const size_t count = values.size() / width;
  if (count == 0) {
    Field(item, field, Rep(type, 0, false, true));
    return;
  }
  uint64_t start = 0;
  char* const at = Value(8 + 4 * count * width, &start);
  StoreLittleEndian<8>(at, count);
  for (size_t i = 0; i < count * width; ++i) StoreLittleEndian<4>(at + 8 + 4 * i, BitsOf(values[i]));
  Field(item, field, Rep(type, start, false, true));
}

// A list edit: its header byte, then each list it holds as a 64-bit count and the items.
void CrateLayer::SetExplicitPath(Item item, Text field, Item target) {
  uint64_t start = 0;
  char* const at = Value(1 + 8 + 4, &start);
  at[0] = static_cast<char>(kExplicit | kHasExplicitItems);
  StoreLittleEndian<8>(at + 1, 1);
  StoreLittleEndian<4>(at + 9, target);
  Field(item, field, Rep(Type::kPathListOp, start));
}

// A reference: its asset path (a string, empty within the layer), the prim's path, the layer
// offset (offset, scale) and custom data (a dictionary, empty).
void CrateLayer::PrependInternalReference(Item item, Item target) {
  const uint32_t noAsset = StringIndex(noAsset_);
  uint64_t start = 0;
  char* const at = Value(1 + 8 + 4 + 4 + 3 * 8, &start);
  at[0] = static_cast<char>(kHasPrependedItems);
  StoreLittleEndian<8>(at + 1, 1);
  StoreLittleEndian<4>(at + 9, noAsset);
  StoreLittleEndian<4>(at + 13, target);
  StoreLittleEndian<8>(at + 17, BitsOf(0.0));
  StoreLittleEndian<8>(at + 25, BitsOf(1.0));
  StoreLittleEndian<8>(at + 33, 0);
  Field(item, references_, Rep(Type::kReferenceListOp, start));
}

void CrateLayer::PrependTokens(Item item, Text field, std::initializer_list<Text> tokens) {
  uint64_t start = 0;
  char* at = Value(1 + 8 + 4 * tokens.size(), &start);
  at[0] = static_cast<char>(kHasPrependedItems);
  StoreLittleEndian<8>(at + 1, tokens.size());
  at += 1 + 8;
  for (const Text& token : tokens) {
    StoreLittleEndian<4>(at, Token(token));
    at += 4;
  }
  Field(item, field, Rep(Type::kTokenListOp, start));
}

void CrateLayer::ChildrenFields(Item item) {
  const size_t prims = items_[item].primChildren, properties = items_[item].properties;
  // where each vector's tokens go, as offsets: the values may move as the second one is made
  size_t primsAt = 0, propertiesAt = 0;
  uint64_t start = 0;
  if (prims > 0) {
    StoreLittleEndian<8>(Value(8 + 4 * prims, &start), prims);
    Field(item, primChildren_, Rep(Type::kTokenVector, start));
    primsAt = start + 8;
  }
  if (properties > 0) {
    StoreLittleEndian<8>(Value(8 + 4 * properties, &start), properties);
    Field(item, properties_, Rep(Type::kTokenVector, start));
    propertiesAt = start + 8;
  }
  char* base = values_.bytes.get();
  for (Item child = items_[item].firstChild; child != kNoItem; child = items_[child].nextSibling) {
    size_t& at = items_[child].property ? propertiesAt : primsAt;
    StoreLittleEndian<4>(base + at, items_[child].nameToken);
    at += 4;
  }
}

// The paths depth first from the pseudo-root: each its index, its last element's token (negated
// for a property's name) and a jump: -2 for a leaf with no sibling after it, -1 for a child only, 0
// for a sibling only, and with both, how many entries on the sibling lies, for the child comes next
// (known when the sibling's turn comes). The table holds a row for every item.
void CrateLayer::PathTree(PathTable& paths) const {
  std::vector<std::pair<Item, size_t>> open;  // the items whose paths below are being listed, and rows
  size_t next = 0;
  Item item = kPseudoRoot;
  for (;;) {
    const ItemRow& entry = items_[item];
    const size_t at = next++;
    paths.index[at] = static_cast<uint32_t>(item);
    paths.element[at] = entry.property ? 0u - entry.nameToken : entry.nameToken;
    if (entry.firstChild != kNoItem) {
      paths.jump[at] = 0u - 1u;
      open.emplace_back(item, at);
      item = entry.firstChild;
      continue;
    }
    paths.jump[at] = entry.nextSibling != kNoItem ? 0u : 0u - 2u;
    // the next path: this one's sibling, or that of the nearest item above that has one
    while (items_[item].nextSibling == kNoItem) {
      if (open.empty()) return;
      const auto [above, row] = open.back();
      open.pop_back();
      item = above;
      if (items_[item].nextSibling != kNoItem) paths.jump[row] = static_cast<uint32_t>(next - row);
    }
    item = items_[item].nextSibling;
  }
}

// The tokens, each ended by a NUL: their count, the bytes' count, then the bytes compressed.
void CrateLayer::PutTokens(CrateBytes& out) const {
  Put64(out, tokenHashes_.size());
  Put64(out, tokenCharacters_.size);
  std::memcpy(PutCompressed(out, tokenCharacters_.size), tokenCharacters_.bytes.get(), tokenCharacters_.size);
}

void CrateLayer::PutStrings(CrateBytes& out) const {
  Put64(out, strings_.size());
  PutWords(out, strings_.size(), [this](size_t i) { return strings_[i]; });
}

// The fields, all items' in turn: their names' tokens as integers, then their values'
// representations compressed.
void CrateLayer::PutFields(CrateBytes& out) const {
  const size_t count = fields_.size();
  // where each field goes: its item's fields follow those of the items before it
  std::unique_ptr<uint32_t[]> next = Unfilled(items_.size());
  uint32_t start = 0;
  for (size_t item = 0; item < items_.size(); ++item) {
    next[item] = start;
    start += items_[item].fieldCount;
  }
  std::unique_ptr<uint32_t[]> names = Unfilled(count);
  std::unique_ptr<uint64_t[]> reps(new uint64_t[count]);
  for (size_t field = 0; field < count; ++field) {
    const uint32_t place = next[fields_[field].item]++;
    names[place] = fields_[field].nameToken;
    reps[place] = fields_[field].rep;
  }
  Put64(out, count);
  PutIntegers(out, names.get(), count);
  char* at = PutCompressed(out, 8 * count);
  if constexpr (kLittleEndianMachine) {
    std::memcpy(at, reps.get(), 8 * count);
  } else {
    for (size_t field = 0; field < count; ++field) StoreLittleEndian<8>(at + 8 * field, reps[field]);
  }
}

// Each item's fields by their index (listed by item, they run on), each run ended by kNoField;
// answers where each item's run starts. Within a run the difference is 1, mostly the common one:
// the list is coded by its runs then, as PutIntegers would code it, without being made.
std::unique_ptr<uint32_t[]> CrateLayer::PutFieldSets(CrateBytes& out) const {
  const size_t items = items_.size(), count = fields_.size() + items;
  std::unique_ptr<uint32_t[]> setOfItem = Unfilled(items);
  Put64(out, count);
  const size_t codeBytes = (count + 3) / 4;
  // as PutIntegers, with 1 the common difference: but the first difference of a run and the one to
  // its end take bytes
  const size_t longest = 4 + codeBytes + 2 * 4 * items, headerRoom = CompressedHeaderBytes(longest);
  MakeRoom(out, headerRoom + longest + 3);
  char* const coded = out.bytes.get() + out.size + headerRoom;
  char* const codes = coded + 4;
  std::memset(codes, 0, codeBytes);
  constexpr size_t kRunDifference = 1 + kOneByteBias;
  const OneByteCodes oneByteCode = CodesWith(kRunDifference);
  DifferenceCounts counts{};
  char* next = codes + codeBytes;
  const auto put = [&](uint32_t difference, size_t i) {
    codes[i / 4] = static_cast<char>(codes[i / 4] | PutDifference<true>(difference, oneByteCode, next, counts)
                                                         << (2 * (i % 4)));
  };
  const ItemRow* const rows = items_.data();
  size_t at = 0, runs = 0;
  uint32_t previous = 0, field = 0;
  for (size_t item = 0; item < items; ++item) {
    setOfItem[item] = static_cast<uint32_t>(at);
    if (const uint32_t fieldCount = rows[item].fieldCount; fieldCount > 0) {
      put(field - previous, at);
      at += fieldCount;
      field += fieldCount;
      previous = field - 1;
      ++runs;
    }
    put(kNoField - previous, at++);
    previous = kNoField;
  }
  counts[kRunDifference] += static_cast<uint32_t>(fields_.size() - runs);
  if (MostCommon(counts) == kRunDifference) {
    StoreLittleEndian<4>(coded, 1);
    const auto length = static_cast<size_t>(next - coded);
    std::memmove(PutCompressed(out, length), coded, length);
    return setOfItem;
  }
  std::unique_ptr<uint32_t[]> fieldSets = Unfilled(count);
  at = 0;
  field = 0;
  for (size_t item = 0; item < items; ++item) {
    for (const uint32_t end = field + rows[item].fieldCount; field < end; ++field) fieldSets[at++] = field;
    fieldSets[at++] = kNoField;
  }
  PutIntegers(out, fieldSets.get(), count);
  return setOfItem;
}

void CrateLayer::PutPaths(CrateBytes& out) const {
  const size_t count = items_.size();
  PathTable paths{Unfilled(count), Unfilled(count), Unfilled(count)};
  PathTree(paths);
  Put64(out, count);
  Put64(out, count);
  PutIntegers(out, paths.index.get(), count);
  PutIntegers(out, paths.element.get(), count);
  PutIntegers(out, paths.jump.get(), count);
}

// The items: their paths (an item's index is its path's), field sets and kinds, as three lists.
void CrateLayer::PutItems(CrateBytes& out, const uint32_t* setOfItem) const {
  const size_t count = items_.size();
  std::unique_ptr<uint32_t[]> types = Unfilled(count);
  for (size_t item = 0; item < count; ++item) types[item] = items_[item].type;
  Put64(out, count);
  PutCounting(out, count);
  PutIntegers(out, setOfItem, count);
  PutIntegers(out, types.get(), count);
}

void CrateLayer::Reserve(size_t bytes, size_t items, size_t fields) {
  MakeRoomFor(values_, bytes);
  items_.reserve(items);
  fields_.reserve(fields);
  // about a name of its own for every few items (a prim's), of a dozen characters or so
  constexpr size_t kItemsPerToken = 4, kCharactersPerToken = 12;
  tokenStarts_.reserve(items / kItemsPerToken);
  tokenHashes_.reserve(items / kItemsPerToken);
  MakeRoomFor(tokenCharacters_, items / kItemsPerToken * kCharactersPerToken);
  size_t slots = tokenSlots_.size();
  while (slots < 2 * (items / kItemsPerToken)) slots *= 2;
  if (slots > tokenSlots_.size()) RehashTokens(slots);
}

CrateBytes CrateLayer::Bytes() {
  for (Item item = 0; item < items_.size(); ++item) {
    if (items_[item].property) continue;
    ChildrenFields(item);
  }
  CrateBytes out = std::move(values_);
  CrateBytes toc;
  const auto section = [&out, &toc](const char* name, auto put) {
    const size_t start = out.size;
    put();
    PutSection(toc, name, start, out.size);
  };
  std::unique_ptr<uint32_t[]> setOfItem;
  section("TOKENS", [&] { PutTokens(out); });
  section("STRINGS", [&] { PutStrings(out); });
  section("FIELDS", [&] { PutFields(out); });
  section("FIELDSETS", [&] { setOfItem = PutFieldSets(out); });
  section("PATHS", [&] { PutPaths(out); });
  section("SPECS", [&] { PutItems(out, setOfItem.get()); });

  const size_t tocOffset = out.size;
  Put64(out, kSections);
  std::memcpy(Grow(out, toc.size), toc.bytes.get(), toc.size);

  CrateBytes bootstrap;
  std::memcpy(Grow(bootstrap, 8), "PXR-USDC", 8);
  for (const uint8_t part : kVersion) Put8(bootstrap, part);
  GrowZeros(bootstrap, 8 - sizeof kVersion);
  Put64(bootstrap, tocOffset);
  std::memcpy(out.bytes.get(), bootstrap.bytes.get(), bootstrap.size);
  return out;
}

}  // namespace vthost
