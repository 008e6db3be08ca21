// A USD layer in the binary crate format (.usdc): specs and their fields collected, then laid out as
// a crate file of version 0.8.0, the version USD itself writes (usdcrate.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vthost {

class CrateLayer {
 public:
  using Spec = size_t;  // a spec's index; its path's index too
  static constexpr Spec kPseudoRoot = 0;

  enum class Specifier : uint32_t { kDef = 0, kClass = 2 };

  CrateLayer();

  // A prim below a prim (or the pseudo-root); an empty type for a typeless prim.
  Spec AddPrim(Spec parent, std::string_view name, Specifier specifier, std::string_view typeName);
  // An attribute of a prim, of a USD value type ("float3[]"): uniform or varying; not custom.
  Spec AddAttribute(Spec prim, std::string_view name, std::string_view typeName, bool uniform);
  Spec AddRelationship(Spec prim, std::string_view name);
  // Puts a child last among its parent's children (made early, for others to name it).
  void MoveLast(Spec parent, Spec child);

  // Fields of a spec, by their name in the layer ("default", "kind"...).
  void SetToken(Spec spec, std::string_view field, std::string_view token);
  void SetString(Spec spec, std::string_view field, std::string_view text);
  void SetBool(Spec spec, std::string_view field, bool value);
  void SetFloat(Spec spec, std::string_view field, float value);
  void SetDouble(Spec spec, std::string_view field, double value);
  void SetDouble3(Spec spec, std::string_view field, const std::array<double, 3>& value);
  void SetFloat3(Spec spec, std::string_view field, const std::array<float, 3>& value);
  // A quaternion, its imaginary part first (x y z w), as USD lays it out in memory.
  void SetQuatf(Spec spec, std::string_view field, const std::array<float, 4>& xyzw);
  void SetTokenArray(Spec spec, std::string_view field, const std::vector<std::string_view>& tokens);
  void SetIntArray(Spec spec, std::string_view field, const std::vector<uint32_t>& values);
  // An array of tuples of width floats each (float2[], float3[]...): values.size() / width of them.
  void SetFloatTuples(Spec spec, std::string_view field, size_t width, const std::vector<float>& values);
  // A list edit that sets the targets (relationships) or connections (attributes) to one spec.
  void SetExplicitPath(Spec spec, std::string_view field, Spec target);
  // A list edit that prepends a reference to a prim of this layer.
  void PrependInternalReference(Spec spec, Spec target);
  void PrependTokens(Spec spec, std::string_view field, const std::vector<std::string_view>& tokens);

  // The layer's bytes, once; the children and properties of every prim are listed here.
  std::string Bytes();

 private:
  struct SpecEntry {
    Spec parent;
    uint32_t nameToken;
    uint32_t type;  // the kind of spec as USD numbers them
    bool property;
    std::vector<Spec> children;
    std::vector<std::pair<uint32_t, uint64_t>> fields;  // name token, value representation
  };

  Spec Add(Spec parent, std::string_view name, uint32_t type, bool property);
  uint32_t Token(std::string_view text);
  uint32_t StringIndex(std::string_view text);
  void Field(Spec spec, std::string_view field, uint64_t rep);
  // Where the next value goes, aligned to 8 bytes.
  uint64_t ValueStart();
  void TokenVectorField(Spec spec, std::string_view field, bool properties);
  // The path tree as the paths section lists it: index, element token, jump of each path.
  struct PathTable {
    std::vector<uint32_t> index, element, jump;
  };
  void PathTree(Spec spec, bool hasSibling, PathTable& paths) const;
  // The structural sections, each appended to out.
  void PutTokens(std::string& out) const;
  void PutStrings(std::string& out) const;
  void PutFields(std::string& out) const;
  std::vector<uint32_t> PutFieldSets(std::string& out) const;
  void PutPaths(std::string& out) const;
  void PutSpecs(std::string& out, const std::vector<uint32_t>& setOfSpec) const;

  std::vector<SpecEntry> specs_;
  std::deque<std::string> tokens_;  // a deque, which never moves them: the index views them
  std::unordered_map<std::string_view, uint32_t> tokenIndex_;
  std::unordered_map<uint32_t, uint32_t> stringIndex_;  // by the string's token
  std::vector<uint32_t> strings_;  // each string's token
  std::string values_;  // the bytes of the values that are not inlined, from the start of the file
};

}  // namespace vthost
