// vantor-host: loads a Vantor module the way the host application does and reports what it registered.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "export.h"
#include "vthost/host.h"
#include "vthost/script.h"

namespace {

constexpr const char* kUsage =
    "usage: vantor-host [--module FILE] [--interface-version N] [--answer yes|no] [--script FILE|-]\n"
    "       vantor-host MOLECULE [--gltf OUT.glb] [--json OUT.json|-] [--set NAME=VALUE]... [--module FILE]\n"
    "                   [--answer yes|no]\n"
    "  Loads the module (default: the vantor module of the plug-in folder beside this program),\n"
    "  starts it, prints what it registered, and ends it. With --script, runs the script's commands\n"
    "  instead (see the README). With a molecule file, makes a molecule object, applies each --set,\n"
    "  loads the file, evaluates the document and writes the report (JSON) and the model (glTF).\n"
    "  Console lines, messages and questions go to standard error.\n";

std::filesystem::path ProgramFolder(const char* argv0) {
  std::error_code error;
#if defined(_WIN32)
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  if (length > 0 && length < 32768) return std::filesystem::path(std::wstring(buffer, length)).parent_path();
#else
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
#endif
  return std::filesystem::absolute(argv0, error).parent_path();
}

struct Arguments {
  std::filesystem::path module;
  std::string script;  // a file, or - for standard input
  vthost::HostOptions options;
  std::string molecule;  // a molecule file to load, and what to write of it
  std::string gltf;
  std::string json;  // a file, or - for standard output
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
};

// False with a message on standard error when the arguments are not understood.
bool ParseArguments(int argc, char** argv, Arguments* arguments) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (argument == "--module" && hasValue) {
      arguments->module = std::filesystem::u8path(argv[++i]);
    } else if (argument == "--script" && hasValue) {
      arguments->script = argv[++i];
    } else if (argument == "--gltf" && hasValue) {
      arguments->gltf = argv[++i];
    } else if (argument == "--json" && hasValue) {
      arguments->json = argv[++i];
    } else if (argument == "--set" && hasValue && std::strchr(argv[i + 1], '=') != nullptr) {
      const std::string setting = argv[++i];
      const size_t equals = setting.find('=');
      arguments->settings.emplace_back(setting.substr(0, equals), setting.substr(equals + 1));
    } else if (!argument.empty() && argument[0] != '-' && arguments->molecule.empty()) {
      arguments->molecule = argument;
    } else if (argument == "--interface-version" && hasValue) {
      arguments->options.interfaceVersion = std::atoi(argv[++i]);
    } else if (argument == "--answer" && hasValue && (std::strcmp(argv[i + 1], "yes") == 0 || std::strcmp(argv[i + 1], "no") == 0)) {
      arguments->options.answerYes = std::strcmp(argv[++i], "yes") == 0;
    } else {
      std::cerr << "vantor-host: cannot use argument '" << argument << "'\n" << kUsage;
      return false;
    }
  }
  if (arguments->molecule.empty() && (!arguments->gltf.empty() || !arguments->json.empty() || !arguments->settings.empty())) {
    std::cerr << "vantor-host: --gltf, --json and --set need a molecule file\n" << kUsage;
    return false;
  }
  if (!arguments->molecule.empty() && !arguments->script.empty()) {
    std::cerr << "vantor-host: a molecule file and --script do not go together\n" << kUsage;
    return false;
  }
  return true;
}

void PrintRegistrations(const vthost::Host& host) {
  for (const vthost::ObjectType& type : host.ObjectTypes()) {
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
  if (arguments.script == "-") return runner.Run(std::cin) ? 0 : 1;
  std::ifstream script(std::filesystem::u8path(arguments.script));
  if (!script) {
    std::cerr << "vantor-host: cannot open script " << arguments.script << "\n";
    return 2;
  }
  return runner.Run(script) ? 0 : 1;
}

constexpr int32_t kMoleculeType = 1060013;
constexpr int32_t kMoleculeFile = 20000;  // MOLOBJ_FILE
constexpr int32_t kLoadButton = 20001;    // MOLOBJ_LOAD

bool WriteReport(const vthost::Host& host, const VtNode* object, const std::string& file) {
  if (file == "-") return vthost::WriteReport(host, object, std::cout) && std::cout << "\n" << std::flush;
  std::ofstream out(std::filesystem::u8path(file), std::ios::binary | std::ios::trunc);
  if (out) vthost::WriteReport(host, object, out);
  out << "\n";
  out.close();
  if (!out) std::cerr << "vantor-host: cannot write " << file << "\n";
  return static_cast<bool>(out);
}

// The object's life as a person would give it: made, edited, pointed at the file, loaded, and
// evaluated; then what it generated is written out.
int RunMolecule(vthost::Host& host, vthost::Module& module, const Arguments& arguments) {
  VtDocument* document = host.NewDocument();
  VtNode* object = host.CreateObject(document, kMoleculeType, "Molecule");
  if (object == nullptr) {
    std::cerr << "vantor-host: the molecule object could not be made\n";
    host.CloseDocument(document);
    return 1;
  }
  int status = 0;
  for (const auto& [name, value] : arguments.settings) {
    std::string error;
    if (!vthost::SetParameterFromText(host, object, name, value, &error)) {
      std::cerr << "vantor-host: --set " << name << "=" << value << ": " << error << "\n";
      status = 2;
    }
  }
  if (status == 0) {
    std::error_code ignored;
    const std::filesystem::path file = std::filesystem::absolute(std::filesystem::u8path(arguments.molecule), ignored);
    host.Describe(object);
    host.SetParameter(object, kMoleculeFile, file.empty() ? std::filesystem::u8path(arguments.molecule) : file);
    host.Press(object, kLoadButton);
    host.Evaluate(document);
    if (!arguments.json.empty() && !WriteReport(host, object, arguments.json)) status = 1;
    std::string error;
    if (!arguments.gltf.empty() &&
        !vthost::WriteGltf(host, vthost::Host::Hierarchy(object), std::filesystem::u8path(arguments.gltf), &error,
                           vthost::Host::HierarchyParameters(object))) {
      std::cerr << "vantor-host: " << arguments.gltf << ": " << error << "\n";
      status = 1;
    }
  }
  host.CloseDocument(document);
  module.End();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  arguments.options.log = &std::cerr;
  if (!ParseArguments(argc, argv, &arguments)) return 2;
  if (arguments.module.empty()) {
    arguments.module = ProgramFolder(argv[0]) / ".." / "plugins" / "vantor" / vthost::ModuleFileName("vantor");
  }

  vthost::Host host(arguments.options);
  if (!arguments.script.empty()) return RunScript(host, arguments);
  std::string error;
  std::unique_ptr<vthost::Module> module = vthost::Module::Load(host, arguments.module, &error);
  if (!module) {
    std::cerr << "vantor-host: " << error << "\n";
    return 1;
  }
  if (!arguments.molecule.empty()) {
    if (!module->StartUp()) {
      std::cerr << "vantor-host: the module did not start\n";
      module->End();
      return 1;
    }
    return RunMolecule(host, *module, arguments);
  }
  std::cout << "module " << std::filesystem::weakly_canonical(arguments.module).u8string() << "\n";
  const bool started = module->StartUp();
  PrintRegistrations(host);
  module->End();
  return started ? 0 : 1;
}
