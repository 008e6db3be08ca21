// The scene the host keeps: its own definitions of the opaque values that cross the interface
// (nodes, documents, containers, strings, file names, tags), and the functions every part of the
// host uses on them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "vantor_host.h"
#include "vthost/host.h"
#include "vthost/value.h"

namespace vthost {

// Small blocks of one size at a time from the host's pools (scene/pools.cpp): a model is thousands
// of nodes, tags and parameter values, which would each be an allocation of the system's. Blocks
// freed wait for the next of their size and go back to the system only when the process ends, so
// converting record after record takes no more memory than the largest model. Where leaks are
// checked (FreeAtExit) each block is an allocation of its own, so that the checker sees each one.
// Not for several threads at once (as no host is).
void* TakeBlock(size_t size);
void GiveBlock(void* block, size_t size);
// The blocks of the pool of that size's class the system has given, for tests.
size_t PoolBlocks(size_t size);

template <typename T>
struct Pooled {
  using value_type = T;
  Pooled() = default;
  template <typename U>
  Pooled(const Pooled<U>& /*other*/) {}
  T* allocate(size_t n) { return static_cast<T*>(TakeBlock(n * sizeof(T))); }
  void deallocate(T* block, size_t n) { GiveBlock(block, n * sizeof(T)); }
  template <typename U>
  bool operator==(const Pooled<U>& /*other*/) const { return true; }
  template <typename U>
  bool operator!=(const Pooled<U>& /*other*/) const { return false; }
};

// A container's values by id, kept in a pooled array in id order: a container holds a handful of
// values (a sphere's two, a texture tag's five), for which a short search beats a tree of pooled
// nodes, made and freed one by one. A value's address holds only until the next store or removal.
class ValueMap {
 public:
  using value_type = std::pair<int32_t, Value>;
  using Entries = std::vector<value_type, Pooled<value_type>>;
  using iterator = Entries::iterator;
  using const_iterator = Entries::const_iterator;

  ValueMap() = default;
  ValueMap(std::initializer_list<value_type> values) {
    for (const value_type& value : values) (*this)[value.first] = value.second;
  }

  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void clear() { entries_.clear(); }

  iterator find(int32_t id) {
    const auto at = Place(id);
    return at != entries_.end() && at->first == id ? at : entries_.end();
  }
  const_iterator find(int32_t id) const { return const_cast<ValueMap*>(this)->find(id); }
  size_t count(int32_t id) const { return find(id) == end() ? 0 : 1; }

  // The value under id, made empty (std::monostate) when there is none.
  Value& operator[](int32_t id) {
    const auto found = find(id);
    return found != entries_.end() ? found->second : Put(id, Value());
  }
  template <typename V>
  void insert_or_assign(int32_t id, V&& value) {
    Put(id, std::forward<V>(value));
  }
  size_t erase(int32_t id) {
    const auto at = find(id);
    if (at == entries_.end()) return 0;
    entries_.erase(at);
    return 1;
  }

  bool operator==(const ValueMap& other) const { return entries_ == other.entries_; }
  bool operator!=(const ValueMap& other) const { return !(*this == other); }

 private:
  static constexpr size_t kFirstRoom = 4;

  // Where id is or would go; values mostly come in increasing order, so the end is tried first.
  iterator Place(int32_t id) {
    if (entries_.empty() || entries_.back().first < id) return entries_.end();
    return std::lower_bound(entries_.begin(), entries_.end(), id,
                            [](const value_type& entry, int32_t wanted) { return entry.first < wanted; });
  }

  // Stores value under id, made in its place when id is new.
  template <typename V>
  Value& Put(int32_t id, V&& value) {
    if (entries_.capacity() == 0) entries_.reserve(kFirstRoom);
    const auto at = Place(id);
    if (at == entries_.end()) return entries_.emplace_back(id, std::forward<V>(value)).second;
    if (at->first == id) return at->second = std::forward<V>(value);
    return entries_.emplace(at, id, std::forward<V>(value))->second;
  }

  Entries entries_;
};

}  // namespace vthost

// Immutable text shared by reference count.
struct VtString {
  int32_t references = 1;
  std::string text;
};

struct VtFilename {
  int32_t references = 1;
  std::string path;
};

