// A generated hierarchy as a glTF 2.0 binary (.glb) file or stream, in three steps (gltfdocument.h):
// the document is built, its numbers checked, and then it is written.
#include <optional>
#include <string>

#include "export/gltfdocument.h"
#include "vthost/export.h"
#include "vthost/molecule.h"

namespace vthost {
namespace {

// The .glb of root, or false with the reason.
bool GlbOf(const Host& host, const VtNode* root, const VtContainer* parameters, std::string* glb, std::string* error) {
  if (root == nullptr) return *error = "no hierarchy to write", false;
  const GltfDocument document = BuildGltf(host, *root, parameters);
  if (const std::optional<Unwritable> found = FirstUnwritable(document)) {
    // no file rather than one that readers refuse (glTF numbers are 32-bit floats)
    if (found->colourSource.empty()) {
      *error = "'" + found->object + "' lies beyond what glTF's 32-bit floats hold (" +
               std::string(molecule::kScaleQuestion) + " or MOLOBJ_BOND_RADIUS too large?): nothing written";
    } else {
      *error = "'" + found->object + "' has a colour that is not a finite number, from " + found->colourSource +
               ": nothing written";
    }
    return false;
  }
  *glb = GlbBytes(document);
  return true;
}

}  // namespace

bool WriteGltf(const Host& host, const VtNode* root, const std::filesystem::path& file, std::string* error,
               const VtContainer* parameters) {
  std::string glb;
  if (!GlbOf(host, root, parameters, &glb, error)) {  // an existing file stays as it is
    *error = file.u8string() + ": " + *error;
    return false;
  }
  return host.Files().WriteOutput(file, glb, error);
}

bool WriteGltf(const Host& host, const VtNode* root, std::ostream& out, std::string* error,
               const VtContainer* parameters) {
  std::string glb;
  if (!GlbOf(host, root, parameters, &glb, error)) return false;
  if (!out.write(glb.data(), static_cast<std::streamsize>(glb.size())).flush()) {
    return *error = "cannot write the glTF", false;
  }
  return true;
}

}  // namespace vthost
