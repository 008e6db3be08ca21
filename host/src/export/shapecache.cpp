// The shapes a cache keeps, within its budget.
#include "export/shapecache.h"

#include <utility>

namespace vthost {

const SharedVertices* ShapeCache::Find(const std::string& key) const {
  const auto found = shapes_.find(key);
  return found == shapes_.end() ? nullptr : &found->second;
}

SharedVertices ShapeCache::Keep(const std::string& key, SharedVertices shape) {
  const size_t bytes = shape.vertices->Bytes();
  if (bytes > kShapeBytes / 10) return shape;
  if (shapes_.size() >= kShapes || bytes_ + bytes > kShapeBytes) {
    shapes_.clear();
    bytes_ = 0;
  }
  bytes_ += bytes;
  return shapes_.emplace(key, std::move(shape)).first->second;
}

}  // namespace vthost
