// The host's meshes: UV spheres, sampled splines and swept tubes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>

#include "../export/sample_hierarchy.h"
#include "cases.h"
#include "printers.h"
#include "scene/meshes.h"

namespace vthost {
namespace {

VtVector Add(const VtVector& a, const VtVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
VtVector Sub(const VtVector& a, const VtVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
VtVector Cross(const VtVector& a, const VtVector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const VtVector& a, const VtVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const VtVector& a) { return std::sqrt(Dot(a, a)); }

// A number as a test's name may hold it: 5, Minus5.
std::string NameOf(int64_t number) {
  return number < 0 ? "Minus" + std::to_string(-number) : std::to_string(number);
}

// The way a polygon faces, by the winding rule meshes.cpp follows.
VtVector FaceNormal(const Mesh& mesh, const std::array<int32_t, 4>& polygon) {
  VtVector normal{0, 0, 0};
  const int corners = polygon[2] == polygon[3] ? 3 : 4;
  for (int i = 0; i < corners; ++i) {
    normal = Add(normal, Cross(mesh.points[polygon[i]], mesh.points[polygon[(i + 1) % corners]]));
  }
  return normal;
}

VtVector Centroid(const Mesh& mesh, const std::array<int32_t, 4>& polygon) {
  const int corners = polygon[2] == polygon[3] ? 3 : 4;
  VtVector sum{0, 0, 0};
  for (int i = 0; i < corners; ++i) sum = Add(sum, mesh.points[polygon[i]]);
  return {sum.x / corners, sum.y / corners, sum.z / corners};
}

constexpr double kPi = 3.14159265358979323846;
// Texture coordinates are kept in single precision.
constexpr double kUvError = 1e-6;

void ExpectIndicesInRange(const Mesh& mesh) {
  for (const auto& polygon : mesh.polygons) {
    for (const int32_t index : polygon) {
      ASSERT_GE(index, 0);
      ASSERT_LT(static_cast<size_t>(index), mesh.points.size());
    }
  }
}

struct SphereCase {
  int32_t segments;
  int32_t around;  // after clamping
  int32_t rings;
};

void PrintTo(const SphereCase& c, std::ostream* out) {
  *out << c.segments << " segments -> " << c.around << " around, " << c.rings << " rings";
}

// Segments24; Segments0_To3 where the count is clamped.
std::string SphereName(const testing::TestParamInfo<SphereCase>& info) {
  const SphereCase& c = info.param;
  return "Segments" + NameOf(c.segments) + (c.around == c.segments ? "" : "_To" + NameOf(c.around));
}

class SphereMeshTest : public ::testing::TestWithParam<SphereCase> {};

// A closed surface around the origin, wound outward, every edge shared by two polygons in opposite
// directions. u goes around from the +X axis, v from the north pole (v = 0) to the south pole
// (v = 1); the last column of polygons ends at u = 1 where the first begins at 0, and a pole corner
// sits in the middle of its triangle's column.
TEST_P(SphereMeshTest, ClosedOutwardAndMappedByLongitudeAndLatitude) {
  const SphereCase c = GetParam();
  constexpr double kRadius = 37.5;
  const Mesh mesh = SphereMesh(kRadius, c.segments);
  EXPECT_EQ(mesh.points.size(), static_cast<size_t>(2 + c.around * (c.rings - 1)));
  ASSERT_EQ(mesh.polygons.size(), static_cast<size_t>(c.around * c.rings));
  ASSERT_EQ(mesh.uvs.size(), mesh.polygons.size());
  ExpectIndicesInRange(mesh);
  for (const VtVector& point : mesh.points) EXPECT_NEAR(Length(point), kRadius, 1e-9);
  EXPECT_EQ(mesh.points.front().y, kRadius);
  EXPECT_EQ(mesh.points.back().y, -kRadius);

  size_t triangles = 0, seamCorners = 0;
  std::map<std::pair<int32_t, int32_t>, int> edges;
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    const auto& polygon = mesh.polygons[f];
    const int corners = polygon[2] == polygon[3] ? 3 : 4;
    triangles += corners == 3 ? 1 : 0;
    for (int i = 0; i < corners; ++i) ++edges[{polygon[i], polygon[(i + 1) % corners]}];
    const VtVector normal = FaceNormal(mesh, polygon);
    EXPECT_GT(Length(normal), 0.0) << "degenerate polygon";
    EXPECT_GT(Dot(normal, Centroid(mesh, polygon)), 0.0) << "polygon faces inward";
    double lowest = 1.0, highest = 0.0;
    for (size_t k = 0; k < 4; ++k) {
      const VtVector& p = mesh.points[polygon[k]];
      const Uv uv = mesh.uvs[f][k];
      EXPECT_NEAR(kRadius * std::cos(kPi * uv.v), p.y, kRadius * kUvError) << "v is the latitude";
      lowest = std::min<double>(lowest, uv.u);
      highest = std::max<double>(highest, uv.u);
      if (std::fabs(std::fabs(p.y) - kRadius) < 1e-12) continue;  // a pole
      double angle = std::atan2(p.z, p.x);
      if (angle < -1e-12) angle += 2 * kPi;
      if (uv.u == 1.0) {
        ++seamCorners;
        EXPECT_NEAR(angle, 0.0, 1e-9);
      } else {
        EXPECT_NEAR(2 * kPi * uv.u, angle, kUvError) << "u is the longitude";
      }
    }
    EXPECT_NEAR(highest - lowest, 1.0 / c.around, kUvError) << "a polygon spans one column";
  }
  EXPECT_EQ(triangles, static_cast<size_t>(2 * c.around)) << "triangles only at the poles";
  EXPECT_EQ(seamCorners, static_cast<size_t>(2 * (c.rings - 1))) << "the last column's corners on the seam";
  for (const auto& [edge, count] : edges) {
    EXPECT_EQ(count, 1);
    EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Segments, SphereMeshTest,
                         ::testing::Values(SphereCase{0, 3, 2}, SphereCase{-5, 3, 2}, SphereCase{3, 3, 2},
                                           SphereCase{4, 4, 2}, SphereCase{5, 5, 2}, SphereCase{6, 6, 3},
                                           SphereCase{9, 9, 4}, SphereCase{24, 24, 12}, SphereCase{1000, 1000, 500},
                                           SphereCase{1000000, 1000, 500}),
                         SphereName);

TEST(SampleSpline, LinearSplinesAreTheirPoints) {
  const SplineData line = Spline(VT_SPLINE_LINEAR, {{0, 0, 0}, {1, 2, 3}, {4, 5, 6}});
  for (const bool closed : {false, true}) {
    const std::vector<VtVector> sampled = SampleSpline(line, closed, 10);
    ASSERT_EQ(sampled.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(sampled[i], line.points[i]);
  }
}

struct SampleCase {
  bool closed;
  int32_t intermediate;
  size_t expected;  // for the four-point circle
};

void PrintTo(const SampleCase& c, std::ostream* out) {
  *out << (c.closed ? "closed, " : "open, ") << c.intermediate << " intermediate -> " << c.expected << " points";
}

class SampleSplineTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleSplineTest, CountsAndControlPoints) {
  const SampleCase c = GetParam();
  const SplineData circle = Circle(10.0);
  const std::vector<VtVector> sampled = SampleSpline(circle, c.closed, c.intermediate);
  ASSERT_EQ(sampled.size(), c.expected);
  const size_t step = c.closed ? sampled.size() / 4 : (sampled.size() - 1) / 3;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sampled[i * step], circle.points[i]) << "control point " << i;
}

INSTANTIATE_TEST_SUITE_P(Intermediate, SampleSplineTest,
                         ::testing::Values(SampleCase{true, 0, 4}, SampleCase{true, 1, 8}, SampleCase{true, 7, 32},
                                           SampleCase{false, 0, 4}, SampleCase{false, 3, 13},
                                           SampleCase{true, -4, 4},     // clamped to 0
                                           SampleCase{true, 1000, 260},  // clamped to 64
                                           SampleCase{false, 1000000, 196}),
                         [](const testing::TestParamInfo<SampleCase>& info) {
                           return (info.param.closed ? "Closed" : "Open") + NameOf(info.param.intermediate);
                         });

TEST(SampleSpline, TheBondProfileStaysNearItsCircle) {
  // the 0.415 r tangents keep the outline between 92.7 % of r (halfway between control points)
  // and r
  constexpr double kRadius = 20.0;
  for (const int32_t intermediate : {1, 3, 8, 64}) {
    for (const VtVector& point : SampleSpline(Circle(kRadius), true, intermediate)) {
      EXPECT_NEAR(point.z, 0.0, 1e-12);
      EXPECT_GE(Length(point), 0.925 * kRadius);
      EXPECT_LE(Length(point), kRadius * (1 + 1e-12));
    }
  }
  // with the closer tangent of 0.5523 r the outline is a circle to a few parts in ten thousand
  for (const VtVector& point : SampleSpline(Circle(kRadius, 0.5523), true, 16)) {
    EXPECT_NEAR(Length(point), kRadius, 3e-4 * kRadius);
  }
}

TEST(SampleSpline, BezierWithoutTangentsIsStraight) {
  const SplineData line = Spline(VT_SPLINE_BEZIER, {{0, 0, 0}, {10, 0, 0}});
  const std::vector<VtVector> sampled = SampleSpline(line, false, 4);
  ASSERT_EQ(sampled.size(), 6u);
  // on the line, in order, though not evenly spaced (it eases in and out)
  for (size_t i = 0; i < sampled.size(); ++i) {
    EXPECT_EQ(sampled[i].y, 0.0);
    EXPECT_EQ(sampled[i].z, 0.0);
    if (i > 0) {
      EXPECT_GT(sampled[i].x, sampled[i - 1].x);
    }
  }
  EXPECT_EQ(sampled.front().x, 0.0);
  EXPECT_EQ(sampled.back().x, 10.0);
}

// Sweep objects built by hand, as a generator leaves them.
NodePtr ProfileNode(double radius, int32_t intermediate, bool closed = true) {
  NodePtr profile = SplineNode(Circle(radius));
  profile->parameters.values = {{1001, int32_t{2}}, {1002, closed}, {1003, intermediate}};
  return profile;
}

NodePtr SweepNode(NodePtr profile, NodePtr path, int32_t startCap = 1, int32_t endCap = 1) {
  NodePtr sweep = OwnNode(new VtNode());
  sweep->type = VT_OBJECT_SWEEP;
  sweep->parameters.values = {{2999, startCap}, {3000, endCap}};
  if (profile) Adopt(sweep.get(), std::move(profile));
  if (path) Adopt(sweep.get(), std::move(path));
  return sweep;
}

NodePtr PathNode(std::vector<VtVector> points) { return SplineNode(Spline(VT_SPLINE_LINEAR, std::move(points))); }

// Distance of a point from the line through a and b.
double FromAxis(const VtVector& point, const VtVector& a, const VtVector& b) {
  const VtVector axis = Sub(b, a);
  return Length(Cross(Sub(point, a), axis)) / Length(axis);
}

struct TubeCase {
  const char* name;
  VtVector start, end;
};

void PrintTo(const TubeCase& c, std::ostream* out) {
  *out << c.name << ": ";
  ::PrintTo(c.start, out);
  *out << " to ";
  ::PrintTo(c.end, out);
}

class SweepMeshTest : public ::testing::TestWithParam<TubeCase> {};

// Two rings of 12 across the path at the profile's distance from it, faces outward; u runs around the
// tube, v along it from 0 at the start to 1 at the end, and the last edge around ends at u = 1 where
// the first begins at 0.
TEST_P(SweepMeshTest, TubeAlongThePathMappedAroundAndAlong) {
  const TubeCase c = GetParam();
  constexpr double kRadius = 6.0;
  constexpr int32_t kIntermediate = 2;  // 12 profile points
  const NodePtr sweep = SweepNode(ProfileNode(kRadius, kIntermediate), PathNode({c.start, c.end}), 0, 0);
  const Mesh mesh = SweepMesh(*sweep);
  ASSERT_EQ(mesh.points.size(), 24u);
  ASSERT_EQ(mesh.polygons.size(), 12u);
  ASSERT_EQ(mesh.uvs.size(), mesh.polygons.size());
  ExpectIndicesInRange(mesh);

  const VtVector axis = Sub(c.end, c.start);
  const double length = Length(axis);
  for (size_t ring = 0; ring < 2; ++ring) {
    VtVector centre{0, 0, 0};
    for (size_t j = 0; j < 12; ++j) {
      const VtVector& point = mesh.points[ring * 12 + j];
      centre = {centre.x + point.x / 12, centre.y + point.y / 12, centre.z + point.z / 12};
      // across the path, at the profile's distance from it
      EXPECT_NEAR(Dot(Sub(point, ring == 0 ? c.start : c.end), axis) / length, 0.0, 1e-9);
      EXPECT_GE(FromAxis(point, c.start, c.end), 0.925 * kRadius);
      EXPECT_LE(FromAxis(point, c.start, c.end), kRadius + 1e-9);
    }
    const VtVector& end = ring == 0 ? c.start : c.end;
    EXPECT_NEAR(Length(Sub(centre, end)), 0.0, 1e-9) << "ring " << ring << " is centred on the path's end";
  }
  std::set<double> us;
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    // outward: away from the axis
    const VtVector centroid = Centroid(mesh, mesh.polygons[f]);
    const VtVector along = Sub(centroid, c.start);
    const double t = Dot(along, axis) / (length * length);
    const VtVector radial = Sub(along, {axis.x * t, axis.y * t, axis.z * t});
    EXPECT_GT(Dot(FaceNormal(mesh, mesh.polygons[f]), radial), 0.0);
    double lowest = 1.0, highest = 0.0;
    for (size_t k = 0; k < 4; ++k) {
      const Uv uv = mesh.uvs[f][k];
      EXPECT_EQ(uv.v, mesh.polygons[f][k] < 12 ? 0.0 : 1.0);
      lowest = std::min<double>(lowest, uv.u);
      highest = std::max<double>(highest, uv.u);
      us.insert(uv.u);
    }
    EXPECT_GT(highest - lowest, 0.0);
    EXPECT_LT(highest - lowest, 0.15) << "no polygon reaches across the seam";
  }
  EXPECT_EQ(us.size(), 13u) << "12 points around and the seam";
  EXPECT_EQ(*us.begin(), 0.0);
  EXPECT_EQ(*us.rbegin(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Directions, SweepMeshTest,
                         ::testing::Values(TubeCase{"AlongZ", {0, 0, 0}, {0, 0, 100}},
                                           TubeCase{"AlongY", {0, 0, 0}, {0, 150, 0}},
                                           TubeCase{"AgainstY", {0, 0, 0}, {0, -150, 0}},
                                           TubeCase{"Slanted", {10, 20, 30}, {-40, 5, 90}},
                                           TubeCase{"NearlyAlongX", {-1, -1, -1}, {100, 0, 0}}), CaseName);

TEST(SweepMesh, ThePathsPositionMovesTheTube) {
  NodePtr path = PathNode({{0, 0, 0}, {0, 0, 50}});
  path->position = {5, 6, 7};
  const NodePtr sweep = SweepNode(ProfileNode(2.0, 0), std::move(path), 0, 0);
  const Mesh mesh = SweepMesh(*sweep);
  ASSERT_EQ(mesh.points.size(), 8u);
  for (size_t j = 0; j < 4; ++j) {
    EXPECT_NEAR(mesh.points[j].z, 7.0, 1e-9);
    EXPECT_NEAR(mesh.points[4 + j].z, 57.0, 1e-9);
  }
}

struct CapCase {
  int32_t start, end;
  size_t points, polygons;
};

void PrintTo(const CapCase& c, std::ostream* out) {
  *out << "caps " << c.start << ", " << c.end << " -> " << c.points << " points, " << c.polygons << " polygons";
}

class SweepCapsTest : public ::testing::TestWithParam<CapCase> {};

// Caps are the triangles: flat, each facing away from the tube's middle, and showing the middle of
// the texture as a disc, its centre at (0.5, 0.5), its rim on the circle of radius 0.5 around it
// where the profile is widest.
TEST_P(SweepCapsTest, CapsCloseTheEndsWithADiscOfTheTexture) {
  const CapCase c = GetParam();
  const VtVector start{0, 0, 0}, end{30, 40, 0};
  const NodePtr sweep = SweepNode(ProfileNode(5.0, 1), PathNode({start, end}), c.start, c.end);  // 8 around
  const Mesh mesh = SweepMesh(*sweep);
  EXPECT_EQ(mesh.points.size(), c.points);
  ASSERT_EQ(mesh.polygons.size(), c.polygons);
  ASSERT_EQ(mesh.uvs.size(), mesh.polygons.size());
  ExpectIndicesInRange(mesh);
  const VtVector middle{15, 20, 0};
  const VtVector axis = Sub(end, start);
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    const auto& polygon = mesh.polygons[f];
    if (polygon[2] != polygon[3]) continue;
    const VtVector normal = FaceNormal(mesh, polygon);
    const double side = Dot(Sub(Centroid(mesh, polygon), middle), axis);
    EXPECT_GT(Dot(normal, axis) * side, 0.0);
    EXPECT_NEAR(Length(Cross(normal, axis)), 0.0, 1e-6 * Length(normal) * Length(axis)) << "caps are flat";
    EXPECT_EQ(mesh.uvs[f][0].u, 0.5);
    EXPECT_EQ(mesh.uvs[f][0].v, 0.5);
    for (size_t k = 1; k < 3; ++k) {
      const double fromMiddle = std::hypot(mesh.uvs[f][k].u - 0.5, mesh.uvs[f][k].v - 0.5);
      EXPECT_LE(fromMiddle, 0.5 + 1e-12);
      EXPECT_GE(fromMiddle, 0.925 * 0.5) << "the rim follows the profile";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Caps, SweepCapsTest,
                         ::testing::Values(CapCase{0, 0, 16, 8}, CapCase{1, 0, 17, 16}, CapCase{0, 1, 17, 16},
                                           CapCase{1, 1, 18, 24}, CapCase{7, -1, 18, 24}),
                         [](const testing::TestParamInfo<CapCase>& info) {
                           return "Start" + NameOf(info.param.start) + "_End" + NameOf(info.param.end);
                         });

TEST(SweepMesh, BentPathsMitreAtTheBend) {
  const NodePtr sweep =
      SweepNode(ProfileNode(4.0, 3), PathNode({{0, 0, 0}, {0, 0, 100}, {100, 0, 100}}), 0, 0);  // 16 around
  const Mesh mesh = SweepMesh(*sweep);
  ASSERT_EQ(mesh.points.size(), 48u);
  ASSERT_EQ(mesh.polygons.size(), 32u);
  // the middle ring lies in the plane halfway between the two directions
  for (size_t j = 16; j < 32; ++j) EXPECT_NEAR(Dot(Sub(mesh.points[j], {0, 0, 100}), {1, 0, 1}), 0.0, 1e-9);
}

TEST(SweepMesh, RepeatedPathPointsAreOne) {
  const NodePtr sweep = SweepNode(ProfileNode(4.0, 0), PathNode({{0, 0, 0}, {0, 0, 0}, {0, 0, 10}, {0, 0, 10}}), 0, 0);
  EXPECT_EQ(SweepMesh(*sweep).points.size(), 8u);
}

TEST(SweepMesh, OpenProfilesMakeAnOpenStripWithoutCaps) {
  const NodePtr sweep = SweepNode(ProfileNode(4.0, 0, false), PathNode({{0, 0, 0}, {0, 0, 10}}), 1, 1);
  const Mesh mesh = SweepMesh(*sweep);
  EXPECT_EQ(mesh.points.size(), 8u);
  EXPECT_EQ(mesh.polygons.size(), 3u);
}

TEST(SweepMesh, MissingOrDegenerateChildrenGiveNothing) {
  const auto empty = [](const NodePtr& sweep) {
    const Mesh mesh = SweepMesh(*sweep);
    return mesh.points.empty() && mesh.polygons.empty();
  };
  EXPECT_TRUE(empty(SweepNode(NodePtr(nullptr, nullptr), NodePtr(nullptr, nullptr))));
  EXPECT_TRUE(empty(SweepNode(ProfileNode(4.0, 2), NodePtr(nullptr, nullptr))));
  EXPECT_TRUE(empty(SweepNode(ProfileNode(4.0, 2), PathNode({{1, 2, 3}, {1, 2, 3}}))));  // zero length
  EXPECT_TRUE(empty(SweepNode(ProfileNode(4.0, 2), PathNode({{1, 2, 3}}))));
  EXPECT_TRUE(empty(SweepNode(ProfileNode(4.0, 2), PathNode({}))));
  EXPECT_TRUE(empty(SweepNode(ProfileNode(4.0, 2), Null("not a spline"))));
  NodePtr noData = PathNode({{0, 0, 0}, {0, 0, 10}});
  noData->spline.reset();
  EXPECT_TRUE(empty(SweepNode(ProfileNode(4.0, 2), std::move(noData))));
}

}  // namespace
}  // namespace vthost
