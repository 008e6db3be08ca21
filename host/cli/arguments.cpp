// The table of vantor-host's options, each read into Arguments, listed in the usage and in --help;
// the options of the output formats come from the formats' own table.
#include "arguments.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "preflight.h"
#include "vthost/module.h"
#include "workers.h"

namespace vantorcli {
namespace {

namespace fs = std::filesystem;

// The most workers a run starts.
constexpr unsigned kMostJobs = 64;
static_assert(kMostJobs <= vthost::kProcessesStoppedOnSignals, "a signal would leave workers running");

// The value after an option, taken once.
class OptionReader {
 public:
  OptionReader(int argc, char** argv) : argc_(argc), argv_(argv) {}

  bool Next() { return ++i_ < argc_; }
  std::string Current() const { return argv_[i_]; }

  bool Value(const std::string& option, std::string* value, std::string* error) {
    if (i_ + 1 >= argc_) {
      *error = option + " needs a value";
      return false;
    }
    if (!given_.insert(option).second) {
      *error = option + " is given twice";
      return false;
    }
    *value = argv_[++i_];
    return true;
  }

  // A file name: not empty, and not an option (a file whose name starts with '-' is ./-NAME);
  // "-" only where standard input or output is meant.
  bool FileName(const std::string& option, bool dashAllowed, std::string* value, std::string* error) {
    if (!Value(option, value, error)) return false;
    if (value->empty()) {
      *error = option + " needs a file name, not an empty one";
      return false;
    }
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
bool WorkerShare(const std::string& text, RunRequest* request, std::string* error) {
  const size_t slash = text.find('/');
  unsigned index = 0, count = 0;
  if (slash == std::string::npos || !WholeNumber(std::string_view(text).substr(0, slash), &index) ||
      !WholeNumber(std::string_view(text).substr(slash + 1), &count) || count == 0 || index >= count) {
    *error = "--worker needs K/N, not '" + text + "'";
    return false;
  }
  request->worker.index = index;
  request->worker.count = count;
  return true;
}

bool Setting(const std::string& text, vthost::Settings* settings, std::string* error) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    *error = "--set needs NAME=VALUE, not '" + text + "'";
    return false;
  }
  settings->emplace_back(text.substr(0, equals), text.substr(equals + 1));
  return true;
}

// The ways the program runs: each form of its usage, and where an option is listed.
enum Form : unsigned { kRegistrations = 1, kParameters = 2, kMolecule = 4, kScript = 8 };

// An option: its name, its value as the usage writes it (none for a flag), the forms whose usage
// lists it, whether the usage shows it repeated (--set, given once per edit), how it is read, and
// what it does. The option of an output format is read into that format's name.
struct Option {
  std::string_view name;
  std::string_view value;
  unsigned forms;
  bool repeatable;
  bool (*read)(const Option& self, OptionReader& options, Arguments* arguments, std::string* error);
  std::string_view help;
  size_t format = 0;  // the output format of an output's option, in vthost::kOutputFormats
};

// Option::repeatable.
constexpr bool kRepeated = true, kOnce = false;

bool ReadOutput(const Option& self, OptionReader& o, Arguments* a, std::string* e) {
  return o.FileName(std::string(self.name), true, &a->molecules.outputs[self.format], e);
}

// The options before those of the output formats, and after them, in the order the usage lists them.
const Option kLeading[] = {
    {"--records", "all|N|N-M", kMolecule, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       a->recordsGiven = true;
       return o.Value("--records", &value, e) && vthost::RecordRange::Parse(value, &a->molecules.records, e);
     },
     "the records of each file converted, from 1 (default: 1, the first molecule)"},
};
const Option kTrailing[] = {
    {"--manifest", "FILE|-", kMolecule, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       return o.FileName("--manifest", true, &a->molecules.manifest, e);
     },
     "writes a JSON line for each molecule: what was read, written, and why one failed"},
    {"--jobs", "N", kMolecule, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       a->jobsGiven = true;
       return o.Value("--jobs", &value, e) && Jobs(value, &a->molecules.jobs, e);
     },
     "converts in N worker processes (default: 1), which write what one would"},
    {"--quiet", "", kMolecule, kOnce,
     [](const Option&, OptionReader&, Arguments* a, std::string*) { return a->molecules.quiet = true; },
     "tells only of failures and, for several molecules, the summary"},
    {"--set", "NAME=VALUE", kMolecule, kRepeated,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       if (!o.Next()) {
         *e = "--set needs NAME=VALUE";
         return false;
       }
       return Setting(o.Current(), &a->molecules.settings, e);
     },
     "edits a parameter of each object before its file is loaded, as a user would (repeatable)"},
    {"--max-triangles", "N", kMolecule, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       return o.Value("--max-triangles", &value, e) && MaxTriangles(value, &a->molecules.maxTriangles, e);
     },
     "builds each model with the most sphere segments and bond subdivisions that keep it within N triangles"},
    {"--script", "FILE|-", kScript, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       return o.FileName("--script", true, &a->script, e);
     },
     "runs the script's commands (- for standard input) in place of the other forms"},
    {"--parameters", "", kParameters, kOnce,
     [](const Option&, OptionReader&, Arguments* a, std::string*) { return a->parameters = true; },
     "prints the parameters of each registered object as a Markdown table"},
    {"--module", "FILE", kRegistrations | kParameters | kMolecule | kScript, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       if (!o.FileName("--module", false, &value, e)) return false;
       a->module = fs::u8path(value);
       return true;
     },
     "the module to load (default: the vantor module of the plug-in folder beside this program)"},
    {"--interface-version", "N", kRegistrations, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       return o.Value("--interface-version", &value, e) && InterfaceVersion(value, &a->options.interfaceVersion, e);
     },
     "the host interface version handed to the module (default: 2025200)"},
    {"--answer", "yes|no", kRegistrations | kMolecule | kScript, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       if (!o.Value("--answer", &value, e)) return false;
       if (value != "yes" && value != "no") {
         *e = "--answer takes yes or no, not '" + value + "'";
         return false;
       }
       a->options.answerYes = value == "yes";
       return true;
     },
     "how the module's questions are answered (default: no)"},
    {"--help", "", 0, kOnce, [](const Option&, OptionReader&, Arguments* a, std::string*) { return a->help = true; },
     "prints the usage, these options and the script's commands"},
    // a worker of a run with --jobs, started by that run: in no usage and no help
    {"--worker", "K/N", 0, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       return o.Value("--worker", &value, e) && WorkerShare(value, &a->molecules, e);
     },
     ""},
    {"--worker-of", "PROCESS", 0, kOnce,
     [](const Option&, OptionReader& o, Arguments* a, std::string* e) {
       std::string value;
       if (!o.Value("--worker-of", &value, e)) return false;
       if (WholeNumber(value, &a->molecules.worker.run)) return true;
       *e = "--worker-of needs a process id, not '" + value + "'";
       return false;
     },
     ""},
};

