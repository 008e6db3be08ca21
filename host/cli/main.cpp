// vantor-host: loads a Vantor module the way the host application does and reports what it registered.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <exception>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "vthost/description.h"
#include "vthost/export.h"
#include "vthost/files.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/script.h"

namespace {

namespace fs = std::filesystem;

// The program's messages, a line each on standard error.
void Error(const std::string& text) { std::cerr << "vantor-host: " << text << "\n"; }

// Exit statuses.
constexpr int kDone = 0;
constexpr int kFailed = 1;  // the module did not start, a file could not be written, a script line failed
constexpr int kBadArguments = 2;
constexpr int kMoleculeNotLoaded = 3;  // the report is written all the same

fs::path ProgramFolder(const char* argv0) {
  std::error_code error;
#if defined(_WIN32)
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  if (length > 0 && length < 32768) return fs::path(std::wstring(buffer, length)).parent_path();
#elif defined(__APPLE__)
  // a path to the program as it was started, perhaps through symbolic links
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (size > 0 && _NSGetExecutablePath(buffer.data(), &size) == 0) {
    const fs::path self = fs::canonical(buffer.c_str(), error);
    if (!error) return self.parent_path();
  }
#else
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
#endif
  return fs::absolute(fs::u8path(argv0), error).parent_path();
}

// The arguments as UTF-8, which every path made here assumes (std::filesystem::u8path). On
// Windows the narrow argv holds the ANSI code page's approximation of the command line, so it is
// read again from the wide one.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
      const int length = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string argument(length > 0 ? static_cast<size_t>(length) : 1, '\0');
      if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), length, nullptr, nullptr);
      argument.resize(argument.size() - 1);  // the NUL
      arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
  }
#endif
  return std::vector<std::string>(argv, argv + argc);
}

struct Arguments {
  fs::path module;
  std::string script;  // a file, or - for standard input
  vthost::HostOptions options;
  std::string molecule;  // a molecule file to load, and what to write of it
  std::string gltf;      // a file, or - for standard output
  std::string json;      // a file, or - for standard output
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
  bool parameters = false;  // --parameters: the table of the object's parameters instead
  bool help = false;        // --help: the usage and the script's commands, and nothing else
};

// The value after an option, taken once.
class OptionReader {
 public:
  OptionReader(int argc, char** argv) : argc_(argc), argv_(argv) {}

  bool Next() { return ++i_ < argc_; }
  std::string Current() const { return argv_[i_]; }

  bool Value(const std::string& option, std::string* value, std::string* error) {
    if (i_ + 1 >= argc_) return *error = option + " needs a value", false;
    if (!given_.insert(option).second) return *error = option + " is given twice", false;
    return *value = argv_[++i_], true;
  }

  // A file name: not empty, and not an option (a file whose name starts with '-' is ./-NAME);
  // "-" only where standard input or output is meant.
  bool FileName(const std::string& option, bool dashAllowed, std::string* value, std::string* error) {
    if (!Value(option, value, error)) return false;
    if (value->empty()) return *error = option + " needs a file name, not an empty one", false;
    if ((*value)[0] == '-' && !(*value == "-" && dashAllowed)) {
      *error = option + " needs a file name, not '" + *value + "' (for a file of that name, write ./" + *value + ")";
      return false;
    }
    return true;
  }

 private:
  int argc_;
  char** argv_;
  int i_ = 0;
  std::set<std::string> given_;
};

// A whole decimal number that fits 32 bits.
bool InterfaceVersion(const std::string& text, int32_t* value, std::string* error) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, *value);
  if (!text.empty() && failure == std::errc() && stop == end) return true;
  *error = "--interface-version needs a whole number from -2147483648 to 2147483647, not '" + text + "'";
  return false;
}

bool Setting(const std::string& text, std::vector<std::pair<std::string, std::string>>* settings, std::string* error) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return *error = "--set needs NAME=VALUE, not '" + text + "'", false;
  settings->emplace_back(text.substr(0, equals), text.substr(equals + 1));
  return true;
}

