// The roles of generated objects.
#include "export/roles.h"

#include <algorithm>
#include <cmath>
#include <string_view>


namespace vthost {
namespace {

// Radii agree when they differ by less than this part of their size.
constexpr double kRadiusTolerance = 1e-9;

// The radius of a bond's profile: its first point lies on the circle, across the path.
std::optional<double> ProfileRadius(const VtNode& sweep) {
  if (sweep.children.empty() || !sweep.children[0]) return std::nullopt;
  const VtNode& profile = *sweep.children[0];
  if (profile.type != VT_OBJECT_SPLINE || !profile.spline || profile.spline->points.empty()) return std::nullopt;
  const VtVector& first = profile.spline->points[0];
  return std::hypot(first.x, first.y);
}

int32_t BondOrder(const VtNode& sweep, const std::optional<molecule::BondLooks>& bonds) {
  const std::optional<double> radius = ProfileRadius(sweep);
  if (!bonds || !radius || !sweep.display.set) return 0;
  for (size_t i = 0; i < bonds->radius.size(); ++i) {
    const double expected = std::fabs(bonds->radius[i]);
    if (std::fabs(*radius - expected) <= kRadiusTolerance * std::max(1.0, expected) &&
        sweep.display.colour == bonds->colour[i]) {
      return static_cast<int32_t>(i + 1);
    }
  }
  return 0;
}

}  // namespace

Role RoleOf(const Host& host, const VtNode& node, const std::optional<molecule::BondLooks>& bonds) {
  Role role;
  // of several texture tags the one furthest from the head lies over the others
  for (auto tag = node.tags.rbegin(); tag != node.tags.rend(); ++tag) {
    if (!*tag || (*tag)->type != VT_TAG_TEXTURE || (*tag)->material == 0) continue;
    if (const VtNode* material = host.FindNode((*tag)->material)) {
      role.kind = RoleKind::Linked;
      role.name = NodeName(material);
      role.material = material->serial;
      return role;
    }
  }
  if (node.type == VT_OBJECT_POLYGON) {
    if (molecule::IsNucleusName(node.name)) {
      role.kind = RoleKind::Nucleus;
      role.name = "nucleus";
    } else {
      role.kind = RoleKind::Atom;
      role.name = node.name;
    }
  } else if (node.type == VT_OBJECT_SWEEP) {
    role.kind = RoleKind::Bond;
    role.order = BondOrder(node, bonds);
    role.name = role.order > 0 ? "bond " + std::to_string(role.order) : "bond";
  }
  return role;
}

}  // namespace vthost
