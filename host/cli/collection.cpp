// vantor-host's conversions. Each molecule is a record of an input: the run reads its inputs a
// record at a time, hands each record it takes to a new molecule object through a file that holds
// that record first (the input itself for its first record), evaluates it, writes what it built and
// forgets it. Workers each read every input and convert every n-th molecule; the run puts what
// they did in order.
#include "collection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <tuple>
#include <utility>
#include <variant>

#include <nlohmann/json.hpp>

#if !defined(_WIN32)
#include <unistd.h>
#else
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "vthost/description.h"
#include "vthost/export.h"
#include "vthost/files.h"
#include "vthost/molecule.h"
#include "vthost/script.h"
#include "workers.h"

namespace vantorcli {

void Error(const std::string& text) { std::cerr << "vantor-host: " << text << "\n"; }

bool StandardOutputFlushed(const std::string& what, std::string* error) {
  if (std::cout.flush()) return true;
  *error = "cannot write " + what + " to standard output" +
           (errno != 0 ? ": " + std::generic_category().message(errno) : std::string());
  return false;
}

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::ordered_json;

// Molecules whose outputs are put in place together, with one flush to disk (or those of this long).
constexpr size_t kGroupMolecules = 64;
constexpr std::chrono::milliseconds kGroupTime{250};
// The progress line is drawn at most this often.
constexpr std::chrono::milliseconds kProgressInterval{100};

bool IsMolFile(const std::string& input) {
  std::string suffix = fs::u8path(input).extension().u8string();
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return input != "-" && suffix == ".mol";
}

// The names of a run's outputs compared as written: absolute, normal, in one case where case does
// not matter.
std::string NameKey(const std::string& name) {
  std::error_code ignored;
  std::string key = fs::absolute(fs::u8path(name), ignored).lexically_normal().u8string();
#if defined(_WIN32) || defined(__APPLE__)
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
  return key;
}

// One molecule of the run, as the inputs give it.
struct Molecule {
  uint64_t ordinal = 0;  // its place in the run, from 0
  std::string input;
  uint64_t record = 1;
  std::string title;
  bool fromInput = false;  // the input itself is loaded: it holds the record first
  std::string text;        // otherwise the record's text
  std::string failure;     // it cannot be converted: why
  int failureStatus = kDone;
  std::string gltf, json, usd;  // the names of its outputs; empty for none
};

// The outputs of each molecule: the option, what it names in the request and in a molecule, and
// the suffix of its files.
struct OutputOption {
  const char* option;
  std::string CollectionRequest::*name;
  std::string Molecule::*molecule;
  const char* suffix;
};
const OutputOption kOutputs[] = {{"--json", &CollectionRequest::json, &Molecule::json, ".json"},
                                 {"--gltf", &CollectionRequest::gltf, &Molecule::gltf, ".glb"},
                                 {"--usd", &CollectionRequest::usd, &Molecule::usd, ".usdz"}};

// What came of a molecule: its line of the manifest, and what standard error is told.
struct Outcome {
  std::string input;
  uint64_t record = 1;
  std::string title;
  int64_t atoms = 0, bonds = 0;
  std::vector<std::string> outputs;
  int status = kDone;
  std::string message;  // the first failure
  // lines for standard error; false: left out under --quiet
  std::vector<std::pair<bool, std::string>> lines;
  std::vector<std::string> staged;  // outputs written and not yet put in place
  std::optional<vthost::Detail> detail;  // what --max-triangles chose
};

Json ManifestLine(const Outcome& o) {
  Json line = {{"input", o.input}, {"record", o.record}, {"title", o.title}, {"atoms", o.atoms},
               {"bonds", o.bonds}, {"outputs", o.outputs}, {"status", o.status == kDone ? "converted" : "failed"}};
  if (o.status != kDone) line["message"] = o.message;
  if (o.detail) {
    line["detail"] = {{"segments", o.detail->segments}, {"subdivisions", o.detail->subdivisions},
                      {"triangles", o.detail->triangles}};
  }
  return line;
}

std::string Dumped(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A worker's line for the run: the manifest's fields with the exit status and what standard error is told.
std::string WorkerLine(const Outcome& o) {
  Json line = ManifestLine(o);
  line["exit"] = o.status;
  Json lines = Json::array();
  for (const auto& [error, text] : o.lines) lines.push_back({error, text});
  line["lines"] = std::move(lines);
  return Dumped(line);
}

bool FromWorkerLine(const std::string& text, Outcome* o) {
  const Json line = Json::parse(text, nullptr, false);
  if (!line.is_object() || !line.contains("exit")) return false;
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

// A folder of the run's own for the files that hold a record first, removed at the end.
class ScratchFolder {
 public:
  ~ScratchFolder() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }
  // false with the reason.
  bool Make(std::string* error) {
    if (!folder_.empty()) return true;
    std::error_code failure;
    const fs::path temporary = fs::temp_directory_path(failure);
    if (failure) return *error = "no folder for temporary files: " + failure.message(), false;
#if defined(_WIN32)
    for (unsigned attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
      const fs::path folder = temporary / ("vantor-" + std::to_string(GetCurrentProcessId()) + "-" +
                                           std::to_string(attempt));
      if (fs::create_directory(folder, failure)) folder_ = folder;
    }
    if (folder_.empty()) return *error = "cannot make a temporary folder in " + temporary.u8string(), false;
#else
    std::string name = (temporary / "vantor-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) {
      return *error = "cannot make a temporary folder in " + temporary.u8string() + ": " +
                      std::generic_category().message(errno), false;
    }
    folder_ = name;
#endif
    return true;
  }
  const fs::path& Folder() const { return folder_; }

 private:
  fs::path folder_;
};

// A document that is closed however the conversion ends.
class OpenDocument {
 public:
  explicit OpenDocument(vthost::Host& host) : host_(host), document_(host.NewDocument()) {}
  ~OpenDocument() { host_.CloseDocument(document_); }
  OpenDocument(const OpenDocument&) = delete;
  OpenDocument& operator=(const OpenDocument&) = delete;
  VtDocument* get() const { return document_; }

 private:
  vthost::Host& host_;
  VtDocument* document_;
};

// Presses the load button; true when the object took the file (it marks its data changed then).
bool LoadMolecule(vthost::Host& host, VtNode* object) {
  const size_t before = vthost::NodeEvents(object).size();
  host.Press(object, vthost::molecule::kLoad);
  const std::vector<vthost::NodeEvent>& events = vthost::NodeEvents(object);
  const auto changed = [](const vthost::NodeEvent& e) {
    return e.kind == vthost::NodeEvent::Kind::Dirty && (e.value & VT_DIRTY_DATA) != 0;
  };
  return std::any_of(events.begin() + static_cast<std::ptrdiff_t>(before), events.end(), changed);
}

bool WriteStandardOutput(const vthost::Pieces& bytes, const std::string& what, std::string* error) {
  errno = 0;
  for (const std::string_view piece : bytes) std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  return StandardOutputFlushed(what, error);
}

// Each molecule handed to its own object; its outputs written at once (a run of one), or staged
// and put in place a group at a time.
class Converter {
 public:
  Converter(vthost::Host& host, const CollectionRequest& request, bool several)
      : host_(host),
        request_(request),
        several_(several),
        group_(std::make_unique<vthost::OutputGroup>(host.Files())) {}

  Outcome Convert(const Molecule& m) {
    Outcome o;
    o.input = m.input;
    o.record = m.record;
    o.title = m.title;
    label_ = several_ ? m.input + " record " + std::to_string(m.record) : m.input;
    if (!m.failure.empty()) {
      Fail(&o, m.failureStatus, several_ ? m.failure : m.input + ": " + m.failure);
      return o;
    }
    fs::path file;
    std::string error;
    if (!m.fromInput && !RecordFile(m, &file, &error)) {
      Fail(&o, kFailed, error);
      return o;
    }
    const size_t shown = host_.Events().All().size();
    Build(m, file, shown, &o);
    host_.Events().Truncate(shown);  // the next molecule's report tells what it showed only
    return o;
  }

  // Hands on the outcome once its outputs are in place. A group is put in place (flushed to disk,
  // then moved) in the background while the next is converted.
  void Stage(Outcome o, std::vector<Outcome>* done) {
    if (pending_.empty()) groupStart_ = Clock::now();
    pending_.push_back(std::move(o));
    if (pending_.size() < kGroupMolecules && Clock::now() - groupStart_ < kGroupTime) return;
    Land(done);
    flight_.group = std::move(group_);
    flight_.outcomes = std::move(pending_);
    pending_.clear();
    group_ = std::make_unique<vthost::OutputGroup>(host_.Files());
    vthost::OutputGroup* group = flight_.group.get();
    flight_.commit = std::async(std::launch::async, [group] { return group->Commit(); });
  }

  // Every output staged put in place, and every outcome handed on.
  void Commit(std::vector<Outcome>* done) {
    Land(done);
    Resolve(&pending_, group_->Commit(), done);
  }

 private:
  // The group in the background, once in place.
  void Land(std::vector<Outcome>* done) {
    if (!flight_.commit.valid()) return;
    Resolve(&flight_.outcomes, flight_.commit.get(), done);
    flight_.group.reset();
  }

  // The outputs of each outcome that were put in place, and a failure for each that was not.
  void Resolve(std::vector<Outcome>* outcomes, const std::vector<std::string>& failures, std::vector<Outcome>* done) {
    size_t next = 0;
    for (Outcome& o : *outcomes) {
      for (const std::string& name : o.staged) {
        if (failures[next].empty()) {
          o.outputs.push_back(name);
        } else {
          Fail(&o, kFailed, failures[next]);
        }
        ++next;
      }
      o.staged.clear();
      done->push_back(std::move(o));
    }
    outcomes->clear();
  }

 private:
  void Fail(Outcome* o, int status, const std::string& text) const {
    if (o->message.empty()) o->message = text;
    o->status = status;
    o->lines.emplace_back(true, several_ ? label_ + ": " + text : text);
  }
  void Note(Outcome* o, const std::string& text) const { o->lines.emplace_back(false, text); }

  // The record's text in a file of its own, with the input's suffix (the module reads by suffix).
  bool RecordFile(const Molecule& m, fs::path* file, std::string* error) {
    if (!scratch_.Make(error)) return false;
    const std::string suffix = m.input == "-" ? ".sdf" : fs::u8path(m.input).extension().u8string();
    *file = scratch_.Folder() / fs::u8path("record" + suffix);
    std::ofstream out(*file, std::ios::binary | std::ios::trunc);
    out.write(m.text.data(), static_cast<std::streamsize>(m.text.size()));
    if (out.close(), out) return true;
    *error = "cannot write the record to " + file->u8string();
    return false;
  }

  // The object's life as a person would give it: made, edited, pointed at the file, loaded and
  // evaluated; then what it generated is written out.
  void Build(const Molecule& m, const fs::path& file, size_t shown, Outcome* o) {
    OpenDocument document(host_);
    std::error_code ignored;
    const fs::path loaded = m.fromInput ? fs::absolute(fs::u8path(m.input), ignored) : file;
    const fs::path named = loaded.empty() ? fs::u8path(m.input) : loaded;
    vthost::Description described;
    VtNode* object = Made(document.get(), o, &described);
    if (object == nullptr) return;
    host_.SetParameter(object, vthost::molecule::kFile, named);
    const bool taken = LoadMolecule(host_, object);
    if (taken && request_.maxTriangles > 0 && !FitBudget(object, described, named, o)) return;
    vthost::TakeMemoryRanOut();
    host_.Evaluate(document.get());
    const bool ranOut = vthost::TakeMemoryRanOut();
    if (taken && (ranOut || vthost::Hierarchy(object) == nullptr)) {
      // an object that builds no model, or one short of what it needed: nothing is written
      return Fail(o, kFailed, label_ + ": the model could not be built" + (ranOut ? ": memory ran out" : ""));
    }
    if (!taken) {
      std::string shownMessages;
      const std::vector<vthost::Event>& events = host_.Events().All();
      for (size_t i = shown; i < events.size(); ++i) {
        if (events[i].kind == vthost::Event::Kind::Message) {
          shownMessages += (shownMessages.empty() ? " (" : "; ") + events[i].text;
        }
      }
      // what the module cannot tell: that the name is a folder's
      const std::string folder = fs::is_directory(named, ignored) ? " (it is a folder)" : "";
      Fail(o, kMoleculeNotLoaded,
           several_ ? "could not be loaded" + folder + (shownMessages.empty() ? "" : shownMessages + ")")
                    : m.input + " could not be loaded" + folder);
    }
    const VtNode* root = vthost::Hierarchy(object);
    const vthost::ModelCounts counts = vthost::CountModel(root);
    o->atoms = counts.atoms;
    o->bonds = counts.bonds;
    // a file that reads as no atoms (empty, or not V2000) loads all the same: the user hears of it
    if (taken && counts.atoms == 0 && counts.bonds == 0) {
      Note(o, label_ + ": the model is empty, with no atoms and no bonds");
    }
    // the models are made before anything is written: when memory runs out making one, every
    // file stays as it was
    std::vector<std::tuple<const std::string*, vthost::ModelBytes, const char*>> models;
    try {
      for (const auto& [name, usd] : {std::pair{&m.gltf, false}, std::pair{&m.usd, true}}) {
        if (name->empty()) continue;
        vthost::ModelBytes bytes;
        if (!taken) {
          Note(o, "no model to write to " + *name);
        } else if (MakeModel(object, *name, usd, &bytes, o)) {
          if (bytes.drawsNothing && (counts.atoms > 0 || counts.bonds > 0)) {
            Note(o, label_ + ": " + *name + " draws nothing: every atom and bond of the model has no size");
          }
          models.emplace_back(name, std::move(bytes), usd ? "the USD" : "the glTF");
        }
      }
    } catch (const std::bad_alloc&) {
      return Fail(o, kFailed, label_ + ": memory ran out while the model was written: nothing written");
    }
    if (!m.json.empty()) WriteReport(object, m.json, o);
    for (const auto& [name, bytes, what] : models) Write(*name, bytes.pieces, what, o);
  }

  // The object made and edited as a user would, and shown in the attribute editor (what it showed
  // in *shown, when asked for); null when it could not be (the molecule has failed).
  VtNode* Made(VtDocument* document, Outcome* o, vthost::Description* shown = nullptr) {
    VtNode* object = host_.CreateObject(document, vthost::molecule::kType, "Molecule");
    if (object == nullptr) return Fail(o, kFailed, "the molecule object could not be made"), nullptr;
    for (const auto& [name, value] : request_.settings) {
      std::string error;
      if (!vthost::SetParameterFromText(host_, object, name, value, &error)) {
        return Fail(o, kFailed, "--set " + name + "=" + value + ": " + error), nullptr;
      }
    }
    vthost::Description description = vthost::Describe(host_, object);  // as the attribute editor shows it
    if (shown != nullptr) *shown = std::move(description);
    return object;
  }

  // The finest detail within --max-triangles, set on the object before it is first evaluated, so
  // that the module builds the model it will write: counted on a probe made as the object was and
  // built with the least detail, whose events are forgotten. False (the molecule has failed) when
  // not even the lightest model keeps within the budget.
  bool FitBudget(VtNode* object, const vthost::Description& shown, const fs::path& file, Outcome* o) {
    const vthost::DetailRange segments = RangeOf(object, shown, vthost::molecule::kSegments);
    const vthost::DetailRange subdivisions = RangeOf(object, shown, vthost::molecule::kBondSubdivisions);
    vthost::TriangleCounter counter;
    {
      const size_t events = host_.Events().All().size();
      std::ostream* echo = host_.Events().Echo();
      host_.Events().SetEcho(nullptr);
      OpenDocument scratch(host_);
      if (VtNode* probe = Made(scratch.get(), o)) {
        host_.SetParameter(probe, vthost::molecule::kSegments, segments.lowest);
        host_.SetParameter(probe, vthost::molecule::kBondSubdivisions, subdivisions.lowest);
        host_.SetParameter(probe, vthost::molecule::kFile, file);
        LoadMolecule(host_, probe);
        host_.Evaluate(scratch.get());
        counter = vthost::CounterOf(vthost::Hierarchy(probe));
      }
      host_.Events().Truncate(events);
      host_.Events().SetEcho(echo);
      if (!counter) return false;
    }
    vthost::Detail detail;
    const std::string budget = "--max-triangles " + std::to_string(request_.maxTriangles);
    if (!vthost::FitDetail(counter, request_.maxTriangles, segments, subdivisions, &detail)) {
      Fail(o, kFailed, "the model needs " + std::to_string(detail.triangles) + " triangles at the least (" +
                           Chosen(detail) + "), more than " + budget);
      return false;
    }
    host_.SetParameter(object, vthost::molecule::kSegments, detail.segments);
    host_.SetParameter(object, vthost::molecule::kBondSubdivisions, detail.subdivisions);
    o->detail = detail;
    Note(o, label_ + ": " + std::to_string(detail.triangles) + " triangles within " + budget + ", with " +
                Chosen(detail));
    return true;
  }

  static std::string Chosen(const vthost::Detail& detail) {
    return "MOLOBJ_SEGMENTS=" + std::to_string(detail.segments) +
           " and MOLOBJ_BOND_SUBDIVISIONS=" + std::to_string(detail.subdivisions);
  }

  // The range the parameter may take: the one the object shows, up to what a --set gave it (the
  // budget never raises what the user chose).
  vthost::DetailRange RangeOf(VtNode* object, const vthost::Description& shown, int32_t id) const {
    const vthost::ShownEntry* entry = shown.Find(id);
    const auto bound = [&](int32_t key, int32_t fallback) {
      const vthost::Value* value = entry ? vthost::Lookup(entry->attributes.get(), key) : nullptr;
      if (value && std::holds_alternative<int32_t>(*value)) return std::get<int32_t>(*value);
      if (value && std::holds_alternative<double>(*value)) return static_cast<int32_t>(std::get<double>(*value));
      return fallback;
    };
    vthost::DetailRange range{bound(VT_ATTRIBUTE_MINIMUM, 0), bound(VT_ATTRIBUTE_MAXIMUM, 0)};
    range.highest = std::max(range.lowest, range.highest);
    for (const auto& [name, value] : request_.settings) {
      if (vthost::ParameterIdOf(host_, object, name) != id) continue;
      const vthost::Value* set = vthost::Lookup(vthost::NodeParameters(object), id);
      if (set && std::holds_alternative<int32_t>(*set)) {
        range.highest = std::clamp(std::get<int32_t>(*set), range.lowest, range.highest);
      }
    }
    return range;
  }

  void Write(const std::string& name, const vthost::Pieces& bytes, const std::string& what, Outcome* o) {
    std::string error;
    if (name == "-") {
      if (WriteStandardOutput(bytes, what, &error)) return o->outputs.push_back(name);
    } else if (!several_) {
      if (host_.Files().WriteOutput(fs::u8path(name), bytes, &error)) return o->outputs.push_back(name);
    } else if (group_->Stage(fs::u8path(name), bytes, &error)) {
      return o->staged.push_back(name);
    }
    Fail(o, kFailed, error);
  }

  // The report; one that holds a number JSON cannot is a failure: a file is not written then
  // (standard output has it, with the status).
  void WriteReport(const VtNode* object, const std::string& name, Outcome* o) {
    std::ostringstream report;
    std::string error;
    const bool made = vthost::WriteReport(host_, object, report, &error, o->detail ? &*o->detail : nullptr);
    report << "\n";
    const std::string text = report.str();
    if (made || name == "-") Write(name, {text}, "the report", o);
    if (!made) Fail(o, kFailed, error + ": " + (name == "-" ? "refused" : "not written"));
  }

  // The model's bytes as glTF or USD (a package for a name ending in .usdz); one that the format
  // cannot hold is refused (the molecule has failed).
  bool MakeModel(const VtNode* object, const std::string& name, bool usd, vthost::ModelBytes* bytes, Outcome* o) {
    std::string error;
    const vthost::ExportedModel model = vthost::ModelOf(object);
    bool made = false;
    if (usd) {
      auto text = std::make_shared<std::string>();
      made = vthost::UsdBytes(host_, model, vthost::IsUsdz(fs::u8path(name)), text.get(), &error);
      bytes->pieces = {*text};
      bytes->holder = std::move(text);
    } else {
      made = vthost::GltfPieces(host_, model, bytes, &error);
    }
    if (!made) Fail(o, kFailed, name + ": " + error);
    return made;
  }

  vthost::Host& host_;
  const CollectionRequest& request_;
  bool several_;
  std::string label_;
  ScratchFolder scratch_;
  std::unique_ptr<vthost::OutputGroup> group_;
  std::vector<Outcome> pending_;  // their outputs staged in group_
  Clock::time_point groupStart_;
  struct {
    std::unique_ptr<vthost::OutputGroup> group;
    std::vector<Outcome> outcomes;
    std::future<std::vector<std::string>> commit;
  } flight_;
};

// The molecules of the run in order: every chosen record of every input, named.
class Molecules {
 public:
  explicit Molecules(const CollectionRequest& request) : request_(request) {
    std::string ignored;
    // outputs are told apart as they are named where titles name them, or two templates may meet
    for (const OutputOption& output : kOutputs) {
      vthost::NameTemplate& parsed = templates_.emplace_back();
      const std::string& text = request.*output.name;
      if (text.empty()) continue;
      vthost::NameTemplate::Parse(text, &parsed, &ignored);
      registry_ = registry_ || parsed.Has(vthost::NameTemplate::kTitle);
      for (size_t earlier = 0; earlier + 1 < templates_.size(); ++earlier) {
        registry_ = registry_ || (!(request.*kOutputs[earlier].name).empty() && !parsed.Disjoint(templates_[earlier]));
      }
    }
    if (!request.manifest.empty() && request.manifest != "-") manifest_ = NameKey(request.manifest);
  }

  // The next molecule; false when there is none. mine: whether this process converts the one at
  // that place (otherwise its record's text is not kept).
  template <typename Mine>
  bool Next(Molecule* m, const Mine& mine) {
    for (;;) {
      if (!reader_ && !OpenNext()) return false;
      if (Take(m, mine)) return true;
    }
  }

 private:
  // Opens the next input; false when none is left.
  bool OpenNext() {
    while (next_ < request_.inputs.size()) {
      input_ = request_.inputs[next_++];
      stream_.close();
      stream_.clear();
      std::istream* in = &std::cin;
      if (input_ != "-" || !request_.worker.spool.empty()) {
        const fs::path file = fs::u8path(input_ == "-" ? request_.worker.spool : input_);
        std::error_code failure;
        if (!fs::is_regular_file(file, failure)) {
          // not there, a folder, a device: the module is handed it and says what it makes of it
          unreadable_ = true;
          unreadableWhy_ = fs::exists(file, failure) ? "not a regular file" : "not there";
          reader_.reset();
          return true;
        }
        stream_.open(file, std::ios::binary);
        in = &stream_;
      }
      unreadable_ = false;
      if (input_ == "-" || stream_.is_open()) {
        // where only the first record is wanted, the file itself is handed on: its title is all that is read
        const bool whole = IsMolFile(input_) || (input_ != "-" && request_.records.last == 1);
        reader_ = std::make_unique<vthost::RecordReader>(*in, whole);
        return true;
      }
      unreadable_ = true;  // there, but not for this process to read
      unreadableWhy_ = "cannot be read";
      return true;
    }
    return false;
  }

  template <typename Mine>
  bool Take(Molecule* m, const Mine& mine) {
    *m = Molecule{};
    m->input = input_;
    if (unreadable_) {
      unreadable_ = false;
      if (!request_.records.Contains(1)) {
        m->record = request_.records.first;
        m->failure = unreadableWhy_;
        m->failureStatus = kMoleculeNotLoaded;
      }
      m->fromInput = true;
      return Named(m);
    }
    vthost::Record record;
    const uint64_t number = reader_->NextNumber();
    const bool wanted = request_.records.Contains(number);
    const bool keep = wanted && mine(ordinal_) && (input_ == "-" || number > 1);
    if (number > request_.records.last || !reader_->Next(&record, keep)) {
      const bool failed = reader_->Failed();
      reader_.reset();
      if (failed) return Failed(m, number, "the file could not be read past record " + std::to_string(number - 1));
      if (number == 1 && request_.records.Contains(1) && input_ != "-") {
        m->fromInput = true;  // no record at all (an empty file): the module says what it makes of it
        return Named(m);
      }
      if (number <= request_.records.last && !request_.records.Several()) {
        return Failed(m, request_.records.first,
                      "there is no record " + std::to_string(request_.records.first) + ": the file holds " +
                          std::to_string(number - 1));
      }
      return false;
    }
    if (!wanted) return false;
    m->record = record.number;
    m->title = std::move(record.title);
    m->text = std::move(record.text);
    m->fromInput = input_ != "-" && number == 1;
    if (reader_->TooLong()) {
      m->failure = "record " + std::to_string(number) + " is longer than " +
                   std::to_string(vthost::RecordReader::kMaxRecordBytes >> 20) + " MiB: " + input_ +
                   " is read no further";
      m->failureStatus = kMoleculeNotLoaded;
    }
    return Named(m);
  }

  bool Failed(Molecule* m, uint64_t record, const std::string& why) {
    m->record = record;
    m->failure = why;
    m->failureStatus = kMoleculeNotLoaded;
    return Named(m);
  }

  // The names of its outputs; one that an earlier molecule's output has fails it.
  bool Named(Molecule* m) {
    m->ordinal = ordinal_++;
    const std::string title = vthost::SafeTitle(m->title, m->record);
    const std::string stem = vthost::StemOf(m->input);
    for (size_t i = 0; i < std::size(kOutputs); ++i) {
      if (!(request_.*kOutputs[i].name).empty()) m->*kOutputs[i].molecule = templates_[i].Expand(stem, m->record, title);
    }
    const std::string label = m->input + " record " + std::to_string(m->record);
    for (const std::string* name : {&m->json, &m->gltf, &m->usd}) {
      if (name->empty() || *name == "-" || !m->failure.empty()) continue;
      const std::string key = NameKey(*name);
      if (key == manifest_) {
        m->failure = *name + " is the manifest of this run: not written";
        m->failureStatus = kFailed;
      } else if (registry_) {
        const auto [earlier, added] = written_.emplace(key, label);
        if (!added) {
          m->failure = *name + " is written for " + (earlier->second == label ? "its other output" : earlier->second) +
                       ": not written twice";
          m->failureStatus = kFailed;
        }
      }
    }
    return true;
  }

  const CollectionRequest& request_;
  std::vector<vthost::NameTemplate> templates_;  // of kOutputs
  bool registry_ = false;
  std::string manifest_;
  std::map<std::string, std::string> written_;  // output names (NameKey) and the molecule that has each
  size_t next_ = 0;
  std::string input_;
  std::ifstream stream_;
  std::unique_ptr<vthost::RecordReader> reader_;
  bool unreadable_ = false;
  std::string unreadableWhy_;
  uint64_t ordinal_ = 0;
};

// How many molecules the run will convert, for the progress line: 0 when it cannot tell (standard input).
uint64_t CountMolecules(const CollectionRequest& request) {
  uint64_t total = 0;
  for (const std::string& input : request.inputs) {
    if (input == "-") return 0;
    std::ifstream in(fs::u8path(input), std::ios::binary);
    vthost::RecordReader reader(in, IsMolFile(input));
    vthost::Record record;
    uint64_t records = 0;
    while (records < request.records.last && reader.Next(&record, false)) ++records;
    total += records >= request.records.first ? records - request.records.first + 1 : 0;
  }
  return total;
}

// What the run tells of its molecules: errors and notes on standard error, a progress line on a
// terminal, the manifest, the summary; and the exit status.
class Results {
 public:
  Results(const CollectionRequest& request, bool several, const vthost::RunFiles& files)
      : request_(request), several_(several), start_(Clock::now()) {
    progress_ = several && !request.quiet && StandardErrorIsATerminal();
    if (progress_) total_ = CountMolecules(request);
    if (!request.manifest.empty() && request.manifest != "-") {
      std::string error;
      if (!manifest_.Open(files, fs::u8path(request.manifest), &error)) manifestError_ = error;
    }
  }

  void Add(const Outcome& o) {
    ClearProgress();
    for (const auto& [error, text] : o.lines) {
      if (error || !request_.quiet) Error(text);
    }
    ++(o.status == kDone ? converted_ : failed_);
    if (o.status == kMoleculeNotLoaded) notLoaded_ = true;
    if (o.status == kFailed) otherwise_ = true;
    if (!request_.manifest.empty()) {
      const std::string line = Dumped(ManifestLine(o)) + "\n";
      std::string error;
      if (request_.manifest == "-" && !WriteStandardOutput({line}, "the manifest", &error) && manifestError_.empty()) {
        manifestError_ = error;
      }
      if (request_.manifest != "-") manifest_.Append(line);
    }
    DrawProgress();
  }

  int Finish() {
    ClearProgress();
    if (!request_.manifest.empty() && request_.manifest != "-" && manifestError_.empty()) {
      std::string error;
      if (!manifest_.Finish(&error)) manifestError_ = error;
    }
    if (!manifestError_.empty()) Error(manifestError_);
    if (several_) {
      const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
      char summary[160];
      std::snprintf(summary, sizeof summary, "%llu molecules converted, %llu failed in %.2f s",
                    static_cast<unsigned long long>(converted_), static_cast<unsigned long long>(failed_), seconds);
      std::cerr << summary << "\n";
    }
    if (notLoaded_) return kMoleculeNotLoaded;
    return otherwise_ || !manifestError_.empty() ? kFailed : kDone;
  }

 private:
  void DrawProgress() {
    if (!progress_) return;
    const Clock::time_point now = Clock::now();
    if (now - drawn_ < kProgressInterval) return;
    drawn_ = now;
    const uint64_t done = converted_ + failed_;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    char line[160];
    if (total_ > 0 && rate > 0) {
      std::snprintf(line, sizeof line, "%llu/%llu molecules, %.1f a second, %.0f s left",
                    static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_), rate,
                    static_cast<double>(total_ > done ? total_ - done : 0) / rate);
    } else {
      std::snprintf(line, sizeof line, "%llu molecules, %.1f a second", static_cast<unsigned long long>(done), rate);
    }
    std::cerr << "\r" << line << "\x1b[K" << std::flush;
    shown_ = true;
  }
  void ClearProgress() {
    if (shown_) std::cerr << "\r\x1b[K" << std::flush;
    shown_ = false;
  }

  const CollectionRequest& request_;
  bool several_;
  Clock::time_point start_, drawn_;
  bool progress_ = false, shown_ = false;
  uint64_t total_ = 0, converted_ = 0, failed_ = 0;
  bool notLoaded_ = false, otherwise_ = false;
  vthost::GrowingOutput manifest_;
  std::string manifestError_;
};

// The molecules this process converts (all of them, or a worker's share), each outcome handed on
// in order.
template <typename Done>
void ConvertShare(vthost::Host& host, const CollectionRequest& request, bool several, const Done& handOn) {
  const unsigned count = std::max(1u, request.worker.count);
  const auto mine = [&](uint64_t ordinal) { return ordinal % count == request.worker.index; };
  Molecules molecules(request);
  Converter converter(host, request, several);
  std::vector<Outcome> done;
  Molecule m;
  while (molecules.Next(&m, mine)) {
    if (!mine(m.ordinal)) continue;
    converter.Stage(converter.Convert(m), &done);
    for (const Outcome& o : done) handOn(o);
    done.clear();
  }
  converter.Commit(&done);
  for (const Outcome& o : done) handOn(o);
}

// Every molecule converted by workers, each a process of this program given the run's
// arguments and its share; what they did put in order.
int ConvertInWorkers(const CollectionRequest& request, const fs::path& program,
                     const std::vector<std::string>& arguments, Results* results) {
  ScratchFolder scratch;
  std::string spool, error;
  if (std::find(request.inputs.begin(), request.inputs.end(), "-") != request.inputs.end()) {
    // every worker reads standard input: from a file that holds what it held
    if (!scratch.Make(&error)) return Error(error), kFailed;
    spool = (scratch.Folder() / "stdin.sdf").u8string();
    std::ofstream out(fs::u8path(spool), std::ios::binary);
    out << std::cin.rdbuf();
    if (out.close(), !out) return Error("cannot keep standard input in " + spool), kFailed;
  }
  std::vector<std::unique_ptr<WorkerProcess>> workers;
  for (unsigned i = 0; i < request.jobs; ++i) {
    std::vector<std::string> words{"--worker", std::to_string(i) + "/" + std::to_string(request.jobs)};
    if (!spool.empty()) words.insert(words.end(), {"--worker-stdin", spool});
    words.insert(words.end(), arguments.begin(), arguments.end());
    workers.push_back(std::make_unique<WorkerProcess>());
    if (!workers.back()->Start(program, words, &error)) return Error(error), kFailed;
  }
  int status = kDone;
  std::string line;
  for (uint64_t ordinal = 0;; ++ordinal) {
    WorkerProcess& worker = *workers[ordinal % request.jobs];
    Outcome o;
    if (!worker.ReadLine(&line)) {
      const int ended = worker.Wait();
      if (ordinal == 0 && (ended == kBadArguments || ended == kFailed)) return ended;  // it said why
      Error("worker " + std::to_string(ordinal % request.jobs + 1) + " ended before its work was done (status " +
            std::to_string(ended) + ")");
      status = kFailed;
      break;
    }
    if (line == "end") break;
    if (!FromWorkerLine(line, &o)) {
      Error("worker " + std::to_string(ordinal % request.jobs + 1) + " wrote what is not a result: " + line);
      status = kFailed;
      break;
    }
    results->Add(o);
  }
  if (status != kDone) return status;
  for (auto& worker : workers) {
    while (worker->ReadLine(&line)) {
    }
    const int ended = worker->Wait();
    if (ended != kDone) Error("a worker ended with status " + std::to_string(ended)), status = kFailed;
  }
  return status;
}

bool CheckSeveral(const CollectionRequest& request, std::string* error) {
  std::vector<std::pair<const char*, vthost::NameTemplate>> templates;
  for (const OutputOption& output : kOutputs) {
    const char* option = output.option;
    const std::string* text = &(request.*output.name);
    if (text->empty()) continue;
    if (*text == "-") {
      return *error = std::string(option) + " - writes one molecule, and this run converts several: give a name "
                                            "template such as {stem}-{record}" + output.suffix, false;
    }
    vthost::NameTemplate parsed;
    if (!vthost::NameTemplate::Parse(*text, &parsed, error)) return *error = std::string(option) + " " + *error, false;
    if (!parsed.HasAny()) {
      return *error = std::string(option) + " " + *text +
                      " names one file for several molecules: add {stem}, {record} or {title}", false;
    }
    templates.emplace_back(option, std::move(parsed));
  }
  const bool manyRecords = std::any_of(request.inputs.begin(), request.inputs.end(), [&](const std::string& input) {
    return !IsMolFile(input) && request.records.Several();
  });
  using T = vthost::NameTemplate;
  for (const auto& [option, t] : templates) {
    const std::string named = std::string(option) + " " + t.Text();
    if (manyRecords && !t.Has(T::kRecord | T::kTitle)) {
      return *error = named + " gives every record of an input one name: add {record} or {title}", false;
    }
    if (request.inputs.size() > 1 && !t.Has(T::kStem | T::kTitle)) {
      return *error = named + " gives the molecules of every input one name: add {stem} or {title}", false;
    }
    if (request.inputs.size() > 1 && !t.Has(T::kTitle)) {
      std::map<std::string, std::string> stems;
      for (const std::string& input : request.inputs) {
        std::string stem = vthost::StemOf(input);
        for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto [earlier, added] = stems.emplace(stem, input);
        if (!added) {
          return *error = named + " gives " + earlier->second + " and " + input + " one name, as {stem} is " +
                          vthost::StemOf(input) + " for both: add {title}, or give the files apart", false;
        }
      }
    }
    const fs::path folder = fs::u8path(t.FixedFolder());
    std::error_code failure;
    if (!fs::is_directory(folder, failure)) {
      return *error = named + ": the folder " + folder.u8string() + " is not there", false;
    }
  }
  for (size_t a = 0; a < templates.size(); ++a) {
    for (size_t b = a + 1; b < templates.size(); ++b) {
      if (templates[a].second.Text() == templates[b].second.Text()) {
        return *error = std::string(templates[a].first) + " and " + templates[b].first + " name the same files, " +
                        templates[a].second.Text(), false;
      }
    }
  }
  return true;
}

}  // namespace

