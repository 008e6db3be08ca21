// The script language of vantor-host: the runner, and the table of its commands, which dispatches
// each line and writes the usage messages and the help (vantor-host --help, the README's table).
// Parameters and their values are read from text as parametertext.h says.
#include "vthost/script.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <istream>
#include <new>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "base/numbers.h"
#include "description/parametertext.h"
#include "export/json.h"
#include "scene/model.h"
#include "vthost/description.h"
#include "vthost/documents.h"
#include "vthost/formats.h"
#include "vthost/molecule.h"
#include "vthost/report.h"

namespace vthost {

// A command: its usage (its name, then its words), how many words a line of it holds (the name
// included), whether it needs a loaded module, the member that runs it, and what it does. Words are
// split as Words (parametertext.h) splits them; a command whose last word is text (a value, a file
// name) takes the rest of the line as it is for that word when the line holds more words.
struct ScriptRunner::Command {
  std::string_view usage;
  size_t least, most;
  bool needsModule;
  bool (ScriptRunner::*run)(const CommandWords& words);
  std::string_view help;
};

namespace {

using nlohmann::json;

// Command::most of a command whose last word is the rest of the line.
constexpr size_t kText = SIZE_MAX;
// Command::needsModule.
constexpr bool kModule = true, kNoModule = false;

}  // namespace

// In the order the help lists them.
const ScriptRunner::Command ScriptRunner::kCommands[] = {
    {"load [MODULE]", 1, kText, kNoModule, &ScriptRunner::Load,
     "loads and starts a module (default: the built vantor module) and opens an empty document"},
    {"new NAME", 2, 2, kModule, &ScriptRunner::New, "creates a molecule object"},
    {"set NAME PARAM VALUE", 3, kText, kModule, &ScriptRunner::Set,
     "a user edit: stores the value and sends the object message 17"},
    {"press NAME BUTTON", 3, 3, kModule, &ScriptRunner::Press,
     "presses a button (message 18); anything that is not a button is refused"},
    {"answer yes|no", 2, 2, kModule, &ScriptRunner::Answer, "how later questions are answered"},
    {"material NAME R G B", 5, 5, kModule, &ScriptRunner::NewMaterial, "a material with a colour"},
    {"link NAME PARAM MATERIAL", 4, 4, kModule, &ScriptRunner::Link,
     "points a link parameter at a material (none clears it); only link parameters"},
    {"delete NAME", 2, 2, kModule, &ScriptRunner::Delete, "deletes an object or material"},
    {"copy NAME NEW", 3, 3, kModule, &ScriptRunner::Copy, "duplicates an object"},
    {"eval", 1, 1, kModule, &ScriptRunner::Evaluate, "evaluates the document (add to execution, execute)"},
    {"describe NAME", 2, 2, kModule, &ScriptRunner::Describe,
     "prints the description as JSON: every entry's id, name, label, type, parent, enabled"},
    {"dump NAME", 2, 2, kModule, &ScriptRunner::Dump,
     "prints the object as JSON: name, rowCount, presets, parameters, hierarchy"},
    {"save FILE", 2, kText, kModule, &ScriptRunner::Save, "saves the document"},
    {"open FILE", 2, kText, kModule, &ScriptRunner::Open, "opens a document in place of the current one"},
    {"export NAME FILE.glb|FILE.usda|FILE.usdz", 3, kText, kModule, &ScriptRunner::Export,
     "writes the object's model as the last eval left it: glTF, or USD for .usda, .usd and .usdz; - is glTF to "
     "standard output; a model of no atoms and no bonds is not written, and the script fails"},
    {"unload", 1, 1, kNoModule, &ScriptRunner::Unload, "closes the document and ends the module"},
};

namespace {

// The longest script line read; a longer one stops the script (a line without end, such as
// /dev/zero, would otherwise be read until memory runs out).
constexpr size_t kMaxLineBytes = size_t{1} << 20;

// A script saved by an editor that marks UTF-8 begins with these bytes.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

// Why the last write failed, as ": reason" (the system's errno), or nothing when it did not say.
std::string WriteFailure() { return errno != 0 ? ": " + std::generic_category().message(errno) : std::string(); }

// Why a parameter of the data type is not what a command needs (such as "a link").
std::string TypeMismatch(const std::string& name, int32_t dataType, const std::string& needed) {
  if (dataType == 0) return "'" + name + "' is no parameter the object shows, so not " + needed;
  return "'" + name + "' is " + DataTypeWithArticle(dataType) + " parameter, not " + needed;
}

}  // namespace

std::string ScriptRunner::Help() {
  size_t width = 0;
  for (const Command& command : kCommands) width = std::max(width, command.usage.size());
  std::string help;
  for (const Command& command : kCommands) {
    help += "    " + std::string(command.usage) + std::string(width + 2 - command.usage.size(), ' ') +
            std::string(command.help) + "\n";
  }
  return help +
         "  Words are separated by blanks; a word with blanks goes in double quotes (\"my molecule\"),\n"
         "  inside which \\\" is a quote and \\\\ a backslash. A last word that is text (VALUE, FILE,\n"
         "  MODULE) may also stand without quotes: it is then the rest of the line.\n";
}

ScriptRunner::ScriptRunner(Host& host, std::ostream& out, std::ostream& err, std::filesystem::path defaultModule)
    : host_(host), engine_(host), out_(out), err_(err), defaultModule_(std::move(defaultModule)) {}

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
        if (line_ == 0 && line.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
          line.erase(0, kByteOrderMark.size());
        }
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
  } catch (const std::bad_alloc&) {
    return Fail("memory ran out");
  } catch (const std::exception& failure) {
    return Fail(failure.what());
  }
}