// Pooled: a module makes one for each primitive it generates, and frees it right after.
struct VtContainer {
  static void* operator new(size_t size) { return vthost::TakeBlock(size); }
  static void operator delete(void* block, size_t size) { vthost::GiveBlock(block, size); }

  vthost::ValueMap values;
};

struct VtTrack {
  VtNode* node = nullptr;
  int32_t id = 0;  // the animated parameter
};

// Where an object is in the host's list of loose ones (LooseObjects), or none.
constexpr size_t kNotLoose = static_cast<size_t>(-1);

struct VtTag {
  static void* operator new(size_t size) { return vthost::TakeBlock(size); }
  static void operator delete(void* block, size_t size) { vthost::GiveBlock(block, size); }

  size_t looseSlot = kNotLoose;
  int32_t type = 0;
  uint64_t material = 0;  // texture tags: the material's serial; 0 for none
  VtContainer parameters;
};

namespace vthost {

// Texture coordinates: u across the texture, v down it from its top edge (glTF's convention).
// Texture coordinates as the exporters write them, in single precision: a sphere of the most
// segments holds two million.
struct Uv {
  float u = 0.0F, v = 0.0F;
  Uv() = default;
  Uv(double u0, double v0) : u(static_cast<float>(u0)), v(static_cast<float>(v0)) {}
};

// A polygon mesh; a triangle repeats its third corner as the fourth.
struct Mesh {
  std::vector<VtVector> points;
  std::vector<std::array<int32_t, 4>> polygons;
  // Per polygon, the texture coordinates of its corners, as a UVW tag holds them (a corner on a
  // texture seam has other coordinates in the polygons on either side); empty for none.
  std::vector<std::array<Uv, 4>> uvs;
};

struct PrimitiveInfo {
  int32_t type = 0;
  double radius = 0.0;  // as generated, after the host's default and clamping
  int32_t segments = 0;
};

// A spline's arrays are pooled: a bond is two splines, of two and four points.
using SplinePoints = std::vector<VtVector, Pooled<VtVector>>;
using SplineTangents = std::vector<VtTangent, Pooled<VtTangent>>;

struct SplineData {
  int32_t type = 0;  // VT_SPLINE_LINEAR or VT_SPLINE_BEZIER
  SplinePoints points;
  SplineTangents tangents;  // Bezier splines only
  bool hasPoints = true;            // false when the host could not make the arrays
  bool hasTangents = false;
};

struct DisplayColour {
  bool set = false;
  VtVector colour{0.0, 0.0, 0.0};
  int32_t mode = 0;
  bool xray = false;
};

using NodePtr = std::unique_ptr<VtNode, void (*)(VtNode*)>;
NodePtr OwnNode(VtNode* node);

// The module's side of an object of a registered type.
struct ModuleSide {
  const VtObjectClass* operations = nullptr;
  void* data = nullptr;  // null for nodes of no registered type, and once freed
  int32_t lastExecuteResult = 0;
  int describing = 0;  // description builds under way (an object may describe itself again)
};

// A generator's cache: the hierarchy of its last build and what happened since.
struct GeneratorCache {
  NodePtr hierarchy{nullptr, nullptr};
  bool dirty = true;              // marked dirty with VT_DIRTY_DATA
  bool parametersChanged = true;  // by the user
  int32_t builds = 0;
  // The parameters as they were when the hierarchy was built: what it was built with, even after
  // later edits.
  VtContainer builtWith;
};

}  // namespace vthost

// A node of the host's scene: an object of a registered type or a material in a document, a bare
// node a test made, or an object a generator made.
struct VtNode {
  static void* operator new(size_t size) { return vthost::TakeBlock(size); }
  static void operator delete(void* block, size_t size) { vthost::GiveBlock(block, size); }

  uint64_t serial = 0;
  size_t looseSlot = kNotLoose;
  std::string name;
  int32_t type = 0;  // a registered object type, VT_OBJECT_MATERIAL, a generated object's type, or 0
  VtContainer parameters;
  bool hasParameters = true;  // a node without a parameter container, for tests
  // pooled: a generated object has two (its name and a message)
  std::vector<vthost::NodeEvent, vthost::Pooled<vthost::NodeEvent>> events;

