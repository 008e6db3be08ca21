// The run's workers started, their lines read in the order of the molecules, and what they did told.
#include "jobs.h"

#include <algorithm>
#include <istream>
#include <memory>
#include <thread>

#include "vthost/collection.h"
#include "workers.h"

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

// Standard input handed to every worker as it comes, up to the last record the run takes of it
// (the rest of an endless stream is never read), and each worker's input closed then. In a thread
// the run does not wait for, since the input may stall for ever.
void HandOnStandardInput(std::vector<WorkerInput> inputs, uint64_t last) {
  const EndingSignalsHeld held;
  std::thread([inputs = std::move(inputs), last]() mutable {
    bool anyReads = true;  // some worker still reads what it is handed
    StandardInputBuffer buffer;
    buffer.copy = [&](std::string_view bytes) {
      anyReads = false;
      for (WorkerInput& input : inputs) anyReads = input.Write(bytes) || anyReads;
    };
    std::istream in(&buffer);
    vthost::RecordReader reader(in, /*whole=*/false);
    vthost::Record record;
    while (anyReads && reader.NextNumber() <= last && reader.Next(&record, /*keepText=*/false)) {
    }
  }).detach();
}

}  // namespace

std::string WorkerLine(const Outcome& o) {
  Json line = ManifestLine(o);
  line["exit"] = o.status;
  line["label"] = o.label;
  Json lines = Json::array();
  for (const auto& [error, text] : o.lines) lines.push_back({error, text});
  line["lines"] = std::move(lines);
  return Dumped(line);
}

bool FromWorkerLine(const std::string& text, Outcome* o) {
  const Json line = Json::parse(text, nullptr, false);
  if (!line.is_object() || !line.contains("exit")) return false;
  o->label = line.value("label", "");
  o->input = line.value("input", "");
  o->record = line.value("record", uint64_t{0});
  o->title = line.value("title", "");
  o->atoms = line.value("atoms", int64_t{0});
  o->bonds = line.value("bonds", int64_t{0});
  o->outputs = line.value("outputs", std::vector<std::string>{});
  o->status = line.value("exit", kFailed);
  o->message = line.value("message", "");
  if (const auto detail = line.find("detail"); detail != line.end() && detail->is_object()) {
    o->detail = vthost::Detail{detail->value("segments", 0), detail->value("subdivisions", 0),
                               detail->value("triangles", int64_t{0})};
  }
  for (const Json& l : line.value("lines", Json::array())) o->lines.emplace_back(l.at(0).get<bool>(), l.at(1));
  return true;
}

int ConvertInWorkers(const RunRequest& request, const fs::path& program, const std::vector<std::string>& arguments,
                     Results* results, bool* converted) {
  std::string error;
  const bool readsStandardInput = std::find(request.inputs.begin(), request.inputs.end(), "-") != request.inputs.end();
  // a worker's standard input is the run's to close, whether it hands records through it or not
  std::vector<WorkerInput> inputs(request.jobs);
  std::vector<std::unique_ptr<WorkerProcess>> workers;
  for (unsigned i = 0; i < request.jobs; ++i) {
    std::vector<std::string> words{"--worker", std::to_string(i) + "/" + std::to_string(request.jobs), "--worker-of",
                                   std::to_string(ThisProcess())};
    words.insert(words.end(), arguments.begin(), arguments.end());
    workers.push_back(std::make_unique<WorkerProcess>());
    if (!workers.back()->Start(program, words, &inputs[i], &error)) {
      Error(error);
      return kFailed;
    }
  }
  if (readsStandardInput) HandOnStandardInput(std::move(inputs), request.records.last);
  std::string line;
  for (uint64_t ordinal = 0;; ++ordinal) {
    WorkerProcess& worker = *workers[ordinal % request.jobs];
    const std::string which = "worker " + std::to_string(ordinal % request.jobs + 1);
    Outcome o;
    if (!worker.ReadLine(&line)) {
      const int ended = worker.Wait();
      if (ordinal == 0 && (ended == kBadArguments || ended == kFailed)) return ended;  // it said why
      Error(which + " ended before its work was done (status " + std::to_string(ended) + ")");
      return kFailed;
    }
    if (line == "end") break;
    if (!FromWorkerLine(line, &o)) {
      Error(which + " wrote what is not a result: " + line);
      return kFailed;
    }
    results->Add(o);
    *converted = true;
  }
  int status = kDone;
  for (auto& worker : workers) {
    while (worker->ReadLine(&line)) {
    }
    const int ended = worker->Wait();
    if (ended != kDone) {
      Error("a worker ended with status " + std::to_string(ended));
      status = kFailed;
    }
  }
  return status;
}

}  // namespace vantorcli