// Outputs that would overwrite what the run reads (the molecule, the module and the res folder
// beside it) or each other.
bool CheckOutputs(const Arguments& arguments, std::string* error) {
  const bool outputs = !arguments.gltf.empty() || !arguments.json.empty() || !arguments.settings.empty();
  if (arguments.molecule.empty() && outputs) return *error = "--gltf, --json and --set need a molecule file", false;
  if (!arguments.molecule.empty() && !arguments.script.empty()) {
    return *error = "a molecule file and --script do not go together", false;
  }
  if (arguments.parameters && (!arguments.molecule.empty() || !arguments.script.empty())) {
    return *error = "--parameters goes with neither a molecule file nor --script", false;
  }
  const std::pair<const char*, fs::path> inputs[] = {{"the molecule file", fs::u8path(arguments.molecule)},
                                                     {"the module file", arguments.module}};
  std::error_code ignored;
  const fs::path resources = fs::absolute(arguments.module, ignored).parent_path() / "res";
  for (const auto& [option, file] : {std::pair{"--json", arguments.json}, std::pair{"--gltf", arguments.gltf}}) {
    if (file.empty() || file == "-") continue;
    for (const auto& [what, input] : inputs) {
      if (vthost::SameFile(fs::u8path(file), input)) {
        return *error = std::string(option) + " names " + what + " " + file + ", which it would overwrite", false;
      }
    }
    if (vthost::InFolder(fs::u8path(file), resources)) {
      return *error = std::string(option) + " names " + file + ", in the module's res folder, which it reads", false;
    }
  }
  if (arguments.json == "-" && arguments.gltf == "-") {
    return *error = "--json and --gltf cannot both write to standard output", false;
  }
  if (!arguments.json.empty() && !arguments.gltf.empty() && arguments.json != "-" && arguments.gltf != "-" &&
      vthost::SameFile(fs::u8path(arguments.json), fs::u8path(arguments.gltf))) {
    return *error = "--json and --gltf name the same file, " + arguments.json, false;
  }
  return true;
}

// The ways the program runs: each form of its usage, and where an option is listed.
enum Form : unsigned { kRegistrations = 1, kParameters = 2, kMolecule = 4, kScript = 8 };

// An option: its name, its value as the usage writes it (none for a flag), the forms whose usage
// lists it, whether the usage shows it repeated (--set, given once per edit), how it is read, and
// what it does. The table drives the reading of the command line, the usage and --help.
struct Option {
  std::string_view name;
  std::string_view value;
  unsigned forms;
  bool repeatable;
  bool (*read)(OptionReader& options, Arguments* arguments, std::string* error);
  std::string_view help;
};

// Option::repeatable.
constexpr bool kRepeated = true, kOnce = false;

