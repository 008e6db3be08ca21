// The molecule object's read of its stored block, on arbitrary bytes inside the block's frame,
// followed by what the host does next with the object; then what the object writes, read into
// another object, must be read and written back byte for byte (a saved document opens as it was).
#include <vector>

#include "fuzzhost.h"
#include "vthost/documents.h"
#include "vthost/molecule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vthost::Host& host = FuzzHost();
  static VtDocument* document = host.NewDocument();
  // made once: an object's start reads the element table, which is half of what an input costs
  static VtNode* reread = host.CreateObject(document, vthost::molecule::kType);
  VtNode* node = host.CreateObject(document, vthost::molecule::kType);
  if (node == nullptr || reread == nullptr) __builtin_trap();  // the module registered its object at start
  vthost::ReadStoredBlock(node, std::vector<uint8_t>(data, data + size), size > 0 ? static_cast<int8_t>(data[0]) : 0);
  host.Evaluate(document);
  const std::vector<uint8_t> written = vthost::EncodeStoredBlock(vthost::StoredBlock(node));
  if (!vthost::ReadStoredBlock(reread, written)) __builtin_trap();
  if (vthost::EncodeStoredBlock(vthost::StoredBlock(reread)) != written) __builtin_trap();
  host.DeleteNode(node);
  EndInput(host);
  return 0;
}
