// Vantor Studio's C API: the module linked in and started from its entry, one document of molecule
// objects driven as the script drives them, and each form's bytes from the conversion engine, for
// the page's JavaScript (the WebAssembly build exports every vantor_ function).
#include <algorithm>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "description/parametertext.h"
#include "export/json.h"
#include "resources/resourceset.h"
#include "vantor_host.h"
#include "vthost/budget.h"
#include "vthost/convert.h"
#include "vthost/description.h"
#include "vthost/formats.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/parametertable.h"
#include "vthost/report.h"
#include "vthost/script.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Where the build embeds res/ (--embed-file res@/vantor/res), and where opened files are kept.
const fs::path kModuleFolder = "/vantor";
const fs::path kFilesFolder = "/files";

// One session of the page: a host, the module started in it, and the script that drives them.
struct Studio {
  std::ostringstream shown;  // what the module showed, as vantor-host prints it
  std::ostringstream out, err;
  std::unique_ptr<vthost::Host> host;
  std::unique_ptr<vthost::Module> module;
  std::unique_ptr<vthost::ScriptRunner> script;
  std::unique_ptr<vthost::ConversionEngine> engine;
  int opened = 0;      // objects made by open, for their first names
  std::string text;    // the last answer given as text
  std::string bytes;   // the last export's bytes
};

Studio* session = nullptr;

const char* Answer(std::string text) {
  session->text = std::move(text);
  return session->text.c_str();
}

// A line of the script; false with its reason in err. Memory that runs out fails the line only.
bool Run(const std::string& line) {
  session->out.str("");
  session->err.str("");
  try {
    return session->script->RunLine(line);
  } catch (const std::bad_alloc&) {
    session->err << "memory ran out\n";
    return false;
  }
}

VtDocument* Document() { return session->script->Document(); }

VtNode* MoleculeNamed(const std::string& name) {
  VtNode* node = session->host->FindByName(Document(), name);
  return node != nullptr && vthost::NodeType(node) == vthost::molecule::kType ? node : nullptr;
}

int32_t IntegerParameter(VtNode* node, int32_t id) {
  const vthost::Value* value = vthost::Lookup(vthost::NodeParameters(node), id);
  return value && std::holds_alternative<int32_t>(*value) ? std::get<int32_t>(*value) : 0;
}

// The entries of the description with what the static description adds to them (range, choices,
// default, help) and the value the object holds.
json EntryJson(VtNode* node, const vthost::ShownEntry& entry, const vthost::StaticDescription* fixed) {
  json shown = {{"id", entry.id},         {"label", entry.label}, {"type", vthost::DataTypeName(entry.dataType)},
                {"parent", entry.parent}, {"enabled", vthost::IsEnabled(node, entry.id)}};
  if (const vthost::Value* value = vthost::Lookup(vthost::NodeParameters(node), entry.id)) {
    shown["value"] = vthost::ValueJson(*session->host, *value);
  }
  const vthost::DescriptionEntry* known = fixed ? fixed->Find(entry.id) : nullptr;
  if (known == nullptr) return shown;
  shown["name"] = known->name;
  shown["help"] = known->help;
  if (known->minimum) shown["min"] = *known->minimum;
  if (known->maximum) shown["max"] = *known->maximum;
  if (known->step) shown["step"] = *known->step;
  if (!known->choices.empty()) shown["choices"] = known->choices;
  return shown;
}

}  // namespace

extern "C" {

// Starts the host and the module: 1, or 0 with the reason in vantor_error().
int vantor_start() {
  session = new Studio;
  vthost::HostOptions options;
  options.log = &session->shown;
  session->host = std::make_unique<vthost::Host>(options);
  session->module = vthost::Module::FromEntry(*session->host, c4d_main, kModuleFolder);
  std::string error;
  if (!session->module->StartUp(&error)) {
    session->err << error << "\n";
    return 0;
  }
  session->script = std::make_unique<vthost::ScriptRunner>(*session->host, session->out, session->err, fs::path());
  session->script->ShareModule(session->module.get());
  session->engine = std::make_unique<vthost::ConversionEngine>(*session->host);
  fs::create_directories(kFilesFolder);
  return Run("load") ? 1 : 0;
}

// One line of vantor-host's script ("set caffeine MOLOBJ_SEGMENTS 8"): 1, or 0 with the reason.
int vantor_script(const char* line) { return Run(line) ? 1 : 0; }

const char* vantor_output() { return Answer(session->out.str()); }
const char* vantor_error() { return Answer(session->err.str()); }

// A molecule file's bytes handed to a new object as the host application would: kept under its
// name, the file name set, Load Molecule pressed, the document evaluated. The object's name, or
// null with the reason in vantor_error().
const char* vantor_open(const char* name, const char* bytes, size_t size) {
  const fs::path file = kFilesFolder / fs::u8path(name).filename();
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes, static_cast<std::streamsize>(size));
  const std::string object = "Molecule." + std::to_string(++session->opened);
  const bool made = Run("new " + object) && Run("set " + object + " MOLOBJ_FILE " + file.u8string()) &&
                    Run("press " + object + " MOLOBJ_LOAD") && Run("eval");
  if (!made) return nullptr;
  const std::vector<VtNode*> nodes = session->host->Nodes(Document());
  return Answer(vthost::NodeName(nodes.back()));
}

