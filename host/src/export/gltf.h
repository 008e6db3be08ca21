// A plain model (plainmodel.h) as glTF 2.0: its accessors, buffer views and binary chunk laid out
// from the model's geometries (gltflayout.cpp), then the .glb written (gltfwrite.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/plainmodel.h"
#include "vthost/models.h"

namespace vthost {

// The accessors of a geometry, in this order, each with a buffer view of its own: geometry g's
// accessor (and view) k is 4 g + k.
enum GltfAttribute { kPositions, kNormals, kUvs, kIndices, kAttributes };
inline int AccessorOf(int geometry, GltfAttribute attribute) { return kAttributes * geometry + attribute; }

// An accessor and its buffer view.
struct GltfAccessor {
  int componentType = 0;
  size_t count = 0;
  const char* type = "";
  int target = 0;
  const ModelGeometry* bounds = nullptr;  // positions only
  size_t offset = 0;       // in the binary chunk
  std::string_view bytes;  // the view's, padded to 4 bytes in the chunk
};

// The binary chunk: each view's bytes a block of their own, padded to 4 bytes, the blocks laid end
// to end. The blocks are the model's own vertices and 16-bit indices: the model must outlive it.
struct GltfLayout {
  std::vector<GltfAccessor> accessors;
  size_t bufferSize = 0;  // the blocks' bytes
  // The bytes of the view's block, padding included.
  std::string_view Block(const GltfAccessor& accessor) const {
    return {accessor.bytes.data(), (accessor.bytes.size() + 3) / 4 * 4};
  }
};
GltfLayout LayOut(const PlainModel& model);

// The model as .glb bytes in pieces, with no copy of its vertices: glb->holder keeps them. False
// when the model has a number glTF cannot hold (RefusalOf); glb->drawsNothing when it has no nodes.
bool GlbFromModel(const PlainModel& model, ModelBytes* glb, std::string* error);

}  // namespace vthost
