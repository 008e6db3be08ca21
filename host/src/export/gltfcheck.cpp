// The one check of a glTF document's numbers before it is written: glTF holds them as 32-bit
// floats, and a reader refuses a file with a number beyond their range or not finite (JSON has no
// way to write one).
#include <algorithm>
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

bool Fits(const Vec3& v) { return Fits(v.x) && Fits(v.y) && Fits(v.z); }

bool Fits(const GltfPlacement& p) {
  return Fits(p.translation) && (!p.scale || Fits(*p.scale)) &&
         (!p.rotation || std::all_of(p.rotation->begin(), p.rotation->end(), [](double v) { return Fits(v); }));
}

class Check {
 public:
  explicit Check(const GltfDocument& document) : document_(document), seen_(document.accessors.size(), false) {}

  // The first number that does not fit, at the node (index) or below it.
  std::optional<Unwritable> First(int index, const std::string& parentName) {
    const GltfNode& node = document_.nodes[index];
    const std::string& object = node.parentsTube ? parentName : node.name;
    if (node.mesh >= 0) {
      const GltfMesh& mesh = document_.meshes[node.mesh];
      for (const int accessor : {mesh.geometry.position, mesh.geometry.normal, mesh.geometry.uv}) {
        if (!ValuesFit(accessor)) return Unwritable{object, {}};
      }
      if (mesh.material >= 0) {
        const GltfMaterial& material = document_.materials[mesh.material];
        if (!std::all_of(material.colour.begin(), material.colour.end(), [](double v) { return Fits(v); })) {
          return Unwritable{object, material.source.empty() ? "its display colour" : material.source};
        }
      }
    }
    for (const int child : node.children) {
      if (std::optional<Unwritable> found = First(child, node.name)) return found;
    }
    if (!Fits(node.placement)) return Unwritable{object, {}};
    return std::nullopt;
  }

 private:
  // Meshes share geometry: each accessor's floats are read once.
  bool ValuesFit(int accessor) {
    if (accessor < 0 || seen_[accessor]) return true;
    seen_[accessor] = true;
    const GltfBufferView& view = document_.views[document_.accessors[accessor].view];
    for (size_t at = 0; at < view.length; at += sizeof(float)) {
      float value = 0.0f;
      std::memcpy(&value, document_.Bytes(view) + at, sizeof value);
      if (!Fits(value)) return false;
    }
    return true;
  }

  const GltfDocument& document_;
  std::vector<bool> seen_;
};

}  // namespace

std::optional<Unwritable> FirstUnwritable(const GltfDocument& document) {
  if (document.root < 0) return std::nullopt;
  return Check(document).First(document.root, std::string());
}

}  // namespace vthost
