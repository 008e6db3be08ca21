// The tables generators build with: objects, splines, point arrays, primitives, tags, texture tags,
// display colours, build contexts and caches. What a module makes stays loose (the host's to free)
// until it is inserted or returned.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "scene/meshes.h"
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

// A spline may hold at most this many points: a larger request is refused, not attempted.
constexpr int32_t kMaxSplinePoints = 1 << 20;
constexpr double kDefaultSphereRadius = 100.0;
constexpr int32_t kDefaultSphereSegments = 24;

std::string_view DefaultName(int32_t type) {
  switch (type) {
    case VT_OBJECT_NULL: return "Null";
    case VT_OBJECT_SWEEP: return "Sweep";
    case VT_OBJECT_SPLINE: return "Spline";
    case VT_OBJECT_POLYGON: return "Sphere";
    default: return "Object";
  }
}

VtNode* NewLooseNode(int32_t type) {
  if (!CurrentHost().Faults().Allow(AllocKind::Object)) return nullptr;
  auto* node = new VtNode();
  node->type = type;
  node->name.assign(DefaultName(type));
  CurrentHost().Loose().Add(node);
  return node;
}

// Takes node out of wherever it is: the loose set or its parent's children.
NodePtr Detach(VtNode* node) {
  if (CurrentHost().Loose().Take(node)) return OwnNode(node);
  VtNode* parent = node->parent;
  if (parent == nullptr) return OwnNode(nullptr);
  auto& siblings = parent->children;
  const auto found = std::find_if(siblings.begin(), siblings.end(), [node](const NodePtr& held) { return held.get() == node; });
  if (found == siblings.end()) return OwnNode(nullptr);
  NodePtr owned = std::move(*found);
  siblings.erase(found);
  node->parent = nullptr;
  return owned;
}

VtNode* Alloc(int32_t type) {
  if (type != VT_OBJECT_NULL && type != VT_OBJECT_SWEEP && type != VT_OBJECT_POLYGON && type != VT_OBJECT_SPLINE) {
    return nullptr;
  }
  return NewLooseNode(type);
}

void Free(VtNode* node) {
  if (node != nullptr) Detach(node);  // the detached ownership frees it
}

void SetPosition(VtNode* node, const VtVector* position) {
  if (node && position) node->position = *position;
}

VtBool Insert(VtNode* node, VtNode* parent, VtBool first) {
  if (node == nullptr || parent == nullptr || node == parent) return 0;
  for (const VtNode* above = parent; above != nullptr; above = above->parent) {
    if (above == node) return 0;  // never under itself
  }
  NodePtr owned = Detach(node);
  if (!owned) return 0;
  node->parent = parent;
  // a sweep holds two splines: room for both with the first
  if (parent->children.capacity() == 0) parent->children.reserve(2);
  if (first) {
    parent->children.insert(parent->children.begin(), std::move(owned));
  } else {
    parent->children.push_back(std::move(owned));
  }
  return 1;
}

VtBool SetObjectInt32(VtNode* node, int32_t id, int32_t value, int32_t /*flags*/) {
  if (node == nullptr) return 0;
  node->parameters.values.insert_or_assign(id, value);
  return 1;
}

VtBool SetObjectFloat(VtNode* node, int32_t id, double value, int32_t /*flags*/) {
  if (node == nullptr) return 0;
  node->parameters.values.insert_or_assign(id, value);
  return 1;
}

VtNode* AllocSpline(int32_t pointCount, int32_t splineType) {
  if (pointCount < 0 || pointCount > kMaxSplinePoints) return nullptr;
  if (splineType != VT_SPLINE_LINEAR && splineType != VT_SPLINE_BEZIER) return nullptr;
  VtNode* node = NewLooseNode(VT_OBJECT_SPLINE);
  if (node == nullptr) return nullptr;
  SplineData& spline = node->spline.emplace();
  spline.type = splineType;
  // the arrays are allocations of their own: without them the spline has no point data
  FaultInjector& faults = CurrentHost().Faults();
  spline.hasPoints = faults.Allow(AllocKind::Memory);
  if (spline.hasPoints) spline.points.resize(static_cast<size_t>(pointCount));
  spline.hasTangents = splineType == VT_SPLINE_BEZIER && faults.Allow(AllocKind::Memory);
  if (spline.hasTangents) spline.tangents.resize(static_cast<size_t>(pointCount));
  return node;
}

VtVector* Points(VtNode* node, int32_t* count) {
  const bool has = node && node->spline && node->spline->hasPoints;
  if (count) *count = has ? static_cast<int32_t>(node->spline->points.size()) : 0;
  return has ? node->spline->points.data() : nullptr;
}