bool Several(const CollectionRequest& request) {
  uint64_t most = 0;
  for (const std::string& input : request.inputs) {
    most += IsMolFile(input) ? 1 : request.records.Several() ? 2 : 1;
  }
  return most > 1;
}

// Whether an output is standard output: "-", or a name of its descriptor (/dev/stdout).
bool IsStandardOutput(const std::string& name) { return name == "-" || vthost::DescriptorOf(fs::u8path(name)) == 1; }

// Whether two outputs of one molecule end in one file: by two names, or as standard output and
// the file it was sent to (--json - --gltf f >f).
bool OneFile(const std::string& first, const std::string& second) {
  if (first != "-" && second != "-") return vthost::SameFile(fs::u8path(first), fs::u8path(second));
#if defined(_WIN32)
  return false;
#else
  std::error_code failure;
  return fs::is_regular_file("/dev/stdout", failure) &&
         vthost::SameFile("/dev/stdout", fs::u8path(first == "-" ? second : first));
#endif
}

bool CheckCollection(const CollectionRequest& request, const fs::path& module, std::string* error) {
  const bool several = Several(request);
  if (several && !CheckSeveral(request, error)) return false;
  std::error_code ignored;
  vthost::RunFiles resources;  // by name and as files: a link in res/ to a file elsewhere, a hard link
  resources.AddInputFolder(fs::absolute(module, ignored).parent_path() / "res", "res");
  std::vector<std::pair<std::string, vthost::ResolvedName>> inputs{{"the module file", vthost::ResolvedName(module)}};
  for (const std::string& input : request.inputs) {
    if (input != "-") inputs.emplace_back("the molecule file", vthost::ResolvedName(fs::u8path(input)));
  }
  for (const auto& [option, file] : {std::pair{"--json", request.json}, std::pair{"--gltf", request.gltf},
                                     std::pair{"--usd", request.usd}, std::pair{"--manifest", request.manifest}}) {
    if (file.empty() || file == "-" || (several && option != std::string("--manifest"))) continue;
    const vthost::ResolvedName output(fs::u8path(file));
    for (const auto& [what, input] : inputs) {
      if (output.SameFile(input)) {
        return *error = std::string(option) + " names " + what + " " + file + ", which it would overwrite", false;
      }
    }
    std::string ignoredReason;
    if (!resources.MayWrite(fs::u8path(file), &ignoredReason)) {
      return *error = std::string(option) + " names " + file + ", in the module's res folder, which it reads", false;
    }
  }
  // two outputs into one: standard output twice, or (in a run of one molecule) one file by two names;
  // the names of several molecules are told apart as they are made
  const std::pair<const char*, const std::string*> outputs[] = {
      {"--json", &request.json}, {"--gltf", &request.gltf}, {"--usd", &request.usd}, {"--manifest", &request.manifest}};
  for (size_t a = 0; a < std::size(outputs); ++a) {
    for (size_t b = a + 1; b < std::size(outputs); ++b) {
      const std::string& first = *outputs[a].second;
      const std::string& second = *outputs[b].second;
      if (first.empty() || second.empty()) continue;
      const std::string both = std::string(outputs[a].first) + " and " + outputs[b].first;
      if (IsStandardOutput(first) && IsStandardOutput(second)) {
        return *error = both + " cannot both write to standard output", false;
      }
      if (!several && OneFile(first, second)) {
        return *error = both + " name the same file, " + (first == "-" ? second : first), false;
      }
    }
  }
  return true;
}

int ConvertMolecules(vthost::Host& host, const CollectionRequest& request, const fs::path& program,
                     const std::vector<std::string>& arguments) {
  const bool several = Several(request);
  UseBinaryStandardStreams();
  if (request.worker.count > 0) {  // a worker: its share, a line each, in order; then "end"
    host.Events().SetEcho(nullptr);
    ConvertShare(host, request, several, [](const Outcome& o) { std::cout << WorkerLine(o) << "\n" << std::flush; });
    std::cout << "end\n" << std::flush;
    return kDone;
  }
  for (const std::string& input : request.inputs) {
    if (input != "-") host.Files().AddInput(fs::u8path(input), "a molecule file this run reads");
  }
  if (several) host.Events().SetEcho(nullptr);  // what the module shows is told with the molecule it concerns
  Results results(request, several, host.Files());
  if (several && request.jobs > 1) {
    const int status = ConvertInWorkers(request, program, arguments, &results);
    if (status == kBadArguments) return status;  // nothing was converted, and the manifest is left as it was
    const int finished = results.Finish();
    return status != kDone ? status : finished;
  }
  ConvertShare(host, request, several, [&](const Outcome& o) { results.Add(o); });
  return results.Finish();
}

}  // namespace vantorcli
