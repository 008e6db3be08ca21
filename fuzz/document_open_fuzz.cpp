// The host's document open on arbitrary file bytes.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzzhost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vthost::Host& host = FuzzHost();
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("vantor-fuzz-" + std::to_string(std::rand()) + ".vdoc");
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (VtDocument* document = host.OpenDocument(file, nullptr)) {
    host.Evaluate(document);
    host.CloseDocument(document);
  }
  return 0;
}
