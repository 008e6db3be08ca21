// What vantor-host writes of a generated hierarchy: JSON for inspection and glTF 2.0 binary.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

#include "values.h"

namespace vthost {

// JSON text of a document. Names come from molecule files and users, so any text is possible:
// bytes that are not UTF-8 are written as U+FFFD instead of failing the whole document.
std::string JsonText(const nlohmann::json& document, int indent = 1);
// The text with every byte sequence that is not UTF-8 replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);

// A parameter value, a container (id to value) and a vector as JSON; links by their target's name.
nlohmann::json ValueJson(const Host& host, const Value& value);
nlohmann::json ContainerJson(const Host& host, const VtContainer* container);
nlohmann::json VectorJson(const VtVector& vector);

// The hierarchy below root as nested nodes (null for no root).
nlohmann::json HierarchyJson(const Host& host, const VtNode* root);

// The report of one run: the object's name, its atom and bond counts (spheres that are not nuclei,
// and sweeps, in the hierarchy), every message box and console line, and the hierarchy.
nlohmann::json Report(const Host& host, const VtNode* object);

// Whether the document holds a number that is not finite (JSON cannot: it would be written as
// null), with the JSON pointer of the first appended to *pointer.
bool FindNonFinite(const nlohmann::json& document, std::string* pointer);

// root and everything below it as a .glb file; false with a reason. A hierarchy with a number
// glTF cannot hold (not finite, or beyond single precision once scaled) is refused and nothing is
// written.
bool WriteGltf(const Host& host, const VtNode* root, const std::filesystem::path& file, std::string* error);
// The same into a stream (standard output).
bool WriteGltf(const Host& host, const VtNode* root, std::ostream& out, std::string* error);

}  // namespace vthost
