// vantor-host: loads a Vantor module the way the host application does, then reports what it
// registered, prints its parameters, converts molecules or runs a script.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
#endif

#include "vthost/description.h"
#include "vthost/files.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/parametertable.h"
#include "vthost/script.h"

#include "arguments.h"
#include "conversions.h"
#include "status.h"
#include "workers.h"

namespace {

namespace fs = std::filesystem;
using vantorcli::Arguments;
using vantorcli::Error;
using vantorcli::kBadArguments;
using vantorcli::kDone;
using vantorcli::kFailed;

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
// before any molecule is read. With none there is nothing to try, and no object is made for it (the
// conversion's own object tells when none can be).
bool SettingsTaken(vthost::Host& host, const vthost::Settings& settings) {
  if (settings.empty()) return true;
  VtDocument* document = host.NewDocument();
  VtNode* object = host.CreateObject(document, vthost::molecule::kType, "Molecule");
  bool taken = object != nullptr;
  if (!taken) Error("the molecule object could not be made");
  for (const auto& [name, value] : settings) {
    std::string error, notice;
    if (taken && !vthost::SetParameterFromText(host, object, name, value, &notice, &error)) {
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
  ~StartedModule() { End(); }
  StartedModule(const StartedModule&) = delete;
  StartedModule& operator=(const StartedModule&) = delete;
  vthost::Module* operator->() const { return module_.get(); }
  void End() {
    if (module_ && !ended_) module_->End();
    ended_ = true;
  }

 private:
  std::unique_ptr<vthost::Module> module_;
  bool ended_ = false;
};

// The end of a run that converted molecules: the module is told the run ends, then the process ends
// with status at once, and the system takes back the module, the host and the last model with it,
// unless the run checks for leaks (vthost::FreeAtExit): then they are freed in order, as the stack
// unwinds.
int Converted(int status, StartedModule* module) {
  if (vthost::FreeAtExit()) return status;
  if (module != nullptr) module->End();
  std::exit(status);  // flushes the standard streams; the objects on the stack are not destroyed
}

int Run(const Arguments& arguments, const fs::path& program, const std::vector<std::string>& words) {
  vthost::HostOptions options = arguments.options;
  // a run of several molecules tells what the module showed with the molecule it concerns
  if (vantorcli::Several(arguments.molecules) || arguments.molecules.worker.count > 0) options.log = nullptr;
  vthost::Host host(options);
  if (!arguments.script.empty()) return RunScript(host, arguments);
  const vantorcli::RunRequest& molecules = arguments.molecules;
  if (molecules.worker.count == 0 && molecules.jobs > 1 && vantorcli::Several(molecules)) {
    // the workers load the module, and the first of them says why it could not start or take a --set
    return Converted(vantorcli::ConvertMolecules(host, molecules, program, words), nullptr);
  }
  if (molecules.worker.run != 0) {
    const bool handed = std::find(molecules.inputs.begin(), molecules.inputs.end(), "-") != molecules.inputs.end();
    vantorcli::EndWithRun(molecules.worker.run, handed);
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
    return Converted(vantorcli::ConvertMolecules(host, arguments.molecules, program, words), &module);
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
    if (!vantorcli::ParseArguments(argc, argv, &arguments, &error)) {
      Error(error);
      std::cerr << vantorcli::Usage();
      return kBadArguments;
    }
    if (arguments.help) {
      errno = 0;
      std::cout << vantorcli::Help() << "  Script commands (one a line; # starts a comment):\n" << vthost::ScriptRunner::Help();
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