// In the order the usage lists them.
const Option kOptions[] = {
    {"--gltf", "OUT.glb|-", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) { return o.FileName("--gltf", true, &a->gltf, e); },
     "writes the model as glTF 2.0 binary (- for standard output)"},
    {"--json", "OUT.json|-", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) { return o.FileName("--json", true, &a->json, e); },
     "writes the report of the run as JSON (- for standard output)"},
    {"--set", "NAME=VALUE", kMolecule, kRepeated,
     [](OptionReader& o, Arguments* a, std::string* e) {
       if (!o.Next()) return *e = "--set needs NAME=VALUE", false;
       return Setting(o.Current(), &a->settings, e);
     },
     "edits a parameter of the object before the file is loaded, as a user would (repeatable)"},
    {"--script", "FILE|-", kScript, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) { return o.FileName("--script", true, &a->script, e); },
     "runs the script's commands (- for standard input) in place of the other forms"},
    {"--parameters", "", kParameters, kOnce,
     [](OptionReader&, Arguments* a, std::string*) { return a->parameters = true; },
     "prints the parameters of each registered object as a Markdown table"},
    {"--module", "FILE", kRegistrations | kParameters | kMolecule | kScript, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       if (!o.FileName("--module", false, &value, e)) return false;
       a->module = fs::u8path(value);
       return true;
     },
     "the module to load (default: the vantor module of the plug-in folder beside this program)"},
    {"--interface-version", "N", kRegistrations, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       return o.Value("--interface-version", &value, e) && InterfaceVersion(value, &a->options.interfaceVersion, e);
     },
     "the host interface version handed to the module (default: 2025200)"},
    {"--answer", "yes|no", kRegistrations | kMolecule | kScript, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       if (!o.Value("--answer", &value, e)) return false;
       if (value != "yes" && value != "no") return *e = "--answer takes yes or no, not '" + value + "'", false;
       a->options.answerYes = value == "yes";
       return true;
     },
     "how the module's questions are answered (default: no)"},
    {"--help", "", 0, kOnce, [](OptionReader&, Arguments* a, std::string*) { return a->help = true; },
     "prints the usage, these options and the script's commands"},
};