  // Nodes of a document.
  VtDocument* document = nullptr;
  std::vector<std::unique_ptr<VtTrack>> tracks;  // in the order they were added
  // the same, found by id: made with the first (a generated object has none, and there are millions)
  std::unique_ptr<std::unordered_map<int32_t, VtTrack*>> trackById;
  VtVector colour{0.0, 0.0, 0.0};  // materials
  vthost::ModuleSide module;        // objects of a registered type
  vthost::GeneratorCache generator;

  // Generated objects: a hierarchy owned by its parent (the root by the generator's cache).
  VtNode* parent = nullptr;
  std::vector<vthost::NodePtr, vthost::Pooled<vthost::NodePtr>> children;
  // head first; most objects have one, which the pools hold
  std::vector<std::unique_ptr<VtTag>, vthost::Pooled<std::unique_ptr<VtTag>>> tags;
  VtVector position{0.0, 0.0, 0.0};
  vthost::DisplayColour display;
  std::optional<vthost::PrimitiveInfo> primitive;  // polygon objects made from a primitive
  // Polygon objects: shared, as every object made from the same primitive settings has the same.
  std::shared_ptr<const vthost::Mesh> mesh;
  std::optional<vthost::SplineData> spline;
};

namespace vthost {

// An event of the node: a generated object is named and sent a message, room for both is made with
// the first (rather than one and then two).
inline void RecordEvent(VtNode* node, NodeEvent event) {
  if (node->events.capacity() == 0) node->events.reserve(2);
  node->events.push_back(std::move(event));
}

}  // namespace vthost

// The nodes of a document in creation order, objects and materials alike.
struct VtDocument {
  std::vector<VtNode*> nodes;
};

struct VtBuildContext {
  VtDocument* document = nullptr;
  double levelOfDetail = 1.0;
  void* thread = nullptr;
};

struct VtExecList {
  struct Entry {
    int32_t priority;
    int32_t flags;
    VtNode* node;
  };
  std::vector<Entry> entries;
};

namespace vthost {

// Each answers null when the fault injector refuses the allocation (text.cpp, containers.cpp).
VtString* NewString(std::string_view text);
VtFilename* NewFilename(std::string path);
VtContainer* NewContainer();
// A deep copy (sub-containers copied too); null when refused.
VtContainer* CopyContainer(const VtContainer& source);
// One reference fewer; the last frees it.
void ReleaseString(VtString* text);
void ReleaseFilename(VtFilename* name);

// The text of a string handle; the empty text for null.
const std::string& TextOf(const VtString* text);
const std::string& PathOf(const VtFilename* name);

// Stores value under id; false (container unchanged) when the host refuses the memory. A number or
// a flag is made in its place, with no value moved.
bool StoreValue(VtContainer* container, int32_t id, Value value);
bool StoreValue(VtContainer* container, int32_t id, int32_t value);
bool StoreValue(VtContainer* container, int32_t id, double value);
bool StoreValue(VtContainer* container, int32_t id, bool value);
// Removes the value under id; false when there was none.
bool RemoveValue(VtContainer* container, int32_t id);
// The value under id read as a number or a flag, as the module reads it: floats truncate toward
// zero and saturate as integers, integers read as floats and flags, flags as integers; fallback
// when there is none or it is of another type.
int32_t Int32Of(const VtContainer* container, int32_t id, int32_t fallback);
double FloatOf(const VtContainer* container, int32_t id, double fallback);
bool BoolOf(const VtContainer* container, int32_t id, bool fallback);

// Value type code (VT_VALUE_*) of a value.
int32_t TypeCode(const Value& value);

// Whether the node is an object of a registered type whose module data is there.
inline bool HasModuleData(const VtNode* node) { return node != nullptr && node->module.data != nullptr; }
// Points PluginResourceFolder at the module behind the node's type, before the host calls it.
void EnterModuleOf(const VtNode* node);
// Hands a message to the node's object (no record kept); true when it has none.
bool Deliver(VtNode* node, int32_t type, void* data);

// The live host; the tables are only called while one exists.
Host& CurrentHost();
// The same, or null when none is alive (a string the module frees after its host has gone).
Host* LiveHost();

}  // namespace vthost
