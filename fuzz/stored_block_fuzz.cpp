// The molecule object's read of its stored block, on arbitrary bytes inside the block's frame,
// followed by what the host does next with the object.
#include <vector>

#include "fuzzhost.h"
#include "vthost/documents.h"
#include "vthost/molecule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vthost::Host& host = FuzzHost();
  static VtDocument* document = host.NewDocument();
  VtNode* node = host.CreateObject(document, vthost::molecule::kType);
  if (node == nullptr) __builtin_trap();  // the module registered its object at start
  vthost::ReadStoredBlock(node, std::vector<uint8_t>(data, data + size), size > 0 ? static_cast<int8_t>(data[0]) : 0);
  host.Evaluate(document);
  vthost::StoredBlock(node);
  host.DeleteNode(node);
  EndInput(host);
  return 0;
}
