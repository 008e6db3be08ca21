// The host's script reader on arbitrary text. save and open work on plain names inside a scratch
// folder of this process's own, made for each input and removed after it, so every run starts
// alike; every other command that names a file is refused.
#include <dlfcn.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "vthost/host.h"
#include "vthost/script.h"

namespace {

namespace fs = std::filesystem;

const std::string kModule = std::string(VANTOR_PLUGIN_DIR) + "/vantor" + VANTOR_MODULE_SUFFIX;

// A name of this process's own: fuzzers may run side by side.
const fs::path kScratch = fs::temp_directory_path() / ("vantor-fuzz-script-" + std::to_string(std::random_device()()));

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // the scripts load the built module themselves, through its entry; held open here once, so
  // unloading never unmaps the coverage counters the fuzzer is reading
  static void* pinned = dlopen(kModule.c_str(), RTLD_NOW | RTLD_NODELETE);
  (void)pinned;
  static vthost::Host host;
  std::error_code ignored;
  fs::create_directories(kScratch, ignored);
  {
    std::ostringstream out, err;
    vthost::ScriptRunner runner(host, out, err, kModule);
    runner.Sandbox(kScratch);
    std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
    runner.Run(script);
  }
  // libFuzzer ends the process without running exit handlers: nothing is left between inputs
  fs::remove_all(kScratch, ignored);
  return 0;
}
