// vantor-host's conversion of molecules: one, or every chosen record of many files in one run,
// each handed to the conversion engine, which loads them one after another into one molecule object
// of the process (a new one after a failure), in one process or in several workers.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "request.h"
#include "status.h"
#include "vthost/host.h"

namespace vantorcli {

// Converts every molecule asked for with the started module; the run's exit status, after which
// the process ends (the last model is not freed first: vthost::FreeAtExit). program: this
// program's file, started again for each worker when request.jobs is more than 1; arguments: those
// it was given, which each worker is given too.
int ConvertMolecules(vthost::Host& host, const RunRequest& request, const std::filesystem::path& program,
                     const std::vector<std::string>& arguments);

// The molecules this process converts (all of them, or a worker's share), each outcome handed on
// in order once its outputs are in place; handOn answers false when no more is wanted, and then
// so does this.
bool ConvertShare(vthost::Host& host, const RunRequest& request, bool several,
                  const std::function<bool(const Outcome&)>& handOn);

}  // namespace vantorcli
