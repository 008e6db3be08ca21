// vantor-host: loads a Vantor module the way the host application does and reports what it registered.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "vthost/host.h"
#include "vthost/script.h"

namespace {

constexpr const char* kUsage =
    "usage: vantor-host [--module FILE] [--interface-version N] [--answer yes|no] [--script FILE|-]\n"
    "  Loads the module (default: the vantor module of the plug-in folder beside this program),\n"
    "  starts it, prints what it registered, and ends it. With --script, runs the script's commands\n"
    "  instead (see the README). Console lines, messages and questions go to standard error.\n";

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
    } else if (argument == "--interface-version" && hasValue) {
      arguments->options.interfaceVersion = std::atoi(argv[++i]);
    } else if (argument == "--answer" && hasValue && (std::strcmp(argv[i + 1], "yes") == 0 || std::strcmp(argv[i + 1], "no") == 0)) {
      arguments->options.answerYes = std::strcmp(argv[++i], "yes") == 0;
    } else {
      std::cerr << "vantor-host: cannot use argument '" << argument << "'\n" << kUsage;
      return false;
    }
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
  std::cout << "module " << std::filesystem::weakly_canonical(arguments.module).u8string() << "\n";
  const bool started = module->StartUp();
  PrintRegistrations(host);
  module->End();
  return started ? 0 : 1;
}