// Every option, in the order the usage lists them.
const std::vector<Option>& Options() {
  static const std::vector<Option> options = [] {
    std::vector<Option> all(std::begin(kLeading), std::end(kLeading));
    for (size_t i = 0; i < vthost::kOutputFormats.size(); ++i) {
      const vthost::OutputFormat& format = vthost::kOutputFormats[i];
      all.push_back({format.option, format.value, kMolecule, kOnce, ReadOutput, format.help, i});
    }
    all.insert(all.end(), std::begin(kTrailing), std::end(kTrailing));
    return all;
  }();
  return options;
}

const Option* FindOption(std::string_view name) {
  if (name == "-h") name = "--help";
  for (const Option& option : Options()) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

// The option as its usage writes it: "--gltf OUT".
std::string Spelled(const Option& option) {
  return std::string(option.name) + (option.value.empty() ? "" : " " + std::string(option.value));
}

// The options that belong to one form of the usage and not to another.
bool CheckForms(const Arguments& arguments, std::string* error) {
  const RunRequest& m = arguments.molecules;
  const bool outputs = m.AnyOutput() || !m.settings.empty() || !m.manifest.empty() || m.maxTriangles > 0 ||
                       arguments.recordsGiven || arguments.jobsGiven || m.quiet;
  if (m.inputs.empty() && outputs) {
    std::vector<std::string> named;
    for (const Option& option : Options()) {
      if (option.forms == kMolecule) named.emplace_back(option.name);
    }
    std::string list;
    for (size_t i = 0; i < named.size(); ++i) list += (i == 0 ? "" : i + 1 == named.size() ? " and " : ", ") + named[i];
    *error = list + " need a molecule file";
    return false;
  }
  if (!m.inputs.empty() && !arguments.script.empty()) {
    *error = "a molecule file and --script do not go together";
    return false;
  }
  if (arguments.parameters && (!m.inputs.empty() || !arguments.script.empty())) {
    *error = "--parameters goes with neither a molecule file nor --script";
    return false;
  }
  return true;
}

}  // namespace

std::string Usage() {
  const std::pair<unsigned, std::string_view> forms[] = {
      {kRegistrations, ""}, {kParameters, " --parameters"}, {kMolecule, " MOLECULE..."}, {kScript, " --script FILE|-"}};
  std::string usage;
  for (const auto& [form, leading] : forms) {
    usage += std::string(usage.empty() ? "usage: " : "       ") + "vantor-host" + std::string(leading);
    for (const Option& option : Options()) {
      if ((option.forms & form) == 0 || leading.find(option.name) != std::string_view::npos) continue;
      usage += " [" + Spelled(option) + "]" + (option.repeatable ? "..." : "");
    }
    usage += "\n";
  }
  return usage;
}

std::string Help() {
  size_t width = 0;
  for (const Option& option : Options()) width = std::max(width, option.help.empty() ? 0 : Spelled(option).size());
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
  for (const Option& option : Options()) {
    if (option.help.empty()) continue;
    const std::string spelled = Spelled(option);
    help += "    " + spelled + std::string(width + 2 - spelled.size(), ' ') + std::string(option.help) + "\n";
  }
  return help;
}

bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error) {
  OptionReader options(argc, argv);
  while (options.Next()) {
    const std::string argument = options.Current();
    if (const Option* option = FindOption(argument)) {
      if (!option->read(*option, options, arguments, error)) return false;
      if (arguments->help) return true;
    } else if (argument == "-" &&
               std::count(arguments->molecules.inputs.begin(), arguments->molecules.inputs.end(), "-")) {
      *error = "- is given twice: standard input is read once";
      return false;
    } else if (!argument.empty() && (argument[0] != '-' || argument == "-")) {
      arguments->molecules.inputs.push_back(argument);
    } else {
      *error = "cannot use argument '" + argument + "'";
      return false;
    }
  }
  if (arguments->module.empty()) {
    arguments->module = ProgramFile(argv[0]).parent_path() / ".." / "plugins" / "vantor" /
                        vthost::ModuleFileName("vantor");
  }
  return CheckForms(*arguments, error) &&
         (arguments->molecules.inputs.empty() || CheckRun(arguments->molecules, arguments->module, error));
}

}  // namespace vantorcli
