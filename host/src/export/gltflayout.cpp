// The accessors, buffer views and binary chunk of a model's glTF: four accessors a geometry, in the
// order of the model's geometries, the vertices' floats as the model holds them.
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "export/gltf.h"

namespace vthost {
namespace {

// glTF's numeric codes.
constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;

template <typename Value>
std::string_view BytesOf(const std::vector<Value>& values) {
  return {reinterpret_cast<const char*>(values.data()), values.size() * sizeof(Value)};
}

class Layout {
 public:
  explicit Layout(size_t geometries) { layout_.accessors.reserve(kAttributes * geometries); }

  void Add(const ModelGeometry& geometry) {
    const Vertices& vertices = *geometry.vertices;
    const size_t count = vertices.Count();
    Add({kFloat, count, "VEC3", kArrayBuffer, &geometry, 0, BytesOf(vertices.positions)});
    Add({kFloat, count, "VEC3", kArrayBuffer, nullptr, 0, BytesOf(vertices.normals)});
    Add({kFloat, count, "VEC2", kArrayBuffer, nullptr, 0, BytesOf(vertices.uvs)});
    const std::vector<uint32_t>& indices = vertices.indices;
    if (geometry.narrowIndices != nullptr) {
      // the block's padding, a 0 after an odd count, is the vector's last
      Add({kUnsignedShort, indices.size(), "SCALAR", kElementArrayBuffer, nullptr, 0,
           {reinterpret_cast<const char*>(geometry.narrowIndices->data()), indices.size() * sizeof(uint16_t)}});
    } else {
      Add({kUnsignedInt, indices.size(), "SCALAR", kElementArrayBuffer, nullptr, 0, BytesOf(indices)});
    }
  }

  GltfLayout Take() { return std::move(layout_); }

 private:
  void Add(GltfAccessor accessor) {
    accessor.offset = layout_.bufferSize;
    layout_.bufferSize += layout_.Block(accessor).size();
    layout_.accessors.push_back(accessor);
  }

  GltfLayout layout_;
};

}  // namespace

GltfLayout LayOut(const PlainModel& model) {
  Layout layout(model.geometries.size());
  for (const ModelGeometry& geometry : model.geometries) layout.Add(geometry);
  return layout.Take();
}

}  // namespace vthost