bool ScriptRunner::RunCommand(const std::string& raw) {
  const std::string line = std::string(Trim(raw));
  if (line.empty() || line[0] == '#') return true;
  // a name or value ends at a NUL for the system, which would act on another than the line says
  if (line.find('\0') != std::string::npos) return Fail("the line holds a NUL byte, which no name or value may hold");
  std::vector<Word> split;
  if (!Words(line, &split)) return Fail("a quote is not closed (inside quotes, \\\" is a quote)");
  const Command* command = Find(split[0].text);
  if ((command == nullptr || command->needsModule) && module_ == nullptr) {
    return Fail("no module loaded: begin with 'load'");
  }
  if (command == nullptr) return Fail("unknown command '" + split[0].text + "'");
  if (split.size() < command->least || split.size() > command->most) return Usage(split[0].text);
  CommandWords words;
  for (Word& word : split) words.push_back(std::move(word.text));
  const size_t last = static_cast<size_t>(std::count(command->usage.begin(), command->usage.end(), ' '));
  if (command->most == kText && words.size() > last + 1) {
    // the text word is the rest of the line as it stands, from after the word before it; quotes
    // there mean words, as everywhere in the line, and these are too many
    if (std::any_of(split.begin() + static_cast<std::ptrdiff_t>(last), split.end(),
                    [](const Word& word) { return word.quoted; })) {
      return Usage(words[0]);
    }
    words.resize(last + 1);
    words[last] = std::string(Trim(std::string_view(line).substr(split[last - 1].end)));
  }
  return (this->*command->run)(words);
}

const ScriptRunner::Command* ScriptRunner::Find(std::string_view name) {
  for (const Command& command : kCommands) {
    if (command.usage.substr(0, command.usage.find(' ')) == name) return &command;
  }
  return nullptr;
}

bool ScriptRunner::Usage(const std::string& name) { return Fail("usage: " + std::string(Find(name)->usage)); }

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
  errno = 0;
  out_ << text << "\n" << std::flush;
  return out_ ? true : Fail("cannot write what '" + command + "' prints" + WriteFailure());
}

VtNode* ScriptRunner::Object(const std::string& name) {
  const auto named = names_.find(name);
  VtNode* node = named != names_.end() ? named->second : host_.FindByName(document_, name);
  if (node == nullptr || NodeType(node) == VT_OBJECT_MATERIAL) {
    Fail("no object named '" + name + "'");
    return nullptr;
  }
  return node;
}

VtNode* ScriptRunner::Material(const std::string& name) {
  VtNode* node = host_.FindByName(document_, name);
  if (node == nullptr || NodeType(node) != VT_OBJECT_MATERIAL) {
    Fail("no material named '" + name + "'");
    return nullptr;
  }
  return node;
}

bool ScriptRunner::Taken(const std::string& name) {
  if (names_.count(name) == 0 && host_.FindByName(document_, name) == nullptr) return false;
  Fail("'" + name + "' exists already");
  return true;
}

