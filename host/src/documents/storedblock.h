// An object's own block in a document: tagged values ('I' + i32, 'V' + 3 f64), written or read
// value by value through a stream that ends with the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/model.h"

struct VtStream {
  std::vector<uint8_t>* out = nullptr;  // writing
  const uint8_t* in = nullptr;          // reading
  size_t size = 0;
  size_t position = 0;
};

namespace vthost {

// The bytes appended to out, as they are in memory (the document's values are little-endian).
void AppendBytes(std::vector<uint8_t>* out, const void* bytes, size_t size);

// A read finds the tag it wants at the stream's position or fails, leaving the position as it was.
bool ReadBlockInt32(VtStream* stream, int32_t* value);
bool WriteBlockInt32(VtStream* stream, int32_t value);
bool ReadBlockVector(VtStream* stream, VtVector* value);
bool WriteBlockVector(VtStream* stream, const VtVector* value);

// The block the object writes; empty when it writes none.
std::vector<uint8_t> WriteObjectBlock(VtNode* node);

}  // namespace vthost
