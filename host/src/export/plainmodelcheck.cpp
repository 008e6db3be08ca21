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

  // Whether a number at the node (index) or below it does not fit: the first such in *found.
  bool First(int index, const std::string& parentName, Unwritable* found) {
    const ModelNode& node = model_.nodes[index];
    const std::string& object = node.parentsTube ? parentName : node.name;
    if (node.mesh >= 0) {
      const ModelMesh& mesh = model_.meshes[node.mesh];
      if (!model_.geometries[mesh.geometry].finite) {
        *found = Unwritable{object, {}};
        return true;
      }
      if (mesh.material >= 0) {
        const ModelMaterial& material = model_.materials[mesh.material];
        if (!Fits(material)) {
          *found = Unwritable{object, material.source.empty() ? "its display colour" : material.source};
          return true;
        }
      }
    }
    for (const int child : node.children) {
      if (First(child, node.name, found)) return true;
    }
    if (!Fits(node.placement)) {
      *found = Unwritable{object, {}};
      return true;
    }
    return false;
  }

 private:
  const PlainModel& model_;
};

}  // namespace

std::optional<Unwritable> FirstUnwritable(const PlainModel& model) {
  Unwritable found;
  if (model.root < 0 || !Check(model).First(model.root, std::string(), &found)) return std::nullopt;
  return found;
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
