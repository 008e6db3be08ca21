// vantor-host's conversion of molecules: one, or every chosen record of many files in one run,
// each handed to its own molecule object as a user would, in one process or in several workers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "vthost/collection.h"
#include "vthost/host.h"

namespace vantorcli {

// Exit statuses.
constexpr int kDone = 0;
constexpr int kFailed = 1;  // the module did not start, a file could not be written, a script line failed
constexpr int kBadArguments = 2;
constexpr int kMoleculeNotLoaded = 3;  // the report is written all the same

// A line on standard error.
void Error(const std::string& text);

// What was written to standard output (since errno was cleared) flushed; false with the reason, the
// system's when the write that failed gave one: "cannot write WHAT to standard output: Broken pipe".
bool StandardOutputFlushed(const std::string& what, std::string* error);

using Settings = std::vector<std::pair<std::string, std::string>>;

// What a run of molecules is asked for.
struct CollectionRequest {
  std::vector<std::string> inputs;  // molecule files as given; "-" for standard input
  vthost::RecordRange records;
  std::string gltf, json, usd;  // a file, a template, or - for standard output
  std::string manifest;    // a file, or - for standard output
  Settings settings;       // --set NAME=VALUE, in order
  int64_t maxTriangles = 0;  // --max-triangles: the most triangles a model may have; 0 for no limit
  unsigned jobs = 1;
  bool quiet = false;
  // A worker converts the molecules whose place in the run, counted from 0, leaves index when
  // divided by count; spool is the file that holds what standard input held.
  struct {
    unsigned index = 0, count = 0;
    std::string spool;
  } worker;
};

// Whether the run may convert more than one molecule: then --gltf and --json are templates.
bool Several(const CollectionRequest& request);

// The checks made before anything is read or written: outputs that would give two molecules one
// name, templates without placeholders, folders that are not there, outputs over the run's inputs
// (the molecules, the module and the res folder beside it) or over each other. False with the reason.
bool CheckCollection(const CollectionRequest& request, const std::filesystem::path& module, std::string* error);

// Converts every molecule asked for with the started module; the run's exit status. program: this
// program's file, started again for each worker when request.jobs is more than 1; arguments: those
// it was given, which each worker is given too.
int ConvertMolecules(vthost::Host& host, const CollectionRequest& request, const std::filesystem::path& program,
                     const std::vector<std::string>& arguments);

}  // namespace vantorcli
