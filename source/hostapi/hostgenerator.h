// What a generator builds with: objects, splines and their point arrays, primitives, tags,
// display colours, the build context and the host's cache of the last hierarchy.
#pragma once

#include <cstdint>

#include "hostapi/hostcontainer.h"
#include "hostapi/hostnode.h"
#include "hostapi/hoststring.h"
#include "vantor_host.h"

namespace vantor {

class BuildContext {
 public:
  explicit BuildContext(VtBuildContext* handle) : handle_(handle) {}
  VtDocument* Document() const;
  double LevelOfDetail() const;
  void* Thread() const;
  VtBuildContext* Handle() const { return handle_; }

 private:
  VtBuildContext* handle_;
};

// A new object, the module's until it is inserted or returned; invalid when the host refused it.
Node AllocObject(int32_t type);
Node AllocSpline(int32_t pointCount, int32_t splineType);
Node GeneratePrimitive(int32_t primitiveType, const Container& parameters, const BuildContext& context);
// Frees an object with everything below it.
void FreeObject(Node node);

void SetPosition(Node node, const Vector& position);
bool InsertUnder(Node node, Node parent, bool first);
bool SetObjectParameter(Node node, int32_t id, int32_t value);
void SetDisplayColour(Node node, const Vector& colour, int32_t mode, bool xray);

// The spline's arrays; null when it has none (count then 0).
VtVector* SplinePoints(Node spline, int32_t* count);
VtTangent* SplineTangents(Node spline, int32_t* count);

class Tag {
 public:
  // A loose tag (invalid when refused); Insert hands it to a node, Free frees it.
  static Tag Alloc(int32_t type);
  // A new tag at the head of the node's tag list.
  static Tag Make(Node node, int32_t type);

  bool IsValid() const { return handle_ != nullptr; }
  void InsertFirst(Node node);
  void Free();
  bool SetInt32(int32_t id, int32_t value);
  bool SetFloat(int32_t id, double value);
  bool SetMaterial(VtNode* material);

 private:
  explicit Tag(VtTag* handle) : handle_(handle) {}
  VtTag* handle_ = nullptr;
};

// Whether the host needs a new hierarchy, whether the object is dirty, and what it keeps.
bool MustRebuild(Node node, const BuildContext& context);
bool IsDirty(Node node, int32_t flags);
VtNode* CurrentHierarchy(Node node);

}  // namespace vantor
