// Vantor Studio's C API: the module linked in and started from its entry, one document of molecule
// objects driven as the script drives them, and each form's bytes from the conversion engine, for
// the page's JavaScript (the WebAssembly build exports every vantor_ function).
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <emscripten.h>
#include <nlohmann/json.hpp>

#include "description/parametertext.h"
#include "export/json.h"
#include "export/jsonwriter.h"
#include "resources/resourceset.h"
#include "scene/model.h"
#include "vantor_host.h"
#include "vthost/budget.h"
#include "vthost/collection.h"
#include "vthost/convert.h"
#include "vthost/description.h"
#include "vthost/formats.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/parametertable.h"
#include "vthost/report.h"
#include "vthost/script.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

// The module's questions, answered before the call returns: by the page's ask (a scripted answer or
// the browser's own modal dialog), no when it has none.
EM_JS(int, AskThePage, (const char* question), {
  return Module.ask && Module.ask(UTF8ToString(question)) ? 1 : 0;
});

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Where the build embeds res/ (--embed-file res@/vantor/res), and where opened files are kept.
const fs::path kModuleFolder = "/vantor";
const fs::path kFilesFolder = "/files";
const fs::path kDocumentsFolder = "/documents";

// The largest file the page hands over (a molecule file or a document): each is copied into the
// module's memory, kept in its file system and in the browser's storage, and read whole.
constexpr size_t kLargestFile = size_t{64} << 20;

// One session of the page: a host, the module started in it, and the script that drives them.
struct Studio {
  std::ostringstream shown;  // what the module showed, as vantor-host prints it
  std::ostringstream out, err;
  std::unique_ptr<vthost::Host> host;
  std::unique_ptr<vthost::Module> module;
  std::unique_ptr<vthost::ScriptRunner> script;
  std::unique_ptr<vthost::ConversionEngine> engine;
  std::string text;    // the last answer given as text
  bool ranOut = false;  // memory ran out in the page's last operation
  std::string bytes;   // the last export's bytes
  // The triangle budgets of objects, by serial, and the detail each last chose: kept through the
  // object's edits.
  struct Budget {
    int64_t most = 0;
    vthost::Detail detail;
  };
  std::map<uint64_t, Budget> budgets;
  // The last edit of an object's, as the object was before it: the page undoes it when the model
  // it built is too large to export.
  struct Undo {
    uint64_t serial = 0;  // 0: nothing to undo
    VtContainer parameters;
    std::map<uint64_t, Budget> budgets;
  };
  Undo undo;
};

// The page's one session, made by vantor_start: the page passes no handle, as it has one studio.
Studio* session = nullptr;

const char* Answer(std::string text) {
  session->text = std::move(text);
  return session->text.c_str();
}

VtDocument* Document() { return session->script->Document(); }

// An operation of the page on the document: false with its reason in err; memory that runs out
// fails the operation only.
template <typename Operation>
bool Guarded(Operation operation) {
  session->out.str("");
  session->err.str("");
  session->ranOut = false;
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    session->ranOut = true;
    session->err.str("memory ran out");
    return false;
  } catch (const std::exception& failure) {  // nothing may cross into the page's JavaScript
    session->err.str(failure.what());
    return false;
  }
}

