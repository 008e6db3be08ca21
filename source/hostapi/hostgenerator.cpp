// Generator facilities over the Ob, Sp, Pt, Pr, Tg, Tx, Dp, Bx and Ca tables.
#include "hostapi/hostgenerator.h"

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtHostInterface& Host() { return host::Tables(); }

// Flags of the set-parameter calls: as the user would set them, without undo.
constexpr int32_t kSetFlags = 0;

}  // namespace

VtDocument* BuildContext::Document() const { return Host().Bx->Document(handle_); }
double BuildContext::LevelOfDetail() const { return Host().Bx->LevelOfDetail(handle_); }
void* BuildContext::Thread() const { return Host().Bx->Thread(handle_); }

Node AllocObject(int32_t type) { return Node(Host().Ob->Alloc(type)); }

Node AllocSpline(int32_t pointCount, int32_t splineType) { return Node(Host().Sp->Alloc(pointCount, splineType)); }

Node GeneratePrimitive(int32_t primitiveType, const Container& parameters, const BuildContext& context) {
  // generated without a document, with isoparms off, on the evaluating thread
  return Node(Host().Pr->Generate(primitiveType, parameters.Handle(), nullptr, context.LevelOfDetail(), 0,
                                  context.Thread()));
}

void FreeObject(Node node) {
  if (node.IsValid()) Host().Ob->Free(node.Handle());
}

void SetPosition(Node node, const Vector& position) {
  const VtVector raw{position.x, position.y, position.z};
  if (node.IsValid()) Host().Ob->SetPosition(node.Handle(), &raw);
}

bool InsertUnder(Node node, Node parent, bool first) {
  return node.IsValid() && parent.IsValid() && Host().Ob->Insert(node.Handle(), parent.Handle(), first ? 1 : 0) != 0;
}

bool SetObjectParameter(Node node, int32_t id, int32_t value) {
  return node.IsValid() && Host().Ob->SetInt32(node.Handle(), id, value, kSetFlags) != 0;
}

void SetDisplayColour(Node node, const Vector& colour, int32_t mode, bool xray) {
  const VtVector raw{colour.x, colour.y, colour.z};
  if (node.IsValid()) Host().Dp->Set(node.Handle(), &raw, mode, xray ? 1 : 0);
}

VtVector* SplinePoints(Node spline, int32_t* count) {
  *count = 0;
  return spline.IsValid() ? Host().Pt->Points(spline.Handle(), count) : nullptr;
}

VtTangent* SplineTangents(Node spline, int32_t* count) {
  *count = 0;
  return spline.IsValid() ? Host().Pt->Tangents(spline.Handle(), count) : nullptr;
}

Tag Tag::Alloc(int32_t type) { return Tag(Host().Tg->Alloc(type)); }

Tag Tag::Make(Node node, int32_t type) { return Tag(node.IsValid() ? Host().Tg->Make(node.Handle(), type) : nullptr); }

void Tag::InsertFirst(Node node) {
  if (handle_ && node.IsValid()) Host().Tg->InsertFirst(node.Handle(), handle_);
}

void Tag::Free() {
  if (handle_) Host().Tg->Free(handle_);
  handle_ = nullptr;
}

bool Tag::SetInt32(int32_t id, int32_t value) { return handle_ && Host().Tg->SetInt32(handle_, id, value, kSetFlags) != 0; }

bool Tag::SetFloat(int32_t id, double value) { return handle_ && Host().Tg->SetFloat(handle_, id, value, kSetFlags) != 0; }

bool Tag::SetMaterial(VtNode* material) { return handle_ && Host().Tx->SetMaterial(handle_, material) != 0; }

bool MustRebuild(Node node, const BuildContext& context) {
  return Host().Ca->MustRebuild(node.Handle(), context.Handle()) != 0;
}

bool IsDirty(Node node, int32_t flags) { return Host().Ca->IsDirty(node.Handle(), flags) != 0; }

VtNode* CurrentHierarchy(Node node) { return Host().Ca->Current(node.Handle()); }

}  // namespace vantor
