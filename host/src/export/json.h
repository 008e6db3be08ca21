// A generated hierarchy and a run's report as JSON values and text, for the script and the tests.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "scene/model.h"
#include "vthost/models.h"

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

}  // namespace vthost
