// What vantor-host tells the user: its one printer of lines, what came of each molecule, the
// progress line, the manifest and the summary.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "request.h"
#include "vthost/files.h"

namespace vantorcli {

// A line on standard error: the program's one printer.
void Error(const std::string& text);

// What was written to standard output (since errno was cleared) flushed; false with the reason, the
// system's when the write that failed gave one: "cannot write WHAT to standard output: Broken pipe".
bool StandardOutputFlushed(const std::string& what, std::string* error);
bool WriteStandardOutput(const vthost::Pieces& bytes, const std::string& what, std::string* error);

// What came of a molecule: its line of the manifest, and what standard error is told.
struct Outcome {
  std::string label;  // what each line starts with: the input, and in a run of several its record
  std::string input;
  uint64_t record = 1;
  std::string title;
  int64_t atoms = 0, bonds = 0;
  std::vector<std::string> outputs;
  int status = kDone;
  std::string message;  // the first failure
  // lines for standard error, each labelled; false: left out under --quiet
  std::vector<std::pair<bool, std::string>> lines;
  std::vector<std::string> staged;  // outputs written and not yet put in place
  std::optional<vthost::Detail> detail;  // what --max-triangles chose

  // The one place a line is labelled: "in.sdf record 3: TEXT" (in a run of one, "in.sdf: TEXT").
  void Fail(int failed, const std::string& text);
  void Note(const std::string& text);
};

using Json = nlohmann::ordered_json;
Json ManifestLine(const Outcome& o);
std::string Dumped(const Json& json);

// The run's errors and notes on standard error, a progress line on a terminal, the manifest, the
// summary; and the exit status.
class Results {
 public:
  Results(const RunRequest& request, bool several, const vthost::RunFiles& files);
  void Add(const Outcome& o);
  int Finish();

 private:
  using Clock = std::chrono::steady_clock;
  void DrawProgress();
  void ClearProgress();

  const RunRequest& request_;
  bool several_;
  Clock::time_point start_, drawn_;
  bool progress_ = false, shown_ = false;
  uint64_t total_ = 0, converted_ = 0, failed_ = 0;
  bool notLoaded_ = false, otherwise_ = false;
  vthost::GrowingOutput manifest_;
  std::string manifestError_;
};

}  // namespace vantorcli
