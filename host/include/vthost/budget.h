// A triangle budget: the triangles a model would have at other detail, and the finest detail that
// keeps within a budget.
#pragma once

#include <cstdint>
#include <functional>

#include "vthost/host.h"

namespace vthost {

// The triangles the glTF of a model would hold were its spheres built with other segments and
// its bond profiles with other intermediate points: told from a hierarchy built with any, and
// counted as the plain model draws them (TrianglesOf): what draws nothing (a sphere of radius 0, a
// bond of radius 0 or of no length without caps) counts nothing.
using TriangleCounter = std::function<int64_t(int32_t segments, int32_t subdivisions)>;
TriangleCounter CounterOf(const VtNode* root);

// The finest detail within a triangle budget: the most segments for which the model keeps within
// `most` triangles with the fewest subdivisions, then the most subdivisions with those segments,
// each within its range (lowest to highest). False when not even the lowest of both keep within
// it; *chosen then holds those and what they need.
struct DetailRange {
  int32_t lowest = 0, highest = 0;
};
struct Detail {
  int32_t segments = 0, subdivisions = 0;
  int64_t triangles = 0;
};
bool FitDetail(const TriangleCounter& triangles, int64_t most, DetailRange segments, DetailRange subdivisions,
               Detail* chosen);

}  // namespace vthost
