// The one check of a glTF document's numbers before it is written: glTF holds them as 32-bit
// floats, and a reader refuses a file with a number beyond their range or not finite.
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "export/gltfdocument.h"

namespace vthost {
namespace {

// Finite and within a float's range (not a NaN either).
bool Fits(double value) { return std::fabs(value) <= std::numeric_limits<float>::max(); }

bool Fits(const GltfPlacement& p) {
  return Fits(p.translation.x) && Fits(p.translation.y) && Fits(p.translation.z) &&
         (!p.scale || (Fits(p.scale->x) && Fits(p.scale->y) && Fits(p.scale->z)));
}

class Check {
 public:
  explicit Check(const GltfDocument& document)
      : document_(document), positionsSeen_(document.accessors.size(), false) {}

  // The object named for the first number that does not fit, at the node (index) or below it.
  std::optional<std::string> First(int index, const std::string& parentName) {
    const GltfNode& node = document_.nodes[index];
    const std::string& object = node.parentsTube ? parentName : node.name;
    if (node.mesh >= 0 && !PositionsFit(document_.meshes[node.mesh].geometry.position)) return object;
    for (const int child : node.children) {
      if (std::optional<std::string> found = First(child, node.name)) return found;
    }
    if (!Fits(node.placement)) return object;
    return std::nullopt;
  }

 private:
  // Meshes share geometry: each accessor's positions are read once.
  bool PositionsFit(int accessor) {
    if (positionsSeen_[accessor]) return true;
    positionsSeen_[accessor] = true;
    const GltfBufferView& view = document_.views[document_.accessors[accessor].view];
    for (size_t at = view.offset; at < view.offset + view.length; at += sizeof(float)) {
      float value = 0.0f;
      std::memcpy(&value, &document_.buffer[at], sizeof value);
      if (!Fits(value)) return false;
    }
    return true;
  }

  const GltfDocument& document_;
  std::vector<bool> positionsSeen_;
};

}  // namespace

std::optional<std::string> BeyondFloats(const GltfDocument& document) {
  if (document.root < 0) return std::nullopt;
  return Check(document).First(document.root, std::string());
}

}  // namespace vthost
