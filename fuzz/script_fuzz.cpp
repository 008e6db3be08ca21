// The host's script reader on arbitrary text, with every command that names a file refused.
#include <dlfcn.h>

#include <sstream>
#include <string>

#include "vthost/host.h"
#include "vthost/script.h"

namespace {

const std::string kModule = std::string(VANTOR_PLUGIN_DIR) + "/vantor" + VANTOR_MODULE_SUFFIX;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // the scripts load the built module themselves, through its entry; held open here once, so
  // unloading never unmaps the coverage counters the fuzzer is reading
  static void* pinned = dlopen(kModule.c_str(), RTLD_NOW | RTLD_NODELETE);
  (void)pinned;
  static vthost::Host host;
  std::ostringstream out, err;
  vthost::ScriptRunner runner(host, out, err, kModule);
  runner.Sandbox();
  std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
  runner.Run(script);
  return 0;
}
