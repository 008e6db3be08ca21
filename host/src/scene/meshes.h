// The meshes the host makes for generated objects: spheres from the sphere primitive, and tubes
// for sweeps (a closed profile spline swept along a path spline).
#pragma once

#include <cstdint>

#include "scene/model.h"

namespace vthost {

// Segments below or above these are clamped: never a degenerate or an unbounded mesh. The most is
// the range the molecule object gives MOLOBJ_SEGMENTS: a sphere of 1000 segments has 500,000
// polygons, some 50 MB.
constexpr int32_t kMinSphereSegments = 3;
constexpr int32_t kMaxSphereSegments = 1000;

// A UV sphere around the origin: segments around, segments / 2 (at least 2) from pole to pole.
Mesh SphereMesh(double radius, int32_t segments);

// The points of a closed or open spline as drawn: Bezier segments sampled with the given number
// of intermediate points between control points (clamped to 0..64), linear splines as they are.
std::vector<VtVector> SampleSpline(const SplineData& spline, bool closed, int32_t intermediate);

// The tube of a sweep object: its first child is the profile, its second the path; the sweep's
// parameters 2999 and 3000 (start and end caps) close the ends when non-zero. Empty when the
// sweep lacks either spline.
Mesh SweepMesh(const VtNode& sweep);

}  // namespace vthost
