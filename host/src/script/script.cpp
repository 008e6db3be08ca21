// The script language of vantor-host.
//
//   load [MODULE]              loads and starts a module (default: the built vantor module)
//   new NAME                   a molecule object
//   set NAME PARAM VALUE       a user edit: the value is stored and the object hears message 17
//   press NAME BUTTON          message 18
//   answer yes|no              how later questions are answered
//   material NAME R G B        a material with a colour
//   link NAME PARAM MATERIAL   a link parameter to a material ("none" clears it)
//   delete NAME | copy NAME NEW | eval | describe NAME | dump NAME
//   save FILE | open FILE | unload
//   export NAME FILE.glb       the object's model as glTF, as the last evaluation left it
//
// PARAM is an id, a MOLOBJ_ name from the description, or MOLOBJ_ROW_NAME[row]. VALUE is read by
// the parameter's type: integers, floats, true/false, three numbers for vectors and colours, the
// rest of the line for strings and file names. press takes buttons only, link link parameters
// only. A line holds at most 1 MiB.
#include "vthost/script.h"

#include <exception>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>

#include "base/numbers.h"
#include "base/outputfiles.h"
#include "export/json.h"
#include "scene/model.h"
#include "scene/resources.h"
#include "vthost/molecule.h"

namespace vthost {
namespace {

using nlohmann::json;

// The longest script line read; a longer one stops the script (a line without end, such as
// /dev/zero, would otherwise be read until memory runs out).
constexpr size_t kMaxLineBytes = size_t{1} << 20;

// The row parameter of a name without its [row]; null for none.
const molecule::RowParameter* FindRowParameter(std::string_view name) {
  for (const molecule::RowParameter& parameter : molecule::kRowParameters) {
    if (parameter.name == name) return &parameter;
  }
  return nullptr;
}

// The data type of a row parameter's id, for rows the description does not show (yet); 0 for an
// id that is no row parameter.
int32_t RowDataType(int32_t id) {
  // a row's ids begin with its group, the first row parameter
  const int32_t first = molecule::RowParameterId(0, molecule::kRowParameters[0]);
  if (id < first || id >= first + molecule::kRowIdStride * molecule::kMaxRows) return 0;
  const int32_t offset = (id - first) % molecule::kRowIdStride + molecule::kRowParameters[0].offset;
  for (const molecule::RowParameter& parameter : molecule::kRowParameters) {
    if (parameter.offset == offset) return parameter.dataType;
  }
  return 0;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The text after the first count words, blanks around it removed.
std::string RestAfter(const std::string& line, size_t count) {
  size_t position = 0;
  for (size_t i = 0; i < count; ++i) {
    position = line.find_first_not_of(" \t", position);
    if (position == std::string::npos) return {};
    position = line.find_first_of(" \t", position);
    if (position == std::string::npos) return {};
  }
  return std::string(Trim(std::string_view(line).substr(position)));
}

std::string DataTypeName(int32_t dataType) {
  switch (dataType) {
    case VT_DATATYPE_GROUP: return "group";
    case VT_DATATYPE_INT32: return "int";
    case VT_DATATYPE_FLOAT: return "float";
    case VT_DATATYPE_STRING: return "string";
    case VT_DATATYPE_LINK: return "link";
    case VT_DATATYPE_BOOL: return "bool";
    case VT_DATATYPE_BUTTON: return "button";
    case VT_DATATYPE_VECTOR: return "vector";
    case VT_DATATYPE_COLOUR: return "colour";
    case VT_DATATYPE_FILENAME: return "filename";
    default: return "unknown";
  }
}


// Reads text as a value of the data type; false when it is not one.
bool ParseValue(int32_t dataType, const std::vector<std::string>& words, const std::string& rest, Value* value) {
  const std::string first = words.empty() ? std::string() : words[0];
  switch (dataType) {
    case VT_DATATYPE_INT32: {
      int32_t number = 0;
      double real = 0.0;
      if (words.size() != 1) return false;
      if (ParseInt32(first, &number)) return *value = number, true;
      if (ParseFloat(first, &real)) return *value = real, true;  // stored as written
      return false;
    }
    case VT_DATATYPE_FLOAT: {
      double real = 0.0;
      if (words.size() != 1 || !ParseFloat(first, &real)) return false;
      return *value = real, true;
    }
    case VT_DATATYPE_BOOL:
      if (words.size() != 1 || (first != "true" && first != "false")) return false;
      return *value = first == "true", true;
    case VT_DATATYPE_VECTOR:
    case VT_DATATYPE_COLOUR: {
      VtVector vector{};
      if (words.size() != 3 || !ParseFloat(words[0], &vector.x) || !ParseFloat(words[1], &vector.y) ||
          !ParseFloat(words[2], &vector.z)) {
        return false;
      }
      return *value = vector, true;
    }
    case VT_DATATYPE_FILENAME:
      return *value = std::filesystem::u8path(rest), true;
    case VT_DATATYPE_STRING:
      return *value = rest, true;
    default:
      return false;
  }
}

// The data type of a parameter the description does not show: read from the literal.
int32_t GuessDataType(const std::vector<std::string>& words) {
  int32_t number = 0;
  double real = 0.0;
  if (words.size() == 1 && ParseInt32(words[0], &number)) return VT_DATATYPE_INT32;
  if (words.size() == 1 && ParseFloat(words[0], &real)) return VT_DATATYPE_FLOAT;
  if (words.size() == 1 && (words[0] == "true" || words[0] == "false")) return VT_DATATYPE_BOOL;
  if (words.size() == 3 && ParseFloat(words[0], &real) && ParseFloat(words[1], &real) && ParseFloat(words[2], &real)) {
    return VT_DATATYPE_VECTOR;
  }
  return VT_DATATYPE_STRING;
}

enum class LineRead { Line, End, TooLong, Failed };

// One line, without its end, of at most kMaxLineBytes; the last line needs no end.
LineRead ReadLine(std::istream& in, std::string* line) {
  line->clear();
  // what was printed so far is out before the next line is awaited, as std::getline does it
  if (in.tie() != nullptr) in.tie()->flush();
  std::streambuf* buffer = in.rdbuf();
  if (buffer == nullptr) return LineRead::Failed;
  try {
    for (;;) {
      const int c = buffer->sbumpc();
      if (c == std::char_traits<char>::eof()) return line->empty() ? LineRead::End : LineRead::Line;
      if (c == '\n') return LineRead::Line;
      if (line->size() == kMaxLineBytes) return LineRead::TooLong;
      line->push_back(static_cast<char>(c));
    }
  } catch (const std::exception&) {
    // a file stream throws from its buffer when the file cannot be read, a folder for one
    return LineRead::Failed;
  }
}

// The id of a parameter by id, by MOLOBJ_ name or as MOLOBJ_ROW_NAME[row]; 0 with the reason when
// there is none.
int32_t ResolveParameter(Host& host, VtNode* node, const std::string& name, std::string* error) {
  int32_t id = 0;
  if (ParseInt32(name, &id) && id != 0) return id;
  const size_t bracket = name.find('[');
  if (bracket != std::string::npos && name.back() == ']') {
    const molecule::RowParameter* parameter = FindRowParameter(std::string_view(name).substr(0, bracket));
    int32_t row = 0;
    if (parameter == nullptr ||
        !ParseInt32(name.substr(bracket + 1, name.size() - bracket - 2), &row)) {
      *error = "unknown parameter '" + name + "'";
      return 0;
    }
    if (row < 0 || row >= molecule::kMaxRows) {
      *error = "no row " + std::to_string(row) + " in '" + name + "': an object has at most " +
               std::to_string(molecule::kMaxRows) + " material rows, 0 to " + std::to_string(molecule::kMaxRows - 1);
      return 0;
    }
    return molecule::RowParameterId(row, *parameter);
  }
  const auto& descriptions = host.Descriptions();
  const auto found = descriptions.find(Host::NodeType(node));
  const DescriptionEntry* entry =
      found == descriptions.end() || !found->second ? nullptr : found->second->Find(name);
  if (entry == nullptr) *error = "unknown parameter '" + name + "'";
  return entry ? entry->id : 0;
}

// The data type of the parameter as the object shows it; for a row it does not show yet, the
// row parameter's type; 0 when unknown.
int32_t ShownDataType(Host& host, VtNode* node, int32_t id) {
  // as the attribute editor shows the object before anyone edits it
  const ShownEntry* entry = host.ShownDescription(node).Find(id);
  return entry ? entry->dataType : RowDataType(id);
}

// Why a parameter of the data type is not what a command needs (such as "a link").
std::string TypeMismatch(const std::string& name, int32_t dataType, const std::string& needed) {
  if (dataType == 0) return "'" + name + "' is no parameter the object shows, so not " + needed;
  const std::string type = DataTypeName(dataType);
  return "'" + name + "' is " + (type == "int" ? "an " : "a ") + type + " parameter, not " + needed;
}

}  // namespace

int32_t FindParameterId(Host& host, VtNode* node, const std::string& name) {
  std::string ignored;
  return ResolveParameter(host, node, name, &ignored);
}

bool SetParameterFromText(Host& host, VtNode* node, const std::string& name, const std::string& text,
                          std::string* error) {
  std::string reason;
  const int32_t id = ResolveParameter(host, node, name, &reason);
  if (id == 0) {
    if (error) *error = reason;
    return false;
  }
  const std::string rest(Trim(text));
  const std::vector<std::string> valueWords = Words(rest);
  const int32_t shownType = ShownDataType(host, node, id);
  const int32_t dataType = shownType != 0 ? shownType : GuessDataType(valueWords);
  Value value;
  if (!ParseValue(dataType, valueWords, rest, &value)) {
    if (error) *error = "'" + rest + "' is not a " + DataTypeName(dataType) + " value for " + name;
    return false;
  }
  host.SetParameter(node, id, value);
  return true;
}

ScriptRunner::ScriptRunner(Host& host, std::ostream& out, std::ostream& err, std::filesystem::path defaultModule)
    : host_(host), out_(out), err_(err), defaultModule_(std::move(defaultModule)) {}

ScriptRunner::~ScriptRunner() { Unload(); }

bool ScriptRunner::Run(std::istream& script) {
  for (std::string line;;) {
    switch (ReadLine(script, &line)) {
      case LineRead::End:
        return true;
      case LineRead::TooLong:
        ++line_;
        return Fail("longer than " + std::to_string(kMaxLineBytes) + " bytes, the most a script line may hold");
      case LineRead::Failed:
        ++line_;
        return Fail("cannot read the script");
      case LineRead::Line:
        if (!RunLine(line)) return false;
        break;
    }
  }
}

bool ScriptRunner::Fail(const std::string& reason) {
  err_ << "vantor-host: line " << line_ << ": " << reason << "\n";
  return false;
}

bool ScriptRunner::RunLine(const std::string& raw) {
  ++line_;
  // a path that is not UTF-8 cannot be made on Windows (std::filesystem::u8path throws): the line
  // fails like any other
  try {
    return RunCommand(raw);
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
}

bool ScriptRunner::RunCommand(const std::string& raw) {
  const std::string line = std::string(Trim(raw));
  if (line.empty() || line[0] == '#') return true;
  const std::vector<std::string> words = Words(line);
  const std::string& command = words[0];
  if (command == "load") return Load(words);
  if (command == "unload") return words.size() == 1 ? Unload() : Fail("usage: unload");
  if (module_ == nullptr) return Fail("no module loaded: begin with 'load'");
  if (command == "new") return New(words);
  if (command == "set") return Set(words, RestAfter(line, 3));
  if (command == "press") return Press(words);
  if (command == "answer") return Answer(words);
  if (command == "material") return NewMaterial(words);
  if (command == "link") return Link(words);
  if (command == "delete") return Delete(words);
  if (command == "copy") return Copy(words);
  if (command == "eval") return words.size() == 1 ? (host_.Evaluate(document_), true) : Fail("usage: eval");
  if (command == "describe") return Describe(words);
  if (command == "dump") return Dump(words);
  if (command == "save") return Save(words, RestAfter(line, 1));
  if (command == "open") return Open(words, RestAfter(line, 1));
  if (command == "export") return Export(words, RestAfter(line, 2));
  return Fail("unknown command '" + command + "'");
}

bool ScriptRunner::FileNamed(const std::string& command, const std::string& text, std::filesystem::path* file) {
  if (!sandboxed_) return *file = std::filesystem::u8path(text), true;
  if (scratch_.empty()) return Fail("'" + command + "' names a file, which this run does not allow");
  // one plain name: no folder, no drive, nothing that leads out of the scratch folder
  const bool plain = !text.empty() && text != "." && text != ".." && text.find_first_of("/\\:") == std::string::npos &&
                     text.find('\0') == std::string::npos;
  if (!plain) return Fail("'" + command + "' may only name a file in this run's own folder, not '" + text + "'");
  *file = scratch_ / std::filesystem::u8path(text);
  return true;
}

// What dump and describe print is the work they do: output that cannot be written fails the line.
bool ScriptRunner::Print(const std::string& command, const std::string& text) {
  out_ << text << "\n" << std::flush;
  return out_ ? true : Fail("cannot write what '" + command + "' prints");
}

VtNode* ScriptRunner::Object(const std::string& name) {
  const auto named = names_.find(name);
  VtNode* node = named != names_.end() ? named->second : host_.FindByName(document_, name);
  if (node == nullptr || Host::NodeType(node) == kMaterialType) {
    Fail("no object named '" + name + "'");
    return nullptr;
  }
  return node;
}

VtNode* ScriptRunner::Material(const std::string& name) {
  VtNode* node = host_.FindByName(document_, name);
  if (node == nullptr || Host::NodeType(node) != kMaterialType) {
    Fail("no material named '" + name + "'");
    return nullptr;
  }
  return node;
}

bool ScriptRunner::Load(const std::vector<std::string>& words) {
  if (words.size() > 2) return Fail("usage: load [MODULE]");
  if (words.size() == 2 && sandboxed_) return Fail("'load' names a file, which this run does not allow");
  if (module_) return Fail("a module is loaded already");
  const std::filesystem::path file = words.size() > 1 ? std::filesystem::u8path(words[1]) : defaultModule_;
  std::string error;
  module_ = Module::Load(host_, file, &error);
  if (!module_) return Fail(error);
  if (!module_->StartUp(&error)) return Fail(error);
  document_ = host_.NewDocument();
  return true;
}

bool ScriptRunner::Unload() {
  if (!module_) return true;
  host_.CloseDocument(document_);
  document_ = nullptr;
  names_.clear();
  module_->End();
  module_.reset();
  return true;
}

bool ScriptRunner::New(const std::vector<std::string>& words) {
  if (words.size() != 2) return Fail("usage: new NAME");
  if (names_.count(words[1]) || host_.FindByName(document_, words[1])) return Fail("'" + words[1] + "' exists already");
  VtNode* node = host_.CreateObject(document_, molecule::kType, words[1]);
  if (node == nullptr) return Fail("the object could not be created");
  names_[words[1]] = node;
  return true;
}

bool ScriptRunner::Set(const std::vector<std::string>& words, const std::string& rest) {
  if (words.size() < 3) return Fail("usage: set NAME PARAM VALUE");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  std::string error;
  return SetParameterFromText(host_, node, words[2], rest, &error) || Fail(error);
}

bool ScriptRunner::Press(const std::vector<std::string>& words) {
  if (words.size() != 3) return Fail("usage: press NAME BUTTON");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  std::string error;
  const int32_t id = ResolveParameter(host_, node, words[2], &error);
  if (id == 0) return Fail(error);
  const int32_t dataType = ShownDataType(host_, node, id);
  if (dataType != VT_DATATYPE_BUTTON) return Fail(TypeMismatch(words[2], dataType, "a button"));
  host_.Press(node, id);
  return true;
}

bool ScriptRunner::Answer(const std::vector<std::string>& words) {
  if (words.size() != 2 || (words[1] != "yes" && words[1] != "no")) return Fail("usage: answer yes|no");
  host_.Options().answerYes = words[1] == "yes";
  return true;
}

bool ScriptRunner::NewMaterial(const std::vector<std::string>& words) {
  VtVector colour{};
  if (words.size() != 5 || !ParseFloat(words[2], &colour.x) || !ParseFloat(words[3], &colour.y) ||
      !ParseFloat(words[4], &colour.z)) {
    return Fail("usage: material NAME R G B");
  }
  if (names_.count(words[1]) || host_.FindByName(document_, words[1])) return Fail("'" + words[1] + "' exists already");
  host_.CreateMaterial(document_, words[1], colour);
  return true;
}

bool ScriptRunner::Link(const std::vector<std::string>& words) {
  if (words.size() != 4) return Fail("usage: link NAME PARAM MATERIAL");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  std::string error;
  const int32_t id = ResolveParameter(host_, node, words[2], &error);
  if (id == 0) return Fail(error);
  const int32_t dataType = ShownDataType(host_, node, id);
  if (dataType != VT_DATATYPE_LINK) return Fail(TypeMismatch(words[2], dataType, "a link"));
  VtNode* material = nullptr;
  if (words[3] != "none" && (material = Material(words[3])) == nullptr) return false;
  host_.SetParameter(node, id, LinkValue{material ? material->serial : 0});
  return true;
}

bool ScriptRunner::Delete(const std::vector<std::string>& words) {
  if (words.size() != 2) return Fail("usage: delete NAME");
  const auto named = names_.find(words[1]);
  VtNode* node = named != names_.end() ? named->second : host_.FindByName(document_, words[1]);
  if (node == nullptr) return Fail("nothing named '" + words[1] + "'");
  for (auto alias = names_.begin(); alias != names_.end();) {
    alias = alias->second == node ? names_.erase(alias) : std::next(alias);
  }
  host_.DeleteNode(node);
  return true;
}

bool ScriptRunner::Copy(const std::vector<std::string>& words) {
  if (words.size() != 3) return Fail("usage: copy NAME NEW");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  if (names_.count(words[2]) || host_.FindByName(document_, words[2])) return Fail("'" + words[2] + "' exists already");
  VtNode* copy = host_.Duplicate(node, words[2]);
  if (copy == nullptr) return Fail("the copy failed");
  names_[words[2]] = copy;
  return true;
}

bool ScriptRunner::Describe(const std::vector<std::string>& words) {
  if (words.size() != 2) return Fail("usage: describe NAME");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  const Description& description = host_.ShownDescription(node);
  json entries = json::array();
  for (const ShownEntry& entry : description.entries) {
    json shown = {{"id", entry.id},       {"label", entry.label},   {"type", DataTypeName(entry.dataType)},
                  {"parent", entry.parent}, {"enabled", host_.IsEnabled(node, entry.id)}};
    if (const Value* name = Lookup(entry.attributes.get(), 1); name && std::holds_alternative<std::string>(*name)) {
      if (!std::get<std::string>(*name).empty()) shown["name"] = std::get<std::string>(*name);
    }
    entries.push_back(std::move(shown));
  }
  const json printed = {{"name", Host::NodeName(node)}, {"complete", description.complete}, {"entries", entries}};
  return Print("describe", JsonText(printed));
}

bool ScriptRunner::Dump(const std::vector<std::string>& words) {
  if (words.size() != 2) return Fail("usage: dump NAME");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  const VtContainer* container = Host::NodeParameters(node);
  const json parameters = ContainerJson(host_, container);
  // the molecule object's block: a preset count, then five colours per preset
  const std::vector<StoredValue> stored = host_.StoredBlock(node);
  json presets = json::array();
  if (!stored.empty() && std::holds_alternative<int32_t>(stored[0])) {
    for (size_t first = 1; first + 5 <= stored.size(); first += 5) {
      json preset = json::array();
      for (size_t i = first; i < first + 5 && std::holds_alternative<VtVector>(stored[i]); ++i) {
        preset.push_back(VectorJson(std::get<VtVector>(stored[i])));
      }
      presets.push_back(std::move(preset));
    }
  }
  const Value* rows = Lookup(container, molecule::kRowCount);
  return Print("dump", JsonText(json{{"name", Host::NodeName(node)},
                                    {"rowCount", rows ? ValueJson(host_, *rows) : json(0)},
                                    {"presets", presets},
                                    {"parameters", parameters},
                                     {"hierarchy", HierarchyJson(host_, Host::Hierarchy(node))}}));
}

bool ScriptRunner::Save(const std::vector<std::string>& words, const std::string& rest) {
  if (words.size() < 2) return Fail("usage: save FILE");
  std::filesystem::path file;
  if (!FileNamed("save", rest, &file)) return false;
  std::string error;
  if (!host_.SaveDocument(document_, file, &error)) return Fail(error);
  return true;
}

bool ScriptRunner::Open(const std::vector<std::string>& words, const std::string& rest) {
  if (words.size() < 2) return Fail("usage: open FILE");
  std::filesystem::path file;
  if (!FileNamed("open", rest, &file)) return false;
  std::string error;
  VtDocument* opened = host_.OpenDocument(file, &error);
  if (opened == nullptr) return Fail(error);
  host_.CloseDocument(document_);
  document_ = opened;
  names_.clear();  // the opened objects go by their own names
  return true;
}

bool ScriptRunner::Export(const std::vector<std::string>& words, const std::string& rest) {
  if (words.size() < 3) return Fail("usage: export NAME FILE.glb");
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  const VtNode* model = Host::Hierarchy(node);
  if (model == nullptr) return Fail("'" + words[1] + "' has no model: evaluate it first ('eval')");
  std::filesystem::path file;
  if (!FileNamed("export", rest, &file)) return false;
  std::string error;
  // a glTF file or an empty one is replaced: a molecule file, a document or anything else is not
  if (!MayReplace(file, "glTF", "glTF file", &error)) return Fail(error);
  if (!WriteGltf(host_, model, file, &error, Host::HierarchyParameters(node))) return Fail(error);
  return true;
}

}  // namespace vthost
