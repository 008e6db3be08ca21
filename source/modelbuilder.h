// The arithmetic of the ball-and-stick model, apart from the host objects it shapes.
#pragma once

#include <cstdint>
#include <optional>

#include "elementtable.h"
#include "host/hostcontainer.h"
#include "molecule.h"

namespace vantor {

// The centre of the axis-aligned box around every atom; the origin for no atoms.
Vector ModelCentre(const HostArray<Atom>& atoms);

struct RadiusSettings {
  int32_t mode = 0;         // 0 covalent, 1 van der Waals, 2 by atomic number, 3 fixed, 4 atomic
  double atomRadius = 0.0;  // the fixed radius, and the step per atomic number
  double radiusScale = 0.0; // the factor on the table's radii
};

// The sphere radius of an atom of the element; none for a mode outside 0 to 4.
std::optional<double> AtomRadius(const RadiusSettings& settings, const ElementRecord& element, int32_t elementIndex);

struct BondSettings {
  double radius = 0.0;
  double doubleFactor = 0.0;  // orders 2 and 4
  double tripleFactor = 0.0;  // order 3
};

// The tube radius of a bond of the order (1 single, 2 double, 3 triple, 4 aromatic, others single).
double BondRadius(const BondSettings& settings, int32_t order);

// The closed circle of radius r in the XY plane: four Bezier points with their tangents.
struct ProfileCircle {
  Vector points[4];
  Vector left[4];
  Vector right[4];
};
ProfileCircle BondProfile(double radius);

}  // namespace vantor