const Option* FindOption(std::string_view name) {
  if (name == "-h") name = "--help";
  for (const Option& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

// The option as its usage writes it: "--gltf OUT.glb|-".
std::string Spelled(const Option& option) {
  return std::string(option.name) + (option.value.empty() ? "" : " " + std::string(option.value));
}

// A line of the usage per form, each option listed where it belongs.
std::string Usage() {
  const std::pair<unsigned, std::string_view> forms[] = {
      {kRegistrations, ""}, {kParameters, " --parameters"}, {kMolecule, " MOLECULE"}, {kScript, " --script FILE|-"}};
  std::string usage;
  for (const auto& [form, leading] : forms) {
    usage += std::string(usage.empty() ? "usage: " : "       ") + "vantor-host" + std::string(leading);
    for (const Option& option : kOptions) {
      if ((option.forms & form) == 0 || leading.find(option.name) != std::string_view::npos) continue;
      usage += " [" + Spelled(option) + "]" + (option.repeatable ? "..." : "");
    }
    usage += "\n";
  }
  return usage;
}

// The usage, then every option with what it does.
std::string Help() {
  size_t width = 0;
  for (const Option& option : kOptions) width = std::max(width, Spelled(option).size());
  std::string help = Usage() +
                     "  Without a molecule or a script, loads the module, starts it, prints what it registered and\n"
                     "  ends it. With a molecule file, makes a molecule object, applies each --set, loads the file,\n"
                     "  evaluates the document and writes the report (JSON) and the model (glTF). Console lines,\n"
                     "  messages and questions go to standard error.\n"
                     "  Exit status: 0 done, 1 failed, 2 bad arguments, 3 the molecule file could not be loaded.\n"
                     "  Options:\n";
  for (const Option& option : kOptions) {
    const std::string spelled = Spelled(option);
    help += "    " + spelled + std::string(width + 2 - spelled.size(), ' ') + std::string(option.help) + "\n";
  }
  return help;
}

// False with the reason in *error when the arguments cannot be used; --help ends the reading.
bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error) {
  OptionReader options(argc, argv);
  while (options.Next()) {
    const std::string argument = options.Current();
    if (const Option* option = FindOption(argument)) {
      if (!option->read(options, arguments, error)) return false;
      if (arguments->help) return true;
    } else if (!argument.empty() && argument[0] != '-' && arguments->molecule.empty()) {
      arguments->molecule = argument;
    } else if (!argument.empty() && argument[0] != '-') {
      return *error = "a second molecule file, '" + argument + "': one is read per run", false;
    } else {
      return *error = "cannot use argument '" + argument + "'", false;
    }
  }
  if (arguments->module.empty()) {
    arguments->module = ProgramFolder(argv[0]) / ".." / "plugins" / "vantor" / vthost::ModuleFileName("vantor");
  }
  return CheckOutputs(*arguments, error);
}

// Standard output that cannot be written (full, closed) is a failure with a reason: the system's,
// when the write that failed gave one (errno is cleared before what is written).
bool StandardOutputWritten(const std::string& what) {
  if (std::cout.flush()) return true;
  const std::string reason = errno != 0 ? ": " + std::generic_category().message(errno) : "";
  Error("cannot write " + what + " to standard output" + reason);
  return false;
}

void PrintRegistrations(const vthost::Host& host) {
  for (const vthost::ObjectType& type : host.Types().All()) {
    std::cout << "registered object " << type.id << " \"" << type.name << "\" info " << type.info << " description \""
              << type.description << "\" icon ";
    if (type.hasIcon) {
      std::cout << type.iconWidth << "x" << type.iconHeight << "\n";
    } else {
      std::cout << "none\n";
    }
  }
}

int RunScript(vthost::Host& host, const Arguments& arguments) {
  vthost::ScriptRunner runner(host, std::cout, std::cerr, arguments.module);
  std::ifstream file;
  if (arguments.script != "-") {
    const fs::path path = fs::u8path(arguments.script);
    host.Files().AddInput(path, "the script this run reads");
    std::error_code error;
    if (fs::is_directory(path, error)) {
      Error("cannot read script " + arguments.script + ": a folder");
      return kBadArguments;
    }
    file.open(path, std::ios::binary);
    if (!file) {
      Error("cannot open script " + arguments.script);
      return kBadArguments;
    }
  }
  try {
    return runner.Run(arguments.script == "-" ? std::cin : file) ? kDone : kFailed;
  } catch (const std::exception& unexpected) {
    Error("line " + std::to_string(runner.Line()) + ": " + unexpected.what());
    return kFailed;
  }
}

// The report, to a file or standard output. One that holds a number JSON cannot is a failure: a
// file is not written then (standard output has it, with the status).
bool WriteReport(const vthost::Host& host, const VtNode* object, const std::string& file) {
  std::ostringstream report;
  std::string error;
  const bool made = vthost::WriteReport(host, object, report, &error);
  report << "\n";
  if (file == "-") {
    errno = 0;
    std::cout << report.str();
    if (!StandardOutputWritten("the report")) return false;
  } else if (made && !host.Files().WriteOutput(fs::u8path(file), report.str(), &error)) {
    Error(error);
    return false;
  }
  if (made) return true;
  Error(error + ": " + (file == "-" ? "refused" : "not written"));
  return false;
}

// The model, to a file or standard output; one that glTF cannot hold is refused, and nothing is
// written.
bool WriteModel(const vthost::Host& host, const VtNode* object, const std::string& file) {
  std::ostringstream glb;
  std::string error;
  if (!vthost::WriteGltf(host, vthost::Hierarchy(object), glb, &error, vthost::HierarchyParameters(object))) {
    Error(file + ": " + error);
    return false;
  }
  if (file != "-") {
    if (host.Files().WriteOutput(fs::u8path(file), glb.str(), &error)) return true;
    Error(error);
    return false;
  }
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);  // the bytes as they are, no line ends added
#endif
  errno = 0;
  std::cout << glb.str();
  return StandardOutputWritten("the glTF");
}

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

// A document that is closed however the run ends.
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