bool ScriptRunner::Load(const CommandWords& words) {
  if (words.size() == 2 && sandboxed_) return Fail("'load' names a file, which this run does not allow");
  if (module_) return Fail("a module is loaded already");
  if (words.size() == 1 && shared_ != nullptr) {
    module_ = shared_;
  } else {
    const std::filesystem::path file = words.size() > 1 ? std::filesystem::u8path(words[1]) : defaultModule_;
    std::string error;
    owned_ = Module::Load(host_, file, &error);
    if (!owned_) return Fail(error);
    module_ = owned_.get();
    if (!module_->StartUp(&error)) return Fail(error);
  }
  document_ = host_.NewDocument();
  return true;
}

bool ScriptRunner::Unload(const CommandWords&) {
  if (!module_) return true;
  host_.CloseDocument(document_);
  document_ = nullptr;
  names_.clear();
  if (module_ == owned_.get()) {
    owned_->End();
    owned_.reset();
  }
  module_ = nullptr;
  return true;
}

bool ScriptRunner::New(const CommandWords& words) {
  if (Taken(words[1])) return false;
  VtNode* node = host_.CreateObject(document_, molecule::kType, words[1]);
  if (node == nullptr) return Fail("the object could not be created");
  names_[words[1]] = node;
  return true;
}

bool ScriptRunner::Set(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  std::string error;
  // the value may be left out: an empty text
  const std::string value = words.size() > 3 ? words[3] : std::string();
  std::string notice;
  if (!SetParameterFromText(host_, node, words[2], value, &notice, &error)) return Fail(error);
  if (!notice.empty()) err_ << "vantor-host: line " << line_ << ": " << notice << "\n";
  return true;
}

int32_t ScriptRunner::ParameterOfType(VtNode* node, const std::string& name, int32_t dataType,
                                      const std::string& needed) {
  std::string error;
  const int32_t id = FindParameterId(host_, node, name, &error);
  if (id == 0) return Fail(error), 0;
  const int32_t shown = ShownDataType(host_, node, id);
  if (shown != dataType) return Fail(TypeMismatch(name, shown, needed)), 0;
  return id;
}

bool ScriptRunner::Press(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  const int32_t id = node ? ParameterOfType(node, words[2], VT_DATATYPE_BUTTON, "a button") : 0;
  if (id == 0) return false;
  host_.Press(node, id);
  return true;
}

bool ScriptRunner::Answer(const CommandWords& words) {
  if (words[1] != "yes" && words[1] != "no") return Usage(words[0]);
  host_.Options().answerYes = words[1] == "yes";
  return true;
}

bool ScriptRunner::NewMaterial(const CommandWords& words) {
  VtVector colour{};
  if (!ParseFloat(words[2], &colour.x) || !ParseFloat(words[3], &colour.y) || !ParseFloat(words[4], &colour.z)) {
    return Usage(words[0]);
  }
  if (Taken(words[1])) return false;
  host_.CreateMaterial(document_, words[1], colour);
  return true;
}

bool ScriptRunner::Link(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  const int32_t id = node ? ParameterOfType(node, words[2], VT_DATATYPE_LINK, "a link") : 0;
  if (id == 0) return false;
  VtNode* material = nullptr;
  if (words[3] != "none" && (material = Material(words[3])) == nullptr) return false;
  host_.SetParameter(node, id, LinkValue{material ? material->serial : 0});
  return true;
}

bool ScriptRunner::Delete(const CommandWords& words) {
  const auto named = names_.find(words[1]);
  VtNode* node = named != names_.end() ? named->second : host_.FindByName(document_, words[1]);
  if (node == nullptr) return Fail("nothing named '" + words[1] + "'");
  for (auto alias = names_.begin(); alias != names_.end();) {
    alias = alias->second == node ? names_.erase(alias) : std::next(alias);
  }
  host_.DeleteNode(node);
  return true;
}

bool ScriptRunner::Copy(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  if (Taken(words[2])) return false;
  VtNode* copy = host_.Duplicate(node, words[2]);
  if (copy == nullptr) return Fail("the copy failed");
  names_[words[2]] = copy;
  return true;
}

bool ScriptRunner::Evaluate(const CommandWords&) {
  TakeMemoryRanOut();
  host_.Evaluate(document_);
  if (TakeMemoryRanOut()) return Fail("memory ran out while the document was evaluated");
  for (VtNode* node : document_->nodes) {
    if (NodeType(node) == molecule::kType && Hierarchy(node) == nullptr) {
      return Fail("'" + NodeName(node) + "' built no model");
    }
  }
  return true;
}

