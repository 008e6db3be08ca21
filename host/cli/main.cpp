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
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#endif

#include "vthost/description.h"
#include "vthost/export.h"
#include "vthost/files.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/script.h"

#include "collection.h"
#include "workers.h"

namespace {

namespace fs = std::filesystem;
using vantorcli::Error;
using vantorcli::kBadArguments;
using vantorcli::kDone;
using vantorcli::kFailed;

// The most workers a run starts.
constexpr unsigned kMostJobs = 64;

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
  vantorcli::CollectionRequest molecules;  // the molecule files to convert, and what to write of each
  bool parameters = false;  // --parameters: the table of the object's parameters instead
  bool help = false;        // --help: the usage and the script's commands, and nothing else
  bool recordsGiven = false, jobsGiven = false;
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

// The whole text as a decimal number of the type, nothing before or after it.
template <typename Number>
bool WholeNumber(std::string_view text, Number* value) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, *value);
  return !text.empty() && failure == std::errc() && stop == end;
}

// A whole decimal number that fits 32 bits.
bool InterfaceVersion(const std::string& text, int32_t* value, std::string* error) {
  if (WholeNumber(text, value)) return true;
  *error = "--interface-version needs a whole number from -2147483648 to 2147483647, not '" + text + "'";
  return false;
}

// A count of workers: 1 to 64.
bool Jobs(const std::string& text, unsigned* jobs, std::string* error) {
  if (WholeNumber(text, jobs) && *jobs >= 1 && *jobs <= kMostJobs) return true;
  *error = "--jobs needs a whole number from 1 to " + std::to_string(kMostJobs) + ", not '" + text + "'";
  return false;
}

// A triangle budget: a whole number from 1.
bool MaxTriangles(const std::string& text, int64_t* most, std::string* error) {
  if (WholeNumber(text, most) && *most >= 1) return true;
  *error = "--max-triangles needs a whole number of triangles from 1, not '" + text + "'";
  return false;
}

// A worker's share, K/N, given by the run that started it.
bool WorkerShare(const std::string& text, vantorcli::CollectionRequest* request, std::string* error) {
  const size_t slash = text.find('/');
  unsigned index = 0, count = 0;
  if (slash == std::string::npos || !WholeNumber(std::string_view(text).substr(0, slash), &index) ||
      !WholeNumber(std::string_view(text).substr(slash + 1), &count) || count == 0 || index >= count) {
    return *error = "--worker needs K/N, not '" + text + "'", false;
  }
  request->worker.index = index;
  request->worker.count = count;
  return true;
}

bool Setting(const std::string& text, std::vector<std::pair<std::string, std::string>>* settings, std::string* error) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return *error = "--set needs NAME=VALUE, not '" + text + "'", false;
  settings->emplace_back(text.substr(0, equals), text.substr(equals + 1));
  return true;
}

// The options that belong to one form of the usage and not to another.
bool CheckForms(const Arguments& arguments, std::string* error) {
  const vantorcli::CollectionRequest& m = arguments.molecules;
  const bool outputs = !m.gltf.empty() || !m.json.empty() || !m.usd.empty() || !m.settings.empty() ||
                       !m.manifest.empty() || m.maxTriangles > 0 || arguments.recordsGiven || arguments.jobsGiven ||
                       m.quiet;
  if (m.inputs.empty() && outputs) {
    return *error = "--records, --gltf, --usd, --json, --manifest, --jobs, --quiet, --set and --max-triangles need a "
                    "molecule file", false;
  }
  if (!m.inputs.empty() && !arguments.script.empty()) {
    return *error = "a molecule file and --script do not go together", false;
  }
  if (arguments.parameters && (!m.inputs.empty() || !arguments.script.empty())) {
    return *error = "--parameters goes with neither a molecule file nor --script", false;
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
    {"--records", "all|N|N-M", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       a->recordsGiven = true;
       return o.Value("--records", &value, e) && vthost::RecordRange::Parse(value, &a->molecules.records, e);
     },
     "the records of each file converted, from 1 (default: 1, the first molecule)"},
    {"--gltf", "OUT", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) { return o.FileName("--gltf", true, &a->molecules.gltf, e); },
     "writes each model as glTF 2.0 binary (- for standard output, a name template for several)"},
    {"--usd", "OUT.usda|OUT.usdz|-", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) { return o.FileName("--usd", true, &a->molecules.usd, e); },
     "writes each model as USD: a .usdz package, or USDA text (- for standard output, a name template for several)"},
    {"--json", "OUT", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) { return o.FileName("--json", true, &a->molecules.json, e); },
     "writes the report of each molecule as JSON (- for standard output, a name template for several)"},
    {"--manifest", "FILE|-", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       return o.FileName("--manifest", true, &a->molecules.manifest, e);
     },
     "writes a JSON line for each molecule: what was read, written, and why one failed"},
    {"--jobs", "N", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       a->jobsGiven = true;
       return o.Value("--jobs", &value, e) && Jobs(value, &a->molecules.jobs, e);
     },
     "converts in N worker processes (default: 1), which write what one would"},
    {"--quiet", "", kMolecule, kOnce,
     [](OptionReader&, Arguments* a, std::string*) { return a->molecules.quiet = true; },
     "tells only of failures and, for several molecules, the summary"},
    {"--set", "NAME=VALUE", kMolecule, kRepeated,
     [](OptionReader& o, Arguments* a, std::string* e) {
       if (!o.Next()) return *e = "--set needs NAME=VALUE", false;
       return Setting(o.Current(), &a->molecules.settings, e);
     },
     "edits a parameter of each object before its file is loaded, as a user would (repeatable)"},
    {"--max-triangles", "N", kMolecule, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       return o.Value("--max-triangles", &value, e) && MaxTriangles(value, &a->molecules.maxTriangles, e);
     },
     "builds each model with the most sphere segments and bond subdivisions that keep it within N triangles"},
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
    // a worker of a run with --jobs, started by that run: in no usage and no help
    {"--worker", "K/N", 0, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       return o.Value("--worker", &value, e) && WorkerShare(value, &a->molecules, e);
     },
     ""},
    {"--worker-stdin", "FILE", 0, kOnce,
     [](OptionReader& o, Arguments* a, std::string* e) {
       return o.FileName("--worker-stdin", false, &a->molecules.worker.spool, e);
     },
     ""},
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
      {kRegistrations, ""}, {kParameters, " --parameters"}, {kMolecule, " MOLECULE..."}, {kScript, " --script FILE|-"}};
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
  for (const Option& option : kOptions) width = std::max(width, option.help.empty() ? 0 : Spelled(option).size());
  std::string help = Usage() +
                     "  Without a molecule or a script, loads the module, starts it, prints what it registered and\n"
                     "  ends it. With molecule files (- for SD text on standard input), makes a molecule object for\n"
                     "  each record chosen, applies each --set, loads the record, evaluates the document and writes\n"
                     "  the report (JSON) and the model (glTF, USD). For several molecules, OUT is a name template\n"
                     "  with {stem} (the file's name without its suffix), {record} (the record's number) and\n"
                     "  {title} (its title line, made safe for a file name). Console lines, messages and questions\n"
                     "  go to standard error.\n"
                     "  Exit status: 0 done, 1 failed, 2 bad arguments, 3 a molecule could not be loaded.\n"
                     "  Options:\n";
  for (const Option& option : kOptions) {
    if (option.help.empty()) continue;
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
    } else if (argument == "-" && std::count(arguments->molecules.inputs.begin(), arguments->molecules.inputs.end(), "-")) {
      return *error = "- is given twice: standard input is read once", false;
    } else if (!argument.empty() && (argument[0] != '-' || argument == "-")) {
      arguments->molecules.inputs.push_back(argument);
    } else {
      return *error = "cannot use argument '" + argument + "'", false;
    }
  }
  if (arguments->module.empty()) {
    arguments->module = vantorcli::ProgramFile(argv[0]).parent_path() / ".." / "plugins" / "vantor" /
                        vthost::ModuleFileName("vantor");
  }
  return CheckForms(*arguments, error) &&
         (arguments->molecules.inputs.empty() || vantorcli::CheckCollection(arguments->molecules, arguments->module, error));
}

