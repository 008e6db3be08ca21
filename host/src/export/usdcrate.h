// A USD layer in the binary crate format (.usdc): items and their fields collected, then laid out as
// a crate file of version 0.8.0, the version USD itself writes (usdcrate.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vthost {

// A name's hash for the tables of names a layer keeps: FNV-1a, folded so that its low bits, which
// pick the slot, depend on all of it; quicker than the library's for the short names of prims.
// Before it is folded, the hash of a name goes on over the characters that follow it.
constexpr uint64_t kNameHashStart = 14695981039346656037u;
inline uint64_t NameHashOver(std::string_view characters, uint64_t hash = kNameHashStart) {
  for (const char c : characters) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return hash;
}
inline size_t FoldedNameHash(uint64_t hash) { return static_cast<size_t>(hash ^ (hash >> 32)); }
inline size_t NameHash(std::string_view name) { return FoldedNameHash(NameHashOver(name)); }

// The bytes of a crate file as they are written: the first size of them, then room made ahead
// (doubling, not filled), so that adding a word is a store and no call.
struct CrateBytes {
  std::unique_ptr<char[]> bytes;
  size_t size = 0, room = 0;
  std::string_view View() const { return {bytes.get(), size}; }
};

class CrateLayer {
  static constexpr uint32_t kNoToken = 0xFFFFFFFFu;

 public:
  using Item = size_t;  // an item's index; its path's index too
  static constexpr Item kPseudoRoot = 0;

  enum class Specifier : uint32_t { kDef = 0, kClass = 2 };

  // A token's text: any text, or a name made once by Name(), whose token is looked up on its first
  // use only (the tokens are numbered in the order they are first used).
  class Text {
   public:
    // implicit: a caller passes any text where a token goes
    Text(std::string_view text) : Text(text, kNoToken) {}
    Text(const char* text) : Text(std::string_view(text)) {}
    Text(const std::string& text) : Text(std::string_view(text)) {}
    std::string_view text() const { return {characters_, size_}; }

   private:
    friend class CrateLayer;
    // its size in 32 bits (a package holds no more), so that a text is two words, passed in registers
    Text(std::string_view text, uint32_t name)
        : characters_(text.data()), size_(static_cast<uint32_t>(text.size())), name_(name) {}
    const char* characters_;
    uint32_t size_;
    uint32_t name_;
  };
  // A text used again and again: a field, a type, a fixed name. Its characters must outlive the
  // layer (a literal).
  Text Name(std::string_view text);

  CrateLayer();

  // A prim below a prim (or the pseudo-root); an empty type for a typeless prim.
  Item AddPrim(Item parent, Text name, Specifier specifier, Text typeName);
  // An attribute of a prim, of a USD value type ("float3[]"): uniform or varying; not custom.
  Item AddAttribute(Item prim, Text name, Text typeName, bool uniform);
  Item AddRelationship(Item prim, Text name);
  // Puts a child last among its parent's children (made early, for others to name it).
  void MoveLast(Item parent, Item child);

  // Fields of an item, by their name in the layer ("default", "kind"...).
  void SetToken(Item item, Text field, Text token);
  void SetString(Item item, Text field, Text text);
  void SetBool(Item item, Text field, bool value);
  void SetFloat(Item item, Text field, float value);
  void SetDouble(Item item, Text field, double value);
  void SetDouble3(Item item, Text field, const std::array<double, 3>& value);
  void SetFloat3(Item item, Text field, const std::array<float, 3>& value);
  // A quaternion, its imaginary part first (x y z w), as USD lays it out in memory.
  void SetQuatf(Item item, Text field, const std::array<float, 4>& xyzw);
  void SetTokenArray(Item item, Text field, const std::vector<Text>& tokens);
  void SetIntArray(Item item, Text field, const std::vector<uint32_t>& values);
  // An array of tuples of width floats each (float2[], float3[]...): values.size() / width of them.
  void SetFloatTuples(Item item, Text field, size_t width, const std::vector<float>& values);
  // A list edit that sets the targets (relationships) or connections (attributes) to one item.
  void SetExplicitPath(Item item, Text field, Item target);
  // A list edit that prepends a reference to a prim of this layer.
  void PrependInternalReference(Item item, Item target);
  void PrependTokens(Item item, Text field, std::initializer_list<Text> tokens);

