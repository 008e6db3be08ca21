// The host's script reader on arbitrary text. save and open work on plain names inside a scratch
// folder; every other command that names a file is refused.
//
// The built module is loaded and started once: a script's 'load' takes it and opens a new document,
// and its 'unload' closes that document.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "endinput.h"
#include "scratch.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/script.h"

namespace {

namespace fs = std::filesystem;

// The built module, beside an element table of 20 elements (see fuzz/CMakeLists.txt).
const std::string kModule = VANTOR_MODULE;

// The folder save and open use: of this process's own, as fuzzers may run side by side; made once
// and emptied after an input that wrote into it, which few do.
class Scratch {
 public:
  Scratch() { fs::create_directories(folder_); }
  ~Scratch() { fs::remove_all(folder_, ignored_); }
  const fs::path& Folder() const { return folder_; }
  void Empty() {
    if (fs::is_empty(folder_, ignored_)) return;
    fs::remove_all(folder_, ignored_);
    fs::create_directories(folder_, ignored_);
  }

 private:
  fs::path folder_ = ScratchRoot() / ("vantor-fuzz-script-" + std::to_string(std::random_device()()));
  std::error_code ignored_;
};

// Never unloaded: libFuzzer reads the module's coverage counters until the process ends.
vthost::Module& StartedModule(vthost::Host& host) {
  static vthost::Module* module = [&host] {
    std::string error;
    std::unique_ptr<vthost::Module> loaded = vthost::Module::Load(host, kModule, &error);
    if (!loaded || !loaded->StartUp(&error)) {
      std::fprintf(stderr, "script_fuzz: %s\n", error.c_str());
      std::abort();
    }
    return loaded.release();
  }();
  return *module;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vthost::Host host;
  static Scratch scratch;
  vthost::Module& module = StartedModule(host);
  {
    std::ostringstream out, err;
    vthost::ScriptRunner runner(host, out, err, kModule);
    runner.Sandbox(scratch.Folder());
    runner.ShareModule(&module);
    std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
    runner.Run(script);
  }
  EndInput(host);
  scratch.Empty();
  return 0;
}
