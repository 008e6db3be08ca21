// The life of one molecule object in a conversion, and the bytes of each form made from it.
#include "vthost/convert.h"

#include <algorithm>
#include <new>
#include <optional>
#include <system_error>
#include <variant>

#include "export/plainmodel.h"
#include "export/shapecache.h"
#include "scene/model.h"
#include "vthost/description.h"
#include "vthost/molecule.h"
#include "vthost/report.h"

namespace vthost {
namespace {

namespace fs = std::filesystem;

// The name a new molecule object is given; loading a file whose title line is empty keeps it.
const char* const kObjectName = "Molecule";

// A document that is closed however the conversion ends.
class OpenDocument {
 public:
  explicit OpenDocument(Host& host) : host_(host), document_(host.NewDocument()) {}
  ~OpenDocument() { host_.CloseDocument(document_); }
  OpenDocument(const OpenDocument&) = delete;
  OpenDocument& operator=(const OpenDocument&) = delete;
  VtDocument* get() const { return document_; }

 private:
  Host& host_;
  VtDocument* document_;
};

// The host's events silenced and, once it ends, those a probe made forgotten.
class QuietProbe {
 public:
  explicit QuietProbe(Host& host)
      : host_(host), events_(host.Events().All().size()), echo_(Silenced(host)), document_(host) {}
  ~QuietProbe() {
    host_.Events().Truncate(events_);
    host_.Events().SetEcho(echo_);
  }
  QuietProbe(const QuietProbe&) = delete;
  QuietProbe& operator=(const QuietProbe&) = delete;
  VtDocument* document() const { return document_.get(); }

 private:
  // The echo the host had, now none.
  static std::ostream* Silenced(Host& host) {
    std::ostream* echo = host.Events().Echo();
    host.Events().SetEcho(nullptr);
    return echo;
  }

