// The molecules of a run converted in order: each record handed to the engine through a file that
// holds it first (the input itself for its first record), its outputs landed, its outcome told.
#include "conversions.h"

#include <algorithm>
#include <iostream>
#include <system_error>

#include "jobs.h"
#include "landing.h"
#include "plan.h"
#include "scratch.h"
#include "vthost/convert.h"
#include "workers.h"

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

// Each molecule handed to the engine, and what it made landed.
class MoleculeConverter {
 public:
  MoleculeConverter(vthost::Host& host, const RunRequest& request, bool several)
      : request_(request),
        several_(several),
        // a run of several echoes nothing of what the module shows, so a record can be converted again
        engine_(host, several ? vthost::ObjectReuse::SameSettings : vthost::ObjectReuse::NewEach),
        landing_(host.Files(), several) {}

  Outcome Convert(const Molecule& m) {
    Outcome o;
    o.label = several_ ? m.input + " record " + std::to_string(m.record) : m.input;
    o.input = m.input;
    o.record = m.record;
    o.title = m.title;
    if (!m.failure.empty()) {
      o.Fail(m.failureStatus, m.failure);
      return o;
    }
    fs::path file;
    std::string error;
    if (!FileOf(m, &file, &error)) {
      o.Fail(kFailed, error);
      return o;
    }
    const vthost::Conversion conversion = engine_.Convert(RequestFor(m), file);
    for (const vthost::Told& told : conversion.told) {
      if (told.failure) {
        o.Fail(ExitStatus(conversion.status), told.text);
      } else {
        o.Note(told.text);
      }
    }
    o.atoms = conversion.atoms;
    o.bonds = conversion.bonds;
    o.detail = conversion.detail;
    landing_.Land(m, conversion, &o);
    return o;
  }

  Landing& Outputs() { return landing_; }
  void LeaveToExit() { engine_.LeaveToExit(); }

 private:
  // The file handed to the object: the input itself, or the record's text in a file of its own
  // with the input's suffix (the module reads by suffix).
  bool FileOf(const Molecule& m, fs::path* file, std::string* error) {
    if (m.fromInput) {
      std::error_code ignored;
      *file = fs::absolute(fs::u8path(m.input), ignored);
      if (file->empty()) *file = fs::u8path(m.input);
      return true;
    }
    const std::string suffix = m.input == "-" ? ".sdf" : fs::u8path(m.input).extension().u8string();
    return scratch_.Write("record" + suffix, m.text, file, error);
  }

  vthost::ConversionRequest RequestFor(const Molecule& m) const {
    vthost::ConversionRequest conversion{request_.settings, request_.maxTriangles, {}};
    for (size_t i = 0; i < m.outputs.size(); ++i) {
      if (!m.outputs[i].empty()) conversion.forms.push_back(&FormOfFile(vthost::kOutputFormats[i], m.outputs[i]));
    }
    return conversion;
  }

  const RunRequest& request_;
  bool several_;
  vthost::ConversionEngine engine_;
  Landing landing_;
  ScratchFolder scratch_;
};

}  // namespace

bool ConvertShare(vthost::Host& host, const RunRequest& request, bool several,
                  const std::function<bool(const Outcome&)>& handOn) {
  const unsigned count = std::max(1u, request.worker.count);
  const auto mine = [&](uint64_t ordinal) { return ordinal % count == request.worker.index; };
  Molecules molecules(request);
  MoleculeConverter converter(host, request, several);
  std::vector<Outcome> done;
  bool heard = true;
  const auto handOnDone = [&] {
    for (const Outcome& o : done) heard = heard && handOn(o);
    done.clear();
  };
  // input that stalls holds back no output converted before it
  molecules.OnWait([&] {
    converter.Outputs().Commit(&done);
    handOnDone();
  });
  Molecule m;
  while (heard && molecules.Next(&m, mine)) {
    if (!mine(m.ordinal)) continue;
    converter.Outputs().Stage(converter.Convert(m), &done);
    handOnDone();
  }
  if (!heard) return false;
  converter.Outputs().Commit(&done);
  handOnDone();
  converter.LeaveToExit();
  return heard;
}

int ConvertMolecules(vthost::Host& host, const RunRequest& request, const fs::path& program,
                     const std::vector<std::string>& arguments) {
  const bool several = Several(request);
  UseBinaryStandardStreams();
  // every process of the run, a worker too, keeps its outputs off the run's inputs
  for (const std::string& input : request.inputs) {
    if (input != "-") host.Files().AddInput(fs::u8path(input), "a molecule file this run reads");
  }
  if (request.worker.count > 0) {  // a worker: its share, a line each, in order; then "end"
    host.Events().SetEcho(nullptr);
    // a line the run cannot read any more (it ended) ends the worker's share
    const bool heard = ConvertShare(host, request, several, [](const Outcome& o) {
      return static_cast<bool>(std::cout << WorkerLine(o) << "\n" << std::flush);
    });
    std::cout << "end\n" << std::flush;
    return heard ? kDone : kFailed;
  }
  if (several) host.Events().SetEcho(nullptr);  // what the module shows is told with the molecule it concerns
  Results results(request, several, host.Files());
  if (several && request.jobs > 1) {
    bool converted = false;
    const int status = ConvertInWorkers(request, program, arguments, &results, &converted);
    if (status != kDone && !converted) return status;  // nothing was converted: the manifest is left as it was
    const int finished = results.Finish();
    return status != kDone ? status : finished;
  }
  ConvertShare(host, request, several, [&](const Outcome& o) {
    results.Add(o);
    return true;
  });
  return results.Finish();
}

}  // namespace vantorcli
