// A run shared among worker processes: each is this program given the run's arguments and its
// share, and writes a line for each molecule it converted; the run reads them in order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "request.h"
#include "status.h"

namespace vantorcli {

// A worker's line for the run: the outcome's fields (the manifest's, the exit status and what
// standard error is told), separated by tabs, each text with its backslashes, tabs and line ends
// escaped, so that the run reads back the very bytes; and the outcome read back from one (false
// when the line is not one).
std::string WorkerLine(const Outcome& o);
bool FromWorkerLine(const std::string& text, Outcome* o);

// Every molecule converted by request.jobs workers, what they did added to *results in order; the
// run's status so far. *converted: whether any worker told of a molecule.
int ConvertInWorkers(const RunRequest& request, const std::filesystem::path& program,
                     const std::vector<std::string>& arguments, Results* results, bool* converted);

}  // namespace vantorcli
