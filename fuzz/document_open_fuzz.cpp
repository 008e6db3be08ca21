// The host's document open on arbitrary file bytes.
#include <random>
#include <filesystem>
#include <fstream>

#include "fuzzhost.h"
#include "scratch.h"
#include "vthost/documents.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vthost::Host& host = FuzzHost();
  // a name of this process's own: fuzzers may run side by side
  static const std::filesystem::path file =
      ScratchRoot() / ("vantor-fuzz-" + std::to_string(std::random_device()()) + ".vdoc");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string error;
  if (VtDocument* document = vthost::OpenDocument(host, file, &error)) {
    host.Evaluate(document);
    host.CloseDocument(document);
  }
  EndInput(host);
  return 0;
}