// The object's life as a person would give it: made, edited, pointed at the file, loaded, and
// evaluated; then what it generated is written out.
int RunMolecule(vthost::Host& host, const Arguments& arguments) {
  OpenDocument document(host);
  VtNode* object = host.CreateObject(document.get(), vthost::molecule::kType, "Molecule");
  if (object == nullptr) {
    Error("the molecule object could not be made");
    return kFailed;
  }
  bool settingsApplied = true;
  for (const auto& [name, value] : arguments.settings) {
    std::string error;
    if (!vthost::SetParameterFromText(host, object, name, value, &error)) {
      Error("--set " + name + "=" + value + ": " + error);
      settingsApplied = false;
    }
  }
  if (!settingsApplied) return kBadArguments;
  std::error_code ignored;
  const fs::path file = fs::absolute(fs::u8path(arguments.molecule), ignored);
  vthost::Describe(host, object);  // as the attribute editor shows the object
  host.SetParameter(object, vthost::molecule::kFile, file.empty() ? fs::u8path(arguments.molecule) : file);
  const bool loaded = LoadMolecule(host, object);
  host.Evaluate(document.get());
  int status = loaded ? kDone : kMoleculeNotLoaded;
  if (!loaded) Error(arguments.molecule + " could not be loaded");
  // a file that reads as no atoms (empty, or not V2000) loads all the same: the user hears of it
  if (loaded && vthost::IsEmptyModel(vthost::Hierarchy(object))) {
    Error(arguments.molecule + ": the model is empty, with no atoms and no bonds");
  }
  if (!arguments.json.empty() && !WriteReport(host, object, arguments.json)) status = kFailed;
  if (!arguments.gltf.empty() && !loaded) {
    Error("no model to write to " + arguments.gltf);
  } else if (!arguments.gltf.empty() && !WriteModel(host, object, arguments.gltf)) {
    status = kFailed;
  }
  return status;
}

// A module that is ended however the run ends.
class StartedModule {
 public:
  explicit StartedModule(std::unique_ptr<vthost::Module> module) : module_(std::move(module)) {}
  ~StartedModule() { module_->End(); }
  StartedModule(const StartedModule&) = delete;
  StartedModule& operator=(const StartedModule&) = delete;
  vthost::Module* operator->() const { return module_.get(); }

 private:
  std::unique_ptr<vthost::Module> module_;
};

int Run(const Arguments& arguments) {
  vthost::Host host(arguments.options);
  if (!arguments.script.empty()) return RunScript(host, arguments);
  std::string error;
  std::unique_ptr<vthost::Module> loaded = vthost::Module::Load(host, arguments.module, &error);
  if (!loaded) {
    Error(error);
    return kFailed;
  }
  StartedModule module(std::move(loaded));
  if (!arguments.molecule.empty()) {
    if (!module->StartUp(&error)) {
      Error(error);
      return kFailed;
    }
    return RunMolecule(host, arguments);
  }
  if (arguments.parameters) {
    if (!module->StartUp(&error)) {
      Error(error);
      return kFailed;
    }
    errno = 0;
    for (const vthost::ObjectType& type : host.Types().All()) {
      if (const vthost::StaticDescription* description = host.Types().Description(type.id)) {
        std::cout << vthost::ParameterTable(*description);
      }
    }
    return StandardOutputWritten("the parameters") ? kDone : kFailed;
  }
  std::error_code ignored;
  errno = 0;
  std::cout << "module " << fs::weakly_canonical(arguments.module, ignored).u8string() << "\n";
  const bool started = module->StartUp(&error);
  PrintRegistrations(host);
  if (!started) Error(error);
  return StandardOutputWritten("the registrations") && started ? kDone : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe is a write that fails with a reason, not the end of the run
#endif
  try {
    std::vector<std::string> utf8 = Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : utf8) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(utf8.size());
    argv = pointers.data();

    Arguments arguments;
    arguments.options.log = &std::cerr;
    std::string error;
    if (!ParseArguments(argc, argv, &arguments, &error)) {
      Error(error);
      std::cerr << Usage();
      return kBadArguments;
    }
    if (arguments.help) {
      std::cout << Help() << "  Script commands (one a line; # starts a comment):\n" << vthost::ScriptRunner::Help();
      return kDone;
    }
    return Run(arguments);
  } catch (const std::exception& unexpected) {
    Error(unexpected.what());
  } catch (...) {
    Error("an unexpected error");
  }
  return kFailed;
}