  // The layer's bytes, once; the children and properties of every prim are listed here.
  CrateBytes Bytes();
  // Room made at once for a layer of about this many bytes, items and fields, so that they are not
  // moved (and the room filled) again and again as the layer grows.
  void Reserve(size_t bytes, size_t items, size_t fields);

 private:
  static constexpr Item kNoItem = ~Item{0};

  // The children of an item are a chain: the first, each one's next sibling, the last.
  struct ItemRow {
    uint32_t nameToken;
    uint32_t type;  // the kind of item as USD numbers them
    bool property;
    uint32_t fieldCount = 0;
    uint32_t primChildren = 0, properties = 0;  // how many of each are below it
    Item firstChild = kNoItem, lastChild = kNoItem, nextSibling = kNoItem;
  };
  struct FieldEntry {
    uint32_t item;  // 32 bits, as the file numbers its items
    uint32_t nameToken;
    uint64_t rep;  // the value's representation
  };

  Item Add(Item parent, Text name, uint32_t type, bool property);
  uint32_t Token(Text text) {
    if (text.name_ != kNoToken && nameTokens_[text.name_] != kNoToken) return nameTokens_[text.name_];
    return LookUpToken(text);
  }
  // A text's token by its hash, new if the text is; a Name's is kept for its next use.
  uint32_t LookUpToken(Text text);
  uint32_t NewToken(std::string_view text, size_t hash, size_t slot);
  // The table of tokens by hash made again with this many slots (a power of two).
  void RehashTokens(size_t slots);
  std::string_view TokenText(uint32_t token) const;
  uint32_t StringIndex(Text text);
  void Field(Item item, Text field, uint64_t rep) {
    fields_.push_back({static_cast<uint32_t>(item), Token(field), rep});
    ++items_[item].fieldCount;
  }
  // Room for a value of bytes at the next multiple of 8 among the values: answers where it goes,
  // and its offset in the file in *start.
  char* Value(size_t bytes, uint64_t* start);
  // The names of the prims and of the properties below a prim, as two vectors of tokens (each if
  // there are any), in one walk of its children.
  void ChildrenFields(Item item);
  // The path tree as the paths section lists it: index, element token, jump of each path.
  struct PathTable {
    std::unique_ptr<uint32_t[]> index, element, jump;
  };
  void PathTree(PathTable& paths) const;
  // The structural sections, each appended to out.
  void PutTokens(CrateBytes& out) const;
  void PutStrings(CrateBytes& out) const;
  void PutFields(CrateBytes& out) const;
  std::unique_ptr<uint32_t[]> PutFieldSets(CrateBytes& out) const;
  void PutPaths(CrateBytes& out) const;
  void PutItems(CrateBytes& out, const uint32_t* setOfItem) const;

  std::vector<ItemRow> items_;
  std::vector<FieldEntry> fields_;
  // The tokens as the tokens section holds them, each ended by a NUL, where each starts (and one
  // past the last), and a table of them by hash: open addressing, at most half full.
  CrateBytes tokenCharacters_;
  std::vector<uint32_t> tokenStarts_{0};
  std::vector<size_t> tokenHashes_;
  std::vector<uint32_t> tokenSlots_;
  std::vector<uint32_t> nameTokens_;      // each Name's token, once it is used
  std::vector<uint32_t> stringOfToken_;  // a string's index by its token's
  std::vector<uint32_t> strings_;        // each string's token
  CrateBytes values_;  // the values that are not inlined, from the start of the file
  // the fields the layer sets itself
  const Text specifier_ = Name("specifier"), typeName_ = Name("typeName"), variability_ = Name("variability"),
             references_ = Name("references"), primChildren_ = Name("primChildren"),
             properties_ = Name("properties"), noAsset_ = Name("");
};

}  // namespace vthost