VtTangent* Tangents(VtNode* node, int32_t* count) {
  const bool has = node && node->spline && node->spline->hasTangents;
  if (count) *count = has ? static_cast<int32_t>(node->spline->tangents.size()) : 0;
  return has ? node->spline->tangents.data() : nullptr;
}

VtNode* Generate(int32_t primitiveType, const VtContainer* parameters, VtDocument* /*document*/,
                 double /*levelOfDetail*/, VtBool /*isoparms*/, void* /*thread*/) {
  if (primitiveType != VT_PRIMITIVE_SPHERE) return nullptr;
  double radius = FloatOf(parameters, VT_SPHERE_RADIUS, kDefaultSphereRadius);
  if (!std::isfinite(radius) || radius < 0.0) radius = 0.0;
  const int32_t segments = std::clamp(Int32Of(parameters, VT_SPHERE_SEGMENTS, kDefaultSphereSegments),
                                      kMinSphereSegments, kMaxSphereSegments);
  VtNode* node = NewLooseNode(VT_OBJECT_POLYGON);
  if (node == nullptr) return nullptr;
  node->primitive = PrimitiveInfo{primitiveType, radius, segments};
  node->mesh = CurrentHost().Spheres().Get(radius, segments);
  return node;
}

VtTag* AllocTag(int32_t type) {
  if (!CurrentHost().Faults().Allow(AllocKind::Tag)) return nullptr;
  auto* tag = new VtTag();
  tag->type = type;
  CurrentHost().Loose().Add(tag);
  return tag;
}

void FreeTag(VtTag* tag) {
  if (tag != nullptr && CurrentHost().Loose().Take(tag)) delete tag;
}

void InsertFirst(VtNode* node, VtTag* tag) {
  if (node == nullptr || tag == nullptr || !CurrentHost().Loose().Take(tag)) return;
  node->tags.insert(node->tags.begin(), std::unique_ptr<VtTag>(tag));
}

VtTag* MakeTag(VtNode* node, int32_t type) {
  if (node == nullptr) return nullptr;
  VtTag* tag = AllocTag(type);
  InsertFirst(node, tag);
  return tag;
}

VtBool SetTagInt32(VtTag* tag, int32_t id, int32_t value, int32_t /*flags*/) {
  if (tag == nullptr) return 0;
  tag->parameters.values.insert_or_assign(id, value);
  return 1;
}

VtBool SetTagFloat(VtTag* tag, int32_t id, double value, int32_t /*flags*/) {
  if (tag == nullptr) return 0;
  tag->parameters.values.insert_or_assign(id, value);
  return 1;
}

VtBool SetMaterial(VtTag* tag, VtNode* material) {
  if (tag == nullptr) return 0;
  tag->material = material ? material->serial : 0;
  return 1;
}

void SetDisplayColour(VtNode* node, const VtVector* colour, int32_t mode, VtBool xray) {
  if (node == nullptr || colour == nullptr) return;
  node->display = DisplayColour{true, *colour, mode, xray != 0};
}

VtDocument* ContextDocument(const VtBuildContext* context) { return context ? context->document : nullptr; }
double ContextLevelOfDetail(const VtBuildContext* context) { return context ? context->levelOfDetail : 1.0; }
void* ContextThread(const VtBuildContext* context) { return context ? context->thread : nullptr; }

VtBool MustRebuild(VtNode* node, const VtBuildContext* /*context*/) {
  return node == nullptr || !node->generator.hierarchy || node->generator.parametersChanged ? 1 : 0;
}

VtBool IsDirty(VtNode* node, int32_t flags) {
  return node != nullptr && (flags & VT_DIRTY_DATA) != 0 && node->generator.dirty ? 1 : 0;
}

VtNode* Current(VtNode* node) { return node ? node->generator.hierarchy.get() : nullptr; }

}  // namespace

const VtObTable kObTable = {Alloc, Free, SetPosition, Insert, SetObjectInt32, SetObjectFloat};
const VtSpTable kSpTable = {AllocSpline};
const VtPtTable kPtTable = {Points, Tangents};
const VtPrTable kPrTable = {Generate};
const VtTgTable kTgTable = {MakeTag, AllocTag, FreeTag, InsertFirst, SetTagInt32, SetTagFloat};
const VtTxTable kTxTable = {SetMaterial};
const VtDpTable kDpTable = {SetDisplayColour};
const VtBxTable kBxTable = {ContextDocument, ContextLevelOfDetail, ContextThread};
const VtCaTable kCaTable = {MustRebuild, IsDirty, Current};

}  // namespace vthost
