// The finest detail of a model within a triangle budget (vthost/export.h): the triangles only grow
// with segments and subdivisions, so each is found by halving its range.
#include <cstdint>

#include "vthost/budget.h"

namespace vthost {
namespace {

// The largest value within the range that fits, the lowest fitting (fits(lowest) is true).
template <typename Fits>
int32_t Largest(DetailRange range, const Fits& fits) {
  int32_t low = range.lowest, high = range.highest;
  while (low < high) {
    const int32_t middle = low + (high - low + 1) / 2;
    if (fits(middle)) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

}  // namespace

bool FitDetail(const TriangleCounter& triangles, int64_t most, DetailRange segments, DetailRange subdivisions,
               Detail* chosen) {
  *chosen = {segments.lowest, subdivisions.lowest, triangles(segments.lowest, subdivisions.lowest)};
  if (chosen->triangles > most) return false;
  chosen->segments = Largest(segments, [&](int32_t s) { return triangles(s, subdivisions.lowest) <= most; });
  chosen->subdivisions = Largest(subdivisions, [&](int32_t d) { return triangles(chosen->segments, d) <= most; });
  chosen->triangles = triangles(chosen->segments, chosen->subdivisions);
  return true;
}

}  // namespace vthost
