// What vantor-host writes of what a module generated: the report of a run (JSON) and the model
// (glTF 2.0 binary), and the parameter table of an object type.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "vthost/files.h"
#include "vthost/host.h"

namespace vthost {

// The report's text written to stream as it is made; false with the reason in *error when the
// stream failed, or when a number is not finite: JSON has no way to write one, so it stands as null
// and the reason names its key and the object that holds it (and asks about the scale, unless it
// is a colour). The stream's state tells the two apart.
// detail: what a triangle budget chose for the object (FitDetail), written as "detail".
struct Detail;
bool WriteReport(const Host& host, const VtNode* object, std::ostream& stream, const Detail* detail,
                 std::string* error);

// The atoms and bonds of a generated hierarchy, as the report counts them (none holds none).
struct ModelCounts {
  int64_t atoms = 0;
  int64_t bonds = 0;
};
ModelCounts CountModel(const VtNode* root);

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

// The model as a .glb file (through the run's files, vthost/files.h), or its bytes; false with a
// reason. A model with a number glTF cannot hold (beyond its 32-bit floats once scaled, or a colour
// that is not finite) is refused and nothing is written.
bool WriteGltf(const Host& host, const ExportedModel& model, const std::filesystem::path& file, std::string* error);
bool GltfBytes(const Host& host, const ExportedModel& model, std::string* glb, std::string* error);

// A model's file in pieces (vthost/files.h) and what holds them: the GLB's binary chunk is the
// document's own buffer, so a large model is written with no second copy of it in memory.
struct ModelBytes {
  Pieces pieces;
  std::shared_ptr<const void> holder;
  bool drawsNothing = false;  // the glTF has no nodes: nothing of the model has a size
  std::string Joined() const;
};
bool GltfPieces(const Host& host, const ExportedModel& model, ModelBytes* glb, std::string* error);

// The model as a USD stage, as the glTF holds it: a .usdz package (for a file, a name ending in
// .usdz, any case) or a USDA text layer; refused as the glTF is.
bool WriteUsd(const Host& host, const ExportedModel& model, const std::filesystem::path& file, std::string* error);
bool UsdBytes(const Host& host, const ExportedModel& model, bool package, std::string* bytes, std::string* error);
// Whether a file named so is a USD file (.usda, .usd, .usdz, any case), and whether it is written
// as a .usdz package.
bool IsUsd(const std::filesystem::path& file);
bool IsUsdz(const std::filesystem::path& file);

// The triangles the model's glTF holds.
int64_t CountTriangles(const Host& host, const ExportedModel& model);

// The triangles the glTF of a model would hold were its spheres built with other segments and
// its bond profiles with other intermediate points: told from a hierarchy built with any, whose
// spheres that draw and bond tubes are counted as the export draws them.
using TriangleCounter = std::function<int64_t(int32_t segments, int32_t subdivisions)>;
TriangleCounter CounterOf(const VtNode* root);

// The finest detail within a triangle budget: the most segments for which the model keeps within
// `most` triangles with the fewest subdivisions, then the most subdivisions with those segments,
// each within its range (lowest to highest). False when not even the lowest of both keep within
// it; *chosen then holds those and what they need.
struct DetailRange {
  int32_t lowest = 0, highest = 0;
};
struct Detail {
  int32_t segments = 0, subdivisions = 0;
  int64_t triangles = 0;
};
bool FitDetail(const TriangleCounter& triangles, int64_t most, DetailRange segments, DetailRange subdivisions,
               Detail* chosen);

// Every parameter of a description as a Markdown table (name, id, type, default, range or choices,
// help), values written as --set and the script's set read them.
std::string ParameterTable(const StaticDescription& description);

}  // namespace vthost
