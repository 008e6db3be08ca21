// The vertices of shapes (spheres, unit tubes) worked out once for several models: the molecules
// of a collection share their shapes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "export/vertices.h"

namespace vthost {

// At most kShapes shapes and kShapeBytes bytes of vertices, all forgotten when one more would pass
// either; a shape larger than a tenth of kShapeBytes is never kept (it is worked out for each model
// it is in, and forgotten with it). One converter at a time uses a cache.
class ShapeCache {
 public:
  static constexpr size_t kShapes = 256;
  static constexpr size_t kShapeBytes = size_t{64} << 20;

  // The shape of the key (a description of everything its vertices are made from), made by make()
  // when it is not kept.
  template <typename Make>
  SharedVertices Of(const std::string& key, const Make& make) {
    if (const SharedVertices* found = Find(key)) return *found;
    auto vertices = std::make_shared<const Vertices>(make());
    VertexFacts facts = FactsOf(*vertices);
    return Keep(key, {std::move(vertices), facts});
  }

  size_t Size() const { return shapes_.size(); }
  size_t Bytes() const { return bytes_; }

 private:
  const SharedVertices* Find(const std::string& key) const;
  SharedVertices Keep(const std::string& key, SharedVertices shape);

  std::unordered_map<std::string, SharedVertices> shapes_;
  size_t bytes_ = 0;  // of the shapes kept
};

}  // namespace vthost
