// A molecule's outputs landed: written at once, or staged and put in place in groups.
#include "landing.h"

#include <filesystem>

#include "workers.h"

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

// Molecules whose outputs are put in place together, with one flush to disk (or those of this long).
constexpr size_t kGroupMolecules = 64;
constexpr std::chrono::milliseconds kGroupTime{250};
// a group in place and the next staged: a signal's handler knows every file of both by name
static_assert(2 * kGroupMolecules * vthost::kOutputFormats.size() < vthost::kNamesRemovedOnSignals,
              "more outputs are staged at once than a signal's handler can remove");

}  // namespace

Landing::Landing(const vthost::RunFiles& files, bool several)
    : files_(files), several_(several), group_(std::make_unique<vthost::OutputGroup>(files)) {}

void Landing::Land(const Molecule& m, const vthost::Conversion& conversion, Outcome* o) {
  using State = vthost::MadeOutput::State;
  size_t next = 0;
  for (size_t i = 0; i < m.outputs.size(); ++i) {
    const std::string& name = m.outputs[i];
    if (name.empty()) continue;
    if (next >= conversion.outputs.size()) return;  // the conversion failed before it made any
    const vthost::MadeOutput& made = conversion.outputs[next++];
    const vthost::OutputFormat& format = vthost::FormatOf(*made.form);
    switch (made.state) {
      case State::NoModel:
        o->Note("no model to write to " + name);
        break;
      case State::Refused:
        if (!format.fromModel) {
          // a report that holds a number JSON cannot: standard output has it, with the status
          if (name == "-") Write(name, *made.form, made.bytes.pieces, o);
          o->Fail(kFailed, made.refusal + (name == "-" ? ": refused" : ": not written"));
        } else {
          o->Fail(kFailed, name + ": " + made.refusal);
        }
        break;
      case State::Made:
        if (made.bytes.drawsNothing && (conversion.atoms > 0 || conversion.bonds > 0)) {
          o->Note(name + " draws nothing: every atom and bond of the model has no size");
        }
        Write(name, *made.form, made.bytes.pieces, o);
        break;
    }
  }
}

void Landing::Write(const std::string& name, const vthost::FormatForm& form, const vthost::Pieces& bytes,
                    Outcome* o) {
  std::string error;
  const fs::path file = fs::u8path(name);
  if (name == "-") {
    if (!WriteStandardOutput(bytes, std::string(vthost::FormatOf(form).what), &error)) return o->Fail(kFailed, error);
    o->outputs.push_back(name);
    return;
  }
  if (!vthost::MayReplaceWith(file, form.magic, form.kind, &error)) {
    files_.MayWrite(file, &error);  // an input is refused as such, not for what it holds
    return o->Fail(kFailed, error);
  }
  if (several_ ? group_->Stage(file, bytes, &error) : files_.WriteOutput(file, bytes, &error)) {
    (several_ ? o->staged : o->outputs).push_back(name);
    return;
  }
  o->Fail(kFailed, error);
}

void Landing::Stage(Outcome o, std::vector<Outcome>* done) {
  if (pending_.empty()) groupStart_ = Clock::now();
  pending_.push_back(std::move(o));
  if (pending_.size() < kGroupMolecules && Clock::now() - groupStart_ < kGroupTime) return;
  LandFlight(done);
  flight_.group = std::move(group_);
  flight_.outcomes = std::move(pending_);
  pending_.clear();
  group_ = std::make_unique<vthost::OutputGroup>(files_);
  vthost::OutputGroup* group = flight_.group.get();
  const EndingSignalsHeld held;  // they are handled in this thread, not while it stages more
  flight_.commit = std::async(std::launch::async, [group] { return group->Commit(); });
}

void Landing::Commit(std::vector<Outcome>* done) {
  LandFlight(done);
  Resolve(&pending_, group_->Commit(), done);
}

void Landing::LandFlight(std::vector<Outcome>* done) {
  if (!flight_.commit.valid()) return;
  Resolve(&flight_.outcomes, flight_.commit.get(), done);
  flight_.group.reset();
}

void Landing::Resolve(std::vector<Outcome>* outcomes, const std::vector<std::string>& failures,
                      std::vector<Outcome>* done) {
  size_t next = 0;
  for (Outcome& o : *outcomes) {
    for (const std::string& name : o.staged) {
      if (failures[next].empty()) {
        o.outputs.push_back(name);
      } else {
        o.Fail(kFailed, failures[next]);
      }
      ++next;
    }
    o.staged.clear();
    done->push_back(std::move(o));
  }
  outcomes->clear();
}

}  // namespace vantorcli
