// Meshes as a glTF file holds them.
#include "export/vertices.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <functional>
#include <string_view>
#include <vector>

namespace vthost {

Vec3 Unit(const Vec3& a) {
  const double length = std::sqrt(Dot(a, a));
  return length > 0.0 ? Vec3{a.x / length, a.y / length, a.z / length} : Vec3{};
}

namespace {

// Neighbouring faces closer than this in angle share vertex normals; sharper edges (a tube and its
// caps) stay hard.
constexpr double kSmoothingCosine = 0.5;  // 60 degrees

Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// A double as a float, infinite where a float cannot hold it (a plain conversion is undefined
// there): the exporter refuses such a mesh.
float ToFloat(double value) {
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  if (std::fabs(value) > std::numeric_limits<float>::max()) return value > 0.0 ? HUGE_VALF : -HUGE_VALF;
  return static_cast<float>(value);
}

void AddVertex(Vertices* vertices, const Vec3& position, const Vec3& normal, const Uv& uv) {
  Vec3 n = Unit(normal);
  if (Dot(n, n) == 0.0) n = {0.0, 1.0, 0.0};  // a degenerate face still needs a unit normal
  const Vec3 p = Frame(position);
  vertices->positions.insert(vertices->positions.end(), {ToFloat(p.x), ToFloat(p.y), ToFloat(p.z)});
  vertices->normals.insert(vertices->normals.end(),
                           {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(-n.z)});
  vertices->uvs.insert(vertices->uvs.end(), {static_cast<float>(uv.u), static_cast<float>(uv.v)});
}

// The corners of a polygon without the repeat that makes a quad a triangle.
size_t CornerCount(const std::array<int32_t, 4>& polygon) { return polygon[3] == polygon[2] ? 3 : 4; }

// Fans a polygon of vertex indices into triangles, each reversed for the mirrored frame; triangles
// that repeat a vertex are left out.
void AddTriangles(Vertices* vertices, const uint32_t* corner, size_t count) {
  for (size_t i = 1; i + 1 < count; ++i) {
    const uint32_t a = corner[0], b = corner[i], c = corner[i + 1];
    if (a == b || b == c || a == c) continue;
    vertices->indices.insert(vertices->indices.end(), {a, c, b});
  }
}

bool Valid(const Mesh& mesh, const std::array<int32_t, 4>& polygon) {
  return std::all_of(polygon.begin(), polygon.end(),
                     [&](int32_t i) { return i >= 0 && static_cast<size_t>(i) < mesh.points.size(); });
}

Uv CornerUv(const Mesh& mesh, size_t polygon, size_t corner) {
  return polygon < mesh.uvs.size() ? mesh.uvs[polygon][corner] : Uv{};
}

// The vertices made at each point, found by what else makes them one (a normal, texture
// coordinates): a chain per point in one array, as a point has few (a sphere's pole, one a
// segment; a map took a node a vertex, which was most of an export's time).
template <typename Key>
class MadeAt {
 public:
  explicit MadeAt(size_t points) : first_(points, kNone) {}

  // The index of the vertex at point with key, and whether it is new (then it is index).
  std::pair<uint32_t, bool> Find(int32_t point, const Key& key, uint32_t index) {
    for (uint32_t at = first_[point]; at != kNone; at = made_[at].next) {
      if (made_[at].key == key) return {made_[at].index, false};
    }
    made_.push_back({key, index, first_[point]});
    first_[point] = static_cast<uint32_t>(made_.size() - 1);
    return {index, true};
  }