bool StandardOutputWritten(const std::string& what) {
  std::string error;
  if (vantorcli::StandardOutputFlushed(what, &error)) return true;
  Error(error);
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
  vantorcli::UseBinaryStandardStreams();  // 'export NAME -' writes glTF there
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

// Each --set tried on an object made for the purpose: a name or value refused is a bad argument,
// before any molecule is read.
bool SettingsTaken(vthost::Host& host, const vantorcli::Settings& settings) {
  VtDocument* document = host.NewDocument();
  VtNode* object = host.CreateObject(document, vthost::molecule::kType, "Molecule");
  bool taken = object != nullptr;
  if (!taken) Error("the molecule object could not be made");
  for (const auto& [name, value] : settings) {
    std::string error, notice;
    if (taken && !vthost::SetParameterFromText(host, object, name, value, &error, &notice)) {
      Error("--set " + name + "=" + value + ": " + error);
      taken = false;
    }
    if (taken && !notice.empty()) Error("--set " + name + "=" + value + ": " + notice);
  }
  host.CloseDocument(document);
  return taken;
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

int Run(const Arguments& arguments, const fs::path& program, const std::vector<std::string>& words) {
  vthost::HostOptions options = arguments.options;
  // a run of several molecules tells what the module showed with the molecule it concerns
  if (vantorcli::Several(arguments.molecules) || arguments.molecules.worker.count > 0) options.log = nullptr;
  vthost::Host host(options);
  if (!arguments.script.empty()) return RunScript(host, arguments);
  const vantorcli::CollectionRequest& molecules = arguments.molecules;
  if (molecules.worker.count == 0 && molecules.jobs > 1 && vantorcli::Several(molecules)) {
    // the workers load the module, and the first of them says why it could not start or take a --set
    return vantorcli::ConvertMolecules(host, molecules, program, words);
  }
  if (molecules.worker.index > 0) std::cerr.rdbuf(nullptr);  // the first worker tells what all would
  std::string error;
  std::unique_ptr<vthost::Module> loaded = vthost::Module::Load(host, arguments.module, &error);
  if (!loaded) {
    Error(error);
    return kFailed;
  }
  StartedModule module(std::move(loaded));
  if (!arguments.molecules.inputs.empty()) {
    if (!module->StartUp(&error)) {
      Error(error);
      return kFailed;
    }
    if (!SettingsTaken(host, arguments.molecules.settings)) return kBadArguments;
    return vantorcli::ConvertMolecules(host, arguments.molecules, program, words);
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
  std::signal(SIGXFSZ, SIG_IGN);  // and a file past the size limit one that fails with "File too large"
#endif
  vthost::RemoveNewFilesOnSignals();
  vthost::NoteFailedNews();
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
      errno = 0;
      std::cout << Help() << "  Script commands (one a line; # starts a comment):\n" << vthost::ScriptRunner::Help();
      return StandardOutputWritten("the help") ? kDone : kFailed;
    }
    return Run(arguments, vantorcli::ProgramFile(argv[0]), std::vector<std::string>(utf8.begin() + 1, utf8.end()));
  } catch (const std::bad_alloc&) {
    Error("memory ran out");
  } catch (const std::exception& unexpected) {
    Error(unexpected.what());
  } catch (...) {
    Error("an unexpected error");
  }
  return kFailed;
}
