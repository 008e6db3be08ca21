// What vantor-host writes of a generated hierarchy: JSON for inspection and glTF 2.0 binary.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "values.h"

namespace vthost {

// JSON text of a document. Names come from molecule files and users, so any text is possible:
// bytes that are not UTF-8 are written as U+FFFD instead of failing the whole document.
std::string JsonText(const nlohmann::json& document, int indent = 1);

// A parameter value, a container (id to value) and a vector as JSON; links by their target's name.
nlohmann::json ValueJson(const Host& host, const Value& value);
nlohmann::json ContainerJson(const Host& host, const VtContainer* container);
nlohmann::json VectorJson(const VtVector& vector);

// The hierarchy below root as nested nodes (null for no root), as text (compact, each node on a
// line of its own, indented by its depth) and as that text read back.
std::string HierarchyText(const Host& host, const VtNode* root);
nlohmann::json HierarchyJson(const Host& host, const VtNode* root);

// The report of one run: the object's name, its atom and bond counts (spheres that are not nuclei,
// and sweeps, in the hierarchy), every message box and console line, and the hierarchy. As text
// (what vantor-host writes) and as that text read back.
std::string ReportText(const Host& host, const VtNode* object);
nlohmann::json Report(const Host& host, const VtNode* object);
// The report's text written to stream as it is made; false when the stream failed. A number that
// is not finite is written as null (JSON has no other way); *nonFinite, when given, then receives
// the key it stands under.
bool WriteReport(const Host& host, const VtNode* object, std::ostream& stream,
                 std::optional<std::string>* nonFinite = nullptr);

// root and everything below it as a .glb file, or into a stream (standard output); false with a
// reason. A hierarchy with a number glTF cannot hold (beyond its 32-bit floats once scaled) is
// refused and nothing is written. parameters: those of the molecule object root was built with
// (Host::HierarchyParameters), which tell the orders of its bonds apart; without them bonds are
// of no known order.
bool WriteGltf(const Host& host, const VtNode* root, const std::filesystem::path& file, std::string* error,
               const VtContainer* parameters = nullptr);
bool WriteGltf(const Host& host, const VtNode* root, std::ostream& out, std::string* error,
               const VtContainer* parameters = nullptr);

}  // namespace vthost
