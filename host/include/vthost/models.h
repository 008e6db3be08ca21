// A molecule object's model as the 3D formats write it: the hierarchy it generated, exported as
// glTF 2.0 binary or as a USD stage (the conversion's table of formats, vthost/formats.h, makes
// every output; these serve the tools and tests that want one format's bytes).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "vthost/files.h"
#include "vthost/host.h"

namespace vthost {

// A molecule object's model as it is exported: the hierarchy it generated, the parameters it was
// built with (HierarchyParameters: they tell the orders of its bonds apart and name the parameter of
// a colour refused; without them bonds are of no known order), and the name of the exported root,
// the object's own (its title, or the name the host gave it), which holds the hierarchy. Without a
// name, the hierarchy's root is the exported root.
struct ExportedModel {
  const VtNode* root = nullptr;
  const VtContainer* parameters = nullptr;
  std::string name;
};
ExportedModel ModelOf(const VtNode* object);

// A model's file in pieces (vthost/files.h) and what holds them: the GLB's binary chunk is the
// model's own vertices, so a large model is written with no second copy of it in memory.
struct ModelBytes {
  Pieces pieces;
  std::shared_ptr<const void> holder;
  bool drawsNothing = false;  // the model has no nodes: nothing of it has a size
  std::string Joined() const;
};

// The model as a .glb file (through the run's files, vthost/files.h), or its bytes; false with a
// reason. A model with a number glTF cannot hold (beyond its 32-bit floats once scaled, or a colour
// that is not finite) is refused and nothing is written.
bool WriteGltf(const Host& host, const ExportedModel& model, const std::filesystem::path& file, std::string* error);
bool GltfBytes(const Host& host, const ExportedModel& model, std::string* glb, std::string* error);

// The model as a USD stage, as the glTF holds it: a .usdz package or a USDA text layer; refused
// as the glTF is.
bool UsdBytes(const Host& host, const ExportedModel& model, bool package, std::string* bytes, std::string* error);

// The triangles the model's glTF holds.
int64_t CountTriangles(const Host& host, const ExportedModel& model);

}  // namespace vthost
