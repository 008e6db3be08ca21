// The one check of a model's numbers before any format is written: glTF and USD hold them as 32-bit
// floats, and a reader refuses a file with a number beyond their range or not finite (JSON has no
// way to write one).
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "export/plainmodel.h"
#include "vthost/molecule.h"

namespace vthost {
namespace {

// Finite and within a float's range (not a NaN either).
bool Fits(double value) { return std::fabs(value) <= std::numeric_limits<float>::max(); }

bool Fits(const Vec3& v) { return Fits(v.x) && Fits(v.y) && Fits(v.z); }

bool Fits(const Placement& p) {
  return Fits(p.translation) && (!p.scale || Fits(*p.scale)) &&
         (!p.rotation || std::all_of(p.rotation->begin(), p.rotation->end(), [](double v) { return Fits(v); }));
}

bool Fits(const ModelMaterial& m) { return Fits(m.r) && Fits(m.g) && Fits(m.b) && Fits(m.alpha); }

class Check {
 public:
  explicit Check(const PlainModel& model) : model_(model) {}

  // The first number that does not fit, at the node (index) or below it.
  std::optional<Unwritable> First(int index, const std::string& parentName) {
    const ModelNode& node = model_.nodes[index];
    const std::string& object = node.parentsTube ? parentName : node.name;
    if (node.mesh >= 0) {
      const ModelMesh& mesh = model_.meshes[node.mesh];
      if (!model_.geometries[mesh.geometry].finite) return Unwritable{object, {}};
      if (mesh.material >= 0) {
        const ModelMaterial& material = model_.materials[mesh.material];
        if (!Fits(material)) {
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
  const PlainModel& model_;
};

}  // namespace

std::optional<Unwritable> FirstUnwritable(const PlainModel& model) {
  if (model.root < 0) return std::nullopt;
  return Check(model).First(model.root, std::string());
}

std::optional<std::string> RefusalOf(const PlainModel& model, const std::string& format) {
  const std::optional<Unwritable> found = FirstUnwritable(model);
  if (!found) return std::nullopt;
  if (found->colourSource.empty()) {
    return "'" + found->object + "' lies beyond what " + format + "'s 32-bit floats hold (" +
           std::string(molecule::kScaleQuestion) + " or MOLOBJ_BOND_RADIUS too large?): nothing written";
  }
  return "'" + found->object + "' has a colour that is not a finite number, from " + found->colourSource +
         ": nothing written";
}

}  // namespace vthost
