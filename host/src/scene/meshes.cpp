// Spheres, sampled splines and swept tubes.
//
// Winding: a polygon (a, b, c, d) faces the way (b - a) x (c - a) points, computed on the raw
// coordinates; every mesh made here faces outward by that rule. An exporter that mirrors the
// coordinates into a right-handed frame reverses the winding to keep the faces outward.
#include "scene/meshes.h"

#include <algorithm>
#include <cmath>
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

std::vector<VtVector> SampleSpline(const SplineData& spline, bool closed, int32_t intermediate) {
  const std::vector<VtVector>& points = spline.points;
  if (spline.type != VT_SPLINE_BEZIER || points.size() < 2) return points;
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
  const VtNode* profileNode = sweep.children[0].get();
  const VtNode* pathNode = sweep.children[1].get();
  const SplineData* profileSpline = SplineOf(profileNode);
  const SplineData* pathSpline = SplineOf(pathNode);
  if (profileSpline == nullptr || pathSpline == nullptr) return {};

  const bool closed = Number(profileNode->parameters, VT_SPLINE_CLOSED, 0.0) != 0.0;
  const std::vector<VtVector> profile =
      SampleSpline(*profileSpline, closed, Intermediate(profileNode->parameters));
  if (profile.size() < (closed ? 3u : 2u)) return {};

  // the path in the sweep's coordinates, without repeated points
  std::vector<VtVector> path;
  for (const VtVector& point : SampleSpline(*pathSpline, false, Intermediate(pathNode->parameters))) {
    const VtVector placed = Add(point, pathNode->position);
    if (path.empty() || Length(Sub(placed, path.back())) > 1e-9) path.push_back(placed);
  }
  if (path.size() < 2) return {};

  // One frame per path segment: the profile's X and Y axes across it, its Z along it. The first
  // X axis comes from a reference that is not parallel to the path; each next one is the last
  // one carried over (projected across the new segment), so the tube does not twist.
  const size_t segments = path.size() - 1;
  std::vector<VtVector> along(segments), xAxis(segments), yAxis(segments);
  for (size_t s = 0; s < segments; ++s) {
    along[s] = Normalised(Sub(path[s + 1], path[s]));
    VtVector reference = s == 0 ? VtVector{0.0, 1.0, 0.0} : xAxis[s - 1];
    if (s == 0 && std::fabs(along[s].y) > 0.9) reference = {1.0, 0.0, 0.0};
    VtVector x = Sub(reference, Scale(along[s], Dot(reference, along[s])));
    if (Length(x) < 1e-9) {  // the path turned back on itself
      reference = std::fabs(along[s].y) > 0.9 ? VtVector{1.0, 0.0, 0.0} : VtVector{0.0, 1.0, 0.0};
      x = Sub(reference, Scale(along[s], Dot(reference, along[s])));
    }
    xAxis[s] = Normalised(x);
    yAxis[s] = Cross(along[s], xAxis[s]);  // X x Y = Z, as in the profile's own plane
  }

  Mesh mesh;
  const size_t ringSize = profile.size();
  mesh.points.reserve(path.size() * ringSize + 2);
  for (size_t k = 0; k < path.size(); ++k) {
    const size_t s = k == 0 ? 0 : k - 1;  // the segment arriving at the point, or the first
    // at a bend the ring lies in the plane halfway between the two segments (a mitre)
    const bool bend = k > 0 && k + 1 < path.size();
    const VtVector mitre = bend ? Normalised(Add(along[k - 1], along[k])) : along[s];
    const double slant = Dot(along[s], mitre);
    for (const VtVector& p : profile) {
      const VtVector offset = Add(Scale(xAxis[s], p.x), Scale(yAxis[s], p.y));
      VtVector point = Add(path[k], offset);
      if (bend && slant > 1e-6) point = Sub(point, Scale(along[s], Dot(offset, mitre) / slant));
      mesh.points.push_back(point);
    }
  }

  const bool anticlockwise = SignedArea(profile) >= 0.0;
  const auto at = [ringSize](size_t ring, size_t j) { return static_cast<int32_t>(ring * ringSize + j % ringSize); };
  const size_t edges = closed ? ringSize : ringSize - 1;
  // u runs around the profile and v along the path, both by length from 0 to 1: the last edge
  // around ends at u = 1 where the first begins at 0
  std::vector<double> u(edges + 1, 0.0), v(path.size(), 0.0);
  for (size_t j = 0; j < edges; ++j) u[j + 1] = u[j] + Length(Sub(profile[(j + 1) % ringSize], profile[j]));
  for (size_t k = 1; k < path.size(); ++k) v[k] = v[k - 1] + Length(Sub(path[k], path[k - 1]));
  for (double& value : u) value = u.back() > 0.0 ? value / u.back() : 0.0;
  for (double& value : v) value /= v.back();  // the path has a length: its points differ
  // seen from outside the tube, u grows to the right whichever way the profile runs
  const auto uv = [&](size_t j, size_t k) { return Uv{anticlockwise ? u[j] : 1.0 - u[j], v[k]}; };
  for (size_t k = 0; k < segments; ++k) {
    for (size_t j = 0; j < edges; ++j) {
      if (anticlockwise) {
        mesh.polygons.push_back({at(k, j), at(k, j + 1), at(k + 1, j + 1), at(k + 1, j)});
        mesh.uvs.push_back({uv(j, k), uv(j + 1, k), uv(j + 1, k + 1), uv(j, k + 1)});
      } else {
        mesh.polygons.push_back({at(k, j), at(k + 1, j), at(k + 1, j + 1), at(k, j + 1)});
        mesh.uvs.push_back({uv(j, k), uv(j, k + 1), uv(j + 1, k + 1), uv(j + 1, k)});
      }
    }
  }

  // caps: fans around the ring's centre, facing back along the path at the start and forward at
  // the end; each shows the texture's middle as a disc, the profile's widest point on its rim
  VtVector profileCentre{0.0, 0.0, 0.0};
  for (const VtVector& p : profile) profileCentre = Add(profileCentre, Scale(p, 1.0 / ringSize));
  double reach = 0.0;
  for (const VtVector& p : profile) reach = std::max(reach, Length(Sub(p, profileCentre)));
  const auto capUv = [&](size_t j, bool start) {
    if (!(reach > 0.0)) return Uv{0.5, 0.5};
    const VtVector p = Sub(profile[j % ringSize], profileCentre);
    const double across = p.x / (2.0 * reach);
    return Uv{0.5 + (start == anticlockwise ? across : -across), 0.5 - p.y / (2.0 * reach)};
  };
  const auto cap = [&](size_t ring, bool start) {
    VtVector centre{0.0, 0.0, 0.0};
    for (size_t j = 0; j < ringSize; ++j) centre = Add(centre, mesh.points[at(ring, j)]);
    const int32_t middle = static_cast<int32_t>(mesh.points.size());
    mesh.points.push_back(Scale(centre, 1.0 / ringSize));
    const Uv mid{0.5, 0.5};
    for (size_t j = 0; j < ringSize; ++j) {
      const int32_t a = at(ring, j), b = at(ring, j + 1);
      if (start == anticlockwise) {
        mesh.polygons.push_back({middle, b, a, a});
        mesh.uvs.push_back({mid, capUv(j + 1, start), capUv(j, start), capUv(j, start)});
      } else {
        mesh.polygons.push_back({middle, a, b, b});
        mesh.uvs.push_back({mid, capUv(j, start), capUv(j + 1, start), capUv(j + 1, start)});
      }
    }
  };
  if (closed && Number(sweep.parameters, VT_SWEEP_START_CAP, 0.0) != 0.0) cap(0, true);
  if (closed && Number(sweep.parameters, VT_SWEEP_END_CAP, 0.0) != 0.0) cap(path.size() - 1, false);
  return mesh;
}

}  // namespace vthost