  Host& host_;
  size_t events_;
  std::ostream* echo_;
  OpenDocument document_;
};

// Presses the load button; true when the object took the file (it marks its data changed then).
bool LoadMolecule(Host& host, VtNode* object) {
  const size_t before = NodeEvents(object).size();
  host.Press(object, molecule::kLoad);
  const std::vector<NodeEvent>& events = NodeEvents(object);
  const auto changed = [](const NodeEvent& e) {
    return e.kind == NodeEvent::Kind::Dirty && (e.value & VT_DIRTY_DATA) != 0;
  };
  return std::any_of(events.begin() + static_cast<std::ptrdiff_t>(before), events.end(), changed);
}

std::string Chosen(const Detail& detail) {
  return "MOLOBJ_SEGMENTS=" + std::to_string(detail.segments) +
         " and MOLOBJ_BOND_SUBDIVISIONS=" + std::to_string(detail.subdivisions);
}

// The range the parameter may take: the one the object shows, up to what a setting gave it (the
// budget never raises what the user chose).
DetailRange RangeOf(Host& host, VtNode* object, const Description& shown, const Settings& settings, int32_t id) {
  const ShownEntry* entry = shown.Find(id);
  const auto bound = [&](int32_t key, int32_t fallback) {
    const Value* value = entry ? Lookup(entry->attributes.get(), key) : nullptr;
    if (value && std::holds_alternative<int32_t>(*value)) return std::get<int32_t>(*value);
    if (value && std::holds_alternative<double>(*value)) return static_cast<int32_t>(std::get<double>(*value));
    return fallback;
  };
  DetailRange range{bound(VT_ATTRIBUTE_MINIMUM, 0), bound(VT_ATTRIBUTE_MAXIMUM, 0)};
  range.highest = std::max(range.lowest, range.highest);
  for (const auto& [name, value] : settings) {
    if (ParameterIdOf(host, object, name) != id) continue;
    const Value* set = Lookup(NodeParameters(object), id);
    if (set && std::holds_alternative<int32_t>(*set)) {
      range.highest = std::clamp(std::get<int32_t>(*set), range.lowest, range.highest);
    }
  }
  return range;
}

// The messages the module showed since the first `shown` events: " (one; two)", or nothing.
std::string ShownMessages(const Host& host, size_t shown) {
  std::string messages;
  const std::vector<Event>& events = host.Events().All();
  for (size_t i = shown; i < events.size(); ++i) {
    if (events[i].kind == Event::Kind::Message) messages += (messages.empty() ? " (" : "; ") + events[i].text;
  }
  return messages.empty() ? messages : messages + ")";
}

}  // namespace

ConversionEngine::ConversionEngine(Host& host, ObjectReuse reuse)
    : host_(host), shapes_(std::make_unique<ShapeCache>()), reuse_(reuse) {}

ConversionEngine::~ConversionEngine() {
  shapes_.reset();
  CloseLast();
}

// The last conversion's document is closed when the next begins, or with the engine, after the
// bytes made from it are gone: its many small blocks are freed last, so that freeing the large
// blocks of a model does not first sort them all into the allocator's free lists (3% of a large
// molecule's conversion).
void ConversionEngine::CloseLast() {
  if (last_ != nullptr) host_.CloseDocument(last_);
  last_ = nullptr;
  kept_ = nullptr;
}

void ConversionEngine::LeaveToExit() {
  if (FreeAtExit()) return;
  last_ = nullptr;
  kept_ = nullptr;
  static_cast<void>(shapes_.release());
}

void Conversion::Fail(ConversionStatus failed, const std::string& text) {
  if (message.empty()) message = text;
  status = failed;
  told.push_back({true, text});
}

Conversion ConversionEngine::Convert(const ConversionRequest& request, const fs::path& file) {
  Conversion outcome;
  const size_t shown = host_.Events().All().size();
  if (VtNode* object = Reused(request.settings)) {
    const bool whole = Life(request, file, object, keptShown_, shown, &outcome);
    host_.Events().Truncate(shown);
    if (whole && outcome.status == ConversionStatus::Converted) return outcome;
    // what a failed or short load leaves in an object (the last model, the last molecule) is not
    // what a new object holds: the file again, in one
    outcome = Conversion();
  }
  CloseLast();
  last_ = host_.NewDocument();
  TakeMemoryRanOut();
  Description described;
  if (VtNode* object = Made(last_, request.settings, &outcome, &described)) {
    // an object short of memory while it was made may lack part of its element table
    const bool madeWhole = !TakeMemoryRanOut();
    Keep(object, request.settings, std::move(described));
    const bool whole = Life(request, file, object, keptShown_, shown, &outcome);
    if (!madeWhole || !whole || outcome.status != ConversionStatus::Converted) kept_ = nullptr;
  }
  host_.Events().Truncate(shown);  // the next conversion's report tells what it showed only
  return outcome;
}

// Between loads the module keeps its element table, its presets and its material rows as the
// last evaluation pulled them from the parameters, and reads all else from the parameters at the
// next: parameters as they were made and the name a new object has make it one just made. Of what
// the host keeps, the events are dropped (they would grow with every record) and the cached model
// is replaced by the next evaluation, since the load marks the object changed.
VtNode* ConversionEngine::Reused(const Settings& settings) {
  if (reuse_ != ObjectReuse::SameSettings || kept_ == nullptr || settings != keptSettings_) return nullptr;
  std::unique_ptr<VtContainer> parameters(CopyContainer(*keptParameters_));
  if (parameters == nullptr) {
    kept_ = nullptr;
    return nullptr;
  }
  kept_->parameters = std::move(*parameters);
  kept_->name = kObjectName;
  kept_->events.clear();
  return kept_;
}

void ConversionEngine::Keep(VtNode* object, const Settings& settings, Description shown) {
  keptShown_ = std::move(shown);
  kept_ = nullptr;
  if (reuse_ != ObjectReuse::SameSettings) return;
  keptParameters_.reset(CopyContainer(object->parameters));
  if (keptParameters_ == nullptr) return;
  kept_ = object;
  keptSettings_ = settings;
}

bool ConversionEngine::Life(const ConversionRequest& request, const fs::path& file, VtNode* object,
                            const Description& shown, size_t events, Conversion* outcome) {
  VtDocument* document = object->document;
  host_.SetParameter(object, molecule::kFile, file);
  const bool taken = LoadMolecule(host_, object);
  if (taken && request.maxTriangles > 0 && !FitBudget(request, object, shown, file, outcome)) return false;
  const bool loadedWhole = !TakeMemoryRanOut();
  host_.Evaluate(document);
  const bool ranOut = TakeMemoryRanOut();
  if (taken && (ranOut || Hierarchy(object) == nullptr)) {
    // an object that builds no model, or one short of what it needed: nothing is made
    outcome->Fail(ConversionStatus::Failed,
                  std::string("the model could not be built") + (ranOut ? ": memory ran out" : ""));
    return false;
  }
  if (!taken) {
    // what the module cannot tell: that the name is a folder's
    std::error_code ignored;
    const std::string folder = fs::is_directory(file, ignored) ? " (it is a folder)" : "";
    outcome->Fail(ConversionStatus::NotLoaded, "could not be loaded" + folder + ShownMessages(host_, events));
  }
  const ModelCounts counts = CountModel(Hierarchy(object));
  outcome->atoms = counts.atoms;
  outcome->bonds = counts.bonds;
  if (taken && counts.atoms == 0 && counts.bonds == 0 && !KeepsEmptyModel(file, outcome)) return false;
  bool memoryRanOut = false;
  outcome->outputs =
      MakeForms(object, request.forms, outcome->detail ? &*outcome->detail : nullptr, taken, &memoryRanOut);
  if (memoryRanOut) {
    outcome->Fail(ConversionStatus::Failed, "memory ran out while the model was written: nothing written");
  }
  return loadedWhole;
}

// A file that reads as no atoms (empty, a damaged counts line, no symbol the element table knows)
// loads all the same, and its model is nothing: it fails, and nothing is made. A model that the
// settings left empty (hydrogens hidden, bonds only of a lone atom) is the user's: it is made, and
// told. A file that cannot be read twice (a pipe, a device) is not read again to tell which: its
// empty model is made, and told. False when it failed.
bool ConversionEngine::KeepsEmptyModel(const fs::path& file, Conversion* outcome) {
  std::error_code unknown;
  if (!fs::is_regular_file(file, unknown)) {
    outcome->Note("the model is empty");
    return true;
  }
  const ModelCounts read = ReadCounts(file);
  if (read.atoms == 0) {
    outcome->Fail(ConversionStatus::NotLoaded, "no atom could be read: the model would be empty, nothing written");
    return false;
  }
  outcome->Note("the model is empty: the parameters set draw none of its " + std::to_string(read.atoms) + " atoms");
  return true;
}

ModelCounts ConversionEngine::ReadCounts(const fs::path& file) {
  QuietProbe probe(host_);
  VtNode* object = host_.CreateObject(probe.document(), molecule::kType, kObjectName);
  if (object == nullptr) return {};
  host_.SetParameter(object, molecule::kFile, file);
  LoadMolecule(host_, object);
  host_.Evaluate(probe.document());
  return CountModel(Hierarchy(object));
}

std::vector<MadeOutput> ConversionEngine::Make(const VtNode* object, const std::vector<const FormatForm*>& forms,
                                               const Detail* detail, bool* ranOut) {
  return MakeForms(object, forms, detail, /*loaded=*/true, ranOut);
}

std::vector<MadeOutput> ConversionEngine::MakeForms(const VtNode* object, const std::vector<const FormatForm*>& forms,
                                                    const Detail* detail, bool loaded, bool* ranOut) {
  const ExportedModel exported = ModelOf(object);
  const bool hasModel = loaded && exported.root != nullptr;
  std::vector<MadeOutput> made(forms.size());
  *ranOut = false;
  try {
    // the model once for every 3D format, then each form: when memory runs out, nothing is made
    std::optional<PlainModel> model;
    const auto fromModel = [](const FormatForm* form) { return FormatOf(*form).fromModel; };
    if (hasModel && std::any_of(forms.begin(), forms.end(), fromModel)) {
      model = BuildPlainModel(host_, exported, shapes_.get());
    }
    const FormSource source{host_, object, detail, model ? &*model : nullptr};
    for (size_t i = 0; i < forms.size(); ++i) {
      MadeOutput& output = made[i];
      output.form = forms[i];
      if (fromModel(forms[i]) && !hasModel) {
        output.state = MadeOutput::State::NoModel;
      } else if (!forms[i]->make(source, &output.bytes, &output.refusal)) {
        output.state = MadeOutput::State::Refused;
      }
    }
  } catch (const std::bad_alloc&) {
    *ranOut = true;
    made.clear();
  }
  return made;
}

// The object made and edited as a user would, and shown in the attribute editor (what it showed in
// *shown, when asked for); null when it could not be (the conversion has failed).
VtNode* ConversionEngine::Made(VtDocument* document, const Settings& settings, Conversion* outcome,
                               Description* shown) {
  VtNode* object = host_.CreateObject(document, molecule::kType, kObjectName);
  if (object == nullptr) {
    outcome->Fail(ConversionStatus::Failed, "the molecule object could not be made");
    return nullptr;
  }
  for (const auto& [name, value] : settings) {
    std::string error;
    if (!SetParameterFromText(host_, object, name, value, /*notice=*/nullptr, &error)) {
      outcome->Fail(ConversionStatus::Failed, "--set " + name + "=" + value + ": " + error);
      return nullptr;
    }
  }
  Description description = Describe(host_, object);  // as the attribute editor shows it
  if (shown != nullptr) *shown = std::move(description);
  return object;
}

// The finest detail within the budget, set on the object before it is first evaluated, so that the
// module builds the model it will write: counted on a probe made as the object was and built with
// the least detail, whose events are forgotten. False (the conversion has failed) when not even
// the lightest model keeps within the budget.
bool ConversionEngine::FitBudget(const ConversionRequest& request, VtNode* object, const Description& shown,
                                 const fs::path& file, Conversion* outcome) {
  const DetailRange segments = RangeOf(host_, object, shown, request.settings, molecule::kSegments);
  const DetailRange subdivisions = RangeOf(host_, object, shown, request.settings, molecule::kBondSubdivisions);
  TriangleCounter counter;
  {
    QuietProbe scratch(host_);
    if (VtNode* probe = Made(scratch.document(), request.settings, outcome)) {
      host_.SetParameter(probe, molecule::kSegments, segments.lowest);
      host_.SetParameter(probe, molecule::kBondSubdivisions, subdivisions.lowest);
      host_.SetParameter(probe, molecule::kFile, file);
      LoadMolecule(host_, probe);
      host_.Evaluate(scratch.document());
      counter = CounterOf(Hierarchy(probe));
    }
  }
  if (!counter) return false;
  Detail detail;
  const std::string budget = "--max-triangles " + std::to_string(request.maxTriangles);
  if (!FitDetail(counter, request.maxTriangles, segments, subdivisions, &detail)) {
    outcome->Fail(ConversionStatus::Failed, "the model needs " + std::to_string(detail.triangles) +
                                                " triangles at the least (" + Chosen(detail) + "), more than " + budget);
    return false;
  }
  host_.SetParameter(object, molecule::kSegments, detail.segments);
  host_.SetParameter(object, molecule::kBondSubdivisions, detail.subdivisions);
  outcome->detail = detail;
  outcome->Note(std::to_string(detail.triangles) + " triangles within " + budget + ", with " + Chosen(detail));
  return true;
}

bool FitToBudget(Host& host, VtNode* object, int64_t most, Detail* chosen, std::string* error) {
  const TriangleCounter counter = CounterOf(Hierarchy(object));
  if (!counter) {
    *error = "the object has no model";
    return false;
  }
  const Description shown = Describe(host, object);
  const DetailRange segments = RangeOf(host, object, shown, {}, molecule::kSegments);
  const DetailRange subdivisions = RangeOf(host, object, shown, {}, molecule::kBondSubdivisions);
  if (!FitDetail(counter, most, segments, subdivisions, chosen)) {
    *error = "the model needs " + std::to_string(chosen->triangles) + " triangles at the least (" +
             Chosen(*chosen) + "), more than " + std::to_string(most);
    return false;
  }
  host.SetParameter(object, molecule::kSegments, chosen->segments);
  host.SetParameter(object, molecule::kBondSubdivisions, chosen->subdivisions);
  return true;
}

}  // namespace vthost
