// The ball-and-stick model: the parameter values a build reads, the arithmetic apart from the host
// objects it shapes, and the build itself.
#pragma once

#include <cstdint>
#include <optional>

#include "colourpresets.h"
#include "elementtable.h"
#include "hostapi/hostcontainer.h"
#include "hostapi/hostgenerator.h"
#include "materialrows.h"
#include "moleculemodel.h"

namespace vantor {

// The parameter values a build reads, as the object's container held them at the last evaluation.
// The modes are Int32 as stored: a container can hold values outside their enumerations.
struct ModelSettings {
  int32_t displayMode = 0;  // DisplayMode
  int32_t radiusMode = 0;   // RadiusMode
  int32_t colorMode = 0;    // ColourMode
  int32_t preset = 0;       // the selected colour preset
  int32_t segments = 0;
  int32_t bondSubdivisions = 0;
  int32_t bondCaps = 0;            // BondCaps
  double atomRadius = 0.0;         // the fixed radius, and the step per atomic number
  double radiusScale = 0.0;        // the factor on the table's radii
  double positionScale = 0.0;      // scene units per unit of the file's coordinates
  double bondRadius = 0.0;         // of a single bond
  double doubleBondFactor = 0.0;   // double and aromatic bonds
  double tripleBondFactor = 0.0;
  double nucleusFactor = 0.0;      // a nucleus's share of its atom's radius
  bool xray = false;
  bool showNucleus = false;
  bool showHydrogens = false;
  Vector bond1Color, bond2Color, bond3Color, bond4Color, nucleusColor;  // bonds by order, then nuclei
};

// The centre of the axis-aligned box around every atom; the origin for no atoms.
Vector ModelCentre(const HostArray<Atom>& atoms);

// The sphere radius of an atom of the element; none for a radius mode outside the enumeration.
std::optional<double> AtomRadius(const ModelSettings& settings, const ElementRecord& element, int32_t elementIndex);

// The tube radius of a bond of the order; an order outside the enumeration is a single bond.
double BondRadius(const ModelSettings& settings, int32_t order);

// The closed circle of radius r in the XY plane: four Bezier points with their tangents.
struct ProfileCircle {
  Vector points[4];
  Vector left[4];
  Vector right[4];
};
ProfileCircle BondProfile(double radius);

// What one build reads besides the host, lent by the object for the build.
struct ModelSource {
  const ModelSettings& settings;
  const Molecule& molecule;
  const ElementTable& elements;
  const HostArray<MaterialRow>& rows;  // collected for this build
  const ColourPreset* preset;          // the selected preset; null when the list does not hold it
};

// A null holding a sphere per atom (and nuclei) and a sweep per bond; null when the host refuses
// the null. Whatever else the host refuses is left out.
VtNode* BuildBallAndStick(const ModelSource& source, const BuildContext& context);

}  // namespace vantor