// The names of the document's molecule objects, as a JSON array.
const char* vantor_objects() {
  json names = json::array();
  for (VtNode* node : session->host->Nodes(Document())) {
    if (vthost::NodeType(node) == vthost::molecule::kType) names.push_back(vthost::NodeName(node));
  }
  return Answer(names.dump());
}

// {"atoms", "bonds", "triangles"} of the object's model, as the report and the glTF count them.
const char* vantor_counts(const char* object) {
  VtNode* node = MoleculeNamed(object);
  if (node == nullptr) return nullptr;
  const vthost::ModelCounts counts = vthost::CountModel(vthost::Hierarchy(node));
  const vthost::TriangleCounter triangles = vthost::CounterOf(vthost::Hierarchy(node));
  const int64_t drawn = triangles ? triangles(IntegerParameter(node, vthost::molecule::kSegments),
                                              IntegerParameter(node, vthost::molecule::kBondSubdivisions))
                                  : 0;
  return Answer(json{{"atoms", counts.atoms}, {"bonds", counts.bonds}, {"triangles", drawn}}.dump());
}

// The object's live description as JSON: {"name", "entries": [{id, name, label, type, parent,
// enabled, value, help, min, max, step, choices}]}.
const char* vantor_describe(const char* object) {
  VtNode* node = MoleculeNamed(object);
  if (node == nullptr) return nullptr;
  const vthost::Description description = vthost::Describe(*session->host, node);
  const vthost::StaticDescription* fixed = session->host->Types().Description(vthost::molecule::kType);
  json entries = json::array();
  for (const vthost::ShownEntry& entry : description.entries) entries.push_back(EntryJson(node, entry, fixed));
  return Answer(json{{"name", vthost::NodeName(node)}, {"entries", entries}}.dump());
}

// Every parameter of the molecule object as vantor-host --parameters prints it.
const char* vantor_parameters() {
  const vthost::StaticDescription* fixed = session->host->Types().Description(vthost::molecule::kType);
  return Answer(fixed ? vthost::ParameterTable(*fixed) : std::string());
}

// What the module showed since the last call, as vantor-host prints it: [console], [message] and
// [question] lines.
const char* vantor_events() {
  std::string lines = session->shown.str();
  session->shown.str("");
  return Answer(std::move(lines));
}

// A form ("glb", "usdz", "usda", "json") of the object as its last evaluation left it: its size,
// the bytes at vantor_bytes(); -1 with the reason in vantor_error().
long vantor_export(const char* object, const char* formName) {
  session->err.str("");
  VtNode* node = MoleculeNamed(object);
  const vthost::FormatForm* form = vthost::FormNamed(formName);
  if (node == nullptr || form == nullptr) {
    session->err << (node == nullptr ? "no object named '" + std::string(object) + "'" : "no form " + std::string(formName));
    return -1;
  }
  bool ranOut = false;
  const std::vector<vthost::MadeOutput> made = session->engine->Make(node, {form}, nullptr, &ranOut);
  if (ranOut || made[0].state != vthost::MadeOutput::State::Made) {
    session->err << (ranOut ? "memory ran out while the model was written" : made[0].refusal);
    if (!ranOut && made[0].state == vthost::MadeOutput::State::NoModel) session->err << "the object has no model";
    return -1;
  }
  session->bytes.clear();
  for (const std::string_view piece : made[0].bytes.pieces) session->bytes.append(piece);
  return static_cast<long>(session->bytes.size());
}

const char* vantor_bytes() { return session->bytes.data(); }

}  // extern "C"
