// The vertices of shapes (spheres, unit tubes) worked out once for several models: the molecules
// of a collection share their shapes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

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
  std::shared_ptr<const Vertices> Of(const std::string& key, const Make& make) {
    if (std::shared_ptr<const Vertices> found = Find(key)) return found;
    return Keep(key, std::make_shared<const Vertices>(make()));
  }

  size_t Size() const { return shapes_.size(); }
  size_t Bytes() const { return bytes_; }

 private:
  std::shared_ptr<const Vertices> Find(const std::string& key) const;
  std::shared_ptr<const Vertices> Keep(const std::string& key, std::shared_ptr<const Vertices> shape);

  std::unordered_map<std::string, std::shared_ptr<const Vertices>> shapes_;
  size_t bytes_ = 0;  // of the shapes kept
};

}  // namespace vthost
