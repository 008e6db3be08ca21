// What vantor-host writes of what a module generated: the report of a run (JSON) and the model
// (glTF 2.0 binary), and the parameter table of an object type.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>

#include "vthost/host.h"

namespace vthost {

// The report's text written to stream as it is made; false with the reason in *error when the
// stream failed, or when a number is not finite: JSON has no way to write one, so it stands as null
// and the reason names its key and the object that holds it (and asks about the scale, unless it
// is a colour). The stream's state tells the two apart.
bool WriteReport(const Host& host, const VtNode* object, std::ostream& stream, std::string* error);

// The atoms and bonds of a generated hierarchy, as the report counts them (none holds none).
struct ModelCounts {
  int64_t atoms = 0;
  int64_t bonds = 0;
};
ModelCounts CountModel(const VtNode* root);
// Whether a generated hierarchy holds neither atoms nor bonds.
bool IsEmptyModel(const VtNode* root);

// root and everything below it as a .glb file (through the run's files, vthost/files.h), or into a
// stream (standard output); false with a reason. A hierarchy with a number glTF cannot hold (beyond
// its 32-bit floats once scaled, or a colour that is not finite) is refused and nothing is written.
// parameters: those of the molecule object root was built with (HierarchyParameters), which tell
// the orders of its bonds apart and name the parameter of a colour refused; without them bonds are
// of no known order.
bool WriteGltf(const Host& host, const VtNode* root, const std::filesystem::path& file, std::string* error,
               const VtContainer* parameters = nullptr);
bool WriteGltf(const Host& host, const VtNode* root, std::ostream& out, std::string* error,
               const VtContainer* parameters = nullptr);

// Every parameter of a description as a Markdown table (name, id, type, default, range or choices,
// help), values written as --set and the script's set read them.
std::string ParameterTable(const StaticDescription& description);

}  // namespace vthost
