// Meshes as a glTF file holds them: vertices with a position, a normal and texture coordinates,
// and triangles, in glTF's frame.
//
// The host's frame is left-handed and Y-up, glTF's right-handed and Y-up: (x, y, z) becomes
// (x, y, -z) for positions and normals, and every triangle's winding is reversed, so the picture
// is not mirrored and faces stay outward. Lengths are scaled by kMetresPerUnit (100 scene units to
// the angstrom, so an angstrom is a metre) in the coordinates themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/model.h"

namespace vthost {

constexpr double kMetresPerUnit = 0.01;

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

inline Vec3 Of(const VtVector& v) { return {v.x, v.y, v.z}; }
inline Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Unit(const Vec3& a);

// A point of the host's frame in glTF's: metres, z mirrored.
inline Vec3 Frame(const Vec3& p) { return {p.x * kMetresPerUnit, p.y * kMetresPerUnit, -p.z * kMetresPerUnit}; }

struct Vertices {
  std::vector<float> positions;  // x y z per vertex
  std::vector<float> normals;
  std::vector<float> uvs;  // u v per vertex
  std::vector<uint32_t> indices;  // three per triangle
  size_t Count() const { return positions.size() / 3; }
  size_t Bytes() const { return (positions.size() + normals.size() + uvs.size()) * sizeof(float) + indices.size() * sizeof(uint32_t); }
};

// What a model reads of vertices besides their bytes, worked out once for every model that shares
// them (a shape cache's spheres and tubes): a hash of the bytes, the bounds of the positions,
// whether every number is finite, and the indices in 16 bits.
struct VertexFacts {
  size_t hash = 0;
  std::array<float, 3> min{}, max{};
  bool finite = true;
  // With fewer than 65,535 vertices (glTF allows no index of the largest value, the primitive
  // restart), the indices as 16-bit numbers, a 0 after an odd count of them (their block is padded
  // to 4 bytes); none with more.
  std::shared_ptr<const std::vector<uint16_t>> narrowIndices;
};
VertexFacts FactsOf(const Vertices& vertices);

struct SharedVertices {
  std::shared_ptr<const Vertices> vertices;
  VertexFacts facts;
};

// A sphere: normals point away from its centre; a corner on the texture seam or at a pole is a
// vertex for each texture coordinate it has.
Vertices SmoothVertices(const Mesh& mesh);

// Any other mesh: each corner takes the normals of the faces around its point that lie within 60
// degrees of its own face, so curved surfaces are smooth and edges stay sharp (a corner on a sharp
// edge becomes one vertex per side, as does a corner on the texture seam).
Vertices CreasedVertices(const Mesh& mesh);

}  // namespace vthost
