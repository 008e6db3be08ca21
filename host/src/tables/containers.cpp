// The Bc table: parameter containers, id to value, with the host's conversions between number types.
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

const Value* Find(const VtContainer* container, int32_t id) { return Lookup(container, id); }

// Stores value under id; answers 0 (container unchanged) when the host refuses the memory.
VtBool Store(VtContainer* container, int32_t id, Value value) {
  return StoreValue(container, id, std::move(value)) ? 1 : 0;
}

VtContainer* New() { return NewContainer(); }

void Free(VtContainer* container) { delete container; }

int32_t Type(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  return value ? TypeCode(*value) : VT_VALUE_NONE;
}

VtBool Remove(VtContainer* container, int32_t id) { return RemoveValue(container, id) ? 1 : 0; }

int32_t GetInt32(const VtContainer* container, int32_t id, int32_t fallback) {
  return Int32Of(container, id, fallback);
}

double GetFloat(const VtContainer* container, int32_t id, double fallback) { return FloatOf(container, id, fallback); }

VtBool GetBool(const VtContainer* container, int32_t id, VtBool fallback) {
  const Value* value = Find(container, id);
  if (value == nullptr) return fallback;
  if (const auto* flag = std::get_if<bool>(value)) return *flag ? 1 : 0;
  if (const auto* number = std::get_if<int32_t>(value)) return *number != 0 ? 1 : 0;
  return fallback;
}

void GetVector(const VtContainer* container, int32_t id, VtVector* out) {
  if (out == nullptr) return;
  const Value* value = Find(container, id);
  const auto* vector = value ? std::get_if<VtVector>(value) : nullptr;
  *out = vector ? *vector : VtVector{0.0, 0.0, 0.0};
}

VtString* GetString(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  const auto* text = value ? std::get_if<std::string>(value) : nullptr;
  return NewString(text ? *text : std::string());
}

VtFilename* GetFilename(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  const auto* path = value ? std::get_if<std::filesystem::path>(value) : nullptr;
  return NewFilename(path ? path->u8string() : std::string());
}

// A link names its target by serial, so it resolves to none once the target is deleted.
VtNode* GetLink(const VtContainer* container, int32_t id, VtDocument* /*document*/) {
  const Value* value = Find(container, id);
  const auto* link = value ? std::get_if<LinkValue>(value) : nullptr;
  return link && link->node != 0 ? CurrentHost().FindNode(link->node) : nullptr;
}

VtContainer* GetContainer(const VtContainer* container, int32_t id) {
  const Value* value = Find(container, id);
  const auto* sub = value ? std::get_if<ContainerPtr>(value) : nullptr;
  return sub && *sub ? CopyContainer(**sub) : nullptr;
}

VtBool SetInt32(VtContainer* container, int32_t id, int32_t value) { return StoreValue(container, id, value) ? 1 : 0; }
VtBool SetFloat(VtContainer* container, int32_t id, double value) { return StoreValue(container, id, value) ? 1 : 0; }
VtBool SetBool(VtContainer* container, int32_t id, VtBool value) { return StoreValue(container, id, value != 0) ? 1 : 0; }

VtBool SetVector(VtContainer* container, int32_t id, const VtVector* value) {
  return value ? Store(container, id, *value) : 0;
}

VtBool SetString(VtContainer* container, int32_t id, const VtString* value) {
  return Store(container, id, TextOf(value));
}

VtBool SetFilename(VtContainer* container, int32_t id, const VtFilename* value) {
  return Store(container, id, std::filesystem::u8path(PathOf(value)));
}

VtBool SetLink(VtContainer* container, int32_t id, VtNode* target) {
  return Store(container, id, LinkValue{target ? target->serial : 0});
}

VtBool SetContainer(VtContainer* container, int32_t id, const VtContainer* value) {
  if (value == nullptr) return 0;
  VtContainer* copy = CopyContainer(*value);
  if (copy == nullptr) return 0;
  return Store(container, id, ContainerPtr(copy));
}

}  // namespace

const VtBcTable kBcTable = {New,      Free,         Type,      Remove,       GetInt32,  GetFloat,  GetBool,
                            GetVector, GetString,   GetFilename, GetLink,    GetContainer, SetInt32, SetFloat,
                            SetBool,  SetVector,    SetString, SetFilename, SetLink,   SetContainer};

}  // namespace vthost