// JSON for the page; a text that is not UTF-8 (a title in Latin-1) has U+FFFD where it is not.
const char* AnswerJson(const json& value) {
  return Answer(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

// A line of the script, as vantor-host --script runs it.
bool Run(const std::string& line) {
  return Guarded([&] { return session->script->RunLine(line); });
}

bool Failed(const std::string& reason) {
  session->err.str(reason);
  return false;
}

// One evaluation of the document; false when memory ran out.
bool EvaluateOnce() {
  vthost::TakeMemoryRanOut();
  session->host->Evaluate(Document());
  if (!vthost::TakeMemoryRanOut()) return true;
  session->ranOut = true;
  return Failed("memory ran out while the model was built");
}

// Each object with a budget fitted to it again, as an edit may change what its model needs; false
// with the reason when one no longer fits, that object left at the detail it had.
bool FitBudgets(bool* fitted) {
  for (VtNode* node : session->host->Nodes(Document())) {
    const auto budget = session->budgets.find(node->serial);
    if (budget == session->budgets.end()) continue;
    std::string error;
    vthost::Detail detail;
    if (!vthost::FitToBudget(*session->host, node, budget->second.most, &detail, &error)) return Failed(error);
    budget->second.detail = detail;
    *fitted = true;
  }
  return true;
}

// The document evaluated, as after every edit of a person's, and built again where a budget chose
// other detail.
bool Evaluate() {
  bool fitted = false;
  if (!EvaluateOnce() || !FitBudgets(&fitted)) return false;
  return !fitted || EvaluateOnce();
}

// The object's parameters put back as they were and given to the module as edits, so that it
// builds the model it had: after an edit whose model did not fit in memory.
void PutBack(VtNode* node, const VtContainer& before) {
  const vthost::ValueMap added = node->parameters.values;
  for (const auto& [id, value] : added) {
    if (before.values.count(id) == 0) node->parameters.values.erase(id);
  }
  for (const auto& [id, value] : before.values) {
    const auto now = node->parameters.values.find(id);
    if (now == node->parameters.values.end() || !(now->second == value)) session->host->SetParameter(node, id, value);
  }
}

// An edit of an object, undone when memory runs out while it is made or its model built: the page
// keeps the object, its model and its budget as they were, and the reason in err.
template <typename Edit>
bool UndoneIfMemoryRunsOut(VtNode* node, Edit edit) {
  const VtContainer before = node->parameters;
  const std::map<uint64_t, Studio::Budget> budgets = session->budgets;
  bool made = false;
  try {
    made = edit();
  } catch (const std::bad_alloc&) {
    session->ranOut = true;
  }
  session->undo = made ? Studio::Undo{node->serial, before, budgets} : Studio::Undo{};
  if (made || !session->ranOut) return made;
  session->budgets = budgets;
  PutBack(node, before);
  if (!Evaluate()) return false;
  return Failed("memory ran out while the model was built: the edit is undone");
}

// Files larger than kLargestFile are refused before they are copied in.
bool FileFits(double size) {
  if (size <= static_cast<double>(kLargestFile)) return true;
  std::ostringstream reason;
  reason.precision(3);
  reason << "the file is " << size / (1 << 20) << " MB: the studio opens files of up to " << (kLargestFile >> 20)
         << " MB";
  return Failed(reason.str());
}

// A whole number from the page (a JavaScript number: exact up to 2^53), not below `least`.
bool IsWholeNumber(double value, double least) {
  constexpr double kExactUpTo = 9007199254740992.0;
  return value >= least && value <= kExactUpTo && std::floor(value) == value;
}

const vthost::Detail* BudgetDetail(const VtNode* node) {
  const auto budget = session->budgets.find(node->serial);
  return budget == session->budgets.end() ? nullptr : &budget->second.detail;
}

// The record of an SD file's bytes with that number: false with the reason, as vantor-host gives it.
bool FindRecord(std::string_view bytes, uint64_t number, vthost::Record* record, std::string* error) {
  std::istringstream in{std::string(bytes)};
  vthost::RecordReader reader(in, /*whole=*/false);
  while (reader.NextNumber() <= number && reader.Next(record, /*keepText=*/reader.NextNumber() == number)) {
    if (record->number == number) return true;
  }
  const uint64_t held = reader.NextNumber() - 1;
  *error = "there is no record " + std::to_string(number) + ": the file holds " + std::to_string(held);
  return false;
}

VtNode* MoleculeNamed(const std::string& name) {
  VtNode* node = session->host->FindByName(Document(), name);
  return node != nullptr && vthost::NodeType(node) == vthost::molecule::kType ? node : nullptr;
}

// The page names objects by their names, which the module takes from the files' titles: a name
// another object has already is given a number, as a person would rename it ("caffeine.2").
void NameApart(VtNode* node) {
  node->name = vthost::WellFormedUtf8(node->name);  // the page reads names as UTF-8 and names them back
  const std::string title = node->name;
  for (int number = 2; session->host->FindByName(Document(), node->name) != node; ++number) {
    node->name = title + "." + std::to_string(number);
  }
}

// The messages the module showed since the first `before` events, joined by "; ".
std::string ShownMessages(size_t before) {
  std::string messages;
  const std::vector<vthost::Event>& events = session->host->Events().All();
  for (size_t i = before; i < events.size(); ++i) {
    if (events[i].kind != vthost::Event::Kind::Message) continue;
    messages += (messages.empty() ? "" : "; ") + events[i].text;
  }
  return messages;
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
  if (known->hidden) shown["hidden"] = true;
  if (known->minimum) shown["min"] = *known->minimum;
  if (known->maximum) shown["max"] = *known->maximum;
  if (known->step) shown["step"] = *known->step;
  if (!known->choices.empty()) shown["choices"] = known->choices;
  return shown;
}

// A name in the files' folder that no file has yet: another object's file of the same name is not
// replaced ("caffeine.mol", then "caffeine-2.mol"; the module reads by the suffix).
fs::path FreeFileName(const fs::path& name) {
  fs::path file = kFilesFolder / name;
  std::error_code unknown;
  for (int number = 2; fs::exists(file, unknown); ++number) {
    file = kFilesFolder / fs::u8path(name.stem().u8string() + "-" + std::to_string(number) + name.extension().u8string());
  }
  return file;
}

// A molecule file's bytes kept under that name in the files' folder and opened in a new object
// (vantor_open).
const char* OpenFile(const fs::path& name, std::string_view bytes) {
  const fs::path file = FreeFileName(name);
  VtNode* node = nullptr;
  const bool opened = Guarded([&] {
    if (!FileFits(static_cast<double>(bytes.size()))) return false;
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const size_t shownBefore = session->host->Events().All().size();
    node = session->host->CreateObject(Document(), vthost::molecule::kType, "Molecule");
    if (node == nullptr) return Failed("the molecule object could not be made");
    session->host->SetParameter(node, vthost::molecule::kFile, file);
    session->host->Press(node, vthost::molecule::kLoad);
    if (!Evaluate()) return false;
    const vthost::ModelCounts counts = vthost::CountModel(vthost::Hierarchy(node));
    if (counts.atoms > 0 || counts.bonds > 0) return true;
    const std::string messages = ShownMessages(shownBefore);
    return Failed(messages.empty() ? "the model is empty, with no atoms and no bonds" : messages);
  });
  if (!opened) {
    if (node != nullptr) session->host->DeleteNode(node);
    std::error_code ignored;
    fs::remove(file, ignored);
    return nullptr;
  }
  NameApart(node);
  return Answer(vthost::NodeName(node));
}

// A form of the object as its last evaluation left it, into bytes; memory that runs out while it
// is written or copied fails it with that reason.
bool ExportInto(VtNode* node, const vthost::FormatForm& form, std::string* bytes, std::string* error) {
  const std::string kRanOut = "memory ran out while the model was written";
  std::string().swap(*bytes);  // the last export's bytes give their memory to this one
  try {
    bool ranOut = false;
    const std::vector<vthost::MadeOutput> made = session->engine->Make(node, {&form}, BudgetDetail(node), &ranOut);
    if (ranOut) {
      *error = kRanOut;
      return false;
    }
    if (made[0].state != vthost::MadeOutput::State::Made) {
      *error = made[0].refusal;
      if (made[0].state == vthost::MadeOutput::State::NoModel) *error += "the object has no model";
      return false;
    }
    bytes->clear();
    for (const std::string_view piece : made[0].bytes.pieces) bytes->append(piece);
    return true;
  } catch (const std::bad_alloc&) {
    std::string().swap(*bytes);
    *error = kRanOut;
    return false;
  } catch (const std::exception& failure) {  // nothing may cross into the page's JavaScript
    std::string().swap(*bytes);
    *error = failure.what();
    return false;
  }
}

}  // namespace

extern "C" {

// Starts the host and the module: 1, or 0 with the reason in vantor_error().
int vantor_start() {
  vthost::NoteFailedNews();  // the module's own allocations that fail count as memory run out too
  session = new Studio;
  vthost::HostOptions options;
  options.log = &session->shown;
  options.ask = [](const std::string& question) { return AskThePage(question.c_str()) != 0; };
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
int vantor_script(const char* line) {
  session->undo = {};  // a line may change any object
  return Run(line) ? 1 : 0;
}

// Whether a file of that many bytes may be handed over: 1, or 0 with the reason in vantor_error().
// The page asks before it copies a file into the module's memory, which never shrinks again.
int vantor_fits(double size) {
  session->err.str("");
  return FileFits(size) ? 1 : 0;
}

const char* vantor_output() { return Answer(session->out.str()); }
const char* vantor_error() { return Answer(session->err.str()); }

// A molecule file's bytes handed to a new object as the host application would: kept under its
// name, the file name set, Load Molecule pressed, the document evaluated. The object's name; or,
// when it builds no atom and no bond, null with what the module showed (or that the model is
// empty) in vantor_error(), and the object deleted: the document is as it was.
const char* vantor_open(const char* name, const char* bytes, size_t size) {
  return OpenFile(fs::u8path(name).filename(), std::string_view(bytes, size));
}

// The records of an SD file's bytes, as a JSON array of {"number", "title"} in order.
const char* vantor_records(const char* bytes, size_t size) {
  session->err.str("");
  if (!FileFits(static_cast<double>(size))) return nullptr;
  json records = json::array();
  const bool listed = Guarded([&] {
    std::istringstream in{std::string(bytes, size)};
    vthost::RecordReader reader(in, /*whole=*/false);
    vthost::Record record;
    while (reader.Next(&record, /*keepText=*/false)) {
      records.push_back({{"number", record.number}, {"title", record.title}});
    }
    return true;
  });
  return listed ? AnswerJson(records) : nullptr;
}

// One record of an SD file (numbered from 1) opened as vantor_open opens a file: its text kept as
// a file of its own ("three.sdf" record 2 as "three-record2.sdf", the module reads by suffix).
const char* vantor_open_record(const char* name, const char* bytes, size_t size, double number) {
  session->err.str("");
  vthost::Record record;
  std::string error;
  const std::string_view file(bytes, size);
  if (!IsWholeNumber(number, 1) || !FindRecord(file, static_cast<uint64_t>(number), &record, &error)) {
    session->err << (error.empty() ? "records are numbered from 1" : error);
    return nullptr;
  }
  const fs::path named = fs::u8path(name).filename();
  const std::string kept =
      named.stem().u8string() + "-record" + std::to_string(record.number) + named.extension().u8string();
  return OpenFile(fs::u8path(kept), record.text);
}

// A user edit (message 17) of the object's parameter (named as --set names it) with the value read
// from text, then the document evaluated: 1, or 0 with the reason. What the object takes in place
// of a value out of its range is at vantor_output().
int vantor_set(const char* object, const char* parameter, const char* value) {
  return Guarded([&] {
    VtNode* node = MoleculeNamed(object);
    if (node == nullptr) return Failed("no object named '" + std::string(object) + "'");
    return UndoneIfMemoryRunsOut(node, [&] {
      std::string notice, error;
      if (!vthost::SetParameterFromText(*session->host, node, parameter, value, &notice, &error)) return Failed(error);
      session->out << notice;
      return Evaluate();
    });
  });
}

// A button of the object pressed (message 18), then the document evaluated: 1, or 0 with the reason.
int vantor_press(const char* object, const char* button) {
  return Guarded([&] {
    VtNode* node = MoleculeNamed(object);
    if (node == nullptr) return Failed("no object named '" + std::string(object) + "'");
    std::string error;
    const int32_t id = vthost::FindParameterId(*session->host, node, button, &error);
    if (id == 0) return Failed(error);
    if (vthost::ShownDataType(*session->host, node, id) != VT_DATATYPE_BUTTON) {
      return Failed("'" + std::string(button) + "' is not a button");
    }
    return UndoneIfMemoryRunsOut(node, [&] {
      session->host->Press(node, id);
      return Evaluate();
    });
  });
}

// A material of that name and colour (0 to 1 a channel) in the document: 1, or 0 when the name is
// taken.
int vantor_material(const char* name, double red, double green, double blue) {
  return Guarded([&] {
    if (session->host->FindByName(Document(), name) != nullptr) {
      return Failed("'" + std::string(name) + "' exists already");
    }
    return session->host->CreateMaterial(Document(), name, VtVector{red, green, blue}) != nullptr ||
           Failed("the material could not be made");
  });
}

// The object's link parameter pointed at the material of that name (none for an empty name), then
// the document evaluated: 1, or 0 with the reason.
int vantor_link(const char* object, const char* parameter, const char* material) {
  return Guarded([&] {
    VtNode* node = MoleculeNamed(object);
    if (node == nullptr) return Failed("no object named '" + std::string(object) + "'");
    std::string error;
    const int32_t id = vthost::FindParameterId(*session->host, node, parameter, &error);
    if (id == 0) return Failed(error);
    if (vthost::ShownDataType(*session->host, node, id) != VT_DATATYPE_LINK) {
      return Failed("'" + std::string(parameter) + "' is not a link");
    }
    VtNode* target = *material == '\0' ? nullptr : session->host->FindByName(Document(), material);
    if (*material != '\0' && (target == nullptr || vthost::NodeType(target) != VT_OBJECT_MATERIAL)) {
      return Failed("no material named '" + std::string(material) + "'");
    }
    return UndoneIfMemoryRunsOut(node, [&] {
      session->host->SetParameter(node, id, vthost::LinkValue{target ? target->serial : 0});
      return Evaluate();
    });
  });
}

// The object's triangle budget (0: none), kept through its edits as --max-triangles fits one
// conversion: the finest detail within it set, and the document evaluated. 1, or 0 with the reason
// and the budget it had before.
int vantor_budget(const char* object, double most) {
  return Guarded([&] {
    VtNode* node = MoleculeNamed(object);
    if (node == nullptr) return Failed("no object named '" + std::string(object) + "'");
    if (!IsWholeNumber(most, 0)) return Failed("a budget is a whole number of triangles, 0 for none");
    const std::map<uint64_t, Studio::Budget> before = session->budgets;
    return UndoneIfMemoryRunsOut(node, [&] {
      session->budgets.erase(node->serial);
      if (most == 0) return true;
      session->budgets[node->serial].most = static_cast<int64_t>(most);
      if (Evaluate()) return true;
      session->budgets = before;  // a budget refused leaves the object as it was, its budget too
      return false;
    });
  });
}

// The names of the document's materials, as a JSON array.
const char* vantor_materials() {
  json names = json::array();
  for (VtNode* node : session->host->Nodes(Document())) {
    if (vthost::NodeType(node) == VT_OBJECT_MATERIAL) names.push_back(vthost::NodeName(node));
  }
  return AnswerJson(names);
}

// The triangle budgets of the document's molecule objects that have one, as a JSON object by name.
const char* vantor_budgets() {
  json budgets = json::object();
  for (VtNode* node : session->host->Nodes(Document())) {
    const auto budget = session->budgets.find(node->serial);
    if (budget != session->budgets.end()) budgets[vthost::NodeName(node)] = budget->second.most;
  }
  return AnswerJson(budgets);
}

// The object deleted: 1, or 0 when there is none of that name.
int vantor_delete(const char* object) {
  VtNode* node = MoleculeNamed(object);
  if (node == nullptr) return Failed("no object named '" + std::string(object) + "'");
  session->budgets.erase(node->serial);
  if (session->undo.serial == node->serial) session->undo = {};
  session->host->DeleteNode(node);
  return 1;
}

// The object's last edit (vantor_set, vantor_press, vantor_link or vantor_budget) undone, its
// parameters and the budgets put back and the document evaluated: 1, or 0 with the reason. The page
// undoes an edit whose model was built but was too large to export.
int vantor_undo(const char* object) {
  return Guarded([&] {
    VtNode* node = MoleculeNamed(object);
    if (node == nullptr || node->serial != session->undo.serial) {
      return Failed("no edit of '" + std::string(object) + "' to undo");
    }
    const Studio::Undo undo = std::move(session->undo);
    session->undo = {};
    session->budgets = undo.budgets;
    PutBack(node, undo.parameters);
    return Evaluate();
  });
}

// A document in the host's own format in place of the current one, evaluated (the molecule files
// it names are read again from where vantor_open kept them), its objects' names told apart: 1, or
// 0 with the reason, the current document kept.
int vantor_open_document(const char* bytes, size_t size) {
  const fs::path file = kDocumentsFolder / "opened.vdoc";
  return Guarded([&] {
    if (!FileFits(static_cast<double>(size))) return false;
    fs::create_directories(kDocumentsFolder);
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes, static_cast<std::streamsize>(size));
    if (!session->script->RunLine("open " + file.u8string())) return false;
    session->budgets.clear();  // the document's objects are new ones
    session->undo = {};
    if (!Evaluate()) return false;
    for (VtNode* node : session->host->Nodes(Document())) {
      if (vthost::NodeType(node) == vthost::molecule::kType) NameApart(node);
    }
    return true;
  });
}

// The document in the host's own format: its size, the bytes at vantor_bytes(); -1 with the reason.
long vantor_save_document() {
  const fs::path file = kDocumentsFolder / "saved.vdoc";
  const bool saved = Guarded([&] {
    fs::create_directories(kDocumentsFolder);
    fs::remove(file);
    if (!session->script->RunLine("save " + file.u8string())) return false;
    std::ifstream stream(file, std::ios::binary);
    session->bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return true;
  });
  return saved ? static_cast<long>(session->bytes.size()) : -1;
}

// The names of the document's molecule objects, as a JSON array.
const char* vantor_objects() {
  json names = json::array();
  for (VtNode* node : session->host->Nodes(Document())) {
    if (vthost::NodeType(node) == vthost::molecule::kType) names.push_back(vthost::NodeName(node));
  }
  return AnswerJson(names);
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
  return AnswerJson(json{{"atoms", counts.atoms}, {"bonds", counts.bonds}, {"triangles", drawn}});
}

// The object's live description as JSON: {"name", "budget" (0: none), "entries": [{id, name, label,
// type, parent, enabled, value, help, hidden, min, max, step, choices}]}.
const char* vantor_describe(const char* object) {
  VtNode* node = MoleculeNamed(object);
  if (node == nullptr) return nullptr;
  const vthost::Description description = vthost::Describe(*session->host, node);
  const vthost::StaticDescription* fixed = session->host->Types().Description(vthost::molecule::kType);
  json entries = json::array();
  for (const vthost::ShownEntry& entry : description.entries) entries.push_back(EntryJson(node, entry, fixed));
  const auto budget = session->budgets.find(node->serial);
  const int64_t most = budget == session->budgets.end() ? 0 : budget->second.most;
  return AnswerJson(json{{"name", vthost::NodeName(node)}, {"budget", most}, {"entries", entries}});
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
  std::string error;
  if (!ExportInto(node, *form, &session->bytes, &error)) {
    session->err << error;
    return -1;
  }
  return static_cast<long>(session->bytes.size());
}

const char* vantor_bytes() { return session->bytes.data(); }

}  // extern "C"
