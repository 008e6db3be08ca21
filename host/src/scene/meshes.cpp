// Spheres, sampled splines and swept tubes.
//
// Winding: a polygon (a, b, c, d) faces the way (b - a) x (c - a) points, computed on the raw
// coordinates; every mesh made here faces outward by that rule. An exporter that mirrors the
// coordinates into a right-handed frame reverses the winding to keep the faces outward.
#include "scene/meshes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <memory>
#include <utility>
#include <variant>

namespace vthost {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kMaxIntermediate = 64;
// What a spline without VT_SPLINE_INTERMEDIATE_POINTS is drawn with.
constexpr int32_t kDefaultIntermediate = 8;

VtVector Add(const VtVector& a, const VtVector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
VtVector Sub(const VtVector& a, const VtVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
VtVector Scale(const VtVector& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(const VtVector& a, const VtVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
VtVector Cross(const VtVector& a, const VtVector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const VtVector& a) { return std::sqrt(Dot(a, a)); }
VtVector Normalised(const VtVector& a) {
  const double length = Length(a);
  return length > 0.0 ? Scale(a, 1.0 / length) : VtVector{0.0, 0.0, 0.0};
}

// A parameter read as a number whichever number type holds it; fallback when absent or not one.
double Number(const VtContainer& container, int32_t id, double fallback) {
  const Value* value = Lookup(&container, id);
  if (value == nullptr) return fallback;
  if (const auto* number = std::get_if<int32_t>(value)) return *number;
  if (const auto* number = std::get_if<double>(value)) return *number;
  if (const auto* flag = std::get_if<bool>(value)) return *flag ? 1.0 : 0.0;
  return fallback;
}

int32_t Intermediate(const VtContainer& container) {
  const double value = Number(container, VT_SPLINE_INTERMEDIATE_POINTS, kDefaultIntermediate);
  if (!(value > 0.0)) return 0;  // NaN too
  return static_cast<int32_t>(std::min<double>(value, kMaxIntermediate));
}

VtVector CubicBezier(const VtVector& p0, const VtVector& p1, const VtVector& p2, const VtVector& p3, double t) {
  const double s = 1.0 - t;
  return Add(Add(Scale(p0, s * s * s), Scale(p1, 3.0 * s * s * t)), Add(Scale(p2, 3.0 * s * t * t), Scale(p3, t * t * t)));
}

// The spline as the sweep uses it; null when the node is not a spline with data.
const SplineData* SplineOf(const VtNode* node) {
  if (node == nullptr || node->type != VT_OBJECT_SPLINE || !node->spline) return nullptr;
  return &*node->spline;
}

// Twice the signed area of the profile in its XY plane: positive when it runs anticlockwise.
double SignedArea(const std::vector<VtVector>& profile) {
  double area = 0.0;
  for (size_t i = 0; i < profile.size(); ++i) {
    const VtVector& a = profile[i];
    const VtVector& b = profile[(i + 1) % profile.size()];
    area += a.x * b.y - b.x * a.y;
  }
  return area;
}

// A sweep's profile as sampled, in its own XY plane; no points when the node is not a spline.
struct Profile {
  std::vector<VtVector> points;
  bool closed = false;
};

Profile ProfileOf(const VtNode* node) {
  const SplineData* spline = SplineOf(node);
  if (spline == nullptr) return {};
  const bool closed = Number(node->parameters, VT_SPLINE_CLOSED, 0.0) != 0.0;
  return {SampleSpline(*spline, closed, Intermediate(node->parameters)), closed};
}

// A sweep's path as sampled, in the sweep's coordinates, without repeated points.
std::vector<VtVector> PathOf(const VtNode* node) {
  const SplineData* spline = SplineOf(node);
  if (spline == nullptr) return {};
  std::vector<VtVector> path;
  for (const VtVector& point : SampleSpline(*spline, false, Intermediate(node->parameters))) {
    const VtVector placed = Add(point, node->position);
    if (path.empty() || Length(Sub(placed, path.back())) > 1e-9) path.push_back(placed);
  }
  return path;
}

// The frame of a path segment: the profile's X and Y axes across it, its Z along it.
struct Frame {
  VtVector along, x, y;
};

// A reference for the first X axis that is not parallel to the segment.
VtVector Unparallel(const VtVector& along) {
  return std::fabs(along.y) > 0.9 ? VtVector{1.0, 0.0, 0.0} : VtVector{0.0, 1.0, 0.0};
}

VtVector Across(const VtVector& reference, const VtVector& along) {
  return Sub(reference, Scale(along, Dot(reference, along)));
}

Frame FrameOf(const VtVector& along, const VtVector& reference) {
  VtVector x = Across(reference, along);
  if (Length(x) < 1e-9) x = Across(Unparallel(along), along);  // the path turned back on itself
  const VtVector xAxis = Normalised(x);
  return {along, xAxis, Cross(along, xAxis)};  // X x Y = Z, as in the profile's own plane
}

// One frame per path segment. Each X axis after the first is the last one carried over (projected
// across the new segment), so the tube does not twist.
std::vector<Frame> FramesAlong(const std::vector<VtVector>& path) {
  std::vector<Frame> frames;
  frames.reserve(path.size() - 1);
  for (size_t s = 0; s + 1 < path.size(); ++s) {
    const VtVector along = Normalised(Sub(path[s + 1], path[s]));
    frames.push_back(FrameOf(along, frames.empty() ? Unparallel(along) : frames.back().x));
  }
  return frames;
}

// Where the ring around a path point lies: across the frame of the segment arriving there (the
// first one at the start); at a bend, in the plane halfway between the two segments (a mitre).
struct RingPlane {
  VtVector centre;
  Frame frame;
  bool mitred = false;
  VtVector mitre{};
  double slant = 0.0;
};

RingPlane RingPlaneAt(const std::vector<VtVector>& path, const std::vector<Frame>& frames, size_t k) {
  RingPlane plane{path[k], frames[k == 0 ? 0 : k - 1]};
  if (k == 0 || k + 1 == path.size()) return plane;
  plane.mitre = Normalised(Add(frames[k - 1].along, frames[k].along));
  plane.slant = Dot(plane.frame.along, plane.mitre);
  plane.mitred = plane.slant > 1e-6;
  return plane;
}

VtVector OnRing(const RingPlane& plane, const VtVector& p) {
  const VtVector offset = Add(Scale(plane.frame.x, p.x), Scale(plane.frame.y, p.y));
  const VtVector point = Add(plane.centre, offset);
  if (!plane.mitred) return point;
  return Sub(point, Scale(plane.frame.along, Dot(offset, plane.mitre) / plane.slant));
}

// A ring of the profile's points around each point of the path, one after the other.
std::vector<VtVector> Rings(const std::vector<VtVector>& profile, const std::vector<VtVector>& path,
                            const std::vector<Frame>& frames) {
  std::vector<VtVector> points;
  points.reserve(path.size() * profile.size() + 2);
  for (size_t k = 0; k < path.size(); ++k) {
    const RingPlane plane = RingPlaneAt(path, frames, k);
    for (const VtVector& p : profile) points.push_back(OnRing(plane, p));
  }
  return points;
}

// How the rings' points are numbered, and which way the profile runs.
struct Tube {
  size_t ringSize = 0;
  size_t rings = 0;
  bool closed = false;
  bool anticlockwise = true;
};

int32_t At(const Tube& tube, size_t ring, size_t j) {
  return static_cast<int32_t>(ring * tube.ringSize + j % tube.ringSize);
}

size_t Edges(const Tube& tube) { return tube.closed ? tube.ringSize : tube.ringSize - 1; }

// Each point's distance from the first along the edges, as a fraction of the whole (0 when the
// whole is none); with as many edges as points, the last edge runs back to the first point.
std::vector<double> Fractions(const std::vector<VtVector>& points, size_t edges) {
  std::vector<double> fractions(edges + 1, 0.0);
  for (size_t j = 0; j < edges; ++j) {
    fractions[j + 1] = fractions[j] + Length(Sub(points[(j + 1) % points.size()], points[j]));
  }
  const double whole = fractions.back();
  for (double& value : fractions) value = whole > 0.0 ? value / whole : 0.0;
  return fractions;
}

// u runs around the profile and v along the path, both by length from 0 to 1: the last edge
// around ends at u = 1 where the first begins at 0.
struct SideUvs {
  std::vector<double> u, v;
};

SideUvs SideUvsOf(const std::vector<VtVector>& profile, const std::vector<VtVector>& path, const Tube& tube) {
  return {Fractions(profile, Edges(tube)), Fractions(path, path.size() - 1)};
}

// The side between rings k and k + 1 and profile points j and j + 1, facing outward; seen from
// outside the tube, u grows to the right whichever way the profile runs.
void AddSide(const Tube& tube, const SideUvs& uvs, size_t k, size_t j, Mesh* mesh) {
  using Corner = std::pair<size_t, size_t>;  // (ring, point)
  const std::array<Corner, 4> corners =
      tube.anticlockwise ? std::array<Corner, 4>{{{k, j}, {k, j + 1}, {k + 1, j + 1}, {k + 1, j}}}
                         : std::array<Corner, 4>{{{k, j}, {k + 1, j}, {k + 1, j + 1}, {k, j + 1}}};
  std::array<int32_t, 4> polygon{};
  std::array<Uv, 4> uv{};
  for (size_t i = 0; i < 4; ++i) {
    const auto [ring, point] = corners[i];
    polygon[i] = At(tube, ring, point);
    uv[i] = Uv{tube.anticlockwise ? uvs.u[point] : 1.0 - uvs.u[point], uvs.v[ring]};
  }
  mesh->polygons.push_back(polygon);
  mesh->uvs.push_back(uv);
}

void AddSides(const Tube& tube, const SideUvs& uvs, Mesh* mesh) {
  for (size_t k = 0; k + 1 < tube.rings; ++k) {
    for (size_t j = 0; j < Edges(tube); ++j) AddSide(tube, uvs, k, j, mesh);
  }
}

// What a cap shows: the texture's middle as a disc, the profile's widest point on its rim.
struct CapDisc {
  VtVector centre{0.0, 0.0, 0.0};
  double reach = 0.0;
};

CapDisc CapDiscOf(const std::vector<VtVector>& profile) {
  CapDisc disc;
  for (const VtVector& p : profile) disc.centre = Add(disc.centre, Scale(p, 1.0 / profile.size()));
  for (const VtVector& p : profile) disc.reach = std::max(disc.reach, Length(Sub(p, disc.centre)));
  return disc;
}

// A profile point's place on the disc; u grows along the profile's X axis, or against it.
Uv CapUv(const CapDisc& disc, const VtVector& point, bool alongX) {
  if (!(disc.reach > 0.0)) return Uv{0.5, 0.5};
  const VtVector p = Sub(point, disc.centre);
  const double across = p.x / (2.0 * disc.reach);
  return Uv{0.5 + (alongX ? across : -across), 0.5 - p.y / (2.0 * disc.reach)};
}

// A fan around the ring's centre, facing back along the path at the start and forward at the end.
void AddCap(const Tube& tube, const std::vector<VtVector>& profile, const CapDisc& disc, size_t ring, bool start,
            Mesh* mesh) {
  VtVector centre{0.0, 0.0, 0.0};
  for (size_t j = 0; j < tube.ringSize; ++j) centre = Add(centre, mesh->points[At(tube, ring, j)]);
  const int32_t middle = static_cast<int32_t>(mesh->points.size());
  mesh->points.push_back(Scale(centre, 1.0 / tube.ringSize));
  const bool reversed = start == tube.anticlockwise;  // the fan winds against the profile's order
  const auto uv = [&](size_t j) { return CapUv(disc, profile[j % tube.ringSize], reversed); };
  for (size_t j = 0; j < tube.ringSize; ++j) {
    const size_t first = reversed ? j + 1 : j, second = reversed ? j : j + 1;
    mesh->polygons.push_back({middle, At(tube, ring, first), At(tube, ring, second), At(tube, ring, second)});
    mesh->uvs.push_back({Uv{0.5, 0.5}, uv(first), uv(second), uv(second)});
  }
}

// Only a closed profile has caps; the sweep's parameters ask for either.
void AddCaps(const Tube& tube, const std::vector<VtVector>& profile, const VtContainer& parameters, Mesh* mesh) {
  if (!tube.closed) return;
  const CapDisc disc = CapDiscOf(profile);
  if (Number(parameters, VT_SWEEP_START_CAP, 0.0) != 0.0) AddCap(tube, profile, disc, 0, true, mesh);
  if (Number(parameters, VT_SWEEP_END_CAP, 0.0) != 0.0) AddCap(tube, profile, disc, tube.rings - 1, false, mesh);
}

}  // namespace

Mesh SphereMesh(double radius, int32_t segments) {
  const int32_t around = std::clamp(segments, kMinSphereSegments, kMaxSphereSegments);
  const int32_t rings = std::max(2, around / 2);
  Mesh mesh;
  mesh.points.reserve(static_cast<size_t>(2 + around * (rings - 1)));
  mesh.polygons.reserve(static_cast<size_t>(around * rings));

  // the north pole, the rings from north to south, the south pole
  mesh.points.push_back({0.0, radius, 0.0});
  for (int32_t ring = 1; ring < rings; ++ring) {
    const double theta = kPi * ring / rings;
    const double y = radius * std::cos(theta);
    const double r = radius * std::sin(theta);
    for (int32_t j = 0; j < around; ++j) {
      const double phi = 2.0 * kPi * j / around;
      mesh.points.push_back({r * std::cos(phi), y, r * std::sin(phi)});
    }
  }
  const int32_t south = static_cast<int32_t>(mesh.points.size());
  mesh.points.push_back({0.0, -radius, 0.0});

  // u follows the points around from 0 to 1, so the last column of polygons ends at u = 1 where
  // the first begins at 0 (the seam); v runs from 0 at the north pole to 1 at the south pole, and
  // each pole corner sits in the middle of its triangle's column.
  const auto at = [around](int32_t ring, int32_t j) { return 1 + (ring - 1) * around + j % around; };
  const auto uv = [around, rings](double j, int32_t ring) { return Uv{j / around, double(ring) / rings}; };
  mesh.uvs.reserve(mesh.polygons.capacity());
  for (int32_t j = 0; j < around; ++j) {
    mesh.polygons.push_back({0, at(1, j + 1), at(1, j), at(1, j)});
    mesh.uvs.push_back({uv(j + 0.5, 0), uv(j + 1, 1), uv(j, 1), uv(j, 1)});
  }
  for (int32_t ring = 1; ring + 1 < rings; ++ring) {
    for (int32_t j = 0; j < around; ++j) {
      mesh.polygons.push_back({at(ring, j), at(ring, j + 1), at(ring + 1, j + 1), at(ring + 1, j)});
      mesh.uvs.push_back({uv(j, ring), uv(j + 1, ring), uv(j + 1, ring + 1), uv(j, ring + 1)});
    }
  }
  for (int32_t j = 0; j < around; ++j) {
    mesh.polygons.push_back({at(rings - 1, j), at(rings - 1, j + 1), south, south});
    mesh.uvs.push_back({uv(j, rings - 1), uv(j + 1, rings - 1), uv(j + 0.5, rings), uv(j + 0.5, rings)});
  }
  return mesh;
}

std::shared_ptr<const Mesh> SphereMeshes::Get(double radius, int32_t segments) {
  std::weak_ptr<const Mesh>& held = shapes_[std::make_pair(radius, segments)];
  if (std::shared_ptr<const Mesh> mesh = held.lock()) return mesh;
  auto mesh = std::make_shared<const Mesh>(SphereMesh(radius, segments));
  held = mesh;
  // between sweeps the shapes no object holds are forgotten now and then, not once a call
  if (shapes_.size() > 2 * heldAtSweep_ + forgottenKept_) Sweep();
  return mesh;
}

void SphereMeshes::Sweep() {
  for (auto it = shapes_.begin(); it != shapes_.end();) it = it->second.expired() ? shapes_.erase(it) : std::next(it);
  heldAtSweep_ = shapes_.size();
}

std::vector<VtVector> SampleSpline(const SplineData& spline, bool closed, int32_t intermediate) {
  const SplinePoints& points = spline.points;
  if (spline.type != VT_SPLINE_BEZIER || points.size() < 2) return {points.begin(), points.end()};
  const int32_t between = std::clamp(intermediate, 0, kMaxIntermediate);
  const size_t count = points.size();
  const auto tangent = [&](size_t i) { return i < spline.tangents.size() ? spline.tangents[i] : VtTangent{}; };
  const size_t segments = closed ? count : count - 1;

  std::vector<VtVector> sampled;
  sampled.reserve(segments * static_cast<size_t>(between + 1) + 1);
  for (size_t i = 0; i < segments; ++i) {
    const size_t next = (i + 1) % count;
    const VtVector& p0 = points[i];
    const VtVector& p3 = points[next];
    const VtVector p1 = Add(p0, tangent(i).right);
    const VtVector p2 = Add(p3, tangent(next).left);
    sampled.push_back(p0);
    for (int32_t k = 1; k <= between; ++k) sampled.push_back(CubicBezier(p0, p1, p2, p3, double(k) / (between + 1)));
  }
  if (!closed) sampled.push_back(points.back());
  return sampled;
}

Mesh SweepMesh(const VtNode& sweep) {
  if (sweep.children.size() < 2) return {};
  const Profile profile = ProfileOf(sweep.children[0].get());
  const std::vector<VtVector> path = PathOf(sweep.children[1].get());
  if (profile.points.size() < (profile.closed ? 3u : 2u) || path.size() < 2) return {};

  const Tube tube{profile.points.size(), path.size(), profile.closed, SignedArea(profile.points) >= 0.0};
  Mesh mesh;
  mesh.points = Rings(profile.points, path, FramesAlong(path));
  AddSides(tube, SideUvsOf(profile.points, path, tube), &mesh);
  AddCaps(tube, profile.points, sweep.parameters, &mesh);
  return mesh;
}

}  // namespace vthost
