// The base of the module's object types and the table of C operations the host calls on them.
#pragma once

#include <cstdint>

#include "hostapi/hostbinding.h"
#include "hostapi/hostmemory.h"
#include "vantor_host.h"

namespace vantor {

// Base behaviour of every operation: answer true (or 0, or no hierarchy) and do nothing.
class ObjectData {
 public:
  ObjectData() = default;
  ObjectData(const ObjectData&) = delete;
  ObjectData& operator=(const ObjectData&) = delete;
  virtual ~ObjectData() = default;

  virtual bool Initialise(VtNode* node);
  virtual void Free(VtNode* node);
  virtual bool Read(VtNode* node, VtStream* stream, int32_t level);
  virtual bool Write(VtNode* node, VtStream* stream);
  // destination is always an object of the same registered type.
  virtual bool CopyTo(ObjectData& destination, VtNode* sourceNode, VtNode* destinationNode);
  virtual bool Message(VtNode* node, int32_t type, void* data);
  // The base adds nothing and answers false.
  virtual bool Describe(VtNode* node, VtDescription* description, int32_t* flags);
  virtual bool IsEnabled(VtNode* node, int32_t id);
  virtual bool AddToExecution(VtNode* node, VtExecList* list);
  virtual int32_t Execute(VtNode* node, VtDocument* document);
  virtual VtNode* BuildHierarchy(VtNode* node, VtBuildContext* context);
};

namespace detail {

ObjectData* AsObject(void* data);

// The C operations shared by every type; only allocation knows the concrete type. After the last
// end action the host's tables are gone: each operation then answers failure or does nothing.
void Destroy(void* data);
VtBool Initialise(void* data, VtNode* node);
void Free(void* data, VtNode* node);
VtBool Read(void* data, VtNode* node, VtStream* stream, int32_t level);
VtBool Write(void* data, VtNode* node, VtStream* stream);
VtBool Copy(void* data, void* destination, VtNode* sourceNode, VtNode* destinationNode);
VtBool Message(void* data, VtNode* node, int32_t type, void* messageData);
VtBool Describe(void* data, VtNode* node, VtDescription* description, int32_t* flags);
VtBool IsEnabled(void* data, VtNode* node, int32_t id);
VtBool AddToExecution(void* data, VtNode* node, VtExecList* list);
int32_t Execute(void* data, VtNode* node, VtDocument* document);
VtNode* BuildHierarchy(void* data, VtNode* node, VtBuildContext* context);

template <typename T>
void* Allocate() {
  if (!host::IsBound()) return nullptr;  // after the last end: no host to allocate from
  try {
    return static_cast<ObjectData*>(HostNew<T>());
  } catch (...) {
    return nullptr;
  }
}

}  // namespace detail

// The operations table for type T (derived from ObjectData), valid for the module's lifetime.
template <typename T>
const VtObjectClass* ObjectOperations() {
  static const VtObjectClass operations = {
      detail::Allocate<T>, detail::Destroy,     detail::Initialise,     detail::Free,
      detail::Read,        detail::Write,       detail::Copy,           detail::Message,
      detail::Describe,    detail::IsEnabled,   detail::AddToExecution, detail::Execute,
      detail::BuildHierarchy,
  };
  return &operations;
}

}  // namespace vantor
