// The ball-and-stick hierarchy: a null holding a sphere per atom (and nuclei), and a sweep per bond
// with a circular profile along a straight path.
#include "modelbuilder.h"

#include <algorithm>
#include <limits>

#include "parameterids.h"

namespace vantor {
namespace {

constexpr int32_t kInterpolationUniform = 2;
constexpr int32_t kProfilePoints = 4;
constexpr int32_t kPathPoints = 2;
// shorter than the 0.5523 r of a closer circle: the profile is a little rounder than a square
constexpr double kTangentFactor = 0.415;
// a nucleus when the radius mode gives the atom sphere no radius
constexpr double kFallbackNucleusRadius = 1.0;

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

std::optional<double> AtomRadius(const ModelSettings& settings, const ElementRecord& element, int32_t elementIndex) {
  switch (settings.radiusMode) {
    case kRadiusCovalent: return element.radius1 * settings.radiusScale;
    case kRadiusVanDerWaals: return element.radius2 * settings.radiusScale;
    case kRadiusByAtomicNumber: return (elementIndex + 1.0) * settings.atomRadius;  // the atomic number times the step
    case kRadiusFixed: return settings.atomRadius;
    case kRadiusAtomic: return element.radius3 * settings.radiusScale;
    default: return std::nullopt;
  }
}

double BondRadius(const ModelSettings& settings, int32_t order) {
  switch (order) {
    case kBondDouble:
    case kBondAromatic: return settings.bondRadius * settings.doubleBondFactor;
    case kBondTriple: return settings.bondRadius * settings.tripleBondFactor;
    default: return settings.bondRadius;
  }
}

ProfileCircle BondProfile(double r) {
  const double t = kTangentFactor * r;
  return {{{r, 0, 0}, {0, r, 0}, {-r, 0, 0}, {0, -r, 0}},
          {{0, -t, 0}, {t, 0, 0}, {0, t, 0}, {-t, 0, 0}},
          {{0, t, 0}, {-t, 0, 0}, {0, -t, 0}, {t, 0, 0}}};
}

namespace {

Vector ScenePosition(const Atom& atom, const Vector& centre, const ModelSettings& settings) {
  const double scale = settings.positionScale;
  return {(atom.x - centre.x) * scale, (atom.y - centre.y) * scale, (atom.z - centre.z) * scale};
}

Node BuildNucleus(const ModelSource& source, const Atom& atom, const BuildContext& context) {
  Container primitive = Container::Create();
  const auto r = AtomRadius(source.settings, source.elements[atom.element], atom.element);
  primitive.SetFloat(VT_SPHERE_RADIUS, r ? *r * source.settings.nucleusFactor : kFallbackNucleusRadius);
  primitive.SetInt32(VT_SPHERE_SEGMENTS, source.settings.segments);
  Node nucleus = GeneratePrimitive(VT_PRIMITIVE_SPHERE, primitive, context);
  if (nucleus.IsValid()) ApplyNucleusAppearance(nucleus, source);
  return nucleus;
}

// The sphere of an atom with its phong tag, and its nucleus when one is asked for.
Node BuildAtom(const ModelSource& source, const Atom& atom, const BuildContext& context, Node* nucleus) {
  Container primitive = Container::Create();
  if (const auto r = AtomRadius(source.settings, source.elements[atom.element], atom.element)) {
    primitive.SetFloat(VT_SPHERE_RADIUS, *r);
  }
  primitive.SetInt32(VT_SPHERE_SEGMENTS, source.settings.segments);
  Node sphere = GeneratePrimitive(VT_PRIMITIVE_SPHERE, primitive, context);
  if (!sphere.IsValid()) return sphere;
  Tag::Make(sphere, VT_TAG_PHONG);
  if (nucleus != nullptr) *nucleus = BuildNucleus(source, atom, context);
  return sphere;
}

Node BuildBondProfile(double radius, int32_t subdivisions) {
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
  parameters.SetInt32(VT_SPLINE_INTERMEDIATE_POINTS, subdivisions);
  return spline;
}

Node BuildBond(const ModelSource& source, const Bond& bond, const Vector& centre) {
  const ModelSettings& settings = source.settings;
  const HostArray<Atom>& atoms = source.molecule.atoms;
  // Bonds name atoms by their line in the file. A bond to an atom that was dropped (its element
  // is not in the table) or that the atom block does not have (a damaged file) is left out.
  const int32_t firstIndex = FindAtomByNumber(atoms, bond.atom1);
  const int32_t secondIndex = FindAtomByNumber(atoms, bond.atom2);
  if (firstIndex < 0 || secondIndex < 0) return Node(nullptr);
  const Atom& first = atoms[firstIndex];
  const Atom& second = atoms[secondIndex];
  if (!settings.showHydrogens && (first.element == kHydrogen || second.element == kHydrogen)) return Node(nullptr);

  Node profile = BuildBondProfile(BondRadius(settings, bond.type), settings.bondSubdivisions);
  if (!profile.IsValid()) return profile;
  Node sweep = AllocObject(VT_OBJECT_SWEEP);
  if (!sweep.IsValid()) {
    FreeObject(profile);
    return sweep;
  }
  Tag::Make(sweep, VT_TAG_PHONG);
  SetObjectParameter(sweep, VT_SWEEP_START_CAP, settings.bondCaps);
  SetObjectParameter(sweep, VT_SWEEP_END_CAP, settings.bondCaps);
  Node path = AllocSpline(kPathPoints, VT_SPLINE_LINEAR);
  int32_t pointCount = 0;
  VtVector* points = SplinePoints(path, &pointCount);
  if (points == nullptr || pointCount < kPathPoints) {
    FreeObject(profile);
    FreeObject(sweep);
    FreeObject(path);
    return Node(nullptr);
  }
  const Vector start = ScenePosition(first, centre, settings);
  const Vector end = ScenePosition(second, centre, settings);
  points[0] = {start.x, start.y, start.z};
  points[1] = {end.x, end.y, end.z};
  InsertUnder(profile, sweep, /*first=*/true);
  InsertUnder(path, sweep, /*first=*/false);
  ApplyBondAppearance(sweep, bond.type, source);
  sweep.SendMessage(VT_MSG_UPDATE);
  return sweep;
}

}  // namespace

VtNode* BuildBallAndStick(const ModelSource& source, const BuildContext& context) {
  const ModelSettings& settings = source.settings;
  // hidden hydrogens count too: the model does not move when they are hidden
  const Vector centre = ModelCentre(source.molecule.atoms);

  Node root = AllocObject(VT_OBJECT_NULL);
  if (!root.IsValid()) return nullptr;

  if (settings.displayMode != kDisplayBondsOnly) {
    for (const Atom& atom : source.molecule.atoms) {
      if (!settings.showHydrogens && atom.element == kHydrogen) continue;
      // an atom read before the table was read again may point past its end: it is left out
      if (!source.elements.Contains(atom.element)) continue;
      Node nucleus(nullptr);
      Node sphere = BuildAtom(source, atom, context, settings.showNucleus ? &nucleus : nullptr);
      if (!sphere.IsValid()) continue;
      ApplyAtomAppearance(sphere, atom, source);
      const String& symbol = source.elements[atom.element].symbol;
      sphere.SetName(symbol, /*markChanged=*/false);
      SetPosition(sphere, ScenePosition(atom, centre, settings));
      sphere.SendMessage(VT_MSG_UPDATE);
      InsertUnder(sphere, root, /*first=*/false);
      if (nucleus.IsValid()) {
        Tag::Make(nucleus, VT_TAG_PHONG);  // after the nucleus's texture, so it stands first
        nucleus.SetName(symbol.Inserted(symbol.Length(), " nucleus"), /*markChanged=*/false);
        SetPosition(nucleus, ScenePosition(atom, centre, settings));
        InsertUnder(nucleus, root, /*first=*/true);
      }
    }
  }
  if (settings.displayMode != kDisplayAtomsOnly) {
    for (const Bond& bond : source.molecule.bonds) {
      Node sweep = BuildBond(source, bond, centre);
      if (sweep.IsValid()) InsertUnder(sweep, root, /*first=*/false);
    }
  }
  return root.Handle();
}

}  // namespace vantor
