// The run's workers started, their lines read in the order of the molecules, and what they did told.
#include "jobs.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <memory>
#include <string_view>
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
  std::string line = "outcome";
  const auto number = [&line](auto value) {
    char digits[24];
    line += '\t';
    line.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
  };
  const auto text = [&line](std::string_view value) {
    line += '\t';
    for (const char c : value) {
      const char* const escaped = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
      if (escaped != nullptr) {
        line += escaped;
      } else {
        line += c;
      }
    }
  };
  number(o.status);
  number(o.record);
  number(o.atoms);
  number(o.bonds);
  number(o.detail ? 1 : 0);
  number(o.detail ? o.detail->segments : 0);
  number(o.detail ? o.detail->subdivisions : 0);
  number(o.detail ? o.detail->triangles : 0);
  text(o.label);
  text(o.input);
  text(o.title);
  text(o.message);
  number(o.outputs.size());
  for (const std::string& output : o.outputs) text(output);
  number(o.lines.size());
  for (const auto& [error, said] : o.lines) {
    number(error ? 1 : 0);
    text(said);
  }
  return line;
}

bool FromWorkerLine(const std::string& text, Outcome* o) {
  std::vector<std::string_view> fields;
  fields.reserve(32);
  for (size_t at = 0;;) {
    const size_t tab = text.find('\t', at);
    fields.push_back(std::string_view(text).substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) break;
    at = tab + 1;
  }
  size_t next = 0;
  bool whole = !fields.empty() && fields[next++] == "outcome";
  const auto number = [&](auto* value) {
    if (!whole || next == fields.size()) return whole = false;
    const std::string_view field = fields[next++];
    const auto [stop, failure] = std::from_chars(field.data(), field.data() + field.size(), *value);
    return whole = failure == std::errc() && stop == field.data() + field.size() && !field.empty();
  };
  const auto unescaped = [&](std::string* value) {
    if (!whole || next == fields.size()) return whole = false;
    const std::string_view field = fields[next++];
    value->clear();
    for (size_t at = 0; at < field.size();) {
      const size_t backslash = std::min(field.find('\\', at), field.size());
      value->append(field.substr(at, backslash - at));
      if (backslash == field.size()) break;
      const char escaped = backslash + 1 < field.size() ? field[backslash + 1] : '\0';
      if (escaped != '\\' && escaped != 't' && escaped != 'n' && escaped != 'r') return whole = false;
      *value += escaped == 't' ? '\t' : escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : '\\';
      at = backslash + 2;
    }
    return true;
  };
  int hasDetail = 0;
  vthost::Detail detail;
  size_t outputs = 0, lines = 0;
  number(&o->status);
  number(&o->record);
  number(&o->atoms);
  number(&o->bonds);
  number(&hasDetail);
  number(&detail.segments);
  number(&detail.subdivisions);
  number(&detail.triangles);
  unescaped(&o->label);
  unescaped(&o->input);
  unescaped(&o->title);
  unescaped(&o->message);
  // a count is never taken for more than the fields left
  if (number(&outputs) && outputs <= fields.size() - next) {
    o->outputs.resize(outputs);
    for (std::string& output : o->outputs) unescaped(&output);
  }
  if (number(&lines) && lines <= (fields.size() - next) / 2) {
    o->lines.resize(lines);
    for (auto& [error, said] : o->lines) {
      int flag = 0;
      number(&flag);
      error = flag != 0;
      unescaped(&said);
    }
  }
  if (hasDetail != 0) o->detail = detail;
  return whole && next == fields.size();
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
