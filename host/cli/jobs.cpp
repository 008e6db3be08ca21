// The run's workers started, their lines read in the order of the molecules, and what they did told.
#include "jobs.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>

#include "scratch.h"
#include "workers.h"

namespace vantorcli {

namespace fs = std::filesystem;

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
  ScratchFolder scratch;
  std::string spool, error;
  if (std::find(request.inputs.begin(), request.inputs.end(), "-") != request.inputs.end()) {
    // every worker reads standard input: from a file that holds what it held
    if (!scratch.Make(&error)) {
      Error(error);
      return kFailed;
    }
    spool = (scratch.Folder() / "stdin.sdf").u8string();
    std::ofstream out(fs::u8path(spool), std::ios::binary);
    out << std::cin.rdbuf();
    if (out.close(), !out) {
      Error("cannot keep standard input in " + spool);
      return kFailed;
    }
  }
  std::vector<std::unique_ptr<WorkerProcess>> workers;
  for (unsigned i = 0; i < request.jobs; ++i) {
    std::vector<std::string> words{"--worker", std::to_string(i) + "/" + std::to_string(request.jobs)};
    if (!spool.empty()) words.insert(words.end(), {"--worker-stdin", spool});
    words.insert(words.end(), arguments.begin(), arguments.end());
    workers.push_back(std::make_unique<WorkerProcess>());
    if (!workers.back()->Start(program, words, &error)) {
      Error(error);
      return kFailed;
    }
  }
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
