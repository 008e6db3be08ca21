// What a run of vantor-host is asked to convert and write, as its arguments give it, and the
// statuses it ends with.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "vthost/collection.h"
#include "vthost/convert.h"
#include "vthost/formats.h"

namespace vantorcli {

// Exit statuses.
constexpr int kDone = 0;
constexpr int kFailed = 1;  // the module did not start, a file could not be written, a script line failed
constexpr int kBadArguments = 2;
constexpr int kMoleculeNotLoaded = 3;  // the report is written all the same

// One name per format of vthost::kOutputFormats, in its order; empty for a format not written.
using OutputNames = std::array<std::string, vthost::kOutputFormats.size()>;

struct RunRequest {
  std::vector<std::string> inputs;  // molecule files as given; "-" for standard input
  vthost::RecordRange records;
  OutputNames outputs;      // a file, a template, or - for standard output
  std::string manifest;     // a file, or - for standard output
  vthost::Settings settings;  // --set NAME=VALUE, in order
  int64_t maxTriangles = 0;   // --max-triangles: the most triangles a model may have; 0 for no limit
  unsigned jobs = 1;
  bool quiet = false;
  // A worker converts the molecules whose place in the run, counted from 0, leaves index when
  // divided by count; run is the process of the run that started it, which it ends with.
  struct {
    unsigned index = 0, count = 0;
    unsigned long run = 0;
  } worker;

  bool AnyOutput() const;
};

// Whether an input is one molecule whatever it holds (a .mol file).
bool IsMolFile(const std::string& input);

// Whether the run may convert more than one molecule: then its outputs are name templates.
bool Several(const RunRequest& request);

// The exit status of a conversion's status.
int ExitStatus(vthost::ConversionStatus status);

}  // namespace vantorcli