bool ScriptRunner::Describe(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  const Description description = vthost::Describe(host_, node);
  json entries = json::array();
  for (const ShownEntry& entry : description.entries) {
    json shown = {{"id", entry.id},       {"label", entry.label},   {"type", DataTypeName(entry.dataType)},
                  {"parent", entry.parent}, {"enabled", IsEnabled(node, entry.id)}};
    const Value* name = Lookup(entry.attributes.get(), VT_ATTRIBUTE_NAME);
    if (name && std::holds_alternative<std::string>(*name)) {
      if (!std::get<std::string>(*name).empty()) shown["name"] = std::get<std::string>(*name);
    }
    entries.push_back(std::move(shown));
  }
  const json printed = {{"name", NodeName(node)}, {"complete", description.complete}, {"entries", entries}};
  return Print("describe", JsonText(printed));
}

bool ScriptRunner::Dump(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  const VtContainer* container = NodeParameters(node);
  const json parameters = ContainerJson(host_, container);
  // the molecule object's block: a preset count, then the colours of each preset
  constexpr size_t kColours = molecule::kColoursPerPreset;
  const std::vector<StoredValue> stored = StoredBlock(node);
  json presets = json::array();
  if (!stored.empty() && std::holds_alternative<int32_t>(stored[0])) {
    for (size_t first = 1; first + kColours <= stored.size(); first += kColours) {
      json preset = json::array();
      for (size_t i = first; i < first + kColours && std::holds_alternative<VtVector>(stored[i]); ++i) {
        preset.push_back(VectorJson(std::get<VtVector>(stored[i])));
      }
      presets.push_back(std::move(preset));
    }
  }
  const Value* rows = Lookup(container, molecule::kRowCount);
  return Print("dump", JsonText(json{{"name", NodeName(node)},
                                    {"rowCount", rows ? ValueJson(host_, *rows) : json(0)},
                                    {"presets", presets},
                                    {"parameters", parameters},
                                    {"hierarchy", HierarchyJson(host_, Hierarchy(node))}}));
}

bool ScriptRunner::Save(const CommandWords& words) {
  std::filesystem::path file;
  if (!FileNamed("save", words[1], &file)) return false;
  std::string error;
  return SaveDocument(host_, document_, file, &error) || Fail(error);
}

bool ScriptRunner::Open(const CommandWords& words) {
  std::filesystem::path file;
  if (!FileNamed("open", words[1], &file)) return false;
  std::string error;
  VtDocument* opened = OpenDocument(host_, file, &error);
  if (opened == nullptr) return Fail(error);
  host_.CloseDocument(document_);
  document_ = opened;
  names_.clear();  // the opened objects go by their own names
  return true;
}

bool ScriptRunner::Export(const CommandWords& words) {
  VtNode* node = Object(words[1]);
  if (node == nullptr) return false;
  if (Hierarchy(node) == nullptr) return Fail("'" + words[1] + "' has no model: evaluate it first ('eval')");
  const bool toOutput = words[2] == "-";  // standard output, as on the command line: glTF
  std::filesystem::path file;
  if (!toOutput && !FileNamed("export", words[2], &file)) return false;
  const FormatForm& form = ModelFormOfFile(words[2]);
  std::string error;
  if (!toOutput && !MayReplaceWith(file, form.magic, form.kind, &error)) return Fail(error);
  const ModelCounts counts = CountModel(Hierarchy(node));
  if (counts.atoms == 0 && counts.bonds == 0) {
    return Fail("'" + words[1] + "' has an empty model, with no atoms and no bonds: nothing written");
  }
  bool ranOut = false;
  const std::vector<MadeOutput> made = engine_.Make(node, {&form}, nullptr, &ranOut);
  if (ranOut) return Fail("memory ran out while the model was written: nothing written");
  if (made[0].state != MadeOutput::State::Made) {
    return Fail(toOutput ? made[0].refusal : file.u8string() + ": " + made[0].refusal);
  }
  if (!toOutput) return host_.Files().WriteOutput(file, made[0].bytes.pieces, &error) || Fail(error);
  errno = 0;
  for (const std::string_view piece : made[0].bytes.pieces) {
    out_.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  }
  out_.flush();
  return out_ ? true : Fail("cannot write " + std::string(FormatOf(form).what) + " to standard output" + WriteFailure());
}

}  // namespace vthost