 private:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  struct Made {
    Key key;
    uint32_t index;
    uint32_t next;
  };
  std::vector<uint32_t> first_;
  std::vector<Made> made_;
};

struct SmoothKey {
  double u, v;
  bool operator==(const SmoothKey& other) const { return u == other.u && v == other.v; }
};

struct CreasedKey {
  float x, y, z;  // the normal
  double u, v;
  bool operator==(const CreasedKey& other) const {
    return x == other.x && y == other.y && z == other.z && u == other.u && v == other.v;
  }
};

}  // namespace

Vertices SmoothVertices(const Mesh& mesh) {
  Vec3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const VtVector& p : mesh.points) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  const Vec3 centre{(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
  Vertices vertices;
  MadeAt<SmoothKey> made(mesh.points.size());  // by point and texture coordinates
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    const auto& polygon = mesh.polygons[f];
    if (!Valid(mesh, polygon)) continue;
    uint32_t corners[4];
    const size_t count = CornerCount(polygon);
    for (size_t i = 0; i < count; ++i) {
      const Uv uv = CornerUv(mesh, f, i);
      const auto [index, added] = made.Find(polygon[i], {uv.u, uv.v}, static_cast<uint32_t>(vertices.Count()));
      if (added) {
        const Vec3 p = Of(mesh.points[polygon[i]]);
        AddVertex(&vertices, p, Sub(p, centre), uv);
      }
      corners[i] = index;
    }
    AddTriangles(&vertices, corners, count);
  }
  return vertices;
}

Vertices CreasedVertices(const Mesh& mesh) {
  std::vector<Vec3> faceNormals(mesh.polygons.size());  // area-weighted
  std::vector<std::vector<size_t>> facesAt(mesh.points.size());
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    const auto& polygon = mesh.polygons[f];
    if (!Valid(mesh, polygon)) continue;
    const size_t count = CornerCount(polygon);
    Vec3 normal;
    for (size_t i = 0; i < count; ++i) {
      // Newell's sum, which does not care which corner a non-planar quad is split at
      normal = Add(normal, Cross(Of(mesh.points[polygon[i]]), Of(mesh.points[polygon[(i + 1) % count]])));
    }
    faceNormals[f] = {normal.x / 2, normal.y / 2, normal.z / 2};
    for (size_t i = 0; i < count; ++i) {
      if (std::find(polygon.begin(), polygon.begin() + i, polygon[i]) == polygon.begin() + i) {
        facesAt[polygon[i]].push_back(f);
      }
    }
  }

  Vertices vertices;
  MadeAt<CreasedKey> made(mesh.points.size());  // by point, normal and texture coordinates
  for (size_t f = 0; f < mesh.polygons.size(); ++f) {
    const auto& polygon = mesh.polygons[f];
    if (!Valid(mesh, polygon)) continue;
    const Vec3 own = Unit(faceNormals[f]);
    uint32_t corners[4];
    const size_t count = CornerCount(polygon);
    for (size_t i = 0; i < count; ++i) {
      const int32_t point = polygon[i];
      Vec3 normal;
      for (const size_t g : facesAt[point]) {
        if (g == f || Dot(Unit(faceNormals[g]), own) >= kSmoothingCosine) normal = Add(normal, faceNormals[g]);
      }
      normal = Unit(normal);
      const Uv uv = CornerUv(mesh, f, i);
      const CreasedKey key{static_cast<float>(normal.x), static_cast<float>(normal.y), static_cast<float>(normal.z),
                           uv.u, uv.v};
      const auto [index, added] = made.Find(point, key, static_cast<uint32_t>(vertices.Count()));
      if (added) AddVertex(&vertices, Of(mesh.points[point]), normal, uv);
      corners[i] = index;
    }
    AddTriangles(&vertices, corners, count);
  }
  return vertices;
}

VertexFacts FactsOf(const Vertices& vertices) {
  VertexFacts facts;
  const auto mix = [&facts](const void* bytes, size_t size) {
    const size_t hash = std::hash<std::string_view>()(std::string_view(static_cast<const char*>(bytes), size));
    facts.hash ^= hash + 0x9E3779B97F4A7C15ULL + (facts.hash << 6) + (facts.hash >> 2);
  };
  for (const auto* values : {&vertices.positions, &vertices.normals, &vertices.uvs}) {
    mix(values->data(), values->size() * sizeof(float));
  }
  mix(vertices.indices.data(), vertices.indices.size() * sizeof(uint32_t));

  facts.min = {HUGE_VALF, HUGE_VALF, HUGE_VALF};
  facts.max = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
  const std::vector<float>& positions = vertices.positions;
  for (size_t i = 0; i < positions.size(); ++i) {
    facts.min[i % 3] = std::min(facts.min[i % 3], positions[i]);
    facts.max[i % 3] = std::max(facts.max[i % 3], positions[i]);
  }
  const auto finite = [](float v) { return std::fabs(v) <= std::numeric_limits<float>::max(); };
  facts.finite = std::all_of(positions.begin(), positions.end(), finite) &&
                 std::all_of(vertices.normals.begin(), vertices.normals.end(), finite) &&
                 std::all_of(vertices.uvs.begin(), vertices.uvs.end(), finite);
  if (vertices.Count() < 0xFFFF) {
    auto narrow = std::make_shared<std::vector<uint16_t>>(vertices.indices.begin(), vertices.indices.end());
    narrow->resize((narrow->size() + 1) / 2 * 2, 0);
    facts.narrowIndices = std::move(narrow);
  }
  return facts;
}

}  // namespace vthost
