// The ball-and-stick hierarchy: a null holding a sphere per atom (and nuclei), and a sweep per bond
// with a circular profile along a straight path.
#include "modelbuilder.h"

#include <algorithm>
#include <limits>

#include "moleculeobject.h"

namespace vantor {
namespace {

constexpr int32_t kInterpolationUniform = 2;
constexpr int32_t kProfilePoints = 4;
constexpr int32_t kPathPoints = 2;
// shorter than the 0.5523 r of a closer circle: the profile is a little rounder than a square
constexpr double kTangentFactor = 0.415;
// a nucleus when the radius mode gives the atom sphere no radius
constexpr double kFallbackNucleusRadius = 1.0;
constexpr int32_t kHydrogen = 0;
constexpr int32_t kDisplayAtomsOnly = 1;
constexpr int32_t kDisplayBondsOnly = 2;

}  // namespace

Vector ModelCentre(const HostArray<Atom>& atoms) {
  if (atoms.IsEmpty()) return {};
  constexpr double kMax = std::numeric_limits<double>::max();
  Vector low{kMax, kMax, kMax}, high{-kMax, -kMax, -kMax};
  for (const Atom& atom : atoms) {
    low = {std::min(low.x, atom.x), std::min(low.y, atom.y), std::min(low.z, atom.z)};
    high = {std::max(high.x, atom.x), std::max(high.y, atom.y), std::max(high.z, atom.z)};
  }
  return {low.x + (high.x - low.x) * 0.5, low.y + (high.y - low.y) * 0.5, low.z + (high.z - low.z) * 0.5};
}

std::optional<double> AtomRadius(const RadiusSettings& settings, const ElementRecord& element, int32_t elementIndex) {
  switch (settings.mode) {
    case 0: return element.radius1 * settings.radiusScale;
    case 1: return element.radius2 * settings.radiusScale;
    case 2: return (elementIndex + 1.0) * settings.atomRadius;  // the atomic number times the step
    case 3: return settings.atomRadius;
    case 4: return element.radius3 * settings.radiusScale;
    default: return std::nullopt;
  }
}

double BondRadius(const BondSettings& settings, int32_t order) {
  switch (order) {
    case 2:
    case 4: return settings.radius * settings.doubleFactor;
    case 3: return settings.radius * settings.tripleFactor;
    default: return settings.radius;
  }
}

ProfileCircle BondProfile(double r) {
  const double t = kTangentFactor * r;
  return {{{r, 0, 0}, {0, r, 0}, {-r, 0, 0}, {0, -r, 0}},
          {{0, -t, 0}, {t, 0, 0}, {0, t, 0}, {-t, 0, 0}},
          {{0, t, 0}, {-t, 0, 0}, {0, -t, 0}, {t, 0, 0}}};
}

VtNode* MoleculeObject::BuildHierarchy(VtNode* node, VtBuildContext* context) {
  return BuildModel(Node(node), BuildContext(context));
}

Vector MoleculeObject::ScenePosition(const Atom& atom, const Vector& centre) const {
  return {(atom.x - centre.x) * positionScale_, (atom.y - centre.y) * positionScale_,
          (atom.z - centre.z) * positionScale_};
}

VtNode* MoleculeObject::BuildModel(Node node, const BuildContext& context) {
  const Container parameters = node.Parameters();
  if (!MustRebuild(node, context) && !IsDirty(node, VT_DIRTY_DATA)) return CurrentHierarchy(node);
  PullParameters(parameters);
  CollectMaterialRows(parameters, context.Document());
  // hidden hydrogens count too: the model does not move when they are hidden
  const Vector centre = ModelCentre(molecule_.atoms);

  Node root = AllocObject(VT_OBJECT_NULL);
  if (!root.IsValid()) return nullptr;

  if (displayMode_ != kDisplayBondsOnly) {
    for (int32_t i = 0; i < molecule_.atoms.Count(); ++i) {
      const Atom& atom = molecule_.atoms[i];
      if (!showHydrogens_ && atom.element == kHydrogen) continue;
      // an atom read before the table was read again may point past its end: it is left out
      if (!elements_.Contains(atom.element)) continue;
      Node nucleus(nullptr);
      Node sphere = BuildAtom(i, context, showNucleus_ ? &nucleus : nullptr);
      if (!sphere.IsValid()) continue;
      ApplyAtomAppearance(sphere, atom);
      const String& symbol = elements_[atom.element].symbol;
      sphere.SetName(symbol, false);
      SetPosition(sphere, ScenePosition(atom, centre));
      sphere.SendMessage(VT_MSG_UPDATE);
      InsertUnder(sphere, root, false);
      if (nucleus.IsValid()) {
        Tag::Make(nucleus, VT_TAG_PHONG);  // after the nucleus's texture, so it stands first
        nucleus.SetName(symbol.Inserted(symbol.Length(), " nucleus"), false);
        SetPosition(nucleus, ScenePosition(atom, centre));
        InsertUnder(nucleus, root, true);
      }
    }
  }
  if (displayMode_ != kDisplayAtomsOnly) {
    for (const Bond& bond : molecule_.bonds) {
      Node sweep = BuildBond(bond.atom1, bond.atom2, centre, bond.type);
      if (sweep.IsValid()) InsertUnder(sweep, root, false);
    }
  }
  return root.Handle();
}

// The sphere of an atom with its phong tag, and its nucleus when one is asked for.
Node MoleculeObject::BuildAtom(int32_t atomIndex, const BuildContext& context, Node* nucleus) {
  const Atom& atom = molecule_.atoms[atomIndex];
  Container primitive = Container::Create();
  const RadiusSettings radius{radiusMode_, atomRadius_, radiusScale_};
  if (const auto r = AtomRadius(radius, elements_[atom.element], atom.element)) primitive.SetFloat(VT_SPHERE_RADIUS, *r);
  primitive.SetInt32(VT_SPHERE_SEGMENTS, segments_);
  Node sphere = GeneratePrimitive(VT_PRIMITIVE_SPHERE, primitive, context);
  if (!sphere.IsValid()) return sphere;
  Tag::Make(sphere, VT_TAG_PHONG);
  if (nucleus != nullptr) *nucleus = BuildNucleus(context, atomIndex);
  return sphere;
}

Node MoleculeObject::BuildNucleus(const BuildContext& context, int32_t atomIndex) {
  const Atom& atom = molecule_.atoms[atomIndex];
  Container primitive = Container::Create();
  const RadiusSettings radius{radiusMode_, atomRadius_, radiusScale_};
  const auto r = AtomRadius(radius, elements_[atom.element], atom.element);
  primitive.SetFloat(VT_SPHERE_RADIUS, r ? *r * nucleusFactor_ : kFallbackNucleusRadius);
  primitive.SetInt32(VT_SPHERE_SEGMENTS, segments_);
  Node nucleus = GeneratePrimitive(VT_PRIMITIVE_SPHERE, primitive, context);
  if (nucleus.IsValid()) ApplyNucleusAppearance(nucleus);
  return nucleus;
}

Node MoleculeObject::BuildBond(int32_t atom1, int32_t atom2, const Vector& centre, int32_t order) {
  // Bonds name atoms by their line in the file. A bond to an atom that was dropped (its element
  // is not in the table) or that the atom block does not have (a damaged file) is left out.
  const int32_t firstIndex = FindAtomByNumber(molecule_.atoms, atom1);
  const int32_t secondIndex = FindAtomByNumber(molecule_.atoms, atom2);
  if (firstIndex < 0 || secondIndex < 0) return Node(nullptr);
  const Atom& first = molecule_.atoms[firstIndex];
  const Atom& second = molecule_.atoms[secondIndex];
  if (!showHydrogens_ && (first.element == kHydrogen || second.element == kHydrogen)) return Node(nullptr);

  Node profile = BuildBondProfile(BondRadius({bondRadius_, doubleBondFactor_, tripleBondFactor_}, order));
  if (!profile.IsValid()) return profile;
  Node sweep = AllocObject(VT_OBJECT_SWEEP);
  if (!sweep.IsValid()) {
    FreeObject(profile);
    return sweep;
  }
  Tag::Make(sweep, VT_TAG_PHONG);
  SetObjectParameter(sweep, VT_SWEEP_START_CAP, bondCaps_);
  SetObjectParameter(sweep, VT_SWEEP_END_CAP, bondCaps_);
  Node path = AllocSpline(kPathPoints, VT_SPLINE_LINEAR);
  int32_t pointCount = 0;
  VtVector* points = SplinePoints(path, &pointCount);
  if (points == nullptr || pointCount < kPathPoints) {
    FreeObject(profile);
    FreeObject(sweep);
    FreeObject(path);
    return Node(nullptr);
  }
  const Vector start = ScenePosition(first, centre);
  const Vector end = ScenePosition(second, centre);
  points[0] = {start.x, start.y, start.z};
  points[1] = {end.x, end.y, end.z};
  InsertUnder(profile, sweep, true);
  InsertUnder(path, sweep, false);
  ApplyBondAppearance(sweep, order);
  sweep.SendMessage(VT_MSG_UPDATE);
  return sweep;
}

Node MoleculeObject::BuildBondProfile(double radius) {
  Node spline = AllocSpline(kProfilePoints, VT_SPLINE_BEZIER);
  if (!spline.IsValid()) return spline;
  int32_t pointCount = 0, tangentCount = 0;
  VtVector* points = SplinePoints(spline, &pointCount);
  VtTangent* tangents = SplineTangents(spline, &tangentCount);
  if (points == nullptr || tangents == nullptr || pointCount < kProfilePoints || tangentCount < kProfilePoints) {
    FreeObject(spline);
    return Node(nullptr);
  }
  const ProfileCircle circle = BondProfile(radius);
  for (int32_t i = 0; i < kProfilePoints; ++i) {
    points[i] = {circle.points[i].x, circle.points[i].y, circle.points[i].z};
    tangents[i].left = {circle.left[i].x, circle.left[i].y, circle.left[i].z};
    tangents[i].right = {circle.right[i].x, circle.right[i].y, circle.right[i].z};
  }
  Container parameters = spline.Parameters();
  parameters.SetBool(VT_SPLINE_CLOSED, true);
  parameters.SetInt32(VT_SPLINE_INTERPOLATION, kInterpolationUniform);
  parameters.SetInt32(VT_SPLINE_INTERMEDIATE_POINTS, bondSubdivisions_);
  return spline;
}

}  // namespace vantor
