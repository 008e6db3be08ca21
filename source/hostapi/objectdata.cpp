// Base behaviour of object types, and the C operations that forward to them. No exception leaves
// an operation: the host sees the answer a failed operation gives.
#include "hostapi/objectdata.h"

namespace vantor {

bool ObjectData::Initialise(VtNode*) { return true; }
void ObjectData::Free(VtNode*) {}
bool ObjectData::Read(VtNode*, VtStream*, int32_t) { return true; }
bool ObjectData::Write(VtNode*, VtStream*) { return true; }
bool ObjectData::CopyTo(ObjectData&, VtNode*, VtNode*) { return true; }
bool ObjectData::Message(VtNode*, int32_t, void*) { return true; }
bool ObjectData::Describe(VtNode*, VtDescription*, int32_t*) { return false; }
bool ObjectData::IsEnabled(VtNode*, int32_t) { return true; }
bool ObjectData::AddToExecution(VtNode*, VtExecList*) { return true; }
int32_t ObjectData::Execute(VtNode*, VtDocument*) { return 0; }
VtNode* ObjectData::BuildHierarchy(VtNode*, VtBuildContext*) { return nullptr; }

namespace detail {
namespace {

// Runs an operation on the object behind data, answering fallback for a null object, a module
// no longer bound to its host, or an exception.
template <typename Result, typename Operation>
Result Guarded(void* data, Result fallback, Operation operation) {
  ObjectData* object = AsObject(data);
  if (object == nullptr || !host::IsBound()) return fallback;
  try {
    return operation(*object);
  } catch (...) {
    return fallback;
  }
}

VtBool Flag(bool value) { return value ? 1 : 0; }

}  // namespace

ObjectData* AsObject(void* data) { return static_cast<ObjectData*>(data); }

// After the last end the object cannot be given back: it stays, for a host that binds the module
// again to free.
void Destroy(void* data) {
  if (host::IsBound()) HostDelete(AsObject(data));
}

VtBool Initialise(void* data, VtNode* node) {
  return Guarded<VtBool>(data, 0, [&](ObjectData& o) { return Flag(o.Initialise(node)); });
}

void Free(void* data, VtNode* node) {
  Guarded<int>(data, 0, [&](ObjectData& o) {
    o.Free(node);
    return 0;
  });
}

VtBool Read(void* data, VtNode* node, VtStream* stream, int32_t level) {
  return Guarded<VtBool>(data, 0, [&](ObjectData& o) { return Flag(o.Read(node, stream, level)); });
}

VtBool Write(void* data, VtNode* node, VtStream* stream) {
  return Guarded<VtBool>(data, 0, [&](ObjectData& o) { return Flag(o.Write(node, stream)); });
}

VtBool Copy(void* data, void* destination, VtNode* sourceNode, VtNode* destinationNode) {
  ObjectData* target = AsObject(destination);
  if (target == nullptr) return 0;
  return Guarded<VtBool>(data, 0,
                         [&](ObjectData& o) { return Flag(o.CopyTo(*target, sourceNode, destinationNode)); });
}

VtBool Message(void* data, VtNode* node, int32_t type, void* messageData) {
  return Guarded<VtBool>(data, 0, [&](ObjectData& o) { return Flag(o.Message(node, type, messageData)); });
}

VtBool Describe(void* data, VtNode* node, VtDescription* description, int32_t* flags) {
  return Guarded<VtBool>(data, 0, [&](ObjectData& o) { return Flag(o.Describe(node, description, flags)); });
}

VtBool IsEnabled(void* data, VtNode* node, int32_t id) {
  return Guarded<VtBool>(data, 1, [&](ObjectData& o) { return Flag(o.IsEnabled(node, id)); });
}

VtBool AddToExecution(void* data, VtNode* node, VtExecList* list) {
  return Guarded<VtBool>(data, 0, [&](ObjectData& o) { return Flag(o.AddToExecution(node, list)); });
}

int32_t Execute(void* data, VtNode* node, VtDocument* document) {
  constexpr int32_t kExecuteFailed = 2;
  return Guarded<int32_t>(data, kExecuteFailed, [&](ObjectData& o) { return o.Execute(node, document); });
}

VtNode* BuildHierarchy(void* data, VtNode* node, VtBuildContext* context) {
  return Guarded<VtNode*>(data, nullptr, [&](ObjectData& o) { return o.BuildHierarchy(node, context); });
}

}  // namespace detail
}  // namespace vantor
