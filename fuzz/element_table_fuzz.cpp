// The element table loader on arbitrary text, and lookups in what it read.
#include <sstream>

#include "elementtable.h"
#include "fuzzhost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vthost::Host& host = FuzzHost();
  {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    vantor::ElementTable table;
    table.LoadFrom(in);
    for (const char* symbol : {"C", " H ", "Cl", ""}) {
      const int32_t index = vantor::FindElementIndex(symbol, table);
      if (index < -1 || index >= table.Count()) __builtin_trap();
    }
  }
  EndInput(host);
  return 0;
}
