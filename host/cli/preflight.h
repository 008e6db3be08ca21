// The checks of a run made before anything is read or written.
#pragma once

#include <filesystem>
#include <string>

#include "request.h"

namespace vantorcli {

// Outputs that would give two molecules one name, templates without placeholders, folders that are
// not there, outputs over the run's inputs (the molecules, the module and the res folder beside
// it) or over each other. False with the reason.
bool CheckRun(const RunRequest& request, const std::filesystem::path& module, std::string* error);

}  // namespace vantorcli
